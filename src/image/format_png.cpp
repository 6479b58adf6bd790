// PNG through libspng: every colour type and bit depth to RGBA8, tRNS as alpha, no gamma change.
#include "formats.h"

#include <spng.h>

#include <cstring>

namespace image {

// Ancillary chunks (text, ICC profiles) are kept in memory by libspng: these bound one
// inflated chunk and all of them, so a compressed text chunk cannot inflate to gigabytes.
static const size_t kInflatedChunkBytes = size_t(16) << 20;
static const size_t kChunkCacheBytes = size_t(64) << 20;

static bool pngClaims(const uint8_t* d, size_t size) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return size >= 8 && std::memcmp(d, signature, 8) == 0;
}

// Every chunk must fit, from IHDR up to and including IEND.
static bool pngComplete(const uint8_t* d, size_t size) {
    size_t pos = 8;
    bool first = true;
    while (pos + 12 <= size) {
        uint32_t len = imageBe32(d + pos);
        if (len > 0x7FFFFFFFu || size - pos - 12 < len) return false;
        const uint8_t* type = d + pos + 4;
        if (first && (std::memcmp(type, "IHDR", 4) != 0 || len != 13)) return false;
        first = false;
        if (std::memcmp(type, "IEND", 4) == 0) return true;
        pos += 12 + size_t(len);
    }
    return false;
}

static bool pngSize(const uint8_t* d, size_t, uint32_t* w, uint32_t* h) {
    *w = imageBe32(d + 16);
    *h = imageBe32(d + 20);
    return true;
}

static bool pngDecode(const uint8_t* d, size_t size, uint32_t w, uint32_t h, uint8_t* rgba) {
    spng_ctx* ctx = spng_ctx_new(0);
    if (!ctx) return false;
    struct spng_ihdr ihdr;
    size_t bytes = 0;
    bool ok = spng_set_png_buffer(ctx, d, size) == 0 && spng_set_image_limits(ctx, w, h) == 0 &&
              spng_set_chunk_limits(ctx, kInflatedChunkBytes, kChunkCacheBytes) == 0 && spng_get_ihdr(ctx, &ihdr) == 0 &&
              ihdr.width == w && ihdr.height == h &&
              spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &bytes) == 0 && bytes == size_t(w) * h * 4 &&
              spng_decode_image(ctx, rgba, bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
    spng_ctx_free(ctx);
    return ok;
}

const Format kPngFormat = {pngClaims, pngComplete, pngSize, pngDecode};

}  // namespace image
