// The CPU rasteriser: triangles, unscaled rectangles and clears into memory, one band of rows at a time.
#ifndef D3D9_SOFT_RASTER_H
#define D3D9_SOFT_RASTER_H

#include "raster_types.h"

namespace d3d9soft {

// The rows of tri within the band; false when it covers none of them.
bool triangleRows(const Target& t, Band b, const Triangle& tri, TriangleRows* out);
void drawTriangle(const Target& t, Band b, const Triangle& tri);
void drawRect(const Target& t, Band b, const Rect& r);
void fill(const Target& t, Band b, const Fill& f);

// The rectangle of a fan quad v[0..3] when it is axis-aligned, flat and one texel per pixel,
// choosing the texels its two triangles would; false when it needs the triangle path. Near
// texel borders a quad GL cuts at the window's edges (cut) needs the triangle path.
bool quadAsRect(const ScreenVertex v[4], const Shading& s, bool cut, Rect* out);

}  // namespace d3d9soft

#endif
