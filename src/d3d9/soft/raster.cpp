// Triangle setup and coverage by the rulebook's rules, rectangles and clears.
#include "raster.h"

#include "spans.h"

#include <algorithm>
#include <cmath>

namespace d3d9soft {

namespace {

// Beyond this many pixels from the origin the fixed-point edge products could overflow.
constexpr float kMaxCoordinate = float(1 << 22);
// A quad drawn as a rect may run at most this far from one texel per pixel across its width
// or height: positions carry the transform's rounding.
constexpr double kTexelDrift = 1.0 / 256;
// Texel choices this close to a texel's border depend on the interpolation's rounding, so such
// quads take the triangle path.
constexpr double kTexelMargin = 1.0 / 32;
// Beyond this the texel coordinate no longer floors to an int64 exactly.
constexpr double kMaxTexelCoordinate = 1e15;
// Four times the fragment stage's worst rounding of a texel coordinate, relative to size (|u| + 1).
constexpr double kPlaneRounding = 1.0 / (1 << 21);

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

// GL sets the planes up from the first vertex of the counter-clockwise order (top-down
// pixels); the last bit of each coefficient depends on it. area: the snapped signed area.
void planesInOrder(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, int64_t area,
                   TriangleRows* out) {
    if (area > 0)
        setupPlanes(b, a, c, out);
    else
        setupPlanes(a, b, c, out);
}

int64_t snappedArea(const int64_t X[3], const int64_t Y[3]) {
    return (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
}

// Whether the texels of plane p (flat across the other axis) along its axis run one per pixel
// from *first over pixels [p0, p1), as the fragment stage chooses them.
bool runsOnePerPixel(const Plane& p, bool alongX, int p0, int p1, int size, int* first) {
    double slope = alongX ? p.dadx : p.dady, a0 = p.a0;
    if ((alongX ? p.dady : p.dadx) != 0.f) return false;
    // In texel units the plane is a line, exact in doubles, which the fragment stage rounds by
    // less than size (|u| + 1) 2^-23 (the fused evaluation, the sampler's fraction and scaling).
    // Far enough from a texel border at both ends and a texel further per pixel, the line
    // crosses a border at every pixel and the rounding crosses none.
    double u0 = a0 + slope * p0, u1 = a0 + slope * (p1 - 1);
    double umax = std::max(std::fabs(u0), std::fabs(u1));
    if (!(umax * size < kWrapLimit)) return false;
    double t0 = u0 * size, t1 = u1 * size, margin = size * (umax + 1) * kPlaneRounding;
    int64_t i0 = floorToInt(t0), i1 = floorToInt(t1);
    double f0 = t0 - double(i0), f1 = t1 - double(i1);
    *first = wrapIndex(i0, size);
    if (i1 - i0 == p1 - 1 - p0 && f0 > margin && f0 < 1 - margin && f1 > margin && f1 < 1 - margin) return true;
    // Near a border the rounding decides: each pixel's texel as the fragment stage takes it.
    int last = 0;
    for (int i = p0; i < p1; ++i) {
        int t = wrapTexel(alongX ? planeAt(p, float(i), 0.f) : planeAt(p, 0.f, float(i)), size);
        if (i == p0)
            *first = t;
        else if (t != (last + 1 == size ? 0 : last + 1))
            return false;
        last = t;
    }
    return true;
}

// The texel of r's first pixel when both triangles of the quad choose r's texels, as the
// triangle path would (their planes, evaluated by the fragment stage's rule).
bool texelsAsTriangles(const ScreenVertex v[4], const Shading& s, const Rect& r, int* tu, int* tv) {
    static const int kFan[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int t = 0; t < 2; ++t) {
        const ScreenVertex &a = v[kFan[t][0]], &b = v[kFan[t][1]], &c = v[kFan[t][2]];
        int64_t X[3] = {snap(a.x), snap(b.x), snap(c.x)}, Y[3] = {snap(a.y), snap(b.y), snap(c.y)};
        TriangleRows planes;
        planesInOrder(a, b, c, snappedArea(X, Y), &planes);
        int u, w;
        if (!runsOnePerPixel(planes.u, true, r.x0, r.x1, s.tw, &u) ||
            !runsOnePerPixel(planes.v, false, r.y0, r.y1, s.th, &w))
            return false;
        if (t == 1 && (u != *tu || w != *tv)) return false;
        *tu = u;
        *tv = w;
    }
    return true;
}

// The texel under the first pixel centre, from the quad's corners, when it is far from a texel
// border: the planes GL sets up, whole or cut at the window's edges, are far nearer than that
// to the quad's own.
bool texelsFarFromBorders(const ScreenVertex& left, const ScreenVertex& top, float xr, float yb, double su,
                          double sv, const Shading& s, const Rect& r, int* tu, int* tv) {
    double u = double(left.u) * s.tw + (r.x0 + 0.5 - left.x) * su / (xr - left.x);
    double v = double(top.v) * s.th + (r.y0 + 0.5 - top.y) * sv / (yb - top.y);
    if (!(std::fabs(u) < kMaxTexelCoordinate && std::fabs(v) < kMaxTexelCoordinate)) return false;
    int64_t iu = floorToInt(u), iv = floorToInt(v);
    double fu = u - double(iu), fv = v - double(iv);
    *tu = wrapIndex(iu, s.tw);
    *tv = wrapIndex(iv, s.th);
    return fu >= kTexelMargin && fu <= 1 - kTexelMargin && fv >= kTexelMargin && fv <= 1 - kTexelMargin;
}

void startEdge(EdgeWalk* e, int64_t dx, int64_t dy, int64_t c) {
    e->sign = dy > 0 ? 1 : (dy < 0 ? -1 : 0);
    e->d = dy == 0 ? 1 : (dy > 0 ? dy : -dy) * kOne;
    e->q = floorDiv(c, e->d);
    e->r = c - e->q * e->d;
    e->stepQ = floorDiv(dx * kOne, e->d);
    e->stepR = dx * kOne - e->stepQ * e->d;
}

}  // namespace

bool triangleRows(const Target& t, Band b, const Triangle& tri, TriangleRows* out) {
    for (const ScreenVertex& p : tri.v)
        if (!(std::fabs(p.x) < kMaxCoordinate && std::fabs(p.y) < kMaxCoordinate)) return false;
    // Most triangles miss most bands: a pixel further than the snapping moves a corner.
    float top = std::min({tri.v[0].y, tri.v[1].y, tri.v[2].y}), bottom = std::max({tri.v[0].y, tri.v[1].y, tri.v[2].y});
    if (bottom < float(b.y0) - 1.f || top > float(b.y1) + 1.f) return false;
    int64_t X[3], Y[3];
    for (int k = 0; k < 3; ++k) {
        X[k] = snap(tri.v[k].x);
        Y[k] = snap(tri.v[k].y);
    }
    int64_t area = snappedArea(X, Y);
    if (area == 0) return false;
    if (area < 0) {
        // The other winding: the first two vertices trade places so the inside is positive.
        std::swap(X[0], X[1]);
        std::swap(Y[0], Y[1]);
    }
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
        startEdge(&out->edges[k], dx, dy, dx * (int64_t(y0) * kOne - Y[k]) + dy * X[k] - (ownsCentres(dx, dy) ? 0 : 1));
    }

    planesInOrder(tri.v[0], tri.v[1], tri.v[2], area, out);
    return true;
}

void drawTriangle(const Target& t, Band b, const Triangle& tri) {
    TriangleRows rows;
    if (!triangleRows(t, b, tri, &rows)) return;
    if (tri.s.standard() && t.depth) {
        spanKernels().triangle(t, rows, tri.s);
        return;
    }
    forTriangleRows(rows, [&](int y, int x0, int n) { scalarSpan(t, y, x0, n, tri.s, rows); });
}

bool quadAsRect(const ScreenVertex v[4], const Shading& s, bool cut, Rect* out) {
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
    // One texel per pixel, running the same way as the screen.
    double su = double(v[r].u - v[l].u) * s.tw, sv = double(v[bottom].v - v[top].v) * s.th;
    if (std::fabs(su - (xr - xl)) > kTexelDrift || std::fabs(sv - (yb - yt)) > kTexelDrift) return false;
    int64_t XL = snap(xl), XR = snap(xr), YT = snap(yt), YB = snap(yb);
    out->x0 = int(ceilDiv(XL, kOne));
    out->x1 = int(ceilDiv(XR, kOne));
    // Rows by the bottom edge rule (ownsCentres): a centre on the top edge is outside.
    out->y0 = int(floorDiv(YT, kOne) + 1);
    out->y1 = int(floorDiv(YB, kOne) + 1);
    if (out->x0 >= out->x1 || out->y0 >= out->y1) return false;
    // Far from texel borders no rounding of GL's can change a texel, cut or not; nearer, a quad
    // GL does not cut goes by its triangles' own planes.
    if (!texelsFarFromBorders(v[l], v[top], xr, yb, su, sv, s, *out, &out->tx, &out->ty) &&
        (cut || !texelsAsTriangles(v, s, *out, &out->tx, &out->ty)))
        return false;
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
                       r.z, s.plain ? nullptr : s.colour, s.alpha);
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
