// Vertex and span kernels of the host's standard pipeline, with an AVX2 version picked once at run time.
#ifndef D3D9_SOFT_SPANS_H
#define D3D9_SOFT_SPANS_H

#include "raster.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace d3d9soft {

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

// A plane at pixel (x, y) as GL's fragment stage here evaluates it: the x step fused onto a0,
// then the y step fused onto that.
inline float planeAt(const Plane& p, float x, float y) {
    return std::fma(p.dady, y, std::fma(p.dadx, x, p.a0));
}

// a x b / 255 as GL's blender here rounds it (not always to nearest; seen by experiment).
inline uint32_t mulNorm(uint32_t a, uint32_t b) {
    uint32_t x = a * b;
    return (x + (x >> 8) + 128) >> 8;
}

// A texel channel times a colour component: in floats, rounded to nearest even, as GL's
// fragment stage here computes it.
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

// The standard pixel: a modulated texel, source-alpha blended over dst (every channel).
inline uint32_t blendStandard(uint32_t src, uint32_t dst) {
    uint32_t a = src >> 24, out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t c = mulNorm((src >> shift) & 0xFF, a) + mulNorm((dst >> shift) & 0xFF, 255 - a);
        out |= (c > 255 ? 255 : c) << shift;
    }
    return out;
}

// Texel column or row for a coordinate as GL's point sampler with wrap takes it: powers of two
// wrap the scaled coordinate, other sizes its fraction.
inline int wrapTexel(float u, int size) {
    if ((size & (size - 1)) == 0) {
        float f = u * float(size);
        if (!(f > -1e9f && f < 1e9f)) return 0;
        float fl = __builtin_floorf(f);
        return int(int64_t(fl) & (size - 1));
    }
    if (!(u > -1e9f && u < 1e9f)) return 0;
    float fr = u - __builtin_floorf(u);
    int i = int(fr * float(size));
    return i < size ? i : size - 1;
}

// A vertex's position through the matrix into c (clip space). GL's vertex stage here rounds
// every product and sum on its own, x first and the translation last; texel choices depend on
// the last bit.
inline void clipPosition(const VertexLayout& l, const uint8_t* vertex, float c[4]) {
    float pos[3];
    std::memcpy(pos, vertex, sizeof pos);
    const float(*m)[4] = l.mvp;
    for (int j = 0; j < 4; ++j) c[j] = ((pos[0] * m[0][j] + pos[1] * m[1][j]) + pos[2] * m[2][j]) + m[3][j];
}

// Vertex i through the matrix and the viewport, which GL's vertex stage here fuses.
inline ScreenVertex transformVertex(const VertexLayout& l, size_t i) {
    const uint8_t* p = l.bytes + i * l.stride;
    float c[4], uv[2] = {0.f, 0.f};
    clipPosition(l, p, c);
    if (l.uvOffset >= 0) std::memcpy(uv, p + l.uvOffset, sizeof uv);
    ScreenVertex v;
    // Behind the eye nothing is drawn (no clipping against w is done).
    if (!(c[3] > 0.f)) {
        v.x = v.y = 1e30f;
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

// Pictures land anywhere on the screen, so their rows miss the caches; a row a few rows ahead
// is asked for while this one is drawn (a row fits in a few cache lines).
constexpr int kPrefetchRows = 4;

inline void prefetchPixels(const uint32_t* colour, const uint16_t* depth, int n) {
    __builtin_prefetch(colour, 1);
    __builtin_prefetch(colour + n - 1, 1);
    __builtin_prefetch(depth, 1);
    __builtin_prefetch(depth + n - 1, 1);
}

// The rows of a rect kernel around a row function, split where the texture wraps.
template <typename Row>
inline void forRectRows(uint32_t* dst, uint16_t* depth, size_t pitch, int w, int h, const uint32_t* texels, int tw,
                        int th, int tx, int ty, Row row) {
    for (int y = 0; y < h; ++y, dst += pitch, depth += pitch, ty = ty + 1 == th ? 0 : ty + 1) {
        const uint32_t* texRow = texels + size_t(ty) * tw;
        if (y + kPrefetchRows < h) prefetchPixels(dst + kPrefetchRows * pitch, depth + kPrefetchRows * pitch, w);
        for (int x = 0, column = tx; x < w; column = 0) {
            int n = w - x < tw - column ? w - x : tw - column;
            row(dst + x, depth + x, texRow + column, n);
            x += n;
        }
    }
}

// Calls span(y, x0, n) for each row of a triangle that has pixels [x0, x0 + n) inside.
template <typename Span>
inline void forTriangleRows(TriangleRows rows, Span span) {
    for (int y = rows.y0; y < rows.y1; ++y) {
        int64_t lo = 0, hi = rows.width - 1;
        for (EdgeWalk& e : rows.edges) {
            if (e.sign > 0) hi = e.q < hi ? e.q : hi;
            else if (e.sign < 0) lo = -e.q > lo ? -e.q : lo;
            else if (e.q < 0) hi = -1;
            // Branch-free: the carry is taken about half the time.
            e.r += e.stepR;
            int64_t carry = -int64_t(e.r >= e.d);
            e.q += e.stepQ - carry;
            e.r -= e.d & carry;
        }
        if (lo > hi) continue;
        span(y, int(lo), int(hi - lo + 1));
    }
}

}  // namespace

struct SpanKernels {
    // Vertices [first, first + n) of a layout into out; where the CPU has FMA, inline.
    void (*vertices)(const VertexLayout& layout, size_t first, int n, ScreenVertex* out);
    // w x h pixels at one depth from dst and depth on (rows pitch apart) take texels from
    // (tx, ty) on, one per pixel, wrapping around the tw x th texture; colour is null when plain.
    void (*rect)(uint32_t* dst, uint16_t* depth, size_t pitch, int w, int h, const uint32_t* texels, int tw, int th,
                 int tx, int ty, uint16_t z, const float* colour);
    // A triangle in the standard pipeline: u, v (0..1 over the texture) and depth z from the
    // planes, evaluated per pixel with planeAt; depth outside 0..1 is clipped away. Groups of
    // eight pixels reach up to seven past a row's span, into the row's slack where it ends
    // (see kRowSlack).
    void (*triangle)(const Target& t, const TriangleRows& rows, const Shading& s);
    // RGBA bytes to the X8R8G8B8 words of a 32-bit window surface.
    void (*toXrgb)(uint32_t* dst, const uint32_t* src, int n);
    // Clears: n colour words, n depth values.
    void (*fill32)(uint32_t* dst, int n, uint32_t value);
    void (*fill16)(uint16_t* dst, int n, uint16_t value);
};

SpanKernels baselineKernels();
// Valid only where the CPU has AVX2.
SpanKernels avx2Kernels();
// The best the CPU runs; GAMEHOST_SIMD=baseline forces the portable one (for measuring).
const SpanKernels& spanKernels();

}  // namespace d3d9soft

#endif
