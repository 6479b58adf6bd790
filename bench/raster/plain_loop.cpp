// The plain loop, compiled with -O3 -mavx2 and nothing else.
#include "plain_loop.h"

void plainSprite(uint32_t* colour, uint16_t* depth, size_t pitch, int x, int y, const uint32_t* texels, int w, int h,
                 uint16_t z, uint32_t brightness) {
    for (int j = 0; j < h; ++j) {
        uint32_t* c = colour + (size_t(y) + j) * pitch + x;
        uint16_t* d = depth + (size_t(y) + j) * pitch + x;
        const uint32_t* t = texels + size_t(j) * w;
        for (int i = 0; i < w; ++i) {
            bool pass = z <= d[i];
            uint32_t s = t[i], o = c[i], a = ((s >> 24) * brightness) / 255, out = 0;
            for (int k = 0; k < 24; k += 8) {
                uint32_t sc = (((s >> k) & 0xFF) * brightness) / 255;
                out |= ((sc * a + ((o >> k) & 0xFF) * (255 - a)) / 255) << k;
            }
            c[i] = pass ? out | a << 24 : o;
            d[i] = pass ? z : d[i];
        }
    }
}
