// The device and Direct3D objects: lifetime, frame calls, draws and resource creation over a backend.
#ifndef D3D9_DEVICE_H
#define D3D9_DEVICE_H

#include "backend.h"
#include "backend_choice.h"
#include "d3d9.h"
#include "layer_state.h"
#include "device_state.h"
#include "ref_counted.h"

#include <memory>
#include <vector>

namespace d3d9impl {

class Texture;

class Direct3D final : public RefCounted<IDirect3D9> {
public:
    HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
    HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                         D3DPRESENT_PARAMETERS* pPresentationParameters,
                         IDirect3DDevice9** ppReturnedDeviceInterface) override;

private:
    ~Direct3D() override = default;
};

class Device final : public RefCounted<IDirect3DDevice9> {
public:
    // Picks the backend for the window and starts it; null with the reason's HRESULT otherwise.
    static HRESULT create(Direct3D* parent, HWND window, const D3DPRESENT_PARAMETERS& pp, Device** out);

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
    HRESULT SetFVF(DWORD FVF) override;
    HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override;
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const RGNDATA* pDirtyRegion) override;
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                            UINT Stride) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;

    // Takes a copy of a width x height picture of RGBA bytes, top row first, as a new texture.
    HRESULT createTexture(UINT width, UINT height, const void* rgba, Texture** out);
    UINT maxTextureSize() const { return maxTextureSize_; }
    BackendKind backendKind() const { return kind_; }
    // The back buffer as RGBA bytes, top row first, as drawn so far (for tests).
    void readBack(std::vector<BYTE>* rgba) { backend_->readBack(rgba); }
    // The window has one device at a time (GL has one state per context).
    static bool exists() { return layerState.device != nullptr; }
    const DeviceState& state() const { return state_; }

private:
    Device(Direct3D* parent, HWND window, UINT width, UINT height, bool depthBuffer, UINT maxTexture,
           BackendKind kind, std::unique_ptr<Backend> backend);
    ~Device() override;

    Direct3D* parent_;
    HWND window_;
    UINT width_, height_;
    bool depthBuffer_;
    UINT maxTextureSize_;
    BackendKind kind_;
    bool inScene_ = false;
    // ORDER DEV: members are built in declaration order and destroyed in reverse, so the
    // backend comes before state_, which holds a pointer to it and tells it of changes.
    std::unique_ptr<Backend> backend_;
    DeviceState state_;
};

}  // namespace d3d9impl

#endif
