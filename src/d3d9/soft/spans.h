// The span kernels of the host's standard pipeline, portable and AVX2 (picked once at run time),
// and the scalar pixel loops every path shares.
#ifndef D3D9_SOFT_SPANS_H
#define D3D9_SOFT_SPANS_H

#include "gl_rules.h"

#include <cstddef>
#include <cstdint>

namespace d3d9soft {

// Internal linkage, as in gl_rules.h: the AVX2 file is compiled for another CPU.
namespace {

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

// n pixels of a rect row at depth z whose texels lie side by side in src: the portable
// kernel's rows, and the SIMD kernel's last pixels of each.
inline void rectPixels(uint32_t* dst, uint16_t* depth, const uint32_t* src, int n, uint16_t z, const float* colour) {
    for (int i = 0; i < n; ++i) {
        if (z > depth[i]) continue;
        depth[i] = z;
        dst[i] = blendStandard(colour ? modulateTexel(src[i], colour) : src[i], dst[i]);
    }
}

// Any pipeline's pixel: texel alpha or opaque, modulated unless plain, blended by any factors.
inline uint32_t shadedPixel(const Shading& s, uint32_t texel, uint32_t dst) {
    if (!s.texelAlpha) texel |= 0xFF000000;
    uint32_t src = s.plain ? texel : modulateTexel(texel, s.colour);
    if (!s.blend) return src;
    uint32_t sa = src >> 24;
    auto weight = [sa](BlendFactor f) -> uint32_t {
        switch (f) {
        case kBlendZero: return 0;
        case kBlendOne: return 255;
        case kBlendSrcAlpha: return sa;
        default: return 255 - sa;
        }
    };
    return blendWeighted(src, dst, weight(s.src), weight(s.dst));
}

// Pixels [x0, x0 + n) of triangle row y one at a time: depth clipped to 0..1, tested and
// written when the shading asks, the texel from the planes.
inline void scalarSpan(const Target& t, int y, int x0, int n, const Shading& s, const TriangleRows& rows) {
    uint32_t* colour = t.colour + size_t(y) * t.pitch;
    uint16_t* depth = s.depthTest && t.depth ? t.depth + size_t(y) * t.pitch : nullptr;
    float yf = float(y);
    for (int x = x0; x < x0 + n; ++x) {
        float xf = float(x);
        float z = planeAt(rows.z, xf, yf);
        if (!(z >= 0.f && z <= 1.f)) continue;
        if (depth) {
            uint16_t z16 = depth16(z);
            if (z16 > depth[x]) continue;
            depth[x] = z16;
        }
        int tu = wrapTexel(planeAt(rows.u, xf, yf), s.tw), tv = wrapTexel(planeAt(rows.v, xf, yf), s.th);
        colour[x] = shadedPixel(s, s.texels[tv * s.tw + tu], colour[x]);
    }
}

}  // namespace

struct SpanKernels {
    // Vertices [first, first + n) of a layout into out; where the CPU has FMA, inline.
    void (*vertices)(const VertexLayout& layout, size_t first, int n, ScreenVertex* out);
    // w x h pixels at one depth from dst and depth on (rows pitch apart) take texels from
    // (tx, ty) on, one per pixel, wrapping around the tw x th texture; colour is null when plain.
    void (*rect)(uint32_t* dst, uint16_t* depth, size_t pitch, int w, int h, const uint32_t* texels, int tw, int th,
                 int tx, int ty, uint16_t z, const float* colour, AlphaKind alpha);
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
