// The span kernels eight pixels at a time with AVX2 (this file alone is compiled with -mavx2).
#include "spans.h"

#include <immintrin.h>

namespace d3d9soft {

namespace {

// div255(a * b) on sixteen 16-bit lanes.
inline __m256i mulDiv255(__m256i a, __m256i b) {
    __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(a, b), _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), 8);
}

// Two pixels per lane half as 16-bit channels: texel x factor, blended over dst.
inline __m256i blendHalf(__m256i t, __m256i d, __m256i factor) {
    const __m256i alphaWords = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6, 7, 6,
                                                7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
    __m256i s = mulDiv255(t, factor);
    __m256i a = _mm256_shuffle_epi8(s, alphaWords);
    __m256i ia = _mm256_sub_epi16(_mm256_set1_epi16(255), a);
    __m256i x = _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(s, a), _mm256_mullo_epi16(d, ia)),
                                 _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), 8);
}

// Eight texels blended over eight destination pixels where pass32 is set.
inline void blend8(uint32_t* dst, __m256i texels, __m256i pass32, __m256i factor) {
    __m256i zero = _mm256_setzero_si256();
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    __m256i lo = blendHalf(_mm256_unpacklo_epi8(texels, zero), _mm256_unpacklo_epi8(d, zero), factor);
    __m256i hi = blendHalf(_mm256_unpackhi_epi8(texels, zero), _mm256_unpackhi_epi8(d, zero), factor);
    __m256i out = _mm256_blendv_epi8(d, _mm256_packus_epi16(lo, hi), pass32);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), out);
}

__m256i factorWords(uint32_t factor) {
    uint64_t f = uint64_t(factor & 0xFF) | uint64_t((factor >> 8) & 0xFF) << 16 |
                 uint64_t((factor >> 16) & 0xFF) << 32 | uint64_t(factor >> 24) << 48;
    return _mm256_set1_epi64x(static_cast<long long>(f));
}

void rowAvx2(uint32_t* dst, uint16_t* depth, const uint32_t* src, int n, uint16_t z, uint32_t factor) {
    __m256i f = factorWords(factor);
    __m128i zv = _mm_set1_epi16(static_cast<short>(z));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i zb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth + i));
        __m128i pass16 = _mm_cmpeq_epi16(_mm_min_epu16(zv, zb), zv);
        if (_mm_movemask_epi8(pass16) == 0) continue;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(depth + i), _mm_blendv_epi8(zb, zv, pass16));
        __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        blend8(dst + i, t, _mm256_cvtepi16_epi32(pass16), f);
    }
    for (; i < n; ++i) {
        if (z > depth[i]) continue;
        depth[i] = z;
        dst[i] = blendStandard(src[i], factor, dst[i]);
    }
}

// Texel columns or rows for eight coordinates, as wrapTexel takes them.
inline __m256i wrap8(__m256 u, int size) {
    __m256 fs = _mm256_set1_ps(float(size));
    if ((size & (size - 1)) == 0) {
        __m256i i = _mm256_cvttps_epi32(_mm256_floor_ps(_mm256_mul_ps(u, fs)));
        return _mm256_and_si256(i, _mm256_set1_epi32(size - 1));
    }
    __m256 fr = _mm256_sub_ps(u, _mm256_floor_ps(u));
    __m256i i = _mm256_cvttps_epi32(_mm256_mul_ps(fr, fs));
    // Not-a-number converts to the most negative integer; the scalar form gives 0.
    return _mm256_max_epi32(_mm256_min_epi32(i, _mm256_set1_epi32(size - 1)), _mm256_setzero_si256());
}

void affineAvx2(uint32_t* dst, uint16_t* depth, int x, int n, const uint32_t* texels, int tw, int th, float rowU,
                float dudx, float rowV, float dvdx, float rowZ, float dzdx, uint32_t factor) {
    __m256i f = factorWords(factor);
    const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256 xf = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x + i), steps));
        __m256 z = _mm256_add_ps(_mm256_set1_ps(rowZ), _mm256_mul_ps(_mm256_set1_ps(dzdx), xf));
        __m256 inside = _mm256_and_ps(_mm256_cmp_ps(z, _mm256_setzero_ps(), _CMP_GE_OQ),
                                      _mm256_cmp_ps(z, _mm256_set1_ps(1.f), _CMP_LE_OQ));
        __m256i z32 = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(z, _mm256_set1_ps(65535.f)), _mm256_set1_ps(0.5f)));
        __m128i zb16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth + i));
        __m256i zb = _mm256_cvtepu16_epi32(zb16);
        __m256i pass = _mm256_andnot_si256(_mm256_cmpgt_epi32(z32, zb), _mm256_castps_si256(inside));
        if (_mm256_testz_si256(pass, pass)) continue;
        __m256i nz = _mm256_blendv_epi8(zb, z32, pass);
        __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(nz, nz), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(depth + i), _mm256_castsi256_si128(packed));
        __m256 u = _mm256_add_ps(_mm256_set1_ps(rowU), _mm256_mul_ps(_mm256_set1_ps(dudx), xf));
        __m256 v = _mm256_add_ps(_mm256_set1_ps(rowV), _mm256_mul_ps(_mm256_set1_ps(dvdx), xf));
        __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(wrap8(v, th), _mm256_set1_epi32(tw)), wrap8(u, tw));
        __m256i t = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(texels), index,
                                                pass, 4);
        blend8(dst + i, t, pass, f);
    }
    for (; i < n; ++i) {
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

SpanKernels avx2Kernels() { return {rowAvx2, affineAvx2}; }

}  // namespace d3d9soft
