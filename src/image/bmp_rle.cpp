// Run-length BMP (BI_RLE8 and BI_RLE4) decoded into RGBA; pixels no run reaches take palette colour 0.
#include "formats.h"

#include <cstring>

namespace image {

struct RleTarget {
    uint8_t* rgba;
    uint32_t width, height;
    uint64_t x, y;  // y counts rows from the bottom, as the file stores them
    uint8_t palette[256][4];

    void put(unsigned index) {
        if (x < width && y < height) std::memcpy(rgba + ((height - 1 - y) * width + x) * 4, palette[index], 4);
        ++x;
    }
};

// Palette entries are blue, green, red, unused; indices past the palette are opaque black.
static bool rleReadPalette(const uint8_t* d, size_t size, unsigned bits, RleTarget* t) {
    uint32_t header = imageLe32(d + 14);
    if (header < 40 || size < 50) return false;
    uint64_t count = imageLe32(d + 46);
    if (count == 0 || count > (1u << bits)) count = 1u << bits;
    uint64_t start = 14 + uint64_t(header);
    if (start + count * 4 > size) return false;
    for (unsigned i = 0; i < 256; ++i) {
        uint8_t* e = t->palette[i];
        e[0] = e[1] = e[2] = 0;
        e[3] = 255;
        if (i >= count) continue;
        const uint8_t* p = d + start + i * 4;
        e[0] = p[2], e[1] = p[1], e[2] = p[0];
    }
    return true;
}

// The nibble or byte i of a run; RLE4 packs two pixels in a byte, the high one first.
static unsigned rlePixel(const uint8_t* p, unsigned i, bool four) {
    return four ? ((i & 1) ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i];
}

// Runs until the end-of-bitmap mark or the last row; data that ends before either is truncated.
bool bmpRleDecode(const uint8_t* d, size_t size, uint32_t width, uint32_t height, uint8_t* rgba) {
    if (size < 34 || int32_t(imageLe32(d + 22)) < 0) return false;  // run-length rows go bottom up only
    bool four = imageLe32(d + 30) == 2;
    unsigned bits = imageLe16(d + 28);
    if (bits != (four ? 4u : 8u)) return false;
    RleTarget t{rgba, width, height, 0, 0, {}};
    if (!rleReadPalette(d, size, bits, &t)) return false;
    for (size_t i = 0; i < size_t(width) * height; ++i) std::memcpy(rgba + i * 4, t.palette[0], 4);
    size_t pos = imageLe32(d + 10);
    while (t.y < height) {
        if (pos > size || size - pos < 2) return false;
        unsigned count = d[pos], value = d[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) t.put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
        } else if (value == 0) {  // end of line
            t.x = 0;
            ++t.y;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // move right and up
            if (size - pos < 2) return false;
            t.x += d[pos];
            t.y += d[pos + 1];
            pos += 2;
        } else {  // a literal run, padded to a 16-bit boundary
            size_t bytes = four ? (value + 1) / 2 : value;
            if (size - pos < bytes) return false;
            for (unsigned i = 0; i < value; ++i) t.put(rlePixel(d + pos, i, four));
            pos += (bytes + 1) & ~size_t(1);
        }
    }
    return true;
}

}  // namespace image
