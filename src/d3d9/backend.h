// The contract between the device core and a drawing backend (OpenGL or the CPU rasteriser).
#ifndef D3D9_BACKEND_H
#define D3D9_BACKEND_H

#include "d3d9.h"

#include <vector>

namespace d3d9impl {

class Texture;
class VertexBuffer;

// The fixed-function state after the core's validation: plain data every backend reads.
struct PipelineState {
    D3DMATRIX world{}, view{}, projection{};
    DWORD zEnable = D3DZB_FALSE, srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO;
    DWORD cullMode = D3DCULL_CCW, alphaBlend = FALSE, lighting = TRUE, ambient = 0;
    DWORD colorOp = D3DTOP_MODULATE, alphaOp = D3DTOP_SELECTARG1;
    D3DMATERIAL9 material{};
    DWORD fvf = 0;
    Texture* texture = nullptr;
    VertexBuffer* stream = nullptr;
    UINT streamOffset = 0, streamStride = 0;
};

// Where a vertex of an FVF keeps its parts: D3D puts them in this order, floats packed.
// ORDER FVF: position, normal, texture coordinates.
struct FvfLayout {
    UINT size;       // bytes of one vertex, or 0 when the FVF is not supported
    int normalAt;    // byte offset, or -1 when there is none
    int uvAt;
};

inline FvfLayout fvfLayout(DWORD fvf) {
    const DWORD known = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    if ((fvf & ~known) != 0 || !(fvf & D3DFVF_XYZ)) return {0, -1, -1};
    FvfLayout l = {3 * sizeof(float), -1, -1};
    if (fvf & D3DFVF_NORMAL) {
        l.normalAt = int(l.size);
        l.size += 3 * sizeof(float);
    }
    if (fvf & D3DFVF_TEX1) {
        l.uvAt = int(l.size);
        l.size += 2 * sizeof(float);
    }
    return l;
}

inline UINT fvfVertexSize(DWORD fvf) {
    return fvfLayout(fvf).size;
}

// Which part of PipelineState a setter changed.
enum class StateChange { ModelView, Projection, RenderState, Stage0, Material, Texture, Arrays };

// A clear rectangle in top-down back-buffer pixels, already clipped and not empty.
struct ClearRect {
    long x1, y1, x2, y2;
};

// What a backend keeps beside the core's copy of a resource (a GL name, for instance).
class BackendTexture {
public:
    virtual ~BackendTexture() = default;
};

class BackendBuffer {
public:
    virtual ~BackendBuffer() = default;
    // Bytes [begin, end) of the buffer's memory copy were rewritten.
    virtual void written(const BYTE* bytes, UINT begin, UINT end) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    // One part of the state changed; renderState names the state for RenderState changes.
    virtual void stateChanged(const PipelineState& state, StateChange what, D3DRENDERSTATETYPE renderState) = 0;
    virtual void clear(const std::vector<ClearRect>& rects, DWORD flags, D3DCOLOR color, float z) = 0;
    // Vertices [first, first + count) of the bound stream are known to exist.
    virtual void draw(const PipelineState& state, D3DPRIMITIVETYPE type, UINT first, UINT count) = 0;
    virtual void present() = 0;
    // Gives the texture its backend part from the core's RGBA copy; a failed HRESULT otherwise.
    virtual HRESULT createTexture(Texture& texture) = 0;
    virtual HRESULT createVertexBuffer(VertexBuffer& buffer) = 0;
    // The finished back buffer as RGBA bytes, top row first (for tests; waits for pending draws).
    virtual void readBack(std::vector<BYTE>* rgba) = 0;
};

}  // namespace d3d9impl

#endif
