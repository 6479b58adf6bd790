// Device creation against windows the host might have: without GL, without a window, twice.
#include "d3d9.h"

#include <SDL.h>
#include <gtest/gtest.h>

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

TEST(DeviceCreation, FailsWithoutOpenGLWindow) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    ASSERT_NE(SDL_SetVideoMode(800, 600, 32, 0), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = hostParameters();
    IDirect3DDevice9* dev = reinterpret_cast<IDirect3DDevice9*>(&pp);  // must be overwritten
    EXPECT_TRUE(FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                         &pp, &dev)));
    EXPECT_EQ(dev, nullptr);
    D3DCAPS9 caps{};
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_GT(caps.MaxTextureWidth, 0u);
    EXPECT_EQ(d3d->Release(), 0u);
    SDL_Quit();
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
    SDL_SetVideoMode(800, 600, 32, SDL_OPENGL);
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
    SDL_SetVideoMode(800, 600, 32, SDL_OPENGL);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = hostParameters();
    IDirect3DDevice9* dev = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetActiveWindow(), 0x40, &pp, &dev), D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(128, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 32), D3D_OK);
    // The GL context goes with SDL_Quit; releasing afterwards must not touch GL.
    SDL_Quit();
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Release(), 1u);
    EXPECT_EQ(dev->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

}  // namespace
