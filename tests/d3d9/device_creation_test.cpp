// Device creation against windows the host might have: without GL, without a window, twice.
#include "d3d9.h"
#include "device.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

D3DPRESENT_PARAMETERS hostParameters() {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 600;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_FLIP;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    return pp;
}

// Sets GAMEHOST_DEVICE (or unsets it for null) for one scope.
class ForcedDevice {
public:
    explicit ForcedDevice(const char* value) {
        const char* old = std::getenv("GAMEHOST_DEVICE");
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value)
            setenv("GAMEHOST_DEVICE", value, 1);
        else
            unsetenv("GAMEHOST_DEVICE");
    }
    ~ForcedDevice() {
        if (had_)
            setenv("GAMEHOST_DEVICE", old_.c_str(), 1);
        else
            unsetenv("GAMEHOST_DEVICE");
    }

private:
    bool had_;
    std::string old_;
};

d3d9impl::BackendKind kindOf(IDirect3DDevice9* dev) { return dynamic_cast<d3d9impl::Device*>(dev)->backendKind(); }

TEST(DeviceCreation, PlainWindowDrawsOnTheCpuUnlessOpenGLIsForced) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    ASSERT_NE(SDL_SetVideoMode(800, 600, 32, 0), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = hostParameters();
    IDirect3DDevice9* dev = nullptr;
    {
        ForcedDevice automatic(nullptr);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), 0x20, &pp, &dev), D3D_OK);
        EXPECT_EQ(kindOf(dev), d3d9impl::BackendKind::Software);
        EXPECT_EQ(dev->Release(), 0u);
    }
    {
        ForcedDevice gl("opengl");
        dev = reinterpret_cast<IDirect3DDevice9*>(&pp);  // must be overwritten
        EXPECT_TRUE(FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), 0x20, &pp, &dev)));
        EXPECT_EQ(dev, nullptr);
    }
    D3DCAPS9 caps{};
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_GT(caps.MaxTextureWidth, 0u);
    EXPECT_EQ(d3d->Release(), 0u);
    SDL_Quit();
}

TEST(DeviceCreation, WindowFollowsTheChoice) {
    struct Case {
        const char* forced;
        bool gl;
    } cases[] = {{"opengl", true}, {"software", false}, {nullptr, false}};
    for (const Case& c : cases) {
        ForcedDevice forced(c.forced);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        HWND window = OpenDeviceWindow(800, 600, 32);
        ASSERT_NE(window, nullptr);
        // Xvfb's OpenGL is Mesa's CPU rasteriser, so the automatic choice is our own.
        EXPECT_EQ((window->flags & SDL_OPENGL) != 0, c.gl) << (c.forced ? c.forced : "automatic");
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = hostParameters();
        IDirect3DDevice9* dev = nullptr;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0x40, &pp, &dev), D3D_OK);
        EXPECT_EQ(kindOf(dev), c.gl ? d3d9impl::BackendKind::OpenGL : d3d9impl::BackendKind::Software);
        dev->Release();
        d3d->Release();
        SDL_Quit();
    }
}

TEST(DeviceCreation, FailsWithoutWindow) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = hostParameters();
    IDirect3DDevice9* dev = nullptr;
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_TRUE(FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                         &pp, &dev)));
    EXPECT_EQ(dev, nullptr);
    d3d->Release();
    SDL_Quit();
}

TEST(DeviceCreation, OnlyOneDeviceAtATime) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    OpenDeviceWindow(800, 600, 32);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = hostParameters();
    IDirect3DDevice9 *a = nullptr, *b = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), 0x40, &pp, &a), D3D_OK);
    EXPECT_TRUE(FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), 0x40, &pp, &b)));
    EXPECT_EQ(b, nullptr);
    // The device keeps the Direct3D object alive until it goes.
    EXPECT_EQ(d3d->Release(), 1u);
    EXPECT_EQ(a->Release(), 0u);
    SDL_Quit();
}

TEST(DeviceCreation, ResourcesMayOutliveTheWindow) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    OpenDeviceWindow(800, 600, 32);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = hostParameters();
    IDirect3DDevice9* dev = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), 0x40, &pp, &dev), D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(128, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 32), D3D_OK);
    // The window (and any GL context) goes with SDL_Quit; releasing afterwards must not touch it.
    SDL_Quit();
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Release(), 1u);
    EXPECT_EQ(dev->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

}  // namespace
