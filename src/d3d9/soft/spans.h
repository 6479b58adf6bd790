// Span kernels of the host's standard pipeline, with an AVX2 version picked once at run time.
#ifndef D3D9_SOFT_SPANS_H
#define D3D9_SOFT_SPANS_H

#include <cstdint>

namespace d3d9soft {

// Internal linkage: the AVX2 file is compiled for another CPU, and a shared inline copy from it
// must never be what the portable code calls.
namespace {

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

}  // namespace

struct SpanKernels {
    // n pixels at one depth whose texels lie side by side in src; colour is null when plain.
    void (*row)(uint32_t* dst, uint16_t* depth, const uint32_t* src, int n, uint16_t z, const float* colour);
    // Pixels [x, x + n) of a triangle row: u, v (0..1 over the texture) and depth z are
    // rowU + dudx * x and so on, evaluated per pixel; depth outside 0..1 is clipped away.
    void (*affine)(uint32_t* dst, uint16_t* depth, int x, int n, const uint32_t* texels, int tw, int th, float rowU,
                   float dudx, float rowV, float dvdx, float rowZ, float dzdx, const float* colour);
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
