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
                  int tx, int ty, uint16_t z, const float* colour, AlphaKind) {
    forRectRows(dst, depth, pitch, w, h, texels, tw, th, tx, ty,
                [z, colour](uint32_t* d, uint16_t* zb, const uint32_t* src, int n) { rectPixels(d, zb, src, n, z, colour); });
}

void triangleBaseline(const Target& t, const TriangleRows& rows, const Shading& s) {
    forTriangleRows(rows, [&](int y, int x0, int n) {
        size_t ahead = (size_t(y) + kPrefetchRows) * t.pitch + x0;
        if (y + kPrefetchRows < rows.y1) prefetchPixels(t.colour + ahead, t.depth + ahead, n);
        scalarSpan(t, y, x0, n, s, rows);
    });
}

void toXrgbBaseline(uint32_t* dst, const uint32_t* src, int n) {
    for (int i = 0; i < n; ++i) dst[i] = xrgbOf(src[i]);
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
