// Triangles that cross the window's edges, cut to it as GL's vertex stage here does before setup.
#ifndef D3D9_SOFT_CLIP_H
#define D3D9_SOFT_CLIP_H

#include "raster.h"

namespace d3d9soft {

// A vertex in clip space (x, y, z, w), and where the vertex stage put it on the screen.
struct ClipVertex {
    float pos[4];
    ScreenVertex screen;
};

// The window's edges a clip-space position lies beyond: bit 0 right, 1 left, 2 top, 3 bottom.
unsigned outsideEdges(const float pos[4]);

// Four cuts add at most four vertices to a triangle, which then splits into five.
constexpr int kMaxClippedTriangles = 5;

// Cuts tri to the edges in the mask, in GL's order, into triangles for the rasteriser; the
// viewport maps x and y to pixels around halfWidth, halfHeight. Returns how many there are.
int clipTriangle(const ClipVertex tri[3], unsigned edges, float halfWidth, float halfHeight,
                 ScreenVertex out[kMaxClippedTriangles][3]);

}  // namespace d3d9soft

#endif
