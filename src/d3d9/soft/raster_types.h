// What the CPU rasteriser works on: the target, the shading, vertices and the recorded draws.
#ifndef D3D9_SOFT_RASTER_TYPES_H
#define D3D9_SOFT_RASTER_TYPES_H

#include <cstdint>

namespace d3d9soft {

// Rows are this many words longer than the picture, so eight pixels from any column of a row
// stay within that row's memory (the span kernels write whole groups of eight).
constexpr int kRowSlack = 8;

// Colour words hold RGBA bytes in memory order (R lowest), as textures do.
struct Target {
    uint32_t* colour;
    uint16_t* depth;  // null without a depth buffer
    int width, height;
    int pitch;  // words from one row to the next: at least width + kRowSlack
};

// The rows [y0, y1) one worker owns.
struct Band {
    int y0, y1;
};

enum BlendFactor : uint8_t { kBlendZero, kBlendOne, kBlendSrcAlpha, kBlendInvSrcAlpha };

// What a draw's texels hold in alpha once modulated, so the blend can skip work it never needs.
enum AlphaKind : uint8_t {
    kAnyAlpha,
    kOpaqueOrClear,  // every texel 255 or 0: each replaces or keeps what is there
    kBetween,        // no texel 255 or 0: every one blends
};

// Everything that decides a pixel's colour, fixed when the draw is recorded.
struct Shading {
    const uint32_t* texels;  // never null: one white texel stands in for no texture
    int tw, th;
    float colour[4];  // RGBA 0..1 multiplied into each texel
    bool plain;       // colour is all 1: texels pass unchanged
    bool depthTest;   // less-or-equal test with writes
    bool blend;
    bool texelAlpha;  // false: the alpha comes from the colour alone
    BlendFactor src, dst;
    AlphaKind alpha;
    // The host's pipeline: depth test, source-alpha blend, texel alpha; gets the SIMD spans.
    bool standard() const { return depthTest && blend && texelAlpha && src == kBlendSrcAlpha && dst == kBlendInvSrcAlpha; }
};

// A vertex after the viewport: pixels, top-down, depth 0..1 visible.
struct ScreenVertex {
    float x, y, z, u, v;
};

struct Triangle {
    ScreenVertex v[3];
    Shading s;
};

// One edge's limit on a row's pixels, stepped from row to row without dividing: pixel i of
// the row is inside while E(i) = c - dy kOne i >= 0 (the fill rule's bias already taken from c).
// q = floor(c / d) with d = |dy| kOne and remainder r is the last pixel inside (sign > 0) or
// minus the first (sign < 0); a horizontal edge (sign 0, d = 1) keeps the row while q >= 0.
// Each row c grows by dx kOne, which is stepQ d + stepR.
struct EdgeWalk {
    int64_t q, r, d, stepQ, stepR;
    int sign;
};

// An attribute across a triangle: a0 + dadx x + dady y at the centre of pixel (x, y).
struct Plane {
    float a0, dadx, dady;
};

// A triangle as the span kernels walk it: rows [y0, y1) from the first, pixels [0, width).
struct TriangleRows {
    EdgeWalk edges[3];
    Plane u, v, z;
    int y0, y1, width;
};

// An axis-aligned quad drawn one texel per pixel: pixels [x0, x1) x [y0, y1) take texel
// (tx + x - x0, ty + y - y0), wrapped, all at one depth.
struct Rect {
    int x0, y0, x1, y1;
    int tx, ty;
    uint16_t z;
    Shading s;
};

struct Fill {
    int x0, y0, x1, y1;
    uint32_t colour;  // RGBA bytes
    uint16_t z;
    bool colourToo, depthToo;
};

}  // namespace d3d9soft

#endif
