// The CPU backend as the core sees it: creation and its limits.
#ifndef D3D9_SOFT_BACKEND_H
#define D3D9_SOFT_BACKEND_H

#include "backend.h"
#include "d3d9.h"

#include <memory>

namespace d3d9soft {

// Largest texture side accepted; memory, not the rasteriser, is the limit.
constexpr UINT kMaxTextureSize = 8192;

// Draws into memory and presents into the window's SDL surface (a plain, non-GL window); with
// any presentation interval but immediate, at the display's refresh rate.
HRESULT createBackend(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT width, UINT height,
                      std::unique_ptr<d3d9impl::Backend>* out);

}  // namespace d3d9soft

#endif
