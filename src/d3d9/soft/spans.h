// Span kernels of the host's standard pipeline, with an AVX2 version picked once at run time.
#ifndef D3D9_SOFT_SPANS_H
#define D3D9_SOFT_SPANS_H

#include <cstdint>

namespace d3d9soft {

// Internal linkage: the AVX2 file is compiled for another CPU, and a shared inline copy from it
// must never be what the portable code calls.
namespace {

// x / 255 rounded to nearest, exact for every x up to 255 * 255 + 255.
inline uint32_t div255(uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// The standard pixel: texel x factor, source-alpha blended over dst (every channel, alpha too).
inline uint32_t blendStandard(uint32_t texel, uint32_t factor, uint32_t dst) {
    uint32_t a = div255((texel >> 24) * (factor >> 24));
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t s = shift == 24 ? a : div255(((texel >> shift) & 0xFF) * ((factor >> shift) & 0xFF));
        uint32_t d = (dst >> shift) & 0xFF;
        out |= div255(s * a + d * (255 - a)) << shift;
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

}  // namespace

struct SpanKernels {
    // n pixels at one depth whose texels lie side by side in src.
    void (*row)(uint32_t* dst, uint16_t* depth, const uint32_t* src, int n, uint16_t z, uint32_t factor);
    // Pixels [x, x + n) of a triangle row: u, v (0..1 over the texture) and depth z are
    // rowU + dudx * x and so on, evaluated per pixel; depth outside 0..1 is clipped away.
    void (*affine)(uint32_t* dst, uint16_t* depth, int x, int n, const uint32_t* texels, int tw, int th, float rowU,
                   float dudx, float rowV, float dvdx, float rowZ, float dzdx, uint32_t factor);
};

SpanKernels baselineKernels();
// Valid only where the CPU has AVX2.
SpanKernels avx2Kernels();
// The best the CPU runs; GAMEHOST_SIMD=baseline forces the portable one (for measuring).
const SpanKernels& spanKernels();

}  // namespace d3d9soft

#endif
