// Device behaviour under Xvfb: exact pixels, lighting as brightness, blending, depth, lifetimes.
#include "device_fixture.h"

#include "device.h"
#include "resources.h"

#include <SDL.h>

#include <cmath>
#include <cstring>

namespace {

using DeviceTest = DeviceFixture;

const Rgba kBlack{0, 0, 0, 255};

TEST_F(DeviceTest, ClearedFrameIsOpaqueBlack) {
    begin();
    Picture f = endAndRead();
    for (int y = 0; y < kHeight; y += 37)
        for (int x = 0; x < kWidth; x += 41) {
            Rgba p = f.at(x, y);
            ASSERT_TRUE(near(p, kBlack)) << x << "," << y;
            ASSERT_EQ(p.a, 255);
        }
    begin(0xFF204060);
    f = endAndRead();
    EXPECT_TRUE(near(f.at(0, 0), {0x20, 0x40, 0x60, 255}));
    EXPECT_TRUE(near(f.at(799, 599), {0x20, 0x40, 0x60, 255}));
}

TEST_F(DeviceTest, QuadTexelsLandOnExactPixels) {
    Picture pic = testPicture();
    IDirect3DTexture9* tex = loadOrFail(writeTga("pic.tga", pic));
    ASSERT_NE(tex, nullptr);
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    begin();
    draw(tex, vb);
    Picture f = endAndRead();
    expectPictureAt(f, pic, 398, 299);
    // Nothing outside the quad.
    for (int x = 396; x < 404; ++x) {
        EXPECT_TRUE(near(f.at(x, 298), kBlack)) << x;
        EXPECT_TRUE(near(f.at(x, 301), kBlack)) << x;
    }
    EXPECT_TRUE(near(f.at(397, 299), kBlack));
    EXPECT_TRUE(near(f.at(402, 300), kBlack));
}

TEST_F(DeviceTest, WorldTranslationMovesRightAndUp) {
    Picture pic = testPicture();
    IDirect3DTexture9* tex = loadOrFail(writeTga("pic.tga", pic));
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, -100, 50, 0);
    begin();
    draw(tex, vb, m);
    Picture f = endAndRead();
    expectPictureAt(f, pic, 298, 249);
}

TEST_F(DeviceTest, ScaleThenTranslateComposesInOrder) {
    Picture pic = testPicture();
    IDirect3DTexture9* tex = loadOrFail(writeTga("pic.tga", pic));
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    D3DXMATRIX scale, move, m;
    D3DXMatrixScaling(&scale, 3, 3, 1);
    D3DXMatrixTranslation(&move, 20, 0, 0);
    D3DXMatrixMultiply(&m, &scale, &move);
    begin();
    draw(tex, vb, m);
    Picture f = endAndRead();
    // 12 x 6 pixels centred on (420, 300): each texel covers 3 x 3 pixels.
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i)
            if (pic.at(i, j).a == 255)
                for (int k = 0; k < 9; ++k)
                    EXPECT_TRUE(near(f.at(414 + 3 * i + k % 3, 297 + 3 * j + k / 3), pic.at(i, j)));
}

TEST_F(DeviceTest, MirroredQuadStillDraws) {
    Picture pic = testPicture();
    IDirect3DTexture9* tex = loadOrFail(writeTga("pic.tga", pic));
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, -1, 1, 1);
    begin();
    draw(tex, vb, m);
    Picture f = endAndRead();
    expectPictureAt(f, pic, 398, 299, 1.f, true);
}

TEST_F(DeviceTest, RotationTurnsCounterClockwise) {
    Picture pic = testPicture();
    IDirect3DTexture9* tex = loadOrFail(writeTga("pic.tga", pic));
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    D3DXMATRIX m;
    D3DXMatrixRotationZ(&m, float(M_PI / 2));
    begin();
    draw(tex, vb, m);
    Picture f = endAndRead();
    // Texel (i, j) sits at (x, y) = (i - 1.5, 0.5 - j) and turns to (-y, x).
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i) {
            if (pic.at(i, j).a != 255) continue;
            float x = -(0.5f - j), y = i - 1.5f;
            int px = int(std::floor(400 + x)), py = int(std::floor(300 - y));
            EXPECT_TRUE(near(f.at(px, py), pic.at(i, j))) << i << "," << j;
        }
}

TEST_F(DeviceTest, BrightnessScalesColourAndKeepsAlpha) {
    Picture pic = testPicture();
    IDirect3DTexture9* tex = loadOrFail(writeTga("pic.tga", pic));
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    D3DXMATRIX m;
    for (float b : {0.5f, 0.f, 2.f, -1.f}) {
        begin();
        setBrightness(b);
        draw(tex, vb);
        Picture f = endAndRead();
        expectPictureAt(f, pic, 398, 299, b);
    }
    // Brightness 0 is black but alpha survives: half-transparent black over white is grey.
    begin(0xFFFFFFFF);
    setBrightness(0.f);
    draw(tex, vb);
    Picture f = endAndRead();
    EXPECT_TRUE(near(f.at(401, 300), {127, 127, 127, 255}, 2));
    EXPECT_TRUE(near(f.at(398, 299), kBlack));
}

TEST_F(DeviceTest, HalfTransparentBlendsOverOpaque) {
    Picture red{1, 1, {255, 0, 0, 255}}, blue{1, 1, {0, 0, 255, 128}};
    IDirect3DTexture9* r = loadOrFail(writeTga("red.tga", red));
    IDirect3DTexture9* b = loadOrFail(writeTga("blue.tga", blue));
    IDirect3DVertexBuffer9* big = quad(10, 10);
    IDirect3DVertexBuffer9* small = quad(5, 5);
    begin();
    draw(r, big);
    draw(b, small);
    Picture f = endAndRead();
    EXPECT_TRUE(near(f.at(400, 300), {127, 0, 128, 255}, 2));
    EXPECT_TRUE(near(f.at(392, 300), {255, 0, 0, 255}));
}

TEST_F(DeviceTest, NearerQuadDrawnFirstHidesLaterFartherOne) {
    Picture red{1, 1, {255, 0, 0, 255}}, green{1, 1, {0, 255, 0, 255}};
    IDirect3DTexture9* r = loadOrFail(writeTga("red.tga", red));
    IDirect3DTexture9* g = loadOrFail(writeTga("green.tga", green));
    IDirect3DVertexBuffer9* nearQuad = quad(5, 5, -0.5f);
    IDirect3DVertexBuffer9* farQuad = quad(10, 10, 0.5f);
    begin();
    draw(r, nearQuad);
    draw(g, farQuad);
    Picture f = endAndRead();
    EXPECT_TRUE(near(f.at(400, 300), {255, 0, 0, 255}));
    EXPECT_TRUE(near(f.at(392, 300), {0, 255, 0, 255}));

    // Equal depth passes (less-or-equal), and depth outside -1..1 is clipped.
    IDirect3DVertexBuffer9* same = quad(5, 5, 0.5f);
    IDirect3DVertexBuffer9* beyond = quad(20, 20, 1.5f);
    begin();
    draw(g, farQuad);
    draw(r, same);
    draw(r, beyond);
    f = endAndRead();
    EXPECT_TRUE(near(f.at(400, 300), {255, 0, 0, 255}));
    EXPECT_TRUE(near(f.at(392, 300), {0, 255, 0, 255}));
    EXPECT_TRUE(near(f.at(385, 300), kBlack));
}

TEST_F(DeviceTest, TransparentTexelsStillWriteDepth) {
    Picture clear{1, 1, {255, 255, 255, 0}}, green{1, 1, {0, 255, 0, 255}};
    IDirect3DTexture9* c = loadOrFail(writeTga("clear.tga", clear));
    IDirect3DTexture9* g = loadOrFail(writeTga("green.tga", green));
    IDirect3DVertexBuffer9* nearQuad = quad(5, 5, -0.5f);
    IDirect3DVertexBuffer9* farQuad = quad(10, 10, 0.5f);
    begin();
    draw(c, nearQuad);
    draw(g, farQuad);
    Picture f = endAndRead();
    EXPECT_TRUE(near(f.at(400, 300), kBlack));
    EXPECT_TRUE(near(f.at(392, 300), {0, 255, 0, 255}));
}

TEST_F(DeviceTest, TextureCoordinatesWrap) {
    Picture pic = testPicture();
    IDirect3DTexture9* tex = loadOrFail(writeTga("pic.tga", pic));
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(128, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    float* v = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, reinterpret_cast<void**>(&v), 0), D3D_OK);
    // Eight pixels wide with u running 0..2: the picture twice side by side.
    const float data[4][8] = {{-4, 1, 0, 0, 0, -1, 0, 0}, {4, 1, 0, 0, 0, -1, 2, 0},
                              {4, -1, 0, 0, 0, -1, 2, 1}, {-4, -1, 0, 0, 0, -1, 0, 1}};
    std::memcpy(v, data, sizeof data);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    begin();
    draw(tex, vb);
    Picture f = endAndRead();
    expectPictureAt(f, pic, 396, 299);
    expectPictureAt(f, pic, 400, 299);
    vb->Release();
}

TEST_F(DeviceTest, RelockedBufferDrawsItsNewVertices) {
    Picture red{1, 1, {255, 0, 0, 255}};
    IDirect3DTexture9* r = loadOrFail(writeTga("red.tga", red));
    IDirect3DVertexBuffer9* vb = quad(5, 5);
    begin();
    draw(r, vb);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    // Move only the second and third vertices (the right edge) 10 units further right.
    float* v = nullptr;
    ASSERT_EQ(vb->Lock(32, 64, reinterpret_cast<void**>(&v), 0), D3D_OK);
    v[0] += 10;
    v[8] += 10;
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    begin();
    draw(r, vb);
    Picture f = endAndRead();
    EXPECT_TRUE(near(f.at(395, 300), {255, 0, 0, 255}));
    EXPECT_TRUE(near(f.at(414, 300), {255, 0, 0, 255}));
    EXPECT_TRUE(near(f.at(415, 300), kBlack));
}

TEST_F(DeviceTest, ClearRectanglesAreTopDown) {
    begin();
    D3DRECT rect{10, 20, 30, 40};
    ASSERT_EQ(dev->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFF0000, 1.f, 0), D3D_OK);
    Picture f = endAndRead();
    EXPECT_TRUE(near(f.at(10, 20), {255, 0, 0, 255}));
    EXPECT_TRUE(near(f.at(29, 39), {255, 0, 0, 255}));
    EXPECT_TRUE(near(f.at(9, 20), kBlack));
    EXPECT_TRUE(near(f.at(30, 39), kBlack));
    EXPECT_TRUE(near(f.at(29, 40), kBlack));
}

TEST_F(DeviceTest, EachClearLeavesNothingOfEarlierFrames) {
    Picture green{1, 1, {0, 255, 0, 255}};
    IDirect3DTexture9* g = loadOrFail(writeTga("green.tga", green));
    const Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
    begin(0xFFFF0000);
    draw(g, quad(5, 5, -0.5f));
    D3DRECT rect{10, 20, 30, 40};
    ASSERT_EQ(dev->Clear(1, &rect, D3DCLEAR_TARGET, 0xFF0000FF, 1.f, 0), D3D_OK);
    endAndRead();
    // The same clear again: colour and depth of the last frame's drawing are gone.
    begin(0xFFFF0000);
    draw(g, quad(2, 2, 0.5f));
    Picture f = endAndRead();
    EXPECT_TRUE(near(f.at(400, 300), {0, 255, 0, 255}));
    EXPECT_TRUE(near(f.at(396, 300), red));
    EXPECT_TRUE(near(f.at(20, 30), red));
    begin(0xFF0000FF);
    f = endAndRead();
    EXPECT_TRUE(near(f.at(400, 300), blue));
    EXPECT_TRUE(near(f.at(0, 0), blue));
}

TEST_F(DeviceTest, CullModesFollowScreenWinding) {
    Picture red{1, 1, {255, 0, 0, 255}};
    IDirect3DTexture9* r = loadOrFail(writeTga("red.tga", red));
    // The host's quad runs clockwise on screen.
    IDirect3DVertexBuffer9* vb = quad(5, 5);
    const struct {
        DWORD mode;
        bool drawn;
    } cases[] = {{D3DCULL_CCW, true}, {D3DCULL_CW, false}, {D3DCULL_NONE, true}};
    for (auto c : cases) {
        ASSERT_EQ(dev->SetRenderState(D3DRS_CULLMODE, c.mode), D3D_OK);
        begin();
        draw(r, vb);
        Picture f = endAndRead();
        EXPECT_TRUE(near(f.at(400, 300), c.drawn ? Rgba{255, 0, 0, 255} : kBlack)) << "mode " << c.mode;
    }
}

TEST_F(DeviceTest, LightingOffDrawsTexelsUnlit) {
    Picture pic = testPicture();
    IDirect3DTexture9* tex = loadOrFail(writeTga("pic.tga", pic));
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    setBrightness(0.25f);
    ASSERT_EQ(dev->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    begin();
    draw(tex, vb);
    Picture f = endAndRead();
    expectPictureAt(f, pic, 398, 299);
}

TEST_F(DeviceTest, BoundTextureOutlivesItsCreatorsRelease) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(load(writeTga("pic.tga", testPicture()), &tex), D3D_OK);
    long live = d3d9impl::Texture::live();
    ASSERT_EQ(dev->SetTexture(0, tex), D3D_OK);
    EXPECT_EQ(tex->AddRef(), 3u);
    EXPECT_EQ(tex->Release(), 2u);
    EXPECT_EQ(tex->Release(), 1u);  // the device's reference keeps it
    EXPECT_EQ(d3d9impl::Texture::live(), live);
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    begin();
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 32), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    Picture f = endAndRead();
    expectPictureAt(f, testPicture(), 398, 299);
    ASSERT_EQ(dev->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(d3d9impl::Texture::live(), live - 1);
}

TEST_F(DeviceTest, DeviceReleaseDropsBoundTextureAndBuffer) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(load(writeTga("pic.tga", testPicture()), &tex), D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(128, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    long live = d3d9impl::Texture::live();
    ASSERT_EQ(dev->SetTexture(0, tex), D3D_OK);
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 32), D3D_OK);
    // Rebinding the same objects must not drop them.
    ASSERT_EQ(dev->SetTexture(0, tex), D3D_OK);
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 32), D3D_OK);
    EXPECT_EQ(tex->Release(), 1u);
    EXPECT_EQ(vb->Release(), 1u);
    EXPECT_EQ(d3d9impl::Texture::live(), live);
    EXPECT_EQ(dev->Release(), 0u);
    dev = nullptr;
    EXPECT_EQ(d3d9impl::Texture::live(), live - 1);
}

TEST_F(DeviceTest, StateCacheSkipsOnlyRepeats) {
    auto* device = dynamic_cast<d3d9impl::Device*>(dev);
    ASSERT_NE(device, nullptr);
    unsigned long before = device->state().writes();
    ASSERT_EQ(dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW), D3D_OK);
    ASSERT_EQ(dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW), D3D_OK);
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 1, 2, 3);
    ASSERT_EQ(dev->SetTransform(D3DTS_WORLD, &m), D3D_OK);
    ASSERT_EQ(dev->SetTransform(D3DTS_WORLD, &m), D3D_OK);
    unsigned long writes = device->state().writes() - before;
#if D3D9_STATE_CACHE
    EXPECT_EQ(writes, 2u);
#else
    EXPECT_EQ(writes, 4u);
#endif
}

TEST_F(DeviceTest, UnsupportedValuesAreInvalidCalls) {
    EXPECT_EQ(dev->SetRenderState(D3DRENDERSTATETYPE(8), 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetRenderState(D3DRS_SRCBLEND, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetRenderState(D3DRS_ZENABLE, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(2), 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetTextureStageState(0, D3DTSS_COLOROP, 7), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetFVF(0x142), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetTransform(D3DTRANSFORMSTATETYPE(16), nullptr), D3DERR_INVALIDCALL);
    IDirect3DVertexBuffer9* vb = quad(1, 1);
    ASSERT_EQ(dev->SetStreamSource(0, vb, 0, 32), D3D_OK);
    // Outside a scene, past the buffer's end, or of an unknown type.
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3DERR_INVALIDCALL);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 1, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawPrimitive(D3DPRIMITIVETYPE(1), 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(dev->EndScene(), D3DERR_INVALIDCALL);
    void* p = nullptr;
    EXPECT_EQ(vb->Lock(100, 64, &p, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, AdapterQueries) {
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_GT(mode.Width, 0u);
    EXPECT_GT(mode.Height, 0u);
    D3DCAPS9 caps{};
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    UINT max = dynamic_cast<d3d9impl::Device*>(dev)->maxTextureSize();
    EXPECT_GE(max, 2048u);
    EXPECT_EQ(caps.MaxTextureWidth, max);
    EXPECT_EQ(caps.MaxTextureHeight, max);
    EXPECT_EQ(GetActiveWindow(), SDL_GetVideoSurface());
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
}

}  // namespace
