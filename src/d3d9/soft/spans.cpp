// The portable span kernels and the run-time choice between them and the AVX2 ones.
#include "spans.h"

#include <cstdlib>
#include <cstring>

namespace d3d9soft {

namespace {

void rowBaseline(uint32_t* dst, uint16_t* depth, const uint32_t* src, int n, uint16_t z, uint32_t factor) {
    for (int i = 0; i < n; ++i) {
        if (z > depth[i]) continue;
        depth[i] = z;
        dst[i] = blendStandard(src[i], factor, dst[i]);
    }
}

void affineBaseline(uint32_t* dst, uint16_t* depth, int x, int n, const uint32_t* texels, int tw, int th,
                    float rowU, float dudx, float rowV, float dvdx, float rowZ, float dzdx, uint32_t factor) {
    for (int i = 0; i < n; ++i) {
        float xf = float(x + i);
        float z = rowZ + dzdx * xf;
        if (!(z >= 0.f && z <= 1.f)) continue;
        uint16_t z16 = uint16_t(z * 65535.f + 0.5f);
        if (z16 > depth[i]) continue;
        depth[i] = z16;
        int tu = wrapTexel(rowU + dudx * xf, tw), tv = wrapTexel(rowV + dvdx * xf, th);
        dst[i] = blendStandard(texels[tv * tw + tu], factor, dst[i]);
    }
}

}  // namespace

SpanKernels baselineKernels() { return {rowBaseline, affineBaseline}; }

const SpanKernels& spanKernels() {
    static const SpanKernels chosen = [] {
        const char* forced = std::getenv("GAMEHOST_SIMD");
        bool baseline = forced && std::strcmp(forced, "baseline") == 0;
        return !baseline && __builtin_cpu_supports("avx2") ? avx2Kernels() : baselineKernels();
    }();
    return chosen;
}

}  // namespace d3d9soft
