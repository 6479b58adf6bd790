// The table entry each picture format fills in, and the byte readers the formats share.
#ifndef IMAGE_FORMATS_H
#define IMAGE_FORMATS_H

#include <cstddef>
#include <cstdint>

namespace image {

// One format. decode() is called only after claims(), complete() and size() agreed and the
// size passed the limits; it writes exactly width * height * 4 bytes into rgba.
struct Format {
    bool (*claims)(const uint8_t* data, size_t size);    // recognised by content
    bool (*complete)(const uint8_t* data, size_t size);  // every byte the structure announces is there
    bool (*size)(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height);
    bool (*decode)(const uint8_t* data, size_t size, uint32_t width, uint32_t height, uint8_t* rgba);
};

extern const Format kPngFormat;
extern const Format kJpegFormat;
extern const Format kGifFormat;
extern const Format kBmpFormat;
extern const Format kTgaFormat;
extern const Format kWebpFormat;

// BMP and TGA pixels through stb_image (which checks the size again itself).
bool stbDecode(const uint8_t* data, size_t size, uint32_t width, uint32_t height, uint8_t* rgba);
// Run-length BMP (BI_RLE8, BI_RLE4), which stb_image does not read.
bool bmpRleDecode(const uint8_t* data, size_t size, uint32_t width, uint32_t height, uint8_t* rgba);

inline uint32_t imageBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint32_t imageLe16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t imageLe32(const uint8_t* p) { return imageLe16(p) | imageLe16(p + 2) << 16; }

}  // namespace image

#endif
