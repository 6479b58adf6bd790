// Opens a window and device the way the host does, and reads the drawn frame back for checks.
#ifndef TESTS_D3D9_DEVICE_FIXTURE_H
#define TESTS_D3D9_DEVICE_FIXTURE_H

#include "d3dx9.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
    int r, g, b, a;
};

// A w x h picture of RGBA bytes, top row first.
struct Picture {
    int w, h;
    std::vector<uint8_t> rgba;
    Rgba at(int x, int y) const;
};

// The host's sequence: SDL window, Direct3D object, device, initial state. GAMEHOST_DEVICE
// picks the backend, so one test binary runs on either.
class DeviceFixture : public ::testing::Test {
protected:
    static constexpr int kWidth = 800, kHeight = 600;

    // One window per suite: the device is made afresh for every test, as the host would.
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A quad from (-hw, +hh) to (+hw, -hh) at depth z, u left to right and v top to bottom.
    IDirect3DVertexBuffer9* quad(float hw, float hh, float z = 0.f);
    // Loads through D3DX with the host's arguments.
    HRESULT load(const std::string& path, IDirect3DTexture9** tex, D3DXIMAGE_INFO* info = nullptr);
    IDirect3DTexture9* loadOrFail(const std::string& path);
    // Writes an uncompressed 32-bit top-down TGA into the test's folder.
    std::string writeTga(const std::string& name, const Picture& p);
    void setBrightness(float b);
    void draw(IDirect3DTexture9* tex, IDirect3DVertexBuffer9* vb, const D3DXMATRIX& world);
    void draw(IDirect3DTexture9* tex, IDirect3DVertexBuffer9* vb);
    void begin(D3DCOLOR clear = 0xFF000000);
    // Ends the scene, reads the back buffer back (row 0 at the top) and presents.
    Picture endAndRead();
    std::string dir() const { return dir_; }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* dev = nullptr;

private:
    std::vector<IUnknown*> owned_;
    std::string dir_;
};

// A 4x2 picture with distinct opaque colours and one half-transparent texel.
Picture testPicture();

// Expects the picture's texels at window pixels (x0 + i, y0 + j), scaled by brightness.
void expectPictureAt(const Picture& frame, const Picture& p, int x0, int y0, float brightness = 1.f,
                     bool mirrored = false);

::testing::AssertionResult near(Rgba got, Rgba want, int tolerance = 0);

#endif
