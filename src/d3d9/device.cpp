// Device calls that are not plain state: scenes, clears, presents, draws and resource creation.
#include "device.h"

#include "resources.h"

#include <new>

namespace d3d9impl {

LayerState layerState = {nullptr, {0}};

Device::Device(Direct3D* parent, HWND window, UINT width, UINT height, bool depthBuffer, UINT maxTexture,
               BackendKind kind, std::unique_ptr<Backend> backend)
    : parent_(parent), window_(window), width_(width), height_(height), depthBuffer_(depthBuffer),
      maxTextureSize_(maxTexture), kind_(kind), backend_(std::move(backend)), state_(backend_.get()) {
    parent_->AddRef();
    layerState.device = this;
    state_.reset(depthBuffer);
}

Device::~Device() {
    state_.releaseBindings();
    backend_.reset();
    layerState.device = nullptr;
    parent_->Release();
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
    return state_.setTransform(State, pMatrix);
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    return state_.setRenderState(State, Value);
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    return state_.setTextureStageState(Stage, Type, Value);
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* pShader) {
    // Only the fixed-function pipeline exists.
    return pShader ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT Device::SetFVF(DWORD FVF) { return state_.setFVF(FVF); }

HRESULT Device::SetMaterial(const D3DMATERIAL9* pMaterial) { return state_.setMaterial(pMaterial); }

HRESULT Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
    return state_.setTexture(Stage, pTexture);
}

HRESULT Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                UINT Stride) {
    return state_.setStreamSource(StreamNumber, pStreamData, OffsetInBytes, Stride);
}

HRESULT Device::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD /*Stencil*/) {
    const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
    // No stencil buffer exists, so D3DCLEAR_STENCIL (and anything unknown) is refused.
    if ((Flags & ~known) != 0) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_ZBUFFER) && !depthBuffer_) return D3DERR_INVALIDCALL;
    if ((Count == 0) != (pRects == nullptr)) return D3DERR_INVALIDCALL;
    if (Flags == 0) return D3D_OK;
    std::vector<ClearRect> rects;
    try {
        if (Count == 0) rects.push_back({0, 0, long(width_), long(height_)});
        // Rectangles are in top-down pixel coordinates, clipped to the back buffer.
        for (DWORD i = 0; i < Count; ++i) {
            const D3DRECT& r = pRects[i];
            long x1 = r.x1 < 0 ? 0 : r.x1, y1 = r.y1 < 0 ? 0 : r.y1;
            long x2 = r.x2 > long(width_) ? long(width_) : r.x2, y2 = r.y2 > long(height_) ? long(height_) : r.y2;
            if (x2 > x1 && y2 > y1) rects.push_back({x1, y1, x2, y2});
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!rects.empty()) backend_->clear(rects, Flags, Color, Z < 0.f ? 0.f : (Z > 1.f ? 1.f : Z));
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT Device::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                        const RGNDATA* pDirtyRegion) {
    // Partial presents and other windows are not needed by anyone.
    if (pSourceRect || pDestRect || pDirtyRegion) return D3DERR_INVALIDCALL;
    if (hDestWindowOverride && hDestWindowOverride != window_) return D3DERR_INVALIDCALL;
    backend_->present();
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT Length, DWORD /*Usage*/, DWORD FVF, D3DPOOL Pool,
                                   IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
    if (!ppVertexBuffer) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (pSharedHandle || Length == 0) return D3DERR_INVALIDCALL;
    if (Pool != D3DPOOL_DEFAULT && Pool != D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if (FVF != 0) {
        UINT size = fvfVertexSize(FVF);
        if (size == 0 || Length < size) return D3DERR_INVALIDCALL;
    }
    VertexBuffer* vb;
    try {
        vb = new VertexBuffer(Length, FVF);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = backend_->createVertexBuffer(*vb);
    if (FAILED(hr)) {
        vb->Release();
        return hr;
    }
    *ppVertexBuffer = vb;
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
    if (!inScene_ || PrimitiveCount == 0 || PrimitiveCount > 0x3FFFFFFF) return D3DERR_INVALIDCALL;
    UINT vertices;
    switch (PrimitiveType) {
    case D3DPT_TRIANGLELIST: vertices = PrimitiveCount * 3; break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: vertices = PrimitiveCount + 2; break;
    default: return D3DERR_INVALIDCALL;
    }
    HRESULT hr = state_.checkDraw(StartVertex, vertices);
    if (FAILED(hr)) return hr;
    backend_->draw(state_.current(), PrimitiveType, StartVertex, vertices);
    return D3D_OK;
}

HRESULT Device::createTexture(UINT width, UINT height, const void* rgba, Texture** out) {
    *out = nullptr;
    if (width == 0 || height == 0 || !rgba) return D3DERR_INVALIDCALL;
    if (width > maxTextureSize_ || height > maxTextureSize_) return D3DERR_INVALIDCALL;
    Texture* texture;
    try {
        const BYTE* bytes = static_cast<const BYTE*>(rgba);
        texture = new Texture(width, height, std::vector<BYTE>(bytes, bytes + size_t(width) * height * 4));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = backend_->createTexture(*texture);
    if (FAILED(hr)) {
        texture->Release();
        return hr;
    }
    *out = texture;
    return D3D_OK;
}

}  // namespace d3d9impl
