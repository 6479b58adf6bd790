// The same random scenes drawn by the OpenGL and the CPU backend must agree pixel by pixel.
#include "device_fixture.h"

#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

namespace {

struct Sprite {
    int picture;
    float sx, sy, angle, x, y, z, brightness;
};

class Equivalence : public DeviceFixture {
protected:
    // Draws the sprites over a grey frame on the backend GAMEHOST_DEVICE names.
    Picture render(const char* backend, const std::vector<Picture>& pictures, const std::vector<Sprite>& sprites) {
        TearDown();
        SDL_Quit();
        setenv("GAMEHOST_DEVICE", backend, 1);
        EXPECT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        OpenDeviceWindow(kWidth, kHeight, 32);
        SetUp();
        std::vector<IDirect3DTexture9*> textures;
        std::vector<IDirect3DVertexBuffer9*> quads;
        for (size_t i = 0; i < pictures.size(); ++i) {
            textures.push_back(loadOrFail(writeTga("p" + std::to_string(i) + ".tga", pictures[i])));
            quads.push_back(quad(pictures[i].w / 2.f, pictures[i].h / 2.f));
        }
        begin(0xFF406080);
        for (const Sprite& s : sprites) {
            D3DXMATRIX scale, turn, move, m;
            D3DXMatrixScaling(&scale, s.sx, s.sy, 1);
            D3DXMatrixRotationZ(&turn, s.angle);
            D3DXMatrixTranslation(&move, s.x, s.y, s.z);
            D3DXMatrixMultiply(&m, &scale, &turn);
            D3DXMatrixMultiply(&m, &m, &move);
            setBrightness(s.brightness);
            draw(textures[size_t(s.picture)], quads[size_t(s.picture)], m);
        }
        return endAndRead();
    }

    void SetUp() override {
        if (dev == nullptr) DeviceFixture::SetUp();
    }
    void TearDown() override {
        if (dev != nullptr) DeviceFixture::TearDown();
    }

    // Counts pixels whose colours differ at all, naming the first few. Alpha is not compared:
    // a window shows none, and GL's back buffer here does not keep the blended one.
    void expectSame(const std::vector<Picture>& pictures, const std::vector<Sprite>& sprites) {
        const char* was = std::getenv("GAMEHOST_DEVICE");
        std::string old = was ? was : "";
        Picture gl = render("opengl", pictures, sprites);
        Picture cpu = render("software", pictures, sprites);
        if (was)
            setenv("GAMEHOST_DEVICE", old.c_str(), 1);
        else
            unsetenv("GAMEHOST_DEVICE");
        int bad = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                if (near(cpu.at(x, y), gl.at(x, y))) continue;
                if (++bad <= 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << near(cpu.at(x, y), gl.at(x, y)).message();
            }
        EXPECT_EQ(bad, 0);
    }
};

std::vector<Picture> randomPictures(std::mt19937& rng) {
    std::vector<Picture> out;
    for (int i = 0; i < 6; ++i) {
        int w = 1 + int(rng() % 37), h = 1 + int(rng() % 37);
        Picture p{w, h, std::vector<uint8_t>(size_t(w) * h * 4)};
        for (size_t k = 0; k < p.rgba.size(); k += 4) {
            for (int c = 0; c < 3; ++c) p.rgba[k + c] = uint8_t(rng());
            const uint8_t alphas[] = {255, 255, 128, 0, uint8_t(rng())};
            p.rgba[k + 3] = alphas[rng() % 5];
        }
        out.push_back(p);
    }
    return out;
}

// Positions on whole, half and quarter pixels, a hair off them, and anywhere, inside the window
// unless shape moves them; depths inside and outside -1..1.
std::vector<Sprite> randomSprites(std::mt19937& rng, int count, const std::function<void(Sprite&)>& shape) {
    std::uniform_real_distribution<float> any(0.f, 1.f);
    const float fractions[] = {0.f, 0.5f, 0.25f, 0.75f, 0.5f + 1 / 4096.f, 1 / 1024.f};
    const float depths[] = {0.f, 0.5f, -0.5f, 1.f, -1.f, 1.25f, -1.5f, 0.25f};
    const float brightness[] = {1.f, 1.f, 0.5f, 0.f, 1.75f};
    std::vector<Sprite> out;
    for (int i = 0; i < count; ++i) {
        Sprite s;
        s.picture = int(rng() % 6);
        s.sx = s.sy = 1.f;
        s.angle = 0.f;
        float fx = rng() % 5 == 4 ? any(rng) : fractions[rng() % 6];
        float fy = rng() % 5 == 4 ? any(rng) : fractions[rng() % 6];
        s.x = float(int(rng() % 640) - 320) + fx;
        s.y = float(int(rng() % 440) - 220) + fy;
        s.z = depths[rng() % 8];
        s.brightness = brightness[rng() % 5];
        shape(s);
        out.push_back(s);
    }
    return out;
}

TEST_F(Equivalence, UnscaledSpritesAtAnyPosition) {
    std::mt19937 rng(11);
    std::vector<Picture> pictures = randomPictures(rng);
    expectSame(pictures, randomSprites(rng, 400, [](Sprite&) {}));
}

// Any of the shapes a picture takes: as it is, mirrored, stretched, quarter-turned, or scaled
// and turned freely.
void reshape(std::mt19937& rng, Sprite& s) {
    std::uniform_real_distribution<float> scale(0.3f, 3.f), angle(-3.2f, 3.2f);
    switch (rng() % 6) {
    case 0: break;
    case 1: s.sx = -1.f, s.sy = rng() % 2 ? 1.f : -1.f; break;
    case 2: s.sx = 2.f, s.sy = 3.f; break;
    case 3: s.angle = float(M_PI / 2) * float(rng() % 4); break;
    default:
        s.sx = scale(rng), s.sy = rng() % 2 ? s.sx : -scale(rng);
        s.angle = angle(rng);
    }
}

TEST_F(Equivalence, MirroredScaledAndTurnedSprites) {
    std::mt19937 rng(12);
    std::vector<Picture> pictures = randomPictures(rng);
    expectSame(pictures, randomSprites(rng, 300, [&](Sprite& s) { reshape(rng, s); }));
}

// GL cuts pictures that cross the window's edges before its setup, which moves its rounding:
// sprites of every shape with their centres near an edge or a corner, most of them across it.
TEST_F(Equivalence, SpritesAcrossTheWindowEdges) {
    std::mt19937 rng(13);
    std::vector<Picture> pictures = randomPictures(rng);
    expectSame(pictures, randomSprites(rng, 400, [&](Sprite& s) {
                   reshape(rng, s);
                   // Near the left or right edge (sx 1, 2), the bottom or top one (sy 1, 2),
                   // or a corner (both).
                   int side = 1 + int(rng() % 8), sx = side % 3, sy = side / 3;
                   float fx = s.x - std::floor(s.x), fy = s.y - std::floor(s.y);
                   if (sx) s.x = (sx == 1 ? -400.f : 400.f) + float(int(rng() % 41) - 20) + fx;
                   if (sy) s.y = (sy == 1 ? -300.f : 300.f) + float(int(rng() % 41) - 20) + fy;
               }));
}

}  // namespace
