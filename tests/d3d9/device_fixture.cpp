// The host-like device set-up and frame readback shared by the window tests.
#include "device_fixture.h"

#include "device.h"
#include "display_device.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

Rgba Picture::at(int x, int y) const {
    const uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

void DeviceFixture::SetUpTestSuite() {
    if (SDL_Init(SDL_INIT_VIDEO) == 0) OpenDeviceWindow(kWidth, kHeight, 32);
}

void DeviceFixture::TearDownTestSuite() { SDL_Quit(); }

void DeviceFixture::SetUp() {
    char tmpl[] = "/tmp/d3d9_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ASSERT_NE(GetActiveWindow(), nullptr) << "no window: " << SDL_GetError();
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = kWidth;
    pp.BackBufferHeight = kHeight;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_FLIP;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                &dev),
              D3D_OK);
    ASSERT_NE(dev, nullptr);

    setFixedDeviceState(dev);
    setBrightness(1.f);
}

void DeviceFixture::TearDown() {
    for (IUnknown* u : owned_) u->Release();
    owned_.clear();
    if (dev) dev->Release();
    if (d3d) d3d->Release();
    dev = nullptr;
    d3d = nullptr;
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

IDirect3DVertexBuffer9* DeviceFixture::quad(float hw, float hh, float z) {
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(dev->CreateVertexBuffer(128, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    if (!vb) return nullptr;
    void* p = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    const float v[4][8] = {{-hw, hh, z, 0, 0, -1, 0, 0},
                           {hw, hh, z, 0, 0, -1, 1, 0},
                           {hw, -hh, z, 0, 0, -1, 1, 1},
                           {-hw, -hh, z, 0, 0, -1, 0, 1}};
    std::memcpy(p, v, sizeof v);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    owned_.push_back(vb);
    return vb;
}

HRESULT DeviceFixture::load(const std::string& path, IDirect3DTexture9** tex, D3DXIMAGE_INFO* info) {
    D3DXIMAGE_INFO local{};
    return D3DXCreateTextureFromFileExA(dev, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        info ? info : &local, nullptr, tex);
}

IDirect3DTexture9* DeviceFixture::loadOrFail(const std::string& path) {
    IDirect3DTexture9* tex = nullptr;
    EXPECT_EQ(load(path, &tex), D3D_OK) << path;
    if (tex) owned_.push_back(tex);
    return tex;
}

std::string DeviceFixture::writeTga(const std::string& name, const Picture& p) {
    std::string path = dir_ + "/" + name;
    std::ofstream f(path, std::ios::binary);
    uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          uint8_t(p.w), uint8_t(p.w >> 8), uint8_t(p.h), uint8_t(p.h >> 8), 32, 0x28};
    f.write(reinterpret_cast<const char*>(header), sizeof header);
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
        char bgra[4] = {char(p.rgba[i + 2]), char(p.rgba[i + 1]), char(p.rgba[i]), char(p.rgba[i + 3])};
        f.write(bgra, 4);
    }
    return path;
}

void DeviceFixture::setBrightness(float b) {
    D3DMATERIAL9 m{};
    m.Diffuse = {0, 0, 0, 1};
    m.Ambient = {b, b, b, 1};
    ASSERT_EQ(dev->SetMaterial(&m), D3D_OK);
}

void DeviceFixture::draw(IDirect3DTexture9* tex, IDirect3DVertexBuffer9* vb, const D3DXMATRIX& world) {
    ASSERT_EQ(dev->SetTexture(0, tex), D3D_OK);
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 32), D3D_OK);
    ASSERT_EQ(dev->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
}

void DeviceFixture::draw(IDirect3DTexture9* tex, IDirect3DVertexBuffer9* vb) {
    D3DXMATRIX identity;
    D3DXMatrixScaling(&identity, 1, 1, 1);
    draw(tex, vb, identity);
}

void DeviceFixture::begin(D3DCOLOR clear) {
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0), D3D_OK);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
}

Picture DeviceFixture::endAndRead() {
    EXPECT_EQ(dev->EndScene(), D3D_OK);
    Picture frame{kWidth, kHeight, {}};
    dynamic_cast<d3d9impl::Device*>(dev)->readBack(&frame.rgba);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    return frame;
}

Picture testPicture() {
    Picture p{4, 2, {}};
    const uint8_t texels[8][4] = {{255, 0, 0, 255},   {0, 255, 0, 255},   {0, 0, 255, 255},   {255, 255, 0, 255},
                                  {0, 255, 255, 255}, {255, 0, 255, 255}, {200, 100, 50, 255}, {40, 80, 160, 128}};
    for (auto& t : texels) p.rgba.insert(p.rgba.end(), t, t + 4);
    return p;
}

::testing::AssertionResult near(Rgba got, Rgba want, int tolerance) {
    auto off = [&](int a, int b) { return std::abs(a - b) > tolerance; };
    if (off(got.r, want.r) || off(got.g, want.g) || off(got.b, want.b))
        return ::testing::AssertionFailure() << "got (" << got.r << "," << got.g << "," << got.b << ") want ("
                                             << want.r << "," << want.g << "," << want.b << ")";
    return ::testing::AssertionSuccess();
}

void expectPictureAt(const Picture& frame, const Picture& p, int x0, int y0, float brightness, bool mirrored) {
    float b = brightness < 0 ? 0 : (brightness > 1 ? 1 : brightness);
    for (int j = 0; j < p.h; ++j)
        for (int i = 0; i < p.w; ++i) {
            Rgba t = p.at(i, j);
            // Drawn over black with source-alpha blending.
            float k = b * t.a / 255.f;
            Rgba want{int(t.r * k + 0.5f), int(t.g * k + 0.5f), int(t.b * k + 0.5f), 255};
            int x = mirrored ? x0 + p.w - 1 - i : x0 + i;
            int tol = (brightness == 1.f && t.a == 255) ? 0 : 2;
            EXPECT_TRUE(near(frame.at(x, y0 + j), want, tol)) << "texel " << i << "," << j;
        }
}
