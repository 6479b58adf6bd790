// BMP: the header read here, uncompressed and bit-field pixels by stb_image, run-length ones by bmp_rle.
#include "formats.h"

namespace image {

static const uint32_t kBiRle8 = 1, kBiRle4 = 2;

struct BmpHeader {
    int64_t width = 0, height = 0;  // height < 0: rows stored top first
    uint32_t bitsPerPixel = 0, compression = 0, pixelOffset = 0;
};

static bool bmpHeader(const uint8_t* d, size_t size, BmpHeader* hd) {
    if (size < 26) return false;
    hd->pixelOffset = imageLe32(d + 10);
    uint32_t header = imageLe32(d + 14);
    if (header == 12) {
        hd->width = imageLe16(d + 18);
        hd->height = imageLe16(d + 20);
        hd->bitsPerPixel = imageLe16(d + 24);
        return true;
    }
    if (size < 34) return false;
    hd->width = int32_t(imageLe32(d + 18));
    hd->height = int32_t(imageLe32(d + 22));
    hd->bitsPerPixel = imageLe16(d + 28);
    hd->compression = imageLe32(d + 30);
    return true;
}

static bool bmpClaims(const uint8_t* d, size_t size) { return size >= 2 && d[0] == 'B' && d[1] == 'M'; }

// Uncompressed bitmaps must hold every row; run-length ones are checked while decoding.
static bool bmpComplete(const uint8_t* d, size_t size) {
    BmpHeader hd;
    if (!bmpHeader(d, size, &hd)) return false;
    int64_t h = hd.height < 0 ? -hd.height : hd.height;
    if (hd.width <= 0 || h <= 0 || hd.bitsPerPixel == 0 || hd.bitsPerPixel > 32) return false;
    if (hd.compression == kBiRle8 || hd.compression == kBiRle4) return hd.pixelOffset < size;
    if (hd.compression != 0 && hd.compression != 3) return false;
    uint64_t row = ((uint64_t(hd.width) * hd.bitsPerPixel + 31) / 32) * 4;
    return uint64_t(hd.pixelOffset) + row * uint64_t(h) <= size;
}

static bool bmpSize(const uint8_t* d, size_t size, uint32_t* w, uint32_t* h) {
    BmpHeader hd;
    if (!bmpHeader(d, size, &hd)) return false;
    *w = uint32_t(hd.width);
    *h = uint32_t(hd.height < 0 ? -hd.height : hd.height);
    return true;
}

static bool bmpDecode(const uint8_t* d, size_t size, uint32_t w, uint32_t h, uint8_t* rgba) {
    BmpHeader hd;
    if (!bmpHeader(d, size, &hd)) return false;
    if (hd.compression == kBiRle8 || hd.compression == kBiRle4) return bmpRleDecode(d, size, w, h, rgba);
    return stbDecode(d, size, w, h, rgba);
}

const Format kBmpFormat = {bmpClaims, bmpComplete, bmpSize, bmpDecode};

}  // namespace image
