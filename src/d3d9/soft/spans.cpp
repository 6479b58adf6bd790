// The portable span kernels and the run-time choice between them and the AVX2 ones.
#include "spans.h"

#include <cstdlib>
#include <cstring>

namespace d3d9soft {

namespace {

void verticesBaseline(const VertexLayout& layout, size_t first, int n, ScreenVertex* out) {
    for (int i = 0; i < n; ++i) out[i] = transformVertex(layout, first + size_t(i));
}

void rectBaseline(uint32_t* dst, uint16_t* depth, size_t pitch, int w, int h, const uint32_t* texels, int tw, int th,
                  int tx, int ty, uint16_t z, const float* colour) {
    forRectRows(dst, depth, pitch, w, h, texels, tw, th, tx, ty,
                [z, colour](uint32_t* d, uint16_t* zb, const uint32_t* src, int n) {
                    for (int i = 0; i < n; ++i) {
                        if (z > zb[i]) continue;
                        zb[i] = z;
                        d[i] = blendStandard(colour ? modulateTexel(src[i], colour) : src[i], d[i]);
                    }
                });
}

void affineSpan(uint32_t* dst, uint16_t* depth, int x, int y, int n, const uint32_t* texels, int tw, int th,
                const TriangleRows& rows, const float* colour) {
    float yf = float(y);
    for (int i = 0; i < n; ++i) {
        float xf = float(x + i);
        float z = planeAt(rows.z, xf, yf);
        if (!(z >= 0.f && z <= 1.f)) continue;
        uint16_t z16 = uint16_t(z * 65535.f + 0.5f);
        if (z16 > depth[i]) continue;
        depth[i] = z16;
        int tu = wrapTexel(planeAt(rows.u, xf, yf), tw), tv = wrapTexel(planeAt(rows.v, xf, yf), th);
        uint32_t t = texels[tv * tw + tu];
        dst[i] = blendStandard(colour ? modulateTexel(t, colour) : t, dst[i]);
    }
}

void triangleBaseline(const Target& t, const TriangleRows& rows, const Shading& s) {
    const float* colour = s.plain ? nullptr : s.colour;
    forTriangleRows(rows, [&](int y, int x0, int n) {
        size_t at = size_t(y) * t.pitch + x0;
        size_t ahead = at + size_t(kPrefetchRows) * t.pitch;
        if (y + kPrefetchRows < rows.y1) prefetchPixels(t.colour + ahead, t.depth + ahead, n);
        affineSpan(t.colour + at, t.depth + at, x0, y, n, s.texels, s.tw, s.th, rows, colour);
    });
}

void toXrgbBaseline(uint32_t* dst, const uint32_t* src, int n) {
    for (int i = 0; i < n; ++i) {
        uint32_t p = src[i];
        dst[i] = (p & 0xFF00FF00) | (p & 0xFF) << 16 | ((p >> 16) & 0xFF);
    }
}

void fill32Baseline(uint32_t* dst, int n, uint32_t value) {
    for (int i = 0; i < n; ++i) dst[i] = value;
}

void fill16Baseline(uint16_t* dst, int n, uint16_t value) {
    for (int i = 0; i < n; ++i) dst[i] = value;
}

}  // namespace

SpanKernels baselineKernels() {
    return {verticesBaseline, rectBaseline, triangleBaseline, toXrgbBaseline, fill32Baseline, fill16Baseline};
}

const SpanKernels& spanKernels() {
    static const SpanKernels chosen = [] {
        const char* forced = std::getenv("GAMEHOST_SIMD");
        bool baseline = forced && std::strcmp(forced, "baseline") == 0;
        bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        return !baseline && avx2 ? avx2Kernels() : baselineKernels();
    }();
    return chosen;
}

}  // namespace d3d9soft
