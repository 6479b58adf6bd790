// The CPU rasteriser drawing into memory: coverage rules, snapping, depth, every SIMD kernel, the command list.
#include "raster.h"
#include "spans.h"
#include "workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace d3d9soft;

struct Canvas {
    static constexpr int kW = 64, kH = 32, kPitch = kW + kRowSlack;
    std::vector<uint32_t> colour = std::vector<uint32_t>(kPitch * kH, 0);
    std::vector<uint16_t> depth = std::vector<uint16_t>(kPitch * kH, 0xFFFF);
    Target target() { return {colour.data(), depth.data(), kW, kH, kPitch}; }
    uint32_t at(int x, int y) const { return colour[size_t(y) * kPitch + x]; }
};

const uint32_t kOpaqueRed = 0xFF0000FF;

Shading solid(const uint32_t* texel, int tw = 1, int th = 1) {
    return Shading{texel, tw, th, {1, 1, 1, 1}, true, true, true, true, kBlendSrcAlpha, kBlendInvSrcAlpha};
}

// Two triangles of a fan quad, as the device records a quad that is not a plain rectangle.
void drawQuad(Canvas& c, float x0, float y0, float x1, float y1, const Shading& s, float z = 0.5f) {
    ScreenVertex q[4] = {{x0, y0, z, 0, 0}, {x1, y0, z, 1, 0}, {x1, y1, z, 1, 1}, {x0, y1, z, 0, 1}};
    drawTriangle(c.target(), {0, Canvas::kH}, Triangle{{q[0], q[1], q[2]}, s});
    drawTriangle(c.target(), {0, Canvas::kH}, Triangle{{q[0], q[2], q[3]}, s});
}

int covered(const Canvas& c) {
    int n = 0;
    for (int y = 0; y < Canvas::kH; ++y)
        for (int x = 0; x < Canvas::kW; ++x) n += c.at(x, y) != 0;
    return n;
}

TEST(Raster, EdgesThroughPixelCentresBelongToOneSide) {
    // Edges at half pixels run through centres: the left and the bottom edge own them, as in GL here.
    Canvas c;
    drawQuad(c, 2.5f, 3.5f, 6.5f, 5.5f, solid(&kOpaqueRed));
    EXPECT_EQ(covered(c), 8);
    EXPECT_EQ(c.at(2, 4), kOpaqueRed);
    EXPECT_EQ(c.at(5, 5), kOpaqueRed);
    EXPECT_EQ(c.at(6, 4), 0u);
    EXPECT_EQ(c.at(3, 3), 0u);
    // The rectangle path covers exactly the same pixels.
    Canvas r;
    ScreenVertex q[4] = {{2.5f, 3.5f, 0.5f, 0, 0}, {6.5f, 3.5f, 0.5f, 1, 0}, {6.5f, 5.5f, 0.5f, 1, 1},
                         {2.5f, 5.5f, 0.5f, 0, 1}};
    const uint32_t texels[8] = {kOpaqueRed, kOpaqueRed, kOpaqueRed, kOpaqueRed,
                                kOpaqueRed, kOpaqueRed, kOpaqueRed, kOpaqueRed};
    Rect rect;
    // Centres on texel borders of a quad GL cuts are left to the triangle path.
    EXPECT_FALSE(quadAsRect(q, solid(texels, 4, 2), true, &rect));
    for (ScreenVertex& v : q) v.x += 0.5f, v.y += 0.5f;
    ASSERT_TRUE(quadAsRect(q, solid(texels, 4, 2), true, &rect));
    drawRect(r.target(), {0, Canvas::kH}, rect);
    EXPECT_EQ(covered(r), 8);
    EXPECT_EQ(r.at(3, 4), kOpaqueRed);
}

TEST(Raster, RectsChooseTheTexelsOfTheirTriangles) {
    // Every texel its own colour, the quad at sub-pixel offsets on and around texel borders:
    // wherever the rect path takes a quad, it draws what the two triangles draw.
    uint32_t texels[8 * 4];
    for (int i = 0; i < 32; ++i) texels[i] = 0xFF000000u | uint32_t(i * 0x050301 + 0x10);
    const float steps[] = {0.f, 1 / 256.f, 1 / 512.f, 1 / 4096.f, 0.5f, 0.5f - 1 / 512.f, 0.5f + 1 / 4096.f, 0.37f};
    int taken = 0, tried = 0;
    for (float fx : steps)
        for (float fy : steps)
            for (float sign : {1.f, -1.f}) {
                float x0 = 10.f + sign * fx, y0 = 6.f - sign * fy;
                ScreenVertex q[4] = {{x0, y0, 0.5f, 0, 0}, {x0 + 8, y0, 0.5f, 1, 0}, {x0 + 8, y0 + 4, 0.5f, 1, 1},
                                     {x0, y0 + 4, 0.5f, 0, 1}};
                Canvas tri, rect;
                drawQuad(tri, x0, y0, x0 + 8, y0 + 4, solid(texels, 8, 4));
                Rect r;
                ++tried;
                if (!quadAsRect(q, solid(texels, 8, 4), false, &r)) continue;
                ++taken;
                drawRect(rect.target(), {0, Canvas::kH}, r);
                ASSERT_EQ(rect.colour, tri.colour) << "at " << x0 << "," << y0;
            }
    EXPECT_GT(taken, tried * 9 / 10);
}

TEST(Raster, SharedDiagonalIsDrawnOnce) {
    // Adding blend goes the generic way: a pixel drawn twice would be brighter, one drawn in
    // the wrong row would be missing.
    const uint32_t grey = 0xFF404040;
    Shading add{&grey, 1, 1, {1, 1, 1, 1}, true, false, true, true, kBlendOne, kBlendOne};
    Canvas c;
    drawQuad(c, 1.3f, 1.7f, 40.1f, 29.9f, add);
    for (int y = 0; y < Canvas::kH; ++y)
        for (int x = 0; x < Canvas::kW; ++x) {
            bool inside = x >= 1 && x < 40 && y >= 2 && y < 30;
            ASSERT_EQ(c.at(x, y), inside ? grey : 0u) << x << "," << y;
        }
}

TEST(Raster, PositionsSnapTo256thsOfAPixel) {
    // 1/1024 of a pixel is below the 1/256 snapping, so the edge lands on the centre.
    Canvas c;
    drawQuad(c, 2.5f + 1.f / 1024, 3.5f, 6.5f, 4.5f, solid(&kOpaqueRed));
    EXPECT_EQ(c.at(2, 4), kOpaqueRed);
    Canvas d;
    drawQuad(d, 2.5f + 1.f / 256, 3.5f, 6.5f, 4.5f, solid(&kOpaqueRed));
    EXPECT_EQ(d.at(2, 4), 0u);
}

TEST(Raster, DepthTestKeepsNearerAndTransparentTexelsWriteDepth) {
    const uint32_t clear = 0x00FFFFFF, green = 0xFF00FF00;
    Canvas c;
    drawQuad(c, 0, 0, 8, 8, solid(&clear), 0.25f);
    drawQuad(c, 0, 0, 16, 16, solid(&green), 0.75f);
    EXPECT_EQ(c.at(4, 4), 0u);
    EXPECT_EQ(c.at(12, 12), green);
    // Equal depth passes; depth beyond 0..1 draws nothing.
    drawQuad(c, 0, 0, 16, 16, solid(&kOpaqueRed), 0.75f);
    drawQuad(c, 0, 0, 32, 32, solid(&green), 1.5f);
    EXPECT_EQ(c.at(12, 12), kOpaqueRed);
    EXPECT_EQ(c.at(20, 20), 0u);
}

// Every kernel, on odd, power-of-two and mixed textures (their wraps differ), against the portable one.
TEST(Raster, SimdKernelsMatchThePortableOnes) {
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 here";
    std::mt19937 rng(3);
    SpanKernels kernels[2] = {baselineKernels(), avx2Kernels()};
    std::uniform_real_distribution<float> unit(0.f, 1.f), f(-3.f, 3.f), px(-4.f, 68.f);
    for (int round = 0; round < 300; ++round) {
        const int sizes[4][2] = {{7, 5}, {8, 4}, {256, 16}, {16, 3}};
        int tw = sizes[round / 2 % 4][0], th = sizes[round / 2 % 4][1];
        std::vector<uint32_t> texels(size_t(tw) * th);
        // Pictures of any alpha, of only opaque and clear texels, and of none of either.
        AlphaKind alpha = AlphaKind(round / 2 % 3);
        for (uint32_t& t : texels) {
            t = rng();
            if (alpha == kOpaqueOrClear) t = t & 0x01000000 ? t | 0xFF000000 : t & 0xFFFFFF;
            if (alpha == kBetween && (t >> 24 == 0 || t >> 24 == 255)) t ^= 0x80000000;
        }
        Canvas c[2];
        for (size_t i = 0; i < c[0].colour.size(); ++i) {
            c[0].colour[i] = rng();
            c[0].depth[i] = uint16_t(rng() % 3 == 0 ? 0 : 0xFFFF - rng() % 64);
        }
        c[1] = c[0];
        float colour[4] = {unit(rng), unit(rng), 0.5f, 1.f};
        Shading s = solid(texels.data(), tw, th);
        s.alpha = alpha;
        if (round % 5 > 1) {
            std::copy(colour, colour + 4, s.colour);
            s.plain = false;
        }
        int x = int(rng() % 60), y = int(rng() % 28), n = 1 + int(rng() % (64 - x)), h = 1 + int(rng() % (32 - y));
        Triangle tri;
        // Every fourth triangle flat, as pictures are, at times beyond the depth range; some
        // with texel coordinates past the sampler's wrap limit.
        float flat = 0.5f + f(rng) / 4, far = round % 7 == 3 ? 2.5e6f : 1.f;
        for (ScreenVertex& v : tri.v)
            v = {px(rng), px(rng) / 2, round % 4 == 0 ? flat : 0.5f + f(rng) / 6, f(rng) * far, f(rng) * far};
        tri.s = s;
        TriangleRows rows;
        bool any = triangleRows(c[0].target(), {0, Canvas::kH}, tri, &rows);
        uint32_t xrgb[2][64];
        for (int k = 0; k < 2; ++k) {
            size_t at = size_t(y) * Canvas::kPitch + x;
            if (round % 2) {
                kernels[k].rect(c[k].colour.data() + at, c[k].depth.data() + at, Canvas::kPitch, n, h, texels.data(), tw,
                                th, x % tw, y % th, uint16_t(0xFFF0), s.plain ? nullptr : s.colour, alpha);
            } else if (any) {
                kernels[k].triangle(c[k].target(), rows, s);
            }
            kernels[k].fill32(c[k].colour.data() + at + size_t(h - 1) * Canvas::kPitch, n / 2, 0x12345678);
            kernels[k].fill16(c[k].depth.data() + at, n / 3, 0x4321);
            kernels[k].toXrgb(xrgb[k], c[k].colour.data() + at, n);
        }
        ASSERT_EQ(c[0].colour, c[1].colour) << "round " << round;
        ASSERT_EQ(c[0].depth, c[1].depth) << "round " << round;
        ASSERT_TRUE(std::equal(xrgb[0], xrgb[0] + n, xrgb[1])) << "round " << round;
    }
    // The vertex stage: random matrices, with and without texture coordinates.
    float m[4][4], vertices[40][5];
    for (auto& row : m)
        for (float& e : row) e = f(rng);
    m[0][3] = m[1][3] = m[2][3] = 0.f;
    m[3][3] = 1.f;
    for (auto& v : vertices)
        for (float& e : v) e = px(rng);
    for (int uv : {12, -1}) {
        VertexLayout l{reinterpret_cast<const uint8_t*>(vertices), sizeof vertices[0], uv, m, 400.f, 300.f};
        ScreenVertex out[2][40];
        for (int k = 0; k < 2; ++k) kernels[k].vertices(l, 0, 40, out[k]);
        ASSERT_EQ(std::memcmp(out[0], out[1], sizeof out[0]), 0) << "uv " << uv;
    }
}

TEST(Workers, AFullCommandListCountsWhatItDrops) {
    Canvas c;
    Workers workers(c.target(), 2, 1);
    Command fill{Command::kFill, {}};
    fill.fill = Fill{0, 0, 1, 1, kOpaqueRed, 0, true, false};
    size_t pushed = 0;
    while (workers.push(fill, {0, 1})) ++pushed;
    EXPECT_GT(pushed, 0u);
    EXPECT_FALSE(workers.push(fill, {0, 1}));
    EXPECT_EQ(workers.dropped(), 2u);
    workers.finish(nullptr);
    EXPECT_EQ(c.at(0, 0), kOpaqueRed);
}

// Each band's first pixel as its batch left it, seen from the worker that drew the band.
struct FirstPixels final : BandSink {
    explicit FirstPixels(const Canvas& c) : canvas(c) {}
    void bandDone(Band band) override { seen[band.y0] = canvas.at(0, band.y0); }
    const Canvas& canvas;
    uint32_t seen[Canvas::kH] = {};
};

TEST(Workers, EachBatchIsCopiedBeforeTheNextIsDrawn) {
    Canvas c;
    Workers workers(c.target(), 2);
    Command fill{Command::kFill, {}};
    const uint32_t colours[] = {kOpaqueRed, 0xFF00FF00, 0xFFFF0000};
    std::vector<std::unique_ptr<FirstPixels>> sinks;
    for (int round = 0; round < 30; ++round) {
        // Recording goes on while the batch before is drawn; the last is drawn only with wait.
        for (uint32_t colour : colours) {
            fill.fill = Fill{0, 0, Canvas::kW, Canvas::kH, colour, 0, true, false};
            for (int i = 0; i < 40; ++i) workers.push(fill, {0, Canvas::kH});
            sinks.push_back(std::make_unique<FirstPixels>(c));
            workers.submit(sinks.back().get());
        }
    }
    workers.wait();
    for (size_t i = 0; i < sinks.size(); ++i) {
        int bands = 0;
        for (uint32_t first : sinks[i]->seen)
            if (first != 0) {
                ++bands;
                EXPECT_EQ(first, colours[i % 3]) << "batch " << i;
            }
        EXPECT_GT(bands, 1) << "batch " << i;
    }
}

}  // namespace
