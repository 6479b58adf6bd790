// Picture files to RGBA pixels: reading, recognising the format by content, decoding safely.
#ifndef IMAGE_IMAGE_H
#define IMAGE_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace image {

// Files above this size are refused before any byte is read.
const size_t kMaxFileBytes = size_t(256) << 20;
// Pictures whose decoded RGBA would exceed this are refused from their header.
const uint64_t kMaxPixelBytes = uint64_t(256) << 20;

struct Pixels {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes, top row first
};

// Reads a regular file of at most kMaxFileBytes whole; anything else (a folder, a device,
// a FIFO, a file that changes size while read) is false, at once and without blocking.
bool readFile(const char* path, std::vector<uint8_t>* data);

// Decodes PNG, JPEG, GIF (first frame), BMP, TGA or WebP held in memory. A picture wider or
// higher than maxSide, or truncated, damaged or of another format, is false; never prints.
bool decode(const uint8_t* data, size_t size, uint32_t maxSide, Pixels* out);

// readFile, then decode.
bool loadFile(const char* path, uint32_t maxSide, Pixels* out);

}  // namespace image

#endif
