// The OpenGL 2.1 backend as the core sees it: window, renderer query and backend creation.
#ifndef D3D9_GL_BACKEND_H
#define D3D9_GL_BACKEND_H

#include "backend.h"
#include "d3d9.h"

#include <memory>

namespace d3d9gl {

// Opens an SDL_OPENGL window. X errors raised while the context is made (an X server that
// refuses indirect GLX, a missing driver) are caught: then null, and no GL window is left open.
HWND openWindow(int width, int height, int bitsPerPixel);

// Whether the current context's renderer is a CPU rasteriser (llvmpipe, softpipe, swrast).
bool softwareRenderer();

// GL_MAX_TEXTURE_SIZE of the current context, or fallback without one.
int maxTextureSize(int fallback);

// Checks that the window has a usable GL 2.1 context and starts the backend on it.
HRESULT createBackend(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT width, UINT height,
                      std::unique_ptr<d3d9impl::Backend>* out);

}  // namespace d3d9gl

#endif
