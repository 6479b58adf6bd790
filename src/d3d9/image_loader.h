// Decoding picture files into RGBA bytes for textures, refusing damaged or truncated files.
#ifndef D3D9_IMAGE_LOADER_H
#define D3D9_IMAGE_LOADER_H

#include "d3d9.h"

#include <cstddef>
#include <vector>

namespace d3d9impl {

struct DecodedImage {
    UINT width = 0;
    UINT height = 0;
    bool hasAlpha = false;      // the file had an alpha channel or a transparent colour
    std::vector<BYTE> rgba;     // width * height * 4 bytes, top row first
};

// Reads and decodes a PNG, JPEG, BMP, TGA, GIF (or other SDL_image) file; never prints.
HRESULT decodeImageFile(const char* path, DecodedImage* out);

// The container formats whose end can be found without decoding.
enum class ImageKind { Unknown, Png, Jpeg, Gif, Bmp };

ImageKind sniffImage(const BYTE* data, size_t size);

// Whether a file of this kind holds all the bytes its structure announces. SDL_image fills
// what is missing from a truncated JPEG (and some others) with grey or black and reports
// success, so truncation is caught here before decoding.
bool imageComplete(ImageKind kind, const BYTE* data, size_t size);

// The same for an uncompressed or run-length TGA, which has no signature to sniff.
bool tgaComplete(const BYTE* data, size_t size);

}  // namespace d3d9impl

#endif
