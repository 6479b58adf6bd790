// GIF through giflib 5: the first frame, its transparent index as alpha 0, interlaced or not.
#include "formats.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace image {

static bool gifClaims(const uint8_t* d, size_t size) {
    return size >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0);
}

// Skips data sub-blocks; false when they run past the end.
static bool gifSkipBlocks(const uint8_t* d, size_t size, size_t* pos) {
    for (;;) {
        if (*pos >= size) return false;
        uint8_t len = d[(*pos)++];
        if (len == 0) return true;
        if (size - *pos < len) return false;
        *pos += len;
    }
}

// The offset of the first image descriptor's fields (just after its 0x2C), or 0.
static size_t gifFirstImage(const uint8_t* d, size_t size) {
    if (size < 13) return 0;
    size_t pos = 13;
    if (d[10] & 0x80) pos += 3u << ((d[10] & 7) + 1);
    for (;;) {
        if (pos >= size) return 0;
        uint8_t block = d[pos++];
        if (block == 0x21) {
            if (pos >= size) return 0;
            ++pos;  // extension label
            if (!gifSkipBlocks(d, size, &pos)) return 0;
        } else if (block == 0x2C) {
            return size - pos >= 9 ? pos : 0;
        } else {
            return 0;  // the trailer before any image, or garbage
        }
    }
}

// Only the first image is decoded, so the file is complete once that image is.
static bool gifComplete(const uint8_t* d, size_t size) {
    size_t pos = gifFirstImage(d, size);
    if (pos == 0) return false;
    uint8_t flags = d[pos + 8];
    pos += 9;
    if (flags & 0x80) pos += 3u << ((flags & 7) + 1);
    if (pos >= size) return false;
    ++pos;  // LZW minimum code size
    return gifSkipBlocks(d, size, &pos);
}

static bool gifSize(const uint8_t* d, size_t size, uint32_t* w, uint32_t* h) {
    size_t pos = gifFirstImage(d, size);
    if (pos == 0) return false;
    *w = imageLe16(d + pos + 4);
    *h = imageLe16(d + pos + 6);
    return true;
}

struct GifSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

static int gifRead(GifFileType* gif, GifByteType* buf, int len) {
    GifSource* src = static_cast<GifSource*>(gif->UserData);
    size_t n = std::min(size_t(len < 0 ? 0 : len), src->size - src->pos);
    std::memcpy(buf, src->data + src->pos, n);
    src->pos += n;
    return int(n);
}

// The graphic control extension's transparent index, or -1; the extension is consumed.
static bool gifReadExtension(GifFileType* gif, int* transparent) {
    int code = 0;
    GifByteType* ext = nullptr;
    if (DGifGetExtension(gif, &code, &ext) != GIF_OK) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) *transparent = (ext[1] & 1) ? ext[4] : -1;
    while (ext)
        if (DGifGetExtensionNext(gif, &ext) != GIF_OK) return false;
    return true;
}

static void gifPutRow(const GifByteType* row, uint32_t w, const ColorMapObject* map, int transparent,
                      uint8_t* out) {
    for (uint32_t x = 0; x < w; ++x, out += 4) {
        int i = row[x];
        if (i == transparent) continue;  // stays transparent black
        out[3] = 255;
        if (i >= map->ColorCount) continue;  // outside the palette: opaque black
        out[0] = map->Colors[i].Red;
        out[1] = map->Colors[i].Green;
        out[2] = map->Colors[i].Blue;
    }
}

// Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
static bool gifReadImage(GifFileType* gif, uint32_t w, uint32_t h, int transparent, uint8_t* rgba) {
    if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (uint32_t(desc.Width) != w || uint32_t(desc.Height) != h || !map) return false;
    static const uint32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    std::vector<GifByteType> row(w);
    for (int pass = desc.Interlace ? 0 : 3; pass < 4; ++pass) {
        uint32_t from = desc.Interlace ? start[pass] : 0, by = desc.Interlace ? step[pass] : 1;
        for (uint32_t y = from; y < h; y += by) {
            if (DGifGetLine(gif, row.data(), int(w)) != GIF_OK) return false;
            gifPutRow(row.data(), w, map, transparent, rgba + size_t(y) * w * 4);
        }
    }
    return true;
}

static bool gifDecode(const uint8_t* d, size_t size, uint32_t w, uint32_t h, uint8_t* rgba) {
    GifSource src = {d, size, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&src, gifRead, &error);
    if (!gif) return false;
    int transparent = -1;
    bool ok = false;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK) break;
        if (type == EXTENSION_RECORD_TYPE) {
            if (!gifReadExtension(gif, &transparent)) break;
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            ok = gifReadImage(gif, w, h, transparent, rgba);
            break;
        } else {
            break;
        }
    }
    DGifCloseFile(gif, &error);
    return ok;
}

const Format kGifFormat = {gifClaims, gifComplete, gifSize, gifDecode};

}  // namespace image
