// Choosing the backend once per window: hardware OpenGL when there is some, else the CPU.
#include "backend_choice.h"

#include "gl/gl_backend.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace d3d9impl {

bool forcedBackend(BackendKind* kind) {
    const char* v = std::getenv("GAMEHOST_DEVICE");
    if (!v) return false;
    if (std::strcmp(v, "opengl") == 0) {
        *kind = BackendKind::OpenGL;
        return true;
    }
    if (std::strcmp(v, "software") == 0) {
        *kind = BackendKind::Software;
        return true;
    }
    return false;
}

bool presentsImmediately() {
    const char* v = std::getenv("GAMEHOST_PRESENT");
    return v && std::strcmp(v, "immediate") == 0;
}

BackendKind backendFor(HWND window) {
    BackendKind kind;
    if (forcedBackend(&kind)) return kind;
    return window && (window->flags & SDL_OPENGL) ? BackendKind::OpenGL : BackendKind::Software;
}

}  // namespace d3d9impl

using d3d9impl::BackendKind;

HWND OpenDeviceWindow(int width, int height, int bitsPerPixel) {
    BackendKind forced;
    bool isForced = d3d9impl::forcedBackend(&forced);
    if (!isForced || forced == BackendKind::OpenGL) {
        // A CPU rasteriser behind GL is slower than our own, which only does this pipeline.
        HWND gl = d3d9gl::openWindow(width, height, bitsPerPixel);
        if (gl && (isForced || !d3d9gl::softwareRenderer())) return gl;
    }
    // The CPU backend draws into SDL's own surface: a plain window.
    return SDL_SetVideoMode(width, height, bitsPerPixel, 0);
}
