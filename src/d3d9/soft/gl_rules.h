// The rulebook: every rounding step at which the CPU's pixels could part from GL's.
//
// Contract: drawn in any fixed-function state the device accepts, the CPU backend gives the
// pixels OpenGL gives on Mesa's llvmpipe as Debian 12 ships it (22.3): the same coverage, the
// same texel, the same depth decision, the same blended bytes. The rules were found by reading
// llvmpipe's setup, interpolation, sampling and blending code, then checked by reading GL's
// results back bit for bit (interpolated coordinates, texel choices, pixels). The judge is
// tests/d3d9/equivalence_test.cpp, which draws random scenes both ways on every kernel and
// allows no pixel to differ; tests/d3d9/raster_test.cpp pins each rule's own cases. Every kernel,
// portable or SIMD, uses these rules or follows them lane by lane where its name says so.
#ifndef D3D9_SOFT_GL_RULES_H
#define D3D9_SOFT_GL_RULES_H

#include "raster_types.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace d3d9soft {

// Sub-pixel precision of vertex positions: llvmpipe snaps to 1/256 of a pixel.
constexpr int kSubpixelBits = 8;
constexpr int64_t kOne = int64_t(1) << kSubpixelBits;

// Depth 0..1 as the 16-bit buffer stores it; the SIMD kernels scale by the same constant.
constexpr float kDepthScale = 65535.f;
inline uint16_t depth16(float z) { return static_cast<uint16_t>(z * kDepthScale + 0.5f); }

// Where a vertex behind the eye lands: so far off that nothing of it is drawn (no clipping
// against w is done; the host's pictures never have such vertices).
constexpr float kBehindTheEye = 1e30f;

// Texture coordinates this large, and NaN, sample texel 0: the sampler's integer conversion
// has nothing meaningful to give there.
constexpr float kWrapLimit = 1e9f;

// Where a vertex lands on the sub-pixel grid (pixel centres on whole numbers).
inline int64_t snap(float v) { return std::lrintf((v - 0.5f) * float(kOne)); }

// Which edge owns the pixel centres on it: left edges, and bottom edges among the horizontal
// ones (llvmpipe draws window framebuffers with the bottom edge rule). dx, dy run along the
// edge in top-down pixels, with the inside on the positive side.
inline bool ownsCentres(int64_t dx, int64_t dy) { return dy < 0 || (dy == 0 && dx < 0); }

// Where the vertex stage finds a vertex's parts, and what it maps them through.
struct VertexLayout {
    const uint8_t* bytes;  // the first vertex
    size_t stride;
    int uvOffset;            // bytes from a vertex's start to its u, v; -1 without them
    const float (*mvp)[4];   // world x view x projection, row vectors
    float halfWidth, halfHeight;
};

// Internal linkage: the AVX2 file is compiled for another CPU, and a shared inline copy from it
// must never be what the portable code calls.
namespace {

// The planes of u, v and z across the triangle v0, v1, v2 (the first of the counter-clockwise
// order), from unsnapped positions as llvmpipe's setup does it: the edges scaled by the inverse
// area first, every product and difference rounded on its own, the value at the origin's
// pixel centre from the first vertex.
inline void setupPlanes(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2, TriangleRows* out) {
    float dx01 = v0.x - v1.x, dy01 = v0.y - v1.y;
    float dx20 = v2.x - v0.x, dy20 = v2.y - v0.y;
    float ooa = 1.f / (dx01 * dy20 - dy01 * dx20);
    float dx01a = dx01 * ooa, dy01a = dy01 * ooa, dx20a = dx20 * ooa, dy20a = dy20 * ooa;
    float x0c = v0.x - 0.5f, y0c = v0.y - 0.5f;
    auto plane = [&](float ScreenVertex::*a) {
        float da01 = v0.*a - v1.*a, da20 = v2.*a - v0.*a;
        Plane p;
        p.dadx = da01 * dy20a - da20 * dy01a;
        p.dady = da20 * dx01a - da01 * dx20a;
        p.a0 = v0.*a - (p.dadx * x0c + p.dady * y0c);
        return p;
    };
    out->u = plane(&ScreenVertex::u);
    out->v = plane(&ScreenVertex::v);
    out->z = plane(&ScreenVertex::z);
}

// A plane at pixel (x, y) as the fragment stage evaluates it: the x step fused onto a0, then
// the y step fused onto that.
inline float planeAt(const Plane& p, float x, float y) {
    return std::fma(p.dady, y, std::fma(p.dadx, x, p.a0));
}

// a x b / 255 as the blender rounds it (not always to nearest; seen by experiment).
inline uint32_t mulNorm(uint32_t a, uint32_t b) {
    uint32_t x = a * b;
    return (x + (x >> 8) + 128) >> 8;
}

// A texel channel times a colour component: in floats, rounded to nearest even.
inline uint32_t modulate(uint32_t t, float c) {
    float x = float(t) * (1.f / 255.f);
    x = x * c;
    x = x * 255.f;
    long r = __builtin_lrintf(x);
    return r < 0 ? 0 : (r > 255 ? 255 : uint32_t(r));
}

inline uint32_t modulateTexel(uint32_t texel, const float* colour) {
    return modulate(texel & 0xFF, colour[0]) | modulate((texel >> 8) & 0xFF, colour[1]) << 8 |
           modulate((texel >> 16) & 0xFF, colour[2]) << 16 | modulate(texel >> 24, colour[3]) << 24;
}

// src x ws + dst x wd on every channel, each product rounded by mulNorm, the sum clamped.
inline uint32_t blendWeighted(uint32_t src, uint32_t dst, uint32_t ws, uint32_t wd) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t c = mulNorm((src >> shift) & 0xFF, ws) + mulNorm((dst >> shift) & 0xFF, wd);
        out |= (c > 255 ? 255 : c) << shift;
    }
    return out;
}

// The host's blend: source alpha over the destination.
inline uint32_t blendStandard(uint32_t src, uint32_t dst) {
    uint32_t a = src >> 24;
    return blendWeighted(src, dst, a, 255 - a);
}

// i modulo size in [0, size); sizes are mostly powers of two.
inline int wrapIndex(int64_t i, int size) {
    if ((size & (size - 1)) == 0) return int(i & (size - 1));
    int64_t m = i % size;
    return int(m < 0 ? m + size : m);
}

// The texel column or row of a coordinate, as the point sampler with wrap takes it: powers
// of two wrap the scaled coordinate, other sizes its fraction.
inline int wrapTexel(float u, int size) {
    if ((size & (size - 1)) == 0) {
        float f = u * float(size);
        if (!(f > -kWrapLimit && f < kWrapLimit)) return 0;
        return wrapIndex(int64_t(__builtin_floorf(f)), size);
    }
    if (!(u > -kWrapLimit && u < kWrapLimit)) return 0;
    float fr = u - __builtin_floorf(u);
    int i = int(fr * float(size));
    return i < size ? i : size - 1;
}

// A vertex's position through the matrix into c (clip space). The vertex stage rounds every
// product and sum on its own, x first and the translation last (this folder is built with
// -ffp-contract=off so the compiler cannot fuse them); texel choices depend on the last bit.
inline void clipPosition(const VertexLayout& l, const uint8_t* vertex, float c[4]) {
    float pos[3];
    std::memcpy(pos, vertex, sizeof pos);
    const float(*m)[4] = l.mvp;
    for (int j = 0; j < 4; ++j) c[j] = ((pos[0] * m[0][j] + pos[1] * m[1][j]) + pos[2] * m[2][j]) + m[3][j];
}

// Vertex i through the matrix and the viewport, which the vertex stage fuses.
inline ScreenVertex transformVertex(const VertexLayout& l, size_t i) {
    const uint8_t* p = l.bytes + i * l.stride;
    float c[4], uv[2] = {0.f, 0.f};
    clipPosition(l, p, c);
    if (l.uvOffset >= 0) std::memcpy(uv, p + l.uvOffset, sizeof uv);
    ScreenVertex v;
    if (!(c[3] > 0.f)) {
        v.x = v.y = kBehindTheEye;
        v.z = -1.f;
    } else {
        float iw = c[3] == 1.f ? 1.f : 1.f / c[3];
        v.x = std::fma(c[0] * iw, l.halfWidth, l.halfWidth);
        v.y = std::fma(c[1] * iw, -l.halfHeight, l.halfHeight);
        v.z = c[2] * iw;
    }
    v.u = uv[0];
    v.v = uv[1];
    return v;
}

// RGBA bytes as the X8R8G8B8 word of a 32-bit window surface.
inline uint32_t xrgbOf(uint32_t rgba) {
    return (rgba & 0xFF00FF00) | (rgba & 0xFF) << 16 | ((rgba >> 16) & 0xFF);
}

}  // namespace

}  // namespace d3d9soft

#endif
