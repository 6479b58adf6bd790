// Shadowed fixed-function state: validation, change detection and the GL calls behind each setter.
#include "device_state.h"

#include "matrix.h"
#include "resources.h"

#include <cstdint>
#include <cstring>

namespace d3d9impl {

using d3d9gl::gl;

UINT fvfVertexSize(DWORD fvf) {
    const DWORD known = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    if ((fvf & ~known) != 0 || !(fvf & D3DFVF_XYZ)) return 0;
    UINT size = 12;
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_TEX1) size += 8;
    return size;
}

static GLenum glBlendFactor(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    default: return GL_NONE;
    }
}

static bool validOp(DWORD op) {
    return op == D3DTOP_DISABLE || op == D3DTOP_SELECTARG1 || op == D3DTOP_MODULATE;
}

void DeviceState::reset(bool depthBuffer) {
    releaseBindings();
    world_ = view_ = projection_ = identityMatrix();
    zEnable_ = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    srcBlend_ = D3DBLEND_ONE;
    destBlend_ = D3DBLEND_ZERO;
    cullMode_ = D3DCULL_CCW;
    alphaBlend_ = FALSE;
    lighting_ = TRUE;
    ambient_ = 0;
    colorOp_ = D3DTOP_MODULATE;
    alphaOp_ = D3DTOP_SELECTARG1;
    // D3D's initial material is all zero.
    std::memset(&material_, 0, sizeof material_);
    fvf_ = 0;
    streamOffset_ = streamStride_ = 0;
    arraysDirty_ = true;

    // Fixed parts of the mapping that no setter changes.
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHT0);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_NORMALIZE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glShadeModel(GL_SMOOTH);
    glFrontFace(GL_CCW);
    // Without lighting or a colour in the vertex, D3D's diffuse is opaque white.
    glColor4f(1.f, 1.f, 1.f, 1.f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
    glDisableClientState(GL_COLOR_ARRAY);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);

    applyModelView();
    applyProjection();
    for (D3DRENDERSTATETYPE s : {D3DRS_ZENABLE, D3DRS_SRCBLEND, D3DRS_CULLMODE, D3DRS_ALPHABLENDENABLE,
                                 D3DRS_LIGHTING, D3DRS_AMBIENT})
        applyRenderState(s);
    applyMaterial();
    glBindTexture(GL_TEXTURE_2D, 0);
    applyStage0();
    applyArrays();
}

HRESULT DeviceState::setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    D3DMATRIX* slot;
    switch (state) {
    case D3DTS_WORLD: slot = &world_; break;
    case D3DTS_VIEW: slot = &view_; break;
    case D3DTS_PROJECTION: slot = &projection_; break;
    default: return D3DERR_INVALIDCALL;
    }
    if (kCache && std::memcmp(slot, matrix, sizeof *slot) == 0) return D3D_OK;
    *slot = *matrix;
    if (state == D3DTS_PROJECTION)
        applyProjection();
    else
        applyModelView();
    return D3D_OK;
}

void DeviceState::applyModelView() {
    // Row-major row-vector data read column-major by GL is exactly GL's column-vector matrix.
    D3DMATRIX mv = multiply(world_, view_);
    glLoadMatrixf(&mv.m[0][0]);
    ++glWrites_;
}

void DeviceState::applyProjection() {
    // D3D clips z to [0, w], GL to [-w, w]: z' = 2z - w after the projection.
    D3DMATRIX zFix = identityMatrix();
    zFix.m[2][2] = 2.f;
    zFix.m[3][2] = -1.f;
    D3DMATRIX p = multiply(projection_, zFix);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(&p.m[0][0]);
    glMatrixMode(GL_MODELVIEW);
    ++glWrites_;
}

HRESULT DeviceState::setRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    DWORD* slot;
    switch (state) {
    case D3DRS_ZENABLE:
        if (value != D3DZB_FALSE && value != D3DZB_TRUE) return D3DERR_INVALIDCALL;
        slot = &zEnable_;
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
        if (glBlendFactor(value) == GL_NONE) return D3DERR_INVALIDCALL;
        slot = state == D3DRS_SRCBLEND ? &srcBlend_ : &destBlend_;
        break;
    case D3DRS_CULLMODE:
        if (value != D3DCULL_NONE && value != D3DCULL_CW && value != D3DCULL_CCW) return D3DERR_INVALIDCALL;
        slot = &cullMode_;
        break;
    case D3DRS_ALPHABLENDENABLE: slot = &alphaBlend_; break;
    case D3DRS_LIGHTING: slot = &lighting_; break;
    case D3DRS_AMBIENT: slot = &ambient_; break;
    default: return D3DERR_INVALIDCALL;
    }
    if (kCache && *slot == value) return D3D_OK;
    *slot = value;
    applyRenderState(state);
    return D3D_OK;
}

void DeviceState::applyRenderState(D3DRENDERSTATETYPE state) {
    switch (state) {
    case D3DRS_ZENABLE:
        if (zEnable_ == D3DZB_TRUE)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
        glBlendFunc(glBlendFactor(srcBlend_), glBlendFactor(destBlend_));
        break;
    case D3DRS_CULLMODE:
        // D3D names the winding culled as seen on screen; GL's front faces are counter-clockwise.
        if (cullMode_ == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(cullMode_ == D3DCULL_CCW ? GL_FRONT : GL_BACK);
        }
        break;
    case D3DRS_ALPHABLENDENABLE:
        if (alphaBlend_)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        break;
    case D3DRS_LIGHTING:
        if (lighting_)
            glEnable(GL_LIGHTING);
        else
            glDisable(GL_LIGHTING);
        break;
    case D3DRS_AMBIENT: {
        GLfloat c[4] = {((ambient_ >> 16) & 0xFF) / 255.f, ((ambient_ >> 8) & 0xFF) / 255.f,
                        (ambient_ & 0xFF) / 255.f, ((ambient_ >> 24) & 0xFF) / 255.f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, c);
        break;
    }
    }
    ++glWrites_;
}

HRESULT DeviceState::setTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage != 0 || !validOp(value)) return D3DERR_INVALIDCALL;
    DWORD* slot;
    switch (type) {
    case D3DTSS_COLOROP: slot = &colorOp_; break;
    case D3DTSS_ALPHAOP: slot = &alphaOp_; break;
    default: return D3DERR_INVALIDCALL;
    }
    if (kCache && *slot == value) return D3D_OK;
    *slot = value;
    applyStage0();
    return D3D_OK;
}

void DeviceState::applyStage0() {
    // A disabled stage, or one without a texture, passes the lit vertex colour through.
    if (!texture_ || colorOp_ == D3DTOP_DISABLE) {
        glDisable(GL_TEXTURE_2D);
        ++glWrites_;
        return;
    }
    glEnable(GL_TEXTURE_2D);
    // Stage 0's second argument is the current colour, which for stage 0 is the vertex colour.
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, colorOp_ == D3DTOP_MODULATE ? GL_MODULATE : GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC1_RGB, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, alphaOp_ == D3DTOP_MODULATE ? GL_MODULATE : GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_ALPHA, alphaOp_ == D3DTOP_DISABLE ? GL_PRIMARY_COLOR : GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC1_ALPHA, GL_PRIMARY_COLOR);
    ++glWrites_;
}

HRESULT DeviceState::setFVF(DWORD fvf) {
    // 0 means "no FVF"; draws then fail until a supported one is set.
    if (fvf != 0 && fvfVertexSize(fvf) == 0) return D3DERR_INVALIDCALL;
    if (kCache && fvf == fvf_) return D3D_OK;
    fvf_ = fvf;
    arraysDirty_ = true;
    return D3D_OK;
}

HRESULT DeviceState::setMaterial(const D3DMATERIAL9* material) {
    if (!material) return D3DERR_INVALIDCALL;
    if (kCache && std::memcmp(&material_, material, sizeof material_) == 0) return D3D_OK;
    material_ = *material;
    applyMaterial();
    return D3D_OK;
}

void DeviceState::applyMaterial() {
    // GL lights exactly like D3D without lights: emissive + scene ambient x ambient, clamped,
    // with the diffuse alpha; values outside 0..1 are kept so brightness 2 clamps to white.
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &material_.Ambient.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &material_.Diffuse.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, &material_.Specular.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &material_.Emissive.r);
    float shininess = material_.Power < 0.f ? 0.f : (material_.Power > 128.f ? 128.f : material_.Power);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
    ++glWrites_;
}

HRESULT DeviceState::setTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage != 0) return D3DERR_INVALIDCALL;
    Texture* t = nullptr;
    if (texture) {
        t = dynamic_cast<Texture*>(texture);
        if (!t) return D3DERR_INVALIDCALL;
    }
    if (kCache && t == texture_) return D3D_OK;
    // AddRef before Release so rebinding the same texture cannot free it.
    if (t) t->AddRef();
    bool wasEnabled = texture_ != nullptr;
    if (texture_) texture_->Release();
    texture_ = t;
    glBindTexture(GL_TEXTURE_2D, t ? t->glName() : 0);
    ++glWrites_;
    if (!kCache || wasEnabled != (t != nullptr)) applyStage0();
    return D3D_OK;
}

void DeviceState::restoreTextureBinding() {
    glBindTexture(GL_TEXTURE_2D, texture_ ? texture_->glName() : 0);
}

HRESULT DeviceState::setStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    VertexBuffer* vb = nullptr;
    if (buffer) {
        vb = dynamic_cast<VertexBuffer*>(buffer);
        if (!vb || stride == 0 || offset >= vb->length()) return D3DERR_INVALIDCALL;
    }
    if (kCache && vb == stream_ && offset == streamOffset_ && stride == streamStride_) return D3D_OK;
    if (vb) vb->AddRef();
    if (stream_) stream_->Release();
    stream_ = vb;
    streamOffset_ = offset;
    streamStride_ = stride;
    arraysDirty_ = true;
    return D3D_OK;
}

HRESULT DeviceState::prepareDraw(UINT first, UINT count) {
    UINT vertexSize = fvfVertexSize(fvf_);
    if (!stream_ || vertexSize == 0 || streamStride_ < vertexSize || count == 0) return D3DERR_INVALIDCALL;
    uint64_t end = uint64_t(streamOffset_) + uint64_t(first + uint64_t(count) - 1) * streamStride_ + vertexSize;
    if (end > stream_->length()) return D3DERR_INVALIDCALL;
    if (!kCache || arraysDirty_) applyArrays();
    return D3D_OK;
}

void DeviceState::applyArrays() {
    arraysDirty_ = false;
    UINT vertexSize = fvfVertexSize(fvf_);
    if (!stream_ || vertexSize == 0) {
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        return;
    }
    // The pointers capture the buffer name, so later GL_ARRAY_BUFFER rebinding cannot disturb them.
    gl.BindBuffer(GL_ARRAY_BUFFER, stream_->glName());
    const char* base = reinterpret_cast<const char*>(static_cast<uintptr_t>(streamOffset_));
    GLsizei stride = static_cast<GLsizei>(streamStride_);
    glVertexPointer(3, GL_FLOAT, stride, base);
    glEnableClientState(GL_VERTEX_ARRAY);
    size_t at = 12;
    if (fvf_ & D3DFVF_NORMAL) {
        glNormalPointer(GL_FLOAT, stride, base + at);
        glEnableClientState(GL_NORMAL_ARRAY);
        at += 12;
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
    }
    if (fvf_ & D3DFVF_TEX1) {
        glTexCoordPointer(2, GL_FLOAT, stride, base + at);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    ++glWrites_;
}

void DeviceState::releaseBindings() {
    if (texture_) texture_->Release();
    if (stream_) stream_->Release();
    texture_ = nullptr;
    stream_ = nullptr;
    arraysDirty_ = true;
}

}  // namespace d3d9impl
