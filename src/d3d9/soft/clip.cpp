// Cutting triangles to the window the way GL's clipper here (the draw module's) does it.
#include "clip.h"

#include <cmath>
#include <utility>

namespace d3d9soft {

namespace {

// How far inside edge k a position is (negative: beyond it), rounded as GL's plane products are.
float inside(const ClipVertex& v, int k) {
    const float* p = v.pos;
    switch (k) {
    case 0: return p[3] - p[0];
    case 1: return p[0] + p[3];
    case 2: return p[3] - p[1];
    default: return p[1] + p[3];
    }
}

// The point t of the way from base to other. Clip space and texture coordinates move along
// the edge; the pixels follow from the new position, without the vertex stage's fused step.
void interpolate(ClipVertex* out, float t, const ClipVertex& base, const ClipVertex& other, float halfWidth,
                 float halfHeight) {
    for (int k = 0; k < 4; ++k) out->pos[k] = base.pos[k] + t * (other.pos[k] - base.pos[k]);
    float oow = 1.f / out->pos[3];
    out->screen.x = out->pos[0] * oow * halfWidth + halfWidth;
    out->screen.y = out->pos[1] * oow * -halfHeight + halfHeight;
    out->screen.z = out->pos[2] * oow;
    out->screen.u = base.screen.u + t * (other.screen.u - base.screen.u);
    out->screen.v = base.screen.v + t * (other.screen.v - base.screen.v);
}

}  // namespace

unsigned outsideEdges(const float pos[4]) {
    return unsigned(pos[0] > pos[3]) | unsigned(0.f > pos[0] + pos[3]) << 1 | unsigned(pos[1] > pos[3]) << 2 |
           unsigned(0.f > pos[1] + pos[3]) << 3;
}

int clipTriangle(const ClipVertex tri[3], unsigned edges, float halfWidth, float halfHeight,
                 ScreenVertex out[kMaxClippedTriangles][3]) {
    // Each cut makes at most two vertices and the polygon one longer; the lists keep room for
    // the first vertex again at the end.
    ClipVertex made[8];
    int madeCount = 0;
    const ClipVertex* lists[2][8];
    const ClipVertex** in = lists[0];
    const ClipVertex** next = lists[1];
    int n = 3;
    for (int i = 0; i < 3; ++i) in[i] = &tri[i];
    for (int k = 0; k < 4 && n >= 3; ++k) {
        if (!(edges & (1u << k))) continue;
        in[n] = in[0];
        const ClipVertex* prev = in[0];
        float dPrev = inside(*prev, k);
        if (!std::isfinite(dPrev)) return 0;
        int count = 0;
        for (int i = 1; i <= n; ++i) {
            const ClipVertex* cur = in[i];
            float d = inside(*cur, k);
            if (!std::isfinite(d)) return 0;
            bool crosses;
            if (dPrev >= 0.f) {
                next[count++] = prev;
                crosses = d < 0.f;
            } else {
                crosses = !(d < 0.f);
            }
            if (crosses) {
                // From whichever end is nearer the edge (the inside one on a tie), so both
                // triangles on a shared edge make the same vertex.
                ClipVertex* v = &made[madeCount++];
                float denom = d - dPrev;
                bool fromCur = d < 0.f ? -d < dPrev : !(-dPrev < d);
                if (fromCur)
                    interpolate(v, d / denom, *cur, *prev, halfWidth, halfHeight);
                else
                    interpolate(v, -dPrev / denom, *prev, *cur, halfWidth, halfHeight);
                next[count++] = v;
            }
            prev = cur;
            dPrev = d;
        }
        std::swap(in, next);
        n = count;
    }
    // A fan around the polygon's first vertex, which each triangle names last.
    int triangles = 0;
    for (int i = 2; i < n; ++i, ++triangles) {
        out[triangles][0] = in[i - 1]->screen;
        out[triangles][1] = in[i]->screen;
        out[triangles][2] = in[0]->screen;
    }
    return triangles;
}

}  // namespace d3d9soft
