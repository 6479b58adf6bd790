// TGA, which has no signature: claimed by a plausible header that the data fills, decoded by stb_image.
#include "formats.h"

namespace image {

// Colour-mapped (1, 9), true-colour (2, 10) and grey (3, 11) images, plain or run-length.
static bool tgaClaims(const uint8_t* d, size_t size) {
    if (size < 18) return false;
    uint8_t mapType = d[1], type = d[2], bits = d[16];
    if (mapType > 1) return false;
    bool mapped = type == 1 || type == 9;
    if (mapped != (mapType == 1)) return false;
    if (!mapped && type != 2 && type != 3 && type != 10 && type != 11) return false;
    if (mapped && (bits != 8 || (d[7] != 15 && d[7] != 16 && d[7] != 24 && d[7] != 32))) return false;
    return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// Uncompressed pixels must all be there; run-length packets are walked to the last pixel.
static bool tgaComplete(const uint8_t* d, size_t size) {
    uint32_t mapLength = imageLe16(d + 5), mapBits = d[7];
    uint64_t w = imageLe16(d + 12), h = imageLe16(d + 14);
    uint32_t bytesPerPixel = (uint32_t(d[16]) + 7) / 8;
    uint8_t type = d[2];
    if (w == 0 || h == 0) return false;
    uint64_t pos = 18 + uint64_t(d[0]);
    if (d[1] == 1) pos += uint64_t(mapLength) * ((mapBits + 7) / 8);
    uint64_t pixels = w * h;
    if (type < 9) return pos + pixels * bytesPerPixel <= size;
    while (pixels > 0) {
        if (pos >= size) return false;
        uint8_t header = d[pos++];
        uint64_t n = (header & 0x7F) + 1u;
        pos += (header & 0x80) ? bytesPerPixel : n * bytesPerPixel;
        if (pos > size) return false;
        pixels = n >= pixels ? 0 : pixels - n;
    }
    return true;
}

static bool tgaSize(const uint8_t* d, size_t, uint32_t* w, uint32_t* h) {
    *w = imageLe16(d + 12);
    *h = imageLe16(d + 14);
    return true;
}

const Format kTgaFormat = {tgaClaims, tgaComplete, tgaSize, stbDecode};

}  // namespace image
