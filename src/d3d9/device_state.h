// The device's shadow of its fixed-function state, which skips backend calls that change nothing.
#ifndef D3D9_DEVICE_STATE_H
#define D3D9_DEVICE_STATE_H

#include "backend.h"
#include "d3d9.h"

#ifndef D3D9_STATE_CACHE
#define D3D9_STATE_CACHE 1
#endif

namespace d3d9impl {

// Each setter validates its arguments, compares with the shadow and only then tells the backend.
// With D3D9_STATE_CACHE=0 the comparison is skipped so every call reaches the backend.
class DeviceState {
public:
    explicit DeviceState(Backend* backend) : backend_(backend) {}
    DeviceState(const DeviceState&) = delete;
    DeviceState& operator=(const DeviceState&) = delete;
    ~DeviceState() { releaseBindings(); }

    // Loads D3D's initial state into the shadow and tells the backend all of it.
    void reset(bool depthBuffer);

    HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT setRenderState(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT setTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    HRESULT setFVF(DWORD fvf);
    HRESULT setMaterial(const D3DMATERIAL9* material);
    HRESULT setTexture(DWORD stage, IDirect3DBaseTexture9* texture);
    HRESULT setStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride);

    // Checks that vertices [first, first+count) can be fetched from the bound stream.
    HRESULT checkDraw(UINT first, UINT count) const;

    // Drops the references the device holds on its bound texture and stream source.
    void releaseBindings();

    const PipelineState& current() const { return s_; }
    // How many changes reached the backend; lets tests see the cache at work.
    unsigned long writes() const { return writes_; }

private:
    static constexpr bool kCache = D3D9_STATE_CACHE != 0;

    void tell(StateChange what, D3DRENDERSTATETYPE renderState = D3DRS_ZENABLE);

    Backend* backend_;
    PipelineState s_;
    unsigned long writes_ = 0;
};

}  // namespace d3d9impl

#endif
