// Device calls that are not plain state: scenes, clears, presents, draws and resource creation.
#include "device.h"

#include "resources.h"

#include <SDL.h>

#include <vector>

namespace d3d9impl {

using d3d9gl::gl;

Device* Device::live_ = nullptr;

// Drops errors left by earlier calls so the next check sees only its own.
static void clearGlErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

Device::Device(Direct3D* parent, HWND window, UINT width, UINT height, bool depthBuffer, UINT maxTexture)
    : parent_(parent), window_(window), width_(width), height_(height), depthBuffer_(depthBuffer),
      maxTextureSize_(maxTexture) {
    parent_->AddRef();
    live_ = this;
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glDepthRange(0.0, 1.0);
    glDisable(GL_SCISSOR_TEST);
    // D3D does not dither by default; on 16-bit visuals GL would.
    glDisable(GL_DITHER);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    state_.reset(depthBuffer);
}

Device::~Device() {
    state_.releaseBindings();
    live_ = nullptr;
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
    GLbitfield mask = 0;
    if (Flags & D3DCLEAR_TARGET) {
        glClearColor(((Color >> 16) & 0xFF) / 255.f, ((Color >> 8) & 0xFF) / 255.f, (Color & 0xFF) / 255.f,
                     ((Color >> 24) & 0xFF) / 255.f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (Flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(Z < 0.f ? 0.0 : (Z > 1.f ? 1.0 : static_cast<double>(Z)));
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (mask == 0) return D3D_OK;
    if (Count == 0) {
        glClear(mask);
        return D3D_OK;
    }
    // Rectangles are in D3D's top-down pixel coordinates, clipped to the back buffer.
    glEnable(GL_SCISSOR_TEST);
    for (DWORD i = 0; i < Count; ++i) {
        const D3DRECT& r = pRects[i];
        long x1 = r.x1 < 0 ? 0 : r.x1, y1 = r.y1 < 0 ? 0 : r.y1;
        long x2 = r.x2 > long(width_) ? long(width_) : r.x2, y2 = r.y2 > long(height_) ? long(height_) : r.y2;
        if (x2 <= x1 || y2 <= y1) continue;
        glScissor(GLint(x1), GLint(long(height_) - y2), GLsizei(x2 - x1), GLsizei(y2 - y1));
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
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
    // Partial presents and other windows cannot be expressed with a GL buffer swap.
    if (pSourceRect || pDestRect || pDirtyRegion) return D3DERR_INVALIDCALL;
    if (hDestWindowOverride && hDestWindowOverride != window_) return D3DERR_INVALIDCALL;
    SDL_GL_SwapBuffers();
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
    clearGlErrors();
    GLuint name = 0;
    gl.GenBuffers(1, &name);
    gl.BindBuffer(GL_ARRAY_BUFFER, name);
    // D3D hands out zeroed memory in practice; GL gets the same so early draws are defined.
    std::vector<BYTE> zeros(Length, 0);
    gl.BufferData(GL_ARRAY_BUFFER, Length, zeros.data(), GL_DYNAMIC_DRAW);
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    if (name == 0 || glGetError() != GL_NO_ERROR) {
        if (name) gl.DeleteBuffers(1, &name);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *ppVertexBuffer = new VertexBuffer(name, Length, FVF);
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
    if (!inScene_ || PrimitiveCount == 0) return D3DERR_INVALIDCALL;
    GLenum mode;
    UINT vertices;
    switch (PrimitiveType) {
    case D3DPT_TRIANGLELIST:
        mode = GL_TRIANGLES;
        vertices = PrimitiveCount * 3;
        break;
    case D3DPT_TRIANGLESTRIP:
        mode = GL_TRIANGLE_STRIP;
        vertices = PrimitiveCount + 2;
        break;
    case D3DPT_TRIANGLEFAN:
        mode = GL_TRIANGLE_FAN;
        vertices = PrimitiveCount + 2;
        break;
    default: return D3DERR_INVALIDCALL;
    }
    if (PrimitiveCount > 0x3FFFFFFF) return D3DERR_INVALIDCALL;
    HRESULT hr = state_.prepareDraw(StartVertex, vertices);
    if (FAILED(hr)) return hr;
    // Drawn at once; nothing the caller can observe would change if consecutive draws were merged.
    glDrawArrays(mode, static_cast<GLint>(StartVertex), static_cast<GLsizei>(vertices));
    return D3D_OK;
}

HRESULT Device::createTexture(UINT width, UINT height, const void* rgba, Texture** out) {
    *out = nullptr;
    if (width == 0 || height == 0 || !rgba) return D3DERR_INVALIDCALL;
    if (width > maxTextureSize_ || height > maxTextureSize_) return D3DERR_INVALIDCALL;
    clearGlErrors();
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // D3D's defaults: point sampling, no mipmaps, wrap addressing.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(width), GLsizei(height), 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    GLenum err = glGetError();
    state_.restoreTextureBinding();
    if (name == 0 || err != GL_NO_ERROR) {
        if (name) glDeleteTextures(1, &name);
        return err == GL_OUT_OF_MEMORY ? D3DERR_OUTOFVIDEOMEMORY : D3DERR_INVALIDCALL;
    }
    *out = new Texture(name, width, height);
    return D3D_OK;
}

}  // namespace d3d9impl
