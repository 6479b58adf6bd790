// The Direct3D object: adapter queries and the checks that decide whether a device can be made.
#include "device.h"
#include "gl/gl_backend.h"
#include "soft/soft_backend.h"

#include <SDL.h>

#include <new>

using d3d9impl::Device;
using d3d9impl::Direct3D;

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
    if (SDKVersion != D3D_SDK_VERSION) return nullptr;
    return new Direct3D();
}

HWND GetActiveWindow() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
    return SDL_GetVideoSurface();
}

namespace d3d9impl {

// Texture size assumed when no context can be asked; every GL 2.1 driver allows it.
static const int kDefaultMaxTexture = 2048;

static UINT maxTextureFor(HWND window) {
    if (backendFor(window) == BackendKind::Software) return d3d9soft::kMaxTextureSize;
    return static_cast<UINT>(d3d9gl::maxTextureSize(kDefaultMaxTexture));
}

static D3DFORMAT formatForDepth(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 32:
    case 24: return D3DFMT_X8R8G8B8;
    case 16: return D3DFMT_R5G6B5;
    case 15: return D3DFMT_X1R5G5B5;
    default: return D3DFMT_UNKNOWN;
    }
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
    if (Adapter != D3DADAPTER_DEFAULT || !pMode) return D3DERR_INVALIDCALL;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return D3DERR_NOTAVAILABLE;
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (!info || !info->vfmt) return D3DERR_NOTAVAILABLE;
    pMode->Width = info->current_w > 0 ? static_cast<UINT>(info->current_w) : 0;
    pMode->Height = info->current_h > 0 ? static_cast<UINT>(info->current_h) : 0;
    pMode->RefreshRate = 0;  // SDL 1.2 cannot tell; 0 is D3D's "adapter default"
    pMode->Format = formatForDepth(info->vfmt->BitsPerPixel);
    return D3D_OK;
}

HRESULT Direct3D::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) {
    if (Adapter != D3DADAPTER_DEFAULT || DeviceType != D3DDEVTYPE_HAL || !pCaps) return D3DERR_INVALIDCALL;
    pCaps->DeviceType = D3DDEVTYPE_HAL;
    pCaps->AdapterOrdinal = Adapter;
    pCaps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    DWORD maxSize = maxTextureFor(GetActiveWindow());
    pCaps->MaxTextureWidth = maxSize;
    pCaps->MaxTextureHeight = maxSize;
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                               D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    *ppDevice = nullptr;
    if (!pp || Adapter != D3DADAPTER_DEFAULT || DeviceType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    // Exactly one vertex processing mode must be asked for (software, hardware or mixed).
    DWORD vp = BehaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING | 0x80);
    if (vp == 0 || (vp & (vp - 1)) != 0) return D3DERR_INVALIDCALL;
    if (pp->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
    if (pp->BackBufferCount > 3) return D3DERR_INVALIDCALL;
    if (pp->SwapEffect < D3DSWAPEFFECT_DISCARD || pp->SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
    HWND window = pp->hDeviceWindow ? pp->hDeviceWindow : hFocusWindow;
    if (!window) return D3DERR_INVALIDCALL;

    Device* device = nullptr;
    HRESULT hr = Device::create(this, window, *pp, &device);
    if (FAILED(hr)) return hr;
    // Like D3D, fill in what the caller left to the device.
    if (pp->BackBufferWidth == 0) pp->BackBufferWidth = static_cast<UINT>(window->w);
    if (pp->BackBufferHeight == 0) pp->BackBufferHeight = static_cast<UINT>(window->h);
    if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
    if (pp->BackBufferFormat == D3DFMT_UNKNOWN) pp->BackBufferFormat = formatForDepth(window->format->BitsPerPixel);
    *ppDevice = device;
    return D3D_OK;
}

HRESULT Device::create(Direct3D* parent, HWND window, const D3DPRESENT_PARAMETERS& asked, Device** out) {
    *out = nullptr;
    D3DPRESENT_PARAMETERS pp = asked;
    if (presentsImmediately()) pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (exists()) return D3DERR_NOTAVAILABLE;
    // Only SDL's current video surface can be drawn into.
    if (!SDL_WasInit(SDL_INIT_VIDEO) || window != SDL_GetVideoSurface()) return D3DERR_NOTAVAILABLE;
    UINT width = pp.BackBufferWidth ? pp.BackBufferWidth : static_cast<UINT>(window->w);
    UINT height = pp.BackBufferHeight ? pp.BackBufferHeight : static_cast<UINT>(window->h);
    if (width == 0 || height == 0) return D3DERR_INVALIDCALL;
    BackendKind kind = backendFor(window);
    std::unique_ptr<Backend> backend;
    HRESULT hr = kind == BackendKind::OpenGL ? d3d9gl::createBackend(window, pp, width, height, &backend)
                                             : d3d9soft::createBackend(window, pp, width, height, &backend);
    if (FAILED(hr)) return hr;
    Device* device;
    try {
        device = new Device(parent, window, width, height, pp.EnableAutoDepthStencil != FALSE, maxTextureFor(window),
                            kind, std::move(backend));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *out = device;
    return D3D_OK;
}

}  // namespace d3d9impl
