// Textures and vertex buffers: lifetimes, and the lock bookkeeping that tells backends what changed.
#include "resources.h"

namespace d3d9impl {


Texture::Texture(UINT width, UINT height, std::vector<BYTE>&& rgba)
    : width_(width), height_(height), rgba_(std::move(rgba)) {
    ++layerState.textures;
}

Texture::~Texture() { --layerState.textures; }

VertexBuffer::VertexBuffer(UINT length, DWORD fvf) : fvf_(fvf), bytes_(length, 0) {}

HRESULT VertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD /*Flags*/) {
    if (!ppbData) return D3DERR_INVALIDCALL;
    *ppbData = nullptr;
    UINT length = this->length();
    if (OffsetToLock > length) return D3DERR_INVALIDCALL;
    // A size of 0 means everything from the offset on, as in D3D.
    UINT size = SizeToLock ? SizeToLock : length - OffsetToLock;
    if (size > length - OffsetToLock) return D3DERR_INVALIDCALL;
    UINT end = OffsetToLock + size;
    if (lockDepth_ == 0 || dirtyBegin_ == dirtyEnd_) {
        dirtyBegin_ = OffsetToLock;
        dirtyEnd_ = end;
    } else {
        if (OffsetToLock < dirtyBegin_) dirtyBegin_ = OffsetToLock;
        if (end > dirtyEnd_) dirtyEnd_ = end;
    }
    ++lockDepth_;
    *ppbData = bytes_.data() + OffsetToLock;
    return D3D_OK;
}

HRESULT VertexBuffer::Unlock() {
    if (lockDepth_ == 0) return D3DERR_INVALIDCALL;
    if (--lockDepth_ > 0) return D3D_OK;
    if (dirtyEnd_ > dirtyBegin_ && backend_) backend_->written(bytes_.data(), dirtyBegin_, dirtyEnd_);
    dirtyBegin_ = dirtyEnd_ = 0;
    return D3D_OK;
}

}  // namespace d3d9impl
