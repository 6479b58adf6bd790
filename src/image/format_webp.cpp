// WebP through libwebp: lossy or lossless, still images only.
#include "formats.h"

#include <webp/decode.h>

#include <cstring>

namespace image {

static bool webpClaims(const uint8_t* d, size_t size) {
    return size >= 12 && std::memcmp(d, "RIFF", 4) == 0 && std::memcmp(d + 8, "WEBP", 4) == 0;
}

// The RIFF header gives the length of everything after its first eight bytes.
static bool webpComplete(const uint8_t* d, size_t size) { return uint64_t(imageLe32(d + 4)) + 8 <= size; }

static bool webpSize(const uint8_t* d, size_t size, uint32_t* w, uint32_t* h) {
    int width = 0, height = 0;
    if (!WebPGetInfo(d, size, &width, &height) || width <= 0 || height <= 0) return false;
    *w = uint32_t(width);
    *h = uint32_t(height);
    return true;
}

static bool webpDecode(const uint8_t* d, size_t size, uint32_t w, uint32_t h, uint8_t* rgba) {
    size_t bytes = size_t(w) * h * 4;
    return WebPDecodeRGBAInto(d, size, rgba, bytes, int(w * 4)) != nullptr;
}

const Format kWebpFormat = {webpClaims, webpComplete, webpSize, webpDecode};

}  // namespace image
