// Triangle setup and coverage as GL's rasteriser here does it, rectangles, clears and the generic pixel.
#include "raster.h"

#include "spans.h"

#include <algorithm>
#include <cmath>

namespace d3d9soft {

namespace {

constexpr int64_t kOne = int64_t(1) << kSubpixelBits;
// Which horizontal edge owns the pixel centres on it; llvmpipe draws window
// framebuffers with the bottom edge rule (seen by experiment, see the equivalence test).
constexpr bool kBottomEdgeRule = true;
// Beyond this many pixels from the origin the fixed-point edge products could overflow.
constexpr float kMaxCoordinate = float(1 << 22);

int64_t snap(float v) { return std::lrintf((v - 0.5f) * float(kOne)); }

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int64_t ceilDiv(int64_t a, int64_t b) { return -floorDiv(-a, b); }

// floor for |d| < 2^63, without a library call.
int64_t floorToInt(double d) {
    int64_t i = int64_t(d);
    return i - (double(i) > d ? 1 : 0);
}

// i modulo size in [0, size); sizes are mostly powers of two.
int wrapIndex(int64_t i, int size) {
    if ((size & (size - 1)) == 0) return int(i & (size - 1));
    int64_t m = i % size;
    return int(m < 0 ? m + size : m);
}

void startEdge(EdgeWalk* e, int64_t dx, int64_t dy, int64_t c) {
    e->sign = dy > 0 ? 1 : (dy < 0 ? -1 : 0);
    e->d = dy == 0 ? 1 : (dy > 0 ? dy : -dy) * kOne;
    e->q = floorDiv(c, e->d);
    e->r = c - e->q * e->d;
    e->stepQ = floorDiv(dx * kOne, e->d);
    e->stepR = dx * kOne - e->stepQ * e->d;
}

// The portable form of every pipeline the device can be put in.
uint32_t genericPixel(const Shading& s, uint32_t texel, uint32_t dst) {
    if (!s.texelAlpha) texel |= 0xFF000000;
    uint32_t src = modulateTexel(texel, s.colour);
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
    uint32_t ws = weight(s.src), wd = weight(s.dst), out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t c = mulNorm((src >> shift) & 0xFF, ws) + mulNorm((dst >> shift) & 0xFF, wd);
        out |= (c > 255 ? 255 : c) << shift;
    }
    return out;
}

void genericSpan(const Target& t, int y, int x0, int x1, const Shading& s, const TriangleRows& rows) {
    uint32_t* colour = t.colour + size_t(y) * t.pitch;
    uint16_t* depth = t.depth ? t.depth + size_t(y) * t.pitch : nullptr;
    float yf = float(y);
    for (int x = x0; x < x1; ++x) {
        float xf = float(x);
        float z = planeAt(rows.z, xf, yf);
        if (!(z >= 0.f && z <= 1.f)) continue;
        if (s.depthTest && depth) {
            uint16_t z16 = uint16_t(z * 65535.f + 0.5f);
            if (z16 > depth[x]) continue;
            depth[x] = z16;
        }
        int tu = wrapTexel(planeAt(rows.u, xf, yf), s.tw), tv = wrapTexel(planeAt(rows.v, xf, yf), s.th);
        colour[x] = genericPixel(s, s.texels[tv * s.tw + tu], colour[x]);
    }
}

}  // namespace

bool triangleRows(const Target& t, Band b, const Triangle& tri, TriangleRows* out) {
    const ScreenVertex* v[3] = {&tri.v[0], &tri.v[1], &tri.v[2]};
    for (const ScreenVertex* p : v)
        if (!(std::fabs(p->x) < kMaxCoordinate && std::fabs(p->y) < kMaxCoordinate)) return false;
    int64_t X[3], Y[3];
    for (int k = 0; k < 3; ++k) {
        X[k] = snap(v[k]->x);
        Y[k] = snap(v[k]->y);
    }
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (area == 0) return false;
    if (area < 0) {
        // The other winding: the first two vertices trade places so the inside is positive.
        std::swap(X[0], X[1]);
        std::swap(Y[0], Y[1]);
    }
    // The planes start from the first vertex of the counter-clockwise order (top-down
    // pixels), as GL here sets them up; the last bit of each coefficient depends on it.
    if (area > 0) std::swap(v[0], v[1]);
    int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    int y0 = int(std::max<int64_t>(b.y0, ceilDiv(minY, kOne)));
    int y1 = int(std::min<int64_t>(b.y1, floorDiv(maxY, kOne) + 1));
    if (y0 >= y1) return false;
    out->y0 = y0;
    out->y1 = y1;
    out->width = t.width;

    // Edge k runs from vertex k to k + 1; E = dx (py - Y0) - dy (px - X0) > 0 inside.
    for (int k = 0; k < 3; ++k) {
        int n = (k + 1) % 3;
        int64_t dx = X[n] - X[k], dy = Y[n] - Y[k];
        bool horizontalOwner = kBottomEdgeRule ? dx < 0 : dx > 0;
        bool owns = dy < 0 || (dy == 0 && horizontalOwner);
        startEdge(&out->edges[k], dx, dy, dx * (int64_t(y0) * kOne - Y[k]) + dy * X[k] - (owns ? 0 : 1));
    }

    // Interpolation from the unsnapped positions, as GL's setup here does it: the edges scaled
    // by the inverse area first, every product and difference rounded on its own, the value
    // at the origin's pixel centre from the first vertex.
    float dx01 = v[0]->x - v[1]->x, dy01 = v[0]->y - v[1]->y;
    float dx20 = v[2]->x - v[0]->x, dy20 = v[2]->y - v[0]->y;
    float ooa = 1.f / (dx01 * dy20 - dy01 * dx20);
    float dx01a = dx01 * ooa, dy01a = dy01 * ooa, dx20a = dx20 * ooa, dy20a = dy20 * ooa;
    float x0c = v[0]->x - 0.5f, y0c = v[0]->y - 0.5f;
    auto plane = [&](float ScreenVertex::*a) {
        float da01 = v[0]->*a - v[1]->*a, da20 = v[2]->*a - v[0]->*a;
        Plane p;
        p.dadx = da01 * dy20a - da20 * dy01a;
        p.dady = da20 * dx01a - da01 * dx20a;
        p.a0 = v[0]->*a - (p.dadx * x0c + p.dady * y0c);
        return p;
    };
    out->u = plane(&ScreenVertex::u);
    out->v = plane(&ScreenVertex::v);
    out->z = plane(&ScreenVertex::z);
    return true;
}

void drawTriangle(const Target& t, Band b, const Triangle& tri) {
    TriangleRows rows;
    if (!triangleRows(t, b, tri, &rows)) return;
    if (tri.s.standard() && t.depth) {
        spanKernels().triangle(t, rows, tri.s);
        return;
    }
    forTriangleRows(rows, [&](int y, int x0, int n) { genericSpan(t, y, x0, x0 + n, tri.s, rows); });
}

bool quadAsRect(const ScreenVertex v[4], const Shading& s, Rect* out) {
    if (!s.standard()) return false;
    for (int i = 1; i < 4; ++i)
        if (v[i].z != v[0].z) return false;
    if (!(v[0].z >= 0.f && v[0].z <= 1.f)) return false;
    // Either edge 0-1 is horizontal or vertical; the others follow around the quad.
    bool h = v[0].y == v[1].y && v[1].x == v[2].x && v[2].y == v[3].y && v[3].x == v[0].x;
    bool w = v[0].x == v[1].x && v[1].y == v[2].y && v[2].x == v[3].x && v[3].y == v[0].y;
    if (!h && !w) return false;
    // u may only follow x and v only y: equal along the vertical edges and the horizontal ones
    // (a quad without width or height is turned away below).
    int hv = h ? 1 : 0;
    if (v[hv].u != v[hv + 1].u || v[(hv + 3) % 4].u != v[(hv + 2) % 4].u) return false;
    if (v[1 - hv].v != v[2 - hv].v || v[3 - hv].v != v[(4 - hv) % 4].v) return false;
    int l = 0, top = 0;
    for (int i = 1; i < 4; ++i) {
        if (v[i].x < v[l].x) l = i;
        if (v[i].y < v[top].y) top = i;
    }
    int r = l, bottom = top;
    for (int i = 0; i < 4; ++i) {
        if (v[i].x > v[r].x) r = i;
        if (v[i].y > v[bottom].y) bottom = i;
    }
    float xl = v[l].x, xr = v[r].x, yt = v[top].y, yb = v[bottom].y;
    if (!(xr > xl && yb > yt) || !(std::fabs(xl) < kMaxCoordinate && std::fabs(xr) < kMaxCoordinate &&
                                   std::fabs(yt) < kMaxCoordinate && std::fabs(yb) < kMaxCoordinate))
        return false;
    // One texel per pixel, running the same way as the screen; positions carry rounding from
    // the transform, so "one" allows a drift of 1/256 texel across the whole quad.
    double su = double(v[r].u - v[l].u) * s.tw, sv = double(v[bottom].v - v[top].v) * s.th;
    if (std::fabs(su - (xr - xl)) > 1.0 / 256 || std::fabs(sv - (yb - yt)) > 1.0 / 256) return false;
    int64_t XL = snap(xl), XR = snap(xr), YT = snap(yt), YB = snap(yb);
    out->x0 = int(ceilDiv(XL, kOne));
    out->x1 = int(ceilDiv(XR, kOne));
    out->y0 = int(kBottomEdgeRule ? floorDiv(YT, kOne) + 1 : ceilDiv(YT, kOne));
    out->y1 = int(kBottomEdgeRule ? floorDiv(YB, kOne) + 1 : ceilDiv(YB, kOne));
    if (out->x0 >= out->x1 || out->y0 >= out->y1) return false;
    // The texel under the first pixel centre, in texel units; near a texel border the
    // interpolation's rounding decides, so those go the triangle way.
    double tu = double(v[l].u) * s.tw + (out->x0 + 0.5 - xl) * su / (xr - xl);
    double tv = double(v[top].v) * s.th + (out->y0 + 0.5 - yt) * sv / (yb - yt);
    if (!(std::fabs(tu) < 1e15 && std::fabs(tv) < 1e15)) return false;
    int64_t iu = floorToInt(tu), iv = floorToInt(tv);
    double fu = tu - double(iu), fv = tv - double(iv);
    if (fu < 1.0 / 32 || fu > 31.0 / 32 || fv < 1.0 / 32 || fv > 31.0 / 32) return false;
    out->tx = wrapIndex(iu, s.tw);
    out->ty = wrapIndex(iv, s.th);
    out->z = depth16(v[0].z);
    out->s = s;
    return true;
}

void drawRect(const Target& t, Band b, const Rect& r) {
    int x0 = std::max(r.x0, 0), x1 = std::min(r.x1, t.width);
    int y0 = std::max(r.y0, b.y0), y1 = std::min(r.y1, b.y1);
    if (x0 >= x1 || y0 >= y1) return;
    const Shading& s = r.s;
    int tx = wrapIndex(int64_t(r.tx) + (x0 - r.x0), s.tw), ty = wrapIndex(int64_t(r.ty) + (y0 - r.y0), s.th);
    size_t at = size_t(y0) * t.pitch + x0;
    spanKernels().rect(t.colour + at, t.depth + at, size_t(t.pitch), x1 - x0, y1 - y0, s.texels, s.tw, s.th, tx, ty,
                       r.z, s.plain ? nullptr : s.colour);
}

void fill(const Target& t, Band b, const Fill& f) {
    int y0 = std::max(f.y0, b.y0), y1 = std::min(f.y1, b.y1);
    const SpanKernels& k = spanKernels();
    int n = f.x1 - f.x0;
    // A clear of whole rows is one run over the band.
    if (f.x0 == 0 && n == t.width) {
        n = t.pitch;
        n *= y1 - y0;
        y1 = y0 + (n > 0 ? 1 : 0);
    }
    for (int y = y0; y < y1; ++y) {
        size_t at = size_t(y) * t.pitch + f.x0;
        if (f.colourToo) k.fill32(t.colour + at, n, f.colour);
        if (f.depthToo && t.depth) k.fill16(t.depth + at, n, f.z);
    }
}

}  // namespace d3d9soft
