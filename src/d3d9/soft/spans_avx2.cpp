// The span kernels eight pixels at a time with AVX2 and FMA (this file alone is compiled for them).
#include "spans.h"

#include <cmath>
#include <immintrin.h>

namespace d3d9soft {

namespace {

// mulNorm on sixteen 16-bit lanes, from a in each lane's high byte and b·257 (b in both
// bytes): their product's high half is a·b·257 / 256 rounded down, which is x + (x >> 8)
// for x = a·b, exactly.
inline __m256i mulNorm16(__m256i aHigh, __m256i b257) {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mulhi_epu16(aHigh, b257), _mm256_set1_epi16(128)), 8);
}

// blendStandard for two pixels per lane half, their channels in the high bytes of 16-bit lanes.
inline __m256i blendHalf(__m256i s, __m256i d) {
    const __m256i alphaBytes = _mm256_setr_epi8(7, 7, 7, 7, 7, 7, 7, 7, 15, 15, 15, 15, 15, 15, 15, 15, 7, 7, 7, 7, 7,
                                                7, 7, 7, 15, 15, 15, 15, 15, 15, 15, 15);
    __m256i a = _mm256_shuffle_epi8(s, alphaBytes);
    // (255 - a)·257.
    __m256i ia = _mm256_sub_epi16(_mm256_set1_epi16(-1), a);
    return _mm256_add_epi16(mulNorm16(s, a), mulNorm16(d, ia));
}

// Eight modulated texels blended over eight destination pixels where pass32 is set.
template <AlphaKind kAlpha>
inline void blend8(uint32_t* dst, __m256i src, __m256i pass32) {
    __m256i zero = _mm256_setzero_si256();
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    if (kAlpha != kBetween) {
        // Opaque texels replace and clear ones keep what is there, exactly as the blend would;
        // one test covers both, so pictures made of such texels take one predictable branch.
        __m256i alpha = _mm256_srli_epi32(src, 24);
        __m256i opaque = _mm256_cmpeq_epi32(alpha, _mm256_set1_epi32(255));
        if (kAlpha == kOpaqueOrClear ||
            _mm256_testc_si256(_mm256_or_si256(opaque, _mm256_cmpeq_epi32(alpha, zero)), pass32)) {
            __m256i take = _mm256_and_si256(pass32, opaque);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_blendv_epi8(d, src, take));
            return;
        }
    }
    __m256i lo = blendHalf(_mm256_unpacklo_epi8(zero, src), _mm256_unpacklo_epi8(zero, d));
    __m256i hi = blendHalf(_mm256_unpackhi_epi8(zero, src), _mm256_unpackhi_epi8(zero, d));
    // Packing saturates sums above 255, as the scalar form clamps them.
    __m256i out = _mm256_blendv_epi8(d, _mm256_packus_epi16(lo, hi), pass32);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), out);
}

// modulate, channel by channel, for eight texels.
inline __m256i modulate8(__m256i t, const __m256* colour) {
    const __m256 inv = _mm256_set1_ps(1.f / 255.f), k255 = _mm256_set1_ps(255.f);
    const __m256i byte = _mm256_set1_epi32(0xFF), zero = _mm256_setzero_si256();
    __m256i out = zero;
    for (int c = 0; c < 4; ++c) {
        __m256i v = _mm256_and_si256(_mm256_srli_epi32(t, 8 * c), byte);
        __m256 f = _mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(v), inv), colour[c]), k255);
        __m256i r = _mm256_min_epi32(_mm256_max_epi32(_mm256_cvtps_epi32(f), zero), byte);
        out = _mm256_or_si256(out, _mm256_slli_epi32(r, 8 * c));
    }
    return out;
}

// The draw's colour, multiplied into every texel unless kPlain: known outside the loops, it
// costs plain pictures nothing per group.
template <bool kPlain>
struct Colour {
    explicit Colour(const float* c) {
        for (int i = 0; i < 4; ++i) v[i] = _mm256_set1_ps(kPlain ? 1.f : c[i]);
    }
    __m256i apply(__m256i t) const { return kPlain ? t : modulate8(t, v); }
    __m256 v[4];
};

void verticesAvx2(const VertexLayout& layout, size_t first, int n, ScreenVertex* out) {
    for (int i = 0; i < n; ++i) out[i] = transformVertex(layout, first + size_t(i));
}

// One row of a rect: n pixels at depth z whose texels lie side by side in src.
template <AlphaKind kAlpha, bool kPlain>
inline void rectRow(uint32_t* dst, uint16_t* depth, const uint32_t* src, int n, uint16_t z, __m128i zv,
                    const Colour<kPlain>& col, const float* colour) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i zb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth + i));
        __m128i pass16 = _mm_cmpeq_epi16(_mm_min_epu16(zv, zb), zv);
        if (_mm_movemask_epi8(pass16) == 0) continue;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(depth + i), _mm_blendv_epi8(zb, zv, pass16));
        __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        blend8<kAlpha>(dst + i, col.apply(t), _mm256_cvtepi16_epi32(pass16));
    }
    rectPixels(dst + i, depth + i, src + i, n - i, z, colour);
}

template <AlphaKind kAlpha, bool kPlain>
void rectRows(uint32_t* dst, uint16_t* depth, size_t pitch, int w, int h, const uint32_t* texels, int tw, int th,
              int tx, int ty, uint16_t z, const float* colour) {
    Colour<kPlain> col(colour);
    __m128i zv = _mm_set1_epi16(static_cast<short>(z));
    forRectRows(dst, depth, pitch, w, h, texels, tw, th, tx, ty,
                [&](uint32_t* d, uint16_t* zb, const uint32_t* src, int n) {
                    rectRow<kAlpha>(d, zb, src, n, z, zv, col, colour);
                });
}

template <bool kPlain>
void rectAlphaAvx2(uint32_t* dst, uint16_t* depth, size_t pitch, int w, int h, const uint32_t* texels, int tw, int th,
                   int tx, int ty, uint16_t z, const float* colour, AlphaKind alpha) {
    auto rows = alpha == kBetween         ? rectRows<kBetween, kPlain>
                : alpha == kOpaqueOrClear ? rectRows<kOpaqueOrClear, kPlain>
                                          : rectRows<kAnyAlpha, kPlain>;
    rows(dst, depth, pitch, w, h, texels, tw, th, tx, ty, z, colour);
}

void rectAvx2(uint32_t* dst, uint16_t* depth, size_t pitch, int w, int h, const uint32_t* texels, int tw, int th,
              int tx, int ty, uint16_t z, const float* colour, AlphaKind alpha) {
    (colour ? rectAlphaAvx2<false> : rectAlphaAvx2<true>)(dst, depth, pitch, w, h, texels, tw, th, tx, ty, z, colour,
                                                          alpha);
}

inline bool powerOfTwo(int size) { return (size & (size - 1)) == 0; }

// Where eight lanes' texels lie in a texture: wrapTexel on each axis, then rows of tw texels.
// kPow2: both sizes are powers of two, as most pictures' are, known outside the loops; the
// planes then come scaled by the sizes (see Planes8).
template <bool kPow2>
struct Texels8 {
    explicit Texels8(const Shading& s)
        : texels(reinterpret_cast<const int*>(s.texels)), size{_mm256_set1_ps(float(s.tw)), _mm256_set1_ps(float(s.th))},
          last{_mm256_set1_epi32(s.tw - 1), _mm256_set1_epi32(s.th - 1)}, width(_mm256_set1_epi32(s.tw)),
          widthShift(_mm_cvtsi32_si128(__builtin_ctz(unsigned(s.tw)))), pow2{powerOfTwo(s.tw), powerOfTwo(s.th)} {}
    // Powers of two wrap the scaled coordinate by a mask, other sizes its fraction.
    __m256i wrap(__m256 u, int axis) const {
        if (kPow2) return _mm256_and_si256(_mm256_cvttps_epi32(_mm256_floor_ps(u)), last[axis]);
        if (pow2[axis])
            return _mm256_and_si256(_mm256_cvttps_epi32(_mm256_floor_ps(_mm256_mul_ps(u, size[axis]))), last[axis]);
        __m256 fr = _mm256_sub_ps(u, _mm256_floor_ps(u));
        __m256i i = _mm256_cvttps_epi32(_mm256_mul_ps(fr, size[axis]));
        // Not-a-number converts to the most negative integer; the scalar form gives 0.
        return _mm256_max_epi32(_mm256_min_epi32(i, last[axis]), _mm256_setzero_si256());
    }
    __m256i index(__m256 u, __m256 v) const {
        __m256i row = kPow2 ? _mm256_sll_epi32(wrap(v, 1), widthShift) : _mm256_mullo_epi32(wrap(v, 1), width);
        return _mm256_add_epi32(row, wrap(u, 0));
    }
    const int* texels;
    __m256 size[2];
    __m256i last[2], width;
    __m128i widthShift;
    bool pow2[2];
};

// A triangle's planes in every lane, held apart from the triangle so stores to the target
// cannot make the compiler load them again for every group. u and v may come scaled by
// powers of two (su, sv), which scales each rounded result exactly (see clearOfSubnormals).
struct Planes8 {
    Planes8(const TriangleRows& rows, float su, float sv) {
        const Plane* p[3] = {&rows.u, &rows.v, &rows.z};
        const float scale[3] = {su, sv, 1.f};
        for (int i = 0; i < 3; ++i) {
            a0[i] = _mm256_set1_ps(p[i]->a0 * scale[i]);
            dadx[i] = _mm256_set1_ps(p[i]->dadx * scale[i]);
            dady[i] = _mm256_set1_ps(p[i]->dady * scale[i]);
        }
    }
    // planeAt of plane i (u, v, z) for eight pixels of a row.
    __m256 at(int i, __m256 x, __m256 y) const {
        return _mm256_fmadd_ps(dady[i], y, _mm256_fmadd_ps(dadx[i], x, a0[i]));
    }
    __m256 a0[3], dadx[3], dady[3];
};

// The depth test of eight pixels (xf, yf) of a triangle row: the lanes of live (16-bit lanes)
// that pass, their depth written. A flat plane (every picture drawn flat, as 2D games draw)
// has one depth, z16, known to lie in 0..1; other planes are evaluated and clipped to 0..1
// lane by lane.
template <bool kFlat>
inline __m256i depthPass(uint16_t* depth, __m256 xf, __m256 yf, __m128i live, const Planes8& planes, __m128i z16) {
    __m128i zb16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth));
    if (kFlat) {
        __m128i pass16 = _mm_and_si128(_mm_cmpeq_epi16(_mm_min_epu16(z16, zb16), z16), live);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(depth), _mm_blendv_epi8(zb16, z16, pass16));
        return _mm256_cvtepi16_epi32(pass16);
    }
    __m256 z = planes.at(2, xf, yf);
    __m256 inside = _mm256_and_ps(_mm256_cmp_ps(z, _mm256_setzero_ps(), _CMP_GE_OQ),
                                  _mm256_cmp_ps(z, _mm256_set1_ps(1.f), _CMP_LE_OQ));
    // depth16, lane by lane.
    __m256i z32 = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(z, _mm256_set1_ps(kDepthScale)), _mm256_set1_ps(0.5f)));
    __m256i zb = _mm256_cvtepu16_epi32(zb16);
    __m256i pass = _mm256_and_si256(_mm256_andnot_si256(_mm256_cmpgt_epi32(z32, zb), _mm256_castps_si256(inside)),
                                    _mm256_cvtepi16_epi32(live));
    __m256i nz = _mm256_blendv_epi8(zb, z32, pass);
    __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(nz, nz), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(depth), _mm256_castsi256_si128(packed));
    return pass;
}

// The texels at eight indices, all inside the texture. Eight loads, their indices taken out
// through general registers, took 5 to 9% less of a turned picture's time on one core than one
// gather: the AMD Zen 3 cores we measure on split a gather into dozens of micro-operations.
inline __m128i texels4(const int* texels, __m128i index) {
    uint64_t a = uint64_t(_mm_cvtsi128_si64(index)), b = uint64_t(_mm_extract_epi64(index, 1));
    __m128i t = _mm_cvtsi32_si128(texels[uint32_t(a)]);
    t = _mm_insert_epi32(t, texels[a >> 32], 1);
    t = _mm_insert_epi32(t, texels[uint32_t(b)], 2);
    return _mm_insert_epi32(t, texels[b >> 32], 3);
}

inline __m256i texels8(const int* texels, __m256i index) {
    __m128i lo = texels4(texels, _mm256_castsi256_si128(index));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), texels4(texels, _mm256_extracti128_si256(index, 1)), 1);
}

// The depth test and texels of eight pixels (xf, yf) of a triangle row; the passing lanes.
// Every lane's texel is read, passing or not: the index wraps into the texture either way.
template <bool kFlat, bool kPow2>
inline __m256i fetch8(uint16_t* depth, __m256 xf, __m256 yf, __m128i live, const Texels8<kPow2>& tex,
                      const Planes8& planes, __m128i z16, __m256i* texel) {
    __m256i pass = depthPass<kFlat>(depth, xf, yf, live, planes, z16);
    *texel = texels8(tex.texels, tex.index(planes.at(0, xf, yf), planes.at(1, xf, yf)));
    return pass;
}

// Each group is blended one group behind its depth test and texels: its texel loads take long,
// and the next group's work goes on meanwhile. (Taking a row's depth tests and
// texels first and its blends after was slower: two loops, and a row ends in two branches.)
template <bool kFlat, bool kPow2, AlphaKind kAlpha, bool kPlain>
inline void affineSpan(uint32_t* dst, uint16_t* depth, int x, int y, int n, const Texels8<kPow2>& tex,
                       const Planes8& planes, __m128i z16, const Colour<kPlain>& col) {
    const __m128i lanes = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    __m256 yf = _mm256_set1_ps(float(y));
    // Pixel columns as floats, stepped by eight: exact, as they stay far below 2^24.
    __m256 xf = _mm256_add_ps(_mm256_set1_ps(float(x)), _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7));
    // The last group's lanes past the row's end keep what is there (the row's slack holds them
    // where the row ends).
    auto live = [&](int g) { return _mm_cmpgt_epi16(_mm_set1_epi16(short(n - 8 * g < 8 ? n - 8 * g : 8)), lanes); };
    auto blend = [&](int g, __m256i texel, __m256i pass) {
        if (!_mm256_testz_si256(pass, pass)) blend8<kAlpha>(dst + 8 * g, col.apply(texel), pass);
    };
    int groups = (n + 7) / 8;
    __m256i texel, pass = fetch8<kFlat>(depth, xf, yf, live(0), tex, planes, z16, &texel);
    for (int g = 1; g < groups; ++g) {
        xf = _mm256_add_ps(xf, _mm256_set1_ps(8.f));
        __m256i nextTexel, nextPass = fetch8<kFlat>(depth + 8 * g, xf, yf, live(g), tex, planes, z16, &nextTexel);
        blend(g - 1, texel, pass);
        texel = nextTexel;
        pass = nextPass;
    }
    blend(groups - 1, texel, pass);
}

template <bool kFlat, bool kPow2, AlphaKind kAlpha, bool kPlain>
void triangleRowsAvx2(const Target& t, const TriangleRows& rows, const Shading& s, __m128i z16) {
    Colour<kPlain> col(s.colour);
    Planes8 planes(rows, kPow2 ? float(s.tw) : 1.f, kPow2 ? float(s.th) : 1.f);
    Texels8<kPow2> tex(s);
    forTriangleRows(rows, [&](int y, int x0, int n) {
        size_t at = size_t(y) * t.pitch + x0;
        size_t ahead = at + size_t(kPrefetchRows) * t.pitch;
        if (y + kPrefetchRows < rows.y1) prefetchPixels(t.colour + ahead, t.depth + ahead, n);
        affineSpan<kFlat, kPow2, kAlpha, kPlain>(t.colour + at, t.depth + at, x0, y, n, tex, planes, z16, col);
    });
}

template <bool kFlat, bool kPow2, bool kPlain>
void triangleAlphaAvx2(const Target& t, const TriangleRows& rows, const Shading& s, __m128i z16) {
    auto draw = s.alpha == kBetween         ? triangleRowsAvx2<kFlat, kPow2, kBetween, kPlain>
                : s.alpha == kOpaqueOrClear ? triangleRowsAvx2<kFlat, kPow2, kOpaqueOrClear, kPlain>
                                            : triangleRowsAvx2<kFlat, kPow2, kAnyAlpha, kPlain>;
    draw(t, rows, s, z16);
}

template <bool kFlat, bool kPow2>
void trianglePlainAvx2(const Target& t, const TriangleRows& rows, const Shading& s, __m128i z16) {
    (s.plain ? triangleAlphaAvx2<kFlat, kPow2, true> : triangleAlphaAvx2<kFlat, kPow2, false>)(t, rows, s, z16);
}

// No coefficient of p is nonzero and below 2^-100 in size: then every value planeAt gives at
// a pixel centre is 0 or far above the subnormals (the products of pixel coordinates and the
// sums are multiples of the coefficients' last bits), so scaling p by a power of two scales
// each value exactly while it stays finite.
bool clearOfSubnormals(const Plane& p) {
    const float coefficients[3] = {p.a0, p.dadx, p.dady};
    for (float c : coefficients)
        if (c != 0.f && !(std::fabs(c) >= 0x1p-100f)) return false;
    return true;
}

template <bool kFlat>
void triangleSizeAvx2(const Target& t, const TriangleRows& rows, const Shading& s, __m128i z16) {
    bool pow2 = powerOfTwo(s.tw) && powerOfTwo(s.th) && clearOfSubnormals(rows.u) && clearOfSubnormals(rows.v);
    (pow2 ? trianglePlainAvx2<kFlat, true> : trianglePlainAvx2<kFlat, false>)(t, rows, s, z16);
}

// Whether plane p scaled by size stays well inside the sampler's wrap limit over the rows
// (where wrapTexel gives texel 0 and the masks here would not) at any column; false for NaN.
bool withinWrapLimit(const Plane& p, int size, const TriangleRows& rows) {
    float bound = std::fabs(p.a0) + std::fabs(p.dadx) * float(rows.width) + std::fabs(p.dady) * float(rows.y1);
    return bound * float(size) < kWrapLimit / 2;
}

void triangleAvx2(const Target& t, const TriangleRows& rows, const Shading& s) {
    // Powers of two wrap by masks; with the limit far off, the scaled planes stay finite too.
    // Nearer, the portable kernel draws the triangle by the rule itself.
    if ((powerOfTwo(s.tw) && !withinWrapLimit(rows.u, s.tw, rows)) ||
        (powerOfTwo(s.th) && !withinWrapLimit(rows.v, s.th, rows)))
        return baselineKernels().triangle(t, rows, s);
    // A flat depth plane gives every pixel its a0 exactly (the products with 0 vanish).
    const Plane& z = rows.z;
    if (!(z.dadx == 0.f && z.dady == 0.f)) return triangleSizeAvx2<false>(t, rows, s, _mm_setzero_si128());
    if (z.a0 >= 0.f && z.a0 <= 1.f) triangleSizeAvx2<true>(t, rows, s, _mm_set1_epi16(static_cast<short>(depth16(z.a0))));
}

void toXrgbAvx2(uint32_t* dst, const uint32_t* src, int n) {
    const __m256i swap = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2, 1, 0, 3, 6, 5, 4, 7,
                                          10, 9, 8, 11, 14, 13, 12, 15);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_shuffle_epi8(p, swap));
    }
    for (; i < n; ++i) dst[i] = xrgbOf(src[i]);
}

void fill32Avx2(uint32_t* dst, int n, uint32_t value) {
    __m256i v = _mm256_set1_epi32(static_cast<int>(value));
    int i = 0;
    for (; i + 8 <= n; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
    for (; i < n; ++i) dst[i] = value;
}

void fill16Avx2(uint16_t* dst, int n, uint16_t value) {
    __m256i v = _mm256_set1_epi16(static_cast<short>(value));
    int i = 0;
    for (; i + 16 <= n; i += 16) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
    for (; i < n; ++i) dst[i] = value;
}

}  // namespace

SpanKernels avx2Kernels() { return {verticesAvx2, rectAvx2, triangleAvx2, toXrgbAvx2, fill32Avx2, fill16Avx2}; }

}  // namespace d3d9soft
