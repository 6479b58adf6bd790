// Recognising the format by content, checking completeness and size limits, then decoding.
#include "formats.h"
#include "image.h"

#include <new>

namespace image {

// TGA comes last: it has no signature, so it only gets files no other format claims.
static const Format* const kFormats[] = {&kPngFormat, &kJpegFormat, &kGifFormat,
                                         &kBmpFormat, &kWebpFormat, &kTgaFormat};

static const Format* formatOf(const uint8_t* data, size_t size) {
    for (const Format* f : kFormats)
        if (f->claims(data, size)) return f;
    return nullptr;
}

bool decode(const uint8_t* data, size_t size, uint32_t maxSide, Pixels* out) {
    *out = Pixels();
    if (!data || size == 0) return false;
    const Format* format = formatOf(data, size);
    uint32_t w = 0, h = 0;
    if (!format || !format->complete(data, size) || !format->size(data, size, &w, &h)) return false;
    if (w == 0 || h == 0 || w > maxSide || h > maxSide || uint64_t(w) * h * 4 > kMaxPixelBytes) return false;
    try {
        out->rgba.assign(size_t(w) * h * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!format->decode(data, size, w, h, out->rgba.data())) {
        *out = Pixels();
        return false;
    }
    out->width = w;
    out->height = h;
    return true;
}

}  // namespace image
