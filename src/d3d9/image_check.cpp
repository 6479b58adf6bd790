// Structural walks over PNG, JPEG, GIF, BMP and TGA files that tell whether they were cut short.
#include "image_loader.h"

#include <cstdint>
#include <cstring>

namespace d3d9impl {

static uint32_t be32(const BYTE* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
static uint32_t le16(const BYTE* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
static uint32_t le32(const BYTE* p) { return le16(p) | le16(p + 2) << 16; }

ImageKind sniffImage(const BYTE* data, size_t size) {
    static const BYTE png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 8 && std::memcmp(data, png, 8) == 0) return ImageKind::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageKind::Jpeg;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return ImageKind::Gif;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ImageKind::Bmp;
    return ImageKind::Unknown;
}

// Every chunk must fit, up to and including IEND.
static bool pngComplete(const BYTE* d, size_t size) {
    size_t pos = 8;
    bool first = true;
    while (pos + 12 <= size) {
        uint32_t len = be32(d + pos);
        if (len > 0x7FFFFFFFu || size - pos - 12 < len) return false;
        const BYTE* type = d + pos + 4;
        if (first && std::memcmp(type, "IHDR", 4) != 0) return false;
        first = false;
        if (std::memcmp(type, "IEND", 4) == 0) return true;
        pos += 12 + size_t(len);
    }
    return false;
}

// Segments are walked up to the first scan; the scan data must then be followed by EOI.
static bool jpegComplete(const BYTE* d, size_t size) {
    size_t pos = 2;
    for (;;) {
        if (pos >= size || d[pos] != 0xFF) return false;
        while (pos < size && d[pos] == 0xFF) ++pos;  // fill bytes
        if (pos >= size) return false;
        BYTE marker = d[pos++];
        if (marker == 0xD9) return false;  // an image that ends before any scan
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
        if (pos + 2 > size) return false;
        size_t len = (size_t(d[pos]) << 8) | d[pos + 1];
        if (len < 2 || pos + len > size) return false;
        pos += len;
        if (marker == 0xDA) break;
    }
    // Inside entropy-coded data 0xFF is always followed by 0x00 or a restart marker,
    // so the first FF D9 is the real end of the image.
    for (; pos + 1 < size; ++pos)
        if (d[pos] == 0xFF && d[pos + 1] == 0xD9) return true;
    return false;
}

// Skips data sub-blocks; false when they run past the end.
static bool gifSkipBlocks(const BYTE* d, size_t size, size_t* pos) {
    for (;;) {
        if (*pos >= size) return false;
        BYTE len = d[(*pos)++];
        if (len == 0) return true;
        if (size - *pos < len) return false;
        *pos += len;
    }
}

// SDL_image decodes the first image only, so the file is complete once that image is.
static bool gifComplete(const BYTE* d, size_t size) {
    if (size < 13) return false;
    size_t pos = 13;
    if (d[10] & 0x80) pos += 3u << ((d[10] & 7) + 1);
    for (;;) {
        if (pos >= size) return false;
        BYTE block = d[pos++];
        if (block == 0x3B) return false;  // trailer before any image
        if (block == 0x21) {
            if (pos >= size) return false;
            ++pos;  // extension label
            if (!gifSkipBlocks(d, size, &pos)) return false;
        } else if (block == 0x2C) {
            if (size - pos < 9) return false;
            BYTE flags = d[pos + 8];
            pos += 9;
            if (flags & 0x80) pos += 3u << ((flags & 7) + 1);
            if (pos >= size) return false;
            ++pos;  // LZW minimum code size
            return gifSkipBlocks(d, size, &pos);
        } else {
            return false;
        }
    }
}

// Uncompressed bitmaps must hold every row; run-length ones are left to the decoder.
static bool bmpComplete(const BYTE* d, size_t size) {
    if (size < 26) return false;
    uint32_t offBits = le32(d + 10), header = le32(d + 14);
    int64_t w, h;
    uint32_t bpp, compression = 0;
    if (header == 12) {
        w = le16(d + 18);
        h = le16(d + 20);
        bpp = le16(d + 24);
    } else {
        if (size < 34) return false;
        w = int32_t(le32(d + 18));
        h = int32_t(le32(d + 22));
        bpp = le16(d + 28);
        compression = le32(d + 30);
    }
    if (h < 0) h = -h;
    if (w <= 0 || h <= 0 || bpp == 0 || bpp > 32) return false;
    if (compression != 0 && compression != 3) return true;
    uint64_t row = ((uint64_t(w) * bpp + 31) / 32) * 4;
    return uint64_t(offBits) + row * uint64_t(h) <= size;
}

bool imageComplete(ImageKind kind, const BYTE* data, size_t size) {
    switch (kind) {
    case ImageKind::Png: return pngComplete(data, size);
    case ImageKind::Jpeg: return jpegComplete(data, size);
    case ImageKind::Gif: return gifComplete(data, size);
    case ImageKind::Bmp: return bmpComplete(data, size);
    default: return true;
    }
}

bool tgaComplete(const BYTE* d, size_t size) {
    if (size < 18) return false;
    BYTE idLength = d[0], mapType = d[1], type = d[2];
    uint32_t mapLength = le16(d + 5), mapBits = d[7];
    uint64_t w = le16(d + 12), h = le16(d + 14);
    uint32_t bytesPerPixel = (uint32_t(d[16]) + 7) / 8;
    if (w == 0 || h == 0 || bytesPerPixel == 0) return false;
    uint64_t pos = 18 + uint64_t(idLength);
    if (mapType == 1) pos += uint64_t(mapLength) * ((mapBits + 7) / 8);
    uint64_t pixels = w * h;
    if (type == 1 || type == 2 || type == 3) return pos + pixels * bytesPerPixel <= size;
    if (type != 9 && type != 10 && type != 11) return false;
    // Run-length packets: a header byte, then one pixel repeated or n literal pixels.
    while (pixels > 0) {
        if (pos >= size) return false;
        BYTE header = d[pos++];
        uint64_t n = (header & 0x7F) + 1u;
        pos += (header & 0x80) ? bytesPerPixel : n * bytesPerPixel;
        if (pos > size) return false;
        pixels = n >= pixels ? 0 : pixels - n;
    }
    return true;
}

}  // namespace d3d9impl
