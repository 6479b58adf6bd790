// Opening an OpenGL window without letting Xlib's default error handler end the process.
#include "gl_api.h"
#include "gl_backend.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstring>

namespace d3d9gl {

namespace {

int recordXError(Display*, XErrorEvent*) {
    glState.xErrorSeen = true;
    return 0;
}

// Makes the X server report what it refused so far, while the handler is still ours.
void syncWithServer() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) == 1 && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display)
        XSync(info.info.x11.display, False);
}

}  // namespace

HWND openWindow(int width, int height, int bitsPerPixel) {
    glState.xErrorSeen = false;
    XErrorHandler previous = XSetErrorHandler(recordXError);
    HWND window = SDL_SetVideoMode(width, height, bitsPerPixel, SDL_OPENGL);
    if (window) syncWithServer();
    bool usable = window && !glState.xErrorSeen && glGetString(GL_VERSION) != nullptr;
    if (!usable) {
        // A refused context leaves SDL's X11 state half made (its next shared-memory update
        // crashes), so video starts afresh, while errors from the teardown are still caught.
        if (window) syncWithServer();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        window = nullptr;
    }
    XSetErrorHandler(previous);
    return window;
}

bool softwareRenderer() {
    const char* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!r) return true;
    return std::strstr(r, "llvmpipe") || std::strstr(r, "softpipe") || std::strstr(r, "swrast") ||
           std::strstr(r, "Software Rasterizer");
}

}  // namespace d3d9gl
