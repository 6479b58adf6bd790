// The OpenGL 2.1 backend: the fixed-function state, clears, draws and resources on GL.
#include "gl_backend.h"

#include "gl_api.h"
#include "matrix.h"
#include "resources.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace d3d9gl {

using d3d9impl::BackendBuffer;
using d3d9impl::BackendTexture;
using d3d9impl::ClearRect;
using d3d9impl::PipelineState;
using d3d9impl::StateChange;

namespace {

// Drops errors left by earlier calls so the next check sees only its own.
void clearGlErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

GLenum glBlendFactor(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    default: return GL_ONE_MINUS_SRC_ALPHA;
    }
}

// The GL name goes with the last reference; after SDL_Quit the context took it already.
class GlTexture final : public BackendTexture {
public:
    explicit GlTexture(GLuint name) : name(name) {}
    ~GlTexture() override {
        if (contextAlive()) glDeleteTextures(1, &name);
    }
    GLuint name;
};

class GlBuffer final : public BackendBuffer {
public:
    explicit GlBuffer(GLuint name) : name(name) {}
    ~GlBuffer() override {
        if (contextAlive()) glState.gl.DeleteBuffers(1, &name);
    }
    void written(const BYTE* bytes, UINT begin, UINT end) override {
        if (!contextAlive()) return;
        // Draws capture the buffer name in their array pointers, so unbinding here is harmless.
        glState.gl.BindBuffer(GL_ARRAY_BUFFER, name);
        glState.gl.BufferSubData(GL_ARRAY_BUFFER, begin, end - begin, bytes + begin);
        glState.gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    }
    GLuint name;
};

GLuint nameOf(const d3d9impl::Texture* t) {
    return t ? static_cast<GlTexture*>(t->backend())->name : 0;
}

class GlBackend final : public d3d9impl::Backend {
public:
    GlBackend(UINT width, UINT height);
    void stateChanged(const PipelineState& s, StateChange what, D3DRENDERSTATETYPE renderState) override;
    void clear(const std::vector<ClearRect>& rects, DWORD flags, D3DCOLOR color, float z) override;
    void draw(const PipelineState& s, D3DPRIMITIVETYPE type, UINT first, UINT count) override;
    void present() override { SDL_GL_SwapBuffers(); }
    HRESULT createTexture(d3d9impl::Texture& texture) override;
    HRESULT createVertexBuffer(d3d9impl::VertexBuffer& buffer) override;
    void readBack(std::vector<BYTE>* rgba) override;

private:
    void applyModelView(const PipelineState& s);
    void applyProjection(const PipelineState& s);
    void applyRenderState(const PipelineState& s, D3DRENDERSTATETYPE state);
    void applyMaterial(const PipelineState& s);
    void applyStage0(const PipelineState& s);
    void applyArrays(const PipelineState& s);

    UINT width_, height_;
    bool arraysDirty_ = true;
    bool textured_ = false;
};

GlBackend::GlBackend(UINT width, UINT height) : width_(width), height_(height) {
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glDepthRange(0.0, 1.0);
    glDisable(GL_SCISSOR_TEST);
    // D3D does not dither by default; on 16-bit visuals GL would.
    glDisable(GL_DITHER);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
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
}

void GlBackend::stateChanged(const PipelineState& s, StateChange what, D3DRENDERSTATETYPE renderState) {
    switch (what) {
    case StateChange::ModelView: applyModelView(s); break;
    case StateChange::Projection: applyProjection(s); break;
    case StateChange::RenderState: applyRenderState(s, renderState); break;
    case StateChange::Stage0: applyStage0(s); break;
    case StateChange::Material: applyMaterial(s); break;
    case StateChange::Texture:
        glBindTexture(GL_TEXTURE_2D, nameOf(s.texture));
        // Binding or unbinding switches texturing itself on or off.
        if (textured_ != (s.texture != nullptr)) applyStage0(s);
        break;
    case StateChange::Arrays: arraysDirty_ = true; break;
    }
}

void GlBackend::applyModelView(const PipelineState& s) {
    // Row-major row-vector data read column-major by GL is exactly GL's column-vector matrix.
    D3DMATRIX mv = d3d9impl::multiply(s.world, s.view);
    glLoadMatrixf(&mv.m[0][0]);
}

void GlBackend::applyProjection(const PipelineState& s) {
    // D3D clips z to [0, w], GL to [-w, w]: z' = 2z - w after the projection.
    D3DMATRIX zFix = d3d9impl::identityMatrix();
    zFix.m[2][2] = 2.f;
    zFix.m[3][2] = -1.f;
    D3DMATRIX p = d3d9impl::multiply(s.projection, zFix);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(&p.m[0][0]);
    glMatrixMode(GL_MODELVIEW);
}

void GlBackend::applyRenderState(const PipelineState& s, D3DRENDERSTATETYPE state) {
    switch (state) {
    case D3DRS_ZENABLE:
        if (s.zEnable == D3DZB_TRUE)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND: glBlendFunc(glBlendFactor(s.srcBlend), glBlendFactor(s.destBlend)); break;
    case D3DRS_CULLMODE:
        // D3D names the winding culled as seen on screen; GL's front faces are counter-clockwise.
        if (s.cullMode == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(s.cullMode == D3DCULL_CCW ? GL_FRONT : GL_BACK);
        }
        break;
    case D3DRS_ALPHABLENDENABLE:
        if (s.alphaBlend)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        break;
    case D3DRS_LIGHTING:
        if (s.lighting)
            glEnable(GL_LIGHTING);
        else
            glDisable(GL_LIGHTING);
        break;
    case D3DRS_AMBIENT: {
        GLfloat c[4] = {((s.ambient >> 16) & 0xFF) / 255.f, ((s.ambient >> 8) & 0xFF) / 255.f,
                        (s.ambient & 0xFF) / 255.f, ((s.ambient >> 24) & 0xFF) / 255.f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, c);
        break;
    }
    default: break;
    }
}

void GlBackend::applyStage0(const PipelineState& s) {
    // A disabled stage, or one without a texture, passes the lit vertex colour through.
    textured_ = s.texture != nullptr;
    if (!s.texture || s.colorOp == D3DTOP_DISABLE) {
        glDisable(GL_TEXTURE_2D);
        return;
    }
    glEnable(GL_TEXTURE_2D);
    // Stage 0's second argument is the current colour, which for stage 0 is the vertex colour.
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, s.colorOp == D3DTOP_MODULATE ? GL_MODULATE : GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC1_RGB, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, s.alphaOp == D3DTOP_MODULATE ? GL_MODULATE : GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_ALPHA, s.alphaOp == D3DTOP_DISABLE ? GL_PRIMARY_COLOR : GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SRC1_ALPHA, GL_PRIMARY_COLOR);
}

void GlBackend::applyMaterial(const PipelineState& s) {
    // GL lights exactly like D3D without lights: emissive + scene ambient x ambient, clamped,
    // with the diffuse alpha; values outside 0..1 are kept so brightness 2 clamps to white.
    const D3DMATERIAL9& m = s.material;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &m.Ambient.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &m.Diffuse.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, &m.Specular.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &m.Emissive.r);
    float shininess = m.Power < 0.f ? 0.f : (m.Power > 128.f ? 128.f : m.Power);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
}

void GlBackend::applyArrays(const PipelineState& s) {
    arraysDirty_ = false;
    UINT vertexSize = d3d9impl::fvfVertexSize(s.fvf);
    if (!s.stream || vertexSize == 0) {
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        return;
    }
    // The pointers capture the buffer name, so later GL_ARRAY_BUFFER rebinding cannot disturb them.
    glState.gl.BindBuffer(GL_ARRAY_BUFFER, static_cast<GlBuffer*>(s.stream->backend())->name);
    const char* base = reinterpret_cast<const char*>(static_cast<uintptr_t>(s.streamOffset));
    GLsizei stride = static_cast<GLsizei>(s.streamStride);
    glVertexPointer(3, GL_FLOAT, stride, base);
    glEnableClientState(GL_VERTEX_ARRAY);
    d3d9impl::FvfLayout layout = d3d9impl::fvfLayout(s.fvf);
    if (layout.normalAt >= 0) {
        glNormalPointer(GL_FLOAT, stride, base + layout.normalAt);
        glEnableClientState(GL_NORMAL_ARRAY);
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
    }
    if (layout.uvAt >= 0) {
        glTexCoordPointer(2, GL_FLOAT, stride, base + layout.uvAt);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glState.gl.BindBuffer(GL_ARRAY_BUFFER, 0);
}

void GlBackend::clear(const std::vector<ClearRect>& rects, DWORD flags, D3DCOLOR color, float z) {
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        glClearColor(((color >> 16) & 0xFF) / 255.f, ((color >> 8) & 0xFF) / 255.f, (color & 0xFF) / 255.f,
                     ((color >> 24) & 0xFF) / 255.f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(z);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    // Rectangles are top-down, GL's scissor bottom-up.
    glEnable(GL_SCISSOR_TEST);
    for (const ClearRect& r : rects) {
        glScissor(GLint(r.x1), GLint(long(height_) - r.y2), GLsizei(r.x2 - r.x1), GLsizei(r.y2 - r.y1));
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
}

void GlBackend::draw(const PipelineState& s, D3DPRIMITIVETYPE type, UINT first, UINT count) {
    if (arraysDirty_) applyArrays(s);
    GLenum mode = type == D3DPT_TRIANGLELIST ? GL_TRIANGLES
                  : type == D3DPT_TRIANGLESTRIP ? GL_TRIANGLE_STRIP
                                                 : GL_TRIANGLE_FAN;
    glDrawArrays(mode, static_cast<GLint>(first), static_cast<GLsizei>(count));
}

HRESULT GlBackend::createTexture(d3d9impl::Texture& texture) {
    clearGlErrors();
    GLuint name = 0;
    glGenTextures(1, &name);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, name);
    // D3D's defaults: point sampling, no mipmaps, wrap addressing.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(texture.width()), GLsizei(texture.height()), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, texture.rgba());
    GLenum err = glGetError();
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    if (name == 0 || err != GL_NO_ERROR) {
        if (name) glDeleteTextures(1, &name);
        return err == GL_OUT_OF_MEMORY ? D3DERR_OUTOFVIDEOMEMORY : D3DERR_INVALIDCALL;
    }
    texture.setBackend(std::unique_ptr<BackendTexture>(new GlTexture(name)));
    return D3D_OK;
}

HRESULT GlBackend::createVertexBuffer(d3d9impl::VertexBuffer& buffer) {
    clearGlErrors();
    GLuint name = 0;
    glState.gl.GenBuffers(1, &name);
    glState.gl.BindBuffer(GL_ARRAY_BUFFER, name);
    glState.gl.BufferData(GL_ARRAY_BUFFER, buffer.length(), buffer.bytes(), GL_DYNAMIC_DRAW);
    glState.gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    if (name == 0 || glGetError() != GL_NO_ERROR) {
        if (name) glState.gl.DeleteBuffers(1, &name);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    buffer.setBackend(std::unique_ptr<BackendBuffer>(new GlBuffer(name)));
    return D3D_OK;
}

void GlBackend::readBack(std::vector<BYTE>* rgba) {
    size_t row = size_t(width_) * 4;
    std::vector<BYTE> rows(row * height_);
    rgba->resize(rows.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, GLsizei(width_), GLsizei(height_), GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // GL's rows run bottom-up.
    for (UINT y = 0; y < height_; ++y) std::memcpy(&(*rgba)[y * row], &rows[(height_ - 1 - y) * row], row);
}

}  // namespace

HRESULT createBackend(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT width, UINT height,
                      std::unique_ptr<d3d9impl::Backend>* out) {
    if (!(window->flags & SDL_OPENGL)) return D3DERR_NOTAVAILABLE;
    int major = 0, minor = 0;
    if (!contextVersion(&major, &minor)) return D3DERR_NOTAVAILABLE;
    if (major < 2 || (major == 2 && minor < 1)) return D3DERR_NOTAVAILABLE;
    if (!loadFunctions()) return D3DERR_NOTAVAILABLE;
    if (pp.EnableAutoDepthStencil) {
        int depthBits = 0;
        if (SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits) != 0 || depthBits <= 0) return D3DERR_NOTAVAILABLE;
    }
    setSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    out->reset(new GlBackend(width, height));
    return D3D_OK;
}

}  // namespace d3d9gl
