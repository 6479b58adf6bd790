// stb_image built for BMP and TGA only, reading from memory; it allocates with malloc and never prints.
#include "formats.h"

#include <cstdlib>
#include <cstring>

#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace image {

// stb_image reads the header again itself; a size that disagrees with ours fails the load.
bool stbDecode(const uint8_t* data, size_t size, uint32_t width, uint32_t height, uint8_t* rgba) {
    if (size > 0x7FFFFFFF) return false;
    int w = 0, h = 0, channels = 0;
    stbi_uc* px = stbi_load_from_memory(data, int(size), &w, &h, &channels, 4);
    if (!px) return false;
    bool ok = uint32_t(w) == width && uint32_t(h) == height;
    if (ok) std::memcpy(rgba, px, size_t(w) * h * 4);
    stbi_image_free(px);
    return ok;
}

}  // namespace image
