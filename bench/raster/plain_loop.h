// The reference the kernels are held against: a plain loop the compiler vectorises by itself.
#ifndef BENCH_RASTER_PLAIN_LOOP_H
#define BENCH_RASTER_PLAIN_LOOP_H

#include <cstddef>
#include <cstdint>

// A w x h picture at whole pixel (x, y), depth z: 16-bit depth test and write, brightness,
// source-alpha blend.
void plainSprite(uint32_t* colour, uint16_t* depth, size_t pitch, int x, int y, const uint32_t* texels, int w, int h,
                 uint16_t z, uint32_t brightness);

#endif
