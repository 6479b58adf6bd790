// The device's shadow of its fixed-function state, which skips GL calls that change nothing.
#ifndef D3D9_DEVICE_STATE_H
#define D3D9_DEVICE_STATE_H

#include "d3d9.h"
#include "gl_api.h"

#ifndef D3D9_STATE_CACHE
#define D3D9_STATE_CACHE 1
#endif

namespace d3d9impl {

class Texture;
class VertexBuffer;

// Each setter validates its arguments, compares with the shadow and only then touches GL.
// With D3D9_STATE_CACHE=0 the comparison is skipped so every call reaches GL.
class DeviceState {
public:
    DeviceState() = default;
    DeviceState(const DeviceState&) = delete;
    DeviceState& operator=(const DeviceState&) = delete;
    ~DeviceState() { releaseBindings(); }

    // Loads D3D's initial state into the shadow and pushes all of it to GL.
    void reset(bool depthBuffer);

    HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT setRenderState(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT setTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    HRESULT setFVF(DWORD fvf);
    HRESULT setMaterial(const D3DMATERIAL9* material);
    HRESULT setTexture(DWORD stage, IDirect3DBaseTexture9* texture);
    HRESULT setStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride);

    // Checks that vertices [first, first+count) can be fetched and sets the GL arrays up for them.
    HRESULT prepareDraw(UINT first, UINT count);

    // For code that bound another GL texture behind the shadow's back (texture uploads).
    void restoreTextureBinding();
    // Drops the references the device holds on its bound texture and stream source.
    void releaseBindings();

    // How many groups of GL state calls were issued; lets tests see the cache at work.
    unsigned long glWrites() const { return glWrites_; }

private:
    static constexpr bool kCache = D3D9_STATE_CACHE != 0;

    void applyModelView();
    void applyProjection();
    void applyRenderState(D3DRENDERSTATETYPE state);
    void applyMaterial();
    void applyStage0();
    void applyArrays();

    D3DMATRIX world_{}, view_{}, projection_{};
    DWORD zEnable_ = D3DZB_FALSE, srcBlend_ = D3DBLEND_ONE, destBlend_ = D3DBLEND_ZERO;
    DWORD cullMode_ = D3DCULL_CCW, alphaBlend_ = FALSE, lighting_ = TRUE, ambient_ = 0;
    DWORD colorOp_ = D3DTOP_MODULATE, alphaOp_ = D3DTOP_SELECTARG1;
    D3DMATERIAL9 material_{};
    DWORD fvf_ = 0;
    Texture* texture_ = nullptr;
    VertexBuffer* stream_ = nullptr;
    UINT streamOffset_ = 0, streamStride_ = 0;
    bool arraysDirty_ = true;
    unsigned long glWrites_ = 0;
};

// Bytes one vertex of this FVF takes, or 0 when the FVF is not supported.
UINT fvfVertexSize(DWORD fvf);

}  // namespace d3d9impl

#endif
