// Shadowed fixed-function state: validation and change detection in front of the backend.
#include "device_state.h"

#include "matrix.h"
#include "resources.h"

#include <cstdint>
#include <cstring>

namespace d3d9impl {

static bool validBlend(DWORD blend) {
    return blend == D3DBLEND_ZERO || blend == D3DBLEND_ONE || blend == D3DBLEND_SRCALPHA ||
           blend == D3DBLEND_INVSRCALPHA;
}

// A NaN colour has no clamp both backends share (GL's gives full, a plain clamp none): it
// counts as full, so the pixels are the same whichever draws.
static void fullForNaN(D3DCOLORVALUE& c) {
    for (float* v : {&c.r, &c.g, &c.b, &c.a})
        if (*v != *v) *v = 1.f;
}

static bool validOp(DWORD op) {
    return op == D3DTOP_DISABLE || op == D3DTOP_SELECTARG1 || op == D3DTOP_MODULATE;
}

void DeviceState::tell(StateChange what, D3DRENDERSTATETYPE renderState) {
    backend_->stateChanged(s_, what, renderState);
    ++writes_;
}

void DeviceState::reset(bool depthBuffer) {
    releaseBindings();
    s_ = PipelineState();
    s_.world = s_.view = s_.projection = identityMatrix();
    s_.zEnable = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    // D3D's initial material is all zero (PipelineState's default).
    tell(StateChange::ModelView);
    tell(StateChange::Projection);
    for (D3DRENDERSTATETYPE s : {D3DRS_ZENABLE, D3DRS_SRCBLEND, D3DRS_CULLMODE, D3DRS_ALPHABLENDENABLE,
                                 D3DRS_LIGHTING, D3DRS_AMBIENT})
        tell(StateChange::RenderState, s);
    tell(StateChange::Material);
    tell(StateChange::Texture);
    tell(StateChange::Stage0);
    tell(StateChange::Arrays);
}

HRESULT DeviceState::setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    D3DMATRIX* slot;
    switch (state) {
    case D3DTS_WORLD: slot = &s_.world; break;
    case D3DTS_VIEW: slot = &s_.view; break;
    case D3DTS_PROJECTION: slot = &s_.projection; break;
    default: return D3DERR_INVALIDCALL;
    }
    if (kCache && std::memcmp(slot, matrix, sizeof *slot) == 0) return D3D_OK;
    *slot = *matrix;
    tell(state == D3DTS_PROJECTION ? StateChange::Projection : StateChange::ModelView);
    return D3D_OK;
}

HRESULT DeviceState::setRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    DWORD* slot;
    switch (state) {
    case D3DRS_ZENABLE:
        if (value != D3DZB_FALSE && value != D3DZB_TRUE) return D3DERR_INVALIDCALL;
        slot = &s_.zEnable;
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
        if (!validBlend(value)) return D3DERR_INVALIDCALL;
        slot = state == D3DRS_SRCBLEND ? &s_.srcBlend : &s_.destBlend;
        break;
    case D3DRS_CULLMODE:
        if (value != D3DCULL_NONE && value != D3DCULL_CW && value != D3DCULL_CCW) return D3DERR_INVALIDCALL;
        slot = &s_.cullMode;
        break;
    case D3DRS_ALPHABLENDENABLE: slot = &s_.alphaBlend; break;
    case D3DRS_LIGHTING: slot = &s_.lighting; break;
    case D3DRS_AMBIENT: slot = &s_.ambient; break;
    default: return D3DERR_INVALIDCALL;
    }
    if (kCache && *slot == value) return D3D_OK;
    *slot = value;
    tell(StateChange::RenderState, state);
    return D3D_OK;
}

HRESULT DeviceState::setTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage != 0 || !validOp(value)) return D3DERR_INVALIDCALL;
    DWORD* slot;
    switch (type) {
    case D3DTSS_COLOROP: slot = &s_.colorOp; break;
    case D3DTSS_ALPHAOP: slot = &s_.alphaOp; break;
    default: return D3DERR_INVALIDCALL;
    }
    if (kCache && *slot == value) return D3D_OK;
    *slot = value;
    tell(StateChange::Stage0);
    return D3D_OK;
}

HRESULT DeviceState::setFVF(DWORD fvf) {
    // 0 means "no FVF"; draws then fail until a supported one is set.
    if (fvf != 0 && fvfVertexSize(fvf) == 0) return D3DERR_INVALIDCALL;
    if (kCache && fvf == s_.fvf) return D3D_OK;
    s_.fvf = fvf;
    tell(StateChange::Arrays);
    return D3D_OK;
}

HRESULT DeviceState::setMaterial(const D3DMATERIAL9* material) {
    if (!material) return D3DERR_INVALIDCALL;
    if (kCache && std::memcmp(&s_.material, material, sizeof s_.material) == 0) return D3D_OK;
    s_.material = *material;
    for (D3DCOLORVALUE* c : {&s_.material.Diffuse, &s_.material.Ambient, &s_.material.Specular, &s_.material.Emissive})
        fullForNaN(*c);
    tell(StateChange::Material);
    return D3D_OK;
}

HRESULT DeviceState::setTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage != 0) return D3DERR_INVALIDCALL;
    Texture* t = nullptr;
    if (texture) {
        t = dynamic_cast<Texture*>(texture);
        if (!t) return D3DERR_INVALIDCALL;
    }
    if (kCache && t == s_.texture) return D3D_OK;
    // AddRef before Release so rebinding the same texture cannot free it.
    if (t) t->AddRef();
    if (s_.texture) s_.texture->Release();
    s_.texture = t;
    tell(StateChange::Texture);
    return D3D_OK;
}

HRESULT DeviceState::setStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    VertexBuffer* vb = nullptr;
    if (buffer) {
        vb = dynamic_cast<VertexBuffer*>(buffer);
        if (!vb || stride == 0 || offset >= vb->length()) return D3DERR_INVALIDCALL;
    }
    if (kCache && vb == s_.stream && offset == s_.streamOffset && stride == s_.streamStride) return D3D_OK;
    if (vb) vb->AddRef();
    if (s_.stream) s_.stream->Release();
    s_.stream = vb;
    s_.streamOffset = offset;
    s_.streamStride = stride;
    tell(StateChange::Arrays);
    return D3D_OK;
}

HRESULT DeviceState::checkDraw(UINT first, UINT count) const {
    UINT vertexSize = fvfVertexSize(s_.fvf);
    if (!s_.stream || vertexSize == 0 || s_.streamStride < vertexSize || count == 0) return D3DERR_INVALIDCALL;
    uint64_t end = uint64_t(s_.streamOffset) + uint64_t(first + uint64_t(count) - 1) * s_.streamStride + vertexSize;
    if (end > s_.stream->length()) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

void DeviceState::releaseBindings() {
    if (s_.texture) s_.texture->Release();
    if (s_.stream) s_.stream->Release();
    s_.texture = nullptr;
    s_.stream = nullptr;
}

}  // namespace d3d9impl
