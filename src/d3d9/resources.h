// Textures and vertex buffers as plain data, each with the part its backend adds.
#ifndef D3D9_RESOURCES_H
#define D3D9_RESOURCES_H

#include "backend.h"
#include "d3d9.h"
#include "layer_state.h"
#include "ref_counted.h"

#include <memory>
#include <vector>

namespace d3d9impl {

// An immutable RGBA picture with point sampling and wrap addressing.
class Texture final : public RefCounted<IDirect3DTexture9> {
public:
    // Takes the pixels, width * height * 4 bytes, top row first.
    Texture(UINT width, UINT height, std::vector<BYTE>&& rgba);
    UINT width() const { return width_; }
    UINT height() const { return height_; }
    const BYTE* rgba() const { return rgba_.data(); }
    BackendTexture* backend() const { return backend_.get(); }
    void setBackend(std::unique_ptr<BackendTexture> part) { backend_ = std::move(part); }
    // Textures not yet freed, so tests can see a release reach the end.
    static long live() { return layerState.textures; }

private:
    ~Texture() override;
    UINT width_, height_;
    std::vector<BYTE> rgba_;
    std::unique_ptr<BackendTexture> backend_;
};

// The bytes live in memory; Unlock tells the backend which range was rewritten.
class VertexBuffer final : public RefCounted<IDirect3DVertexBuffer9> {
public:
    // Zero-filled, as D3D hands out in practice, so early draws are defined.
    VertexBuffer(UINT length, DWORD fvf);
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT Unlock() override;

    UINT length() const { return static_cast<UINT>(bytes_.size()); }
    DWORD fvf() const { return fvf_; }
    const BYTE* bytes() const { return bytes_.data(); }
    BackendBuffer* backend() const { return backend_.get(); }
    void setBackend(std::unique_ptr<BackendBuffer> part) { backend_ = std::move(part); }

private:
    ~VertexBuffer() override = default;
    DWORD fvf_;
    std::vector<BYTE> bytes_;
    std::unique_ptr<BackendBuffer> backend_;
    // The union of the ranges locked since the last Unlock.
    UINT lockDepth_ = 0, dirtyBegin_ = 0, dirtyEnd_ = 0;
};

}  // namespace d3d9impl

#endif
