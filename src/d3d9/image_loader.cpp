// Reads a picture file whole, checks it is complete, decodes it with SDL_image and converts to RGBA.
#include "image_loader.h"
#include "d3dx9.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>
#include <fcntl.h>
#include <unistd.h>

namespace d3d9impl {

static bool readWholeFile(const char* path, std::vector<BYTE>* data) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    bool ok = true;
    BYTE chunk[65536];
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n > 0) data->insert(data->end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    return ok;
}

// The extension after the last dot of the file name, or an empty string.
static std::string extensionOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    const char* dot = std::strrchr(name, '.');
    return dot ? std::string(dot + 1) : std::string();
}

static Uint32 readPixel(const Uint8* p, int bytes) {
    switch (bytes) {
    case 1: return *p;
    case 2: {
        Uint16 v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case 3:
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
        return Uint32(p[0]) | Uint32(p[1]) << 8 | Uint32(p[2]) << 16;
#else
        return Uint32(p[0]) << 16 | Uint32(p[1]) << 8 | Uint32(p[2]);
#endif
    default: {
        Uint32 v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

// Reads pixel by pixel rather than blitting, so SDL's blit rules (alpha blended instead of
// copied, keyed pixels skipped) cannot change the result: keyed pixels become transparent.
static bool convertToRgba(SDL_Surface* s, DecodedImage* out) {
    if (s->w <= 0 || s->h <= 0 || !s->format) return false;
    const SDL_PixelFormat* fmt = s->format;
    int bytes = fmt->BytesPerPixel;
    if (bytes < 1 || bytes > 4) return false;
    size_t w = size_t(s->w), h = size_t(s->h);
    try {
        out->rgba.assign(w * h * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return false;
    bool keyed = (s->flags & SDL_SRCCOLORKEY) != 0;
    BYTE* dst = out->rgba.data();
    for (size_t y = 0; y < h; ++y) {
        const Uint8* row = static_cast<const Uint8*>(s->pixels) + y * s->pitch;
        for (size_t x = 0; x < w; ++x, dst += 4) {
            Uint32 p = readPixel(row + x * bytes, bytes);
            if (keyed && p == fmt->colorkey) continue;  // stays transparent black
            SDL_GetRGBA(p, const_cast<SDL_PixelFormat*>(fmt), &dst[0], &dst[1], &dst[2], &dst[3]);
        }
    }
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    out->width = UINT(w);
    out->height = UINT(h);
    out->hasAlpha = fmt->Amask != 0 || keyed;
    return true;
}

// libpng reports damaged files on stderr by itself (SDL_image installs no handler for that);
// the caller prints its own report, so stderr is pointed at /dev/null while decoding.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (sink < 0) return;
        saved_ = fcntl(2, F_DUPFD_CLOEXEC, 3);
        if (saved_ >= 0 && dup2(sink, 2) < 0) {
            close(saved_);
            saved_ = -1;
        }
        close(sink);
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

static SDL_Surface* decodeAs(SDL_RWops* rw, const std::string& type) {
    SDL_RWseek(rw, 0, RW_SEEK_SET);
    std::vector<char> name(type.begin(), type.end());
    name.push_back('\0');
    return IMG_LoadTyped_RW(rw, 0, type.empty() ? nullptr : name.data());
}

HRESULT decodeImageFile(const char* path, DecodedImage* out) {
    std::vector<BYTE> data;
    if (!path || !readWholeFile(path, &data) || data.empty()) return D3DXERR_INVALIDDATA;
    ImageKind kind = sniffImage(data.data(), data.size());
    if (!imageComplete(kind, data.data(), data.size())) return D3DXERR_INVALIDDATA;
    if (data.size() > 0x7FFFFFFF) return D3DXERR_INVALIDDATA;

    SDL_RWops* rw = SDL_RWFromConstMem(data.data(), int(data.size()));
    if (!rw) return E_OUTOFMEMORY;
    std::string ext = extensionOf(path);
    bool tgaName = strcasecmp(ext.c_str(), "tga") == 0;
    SDL_Surface* surface = nullptr;
    QuietStderr quiet;
    // TGA has no signature: it is tried for .tga files and for files no other decoder claims.
    if (kind == ImageKind::Unknown && tgaName) {
        if (tgaComplete(data.data(), data.size())) surface = decodeAs(rw, "TGA");
    } else {
        surface = decodeAs(rw, ext);
        if (!surface && kind == ImageKind::Unknown && tgaComplete(data.data(), data.size()))
            surface = decodeAs(rw, "TGA");
    }
    SDL_RWclose(rw);
    if (!surface) return D3DXERR_INVALIDDATA;
    bool ok = convertToRgba(surface, out);
    SDL_FreeSurface(surface);
    return ok ? D3D_OK : D3DXERR_INVALIDDATA;
}

}  // namespace d3d9impl
