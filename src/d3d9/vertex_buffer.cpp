// Vertex buffers: memory copy plus a GL buffer object refreshed on Unlock.
#include "resources.h"

namespace d3d9impl {

using d3d9gl::gl;

VertexBuffer::VertexBuffer(GLuint name, UINT length, DWORD fvf) : name_(name), fvf_(fvf), bytes_(length, 0) {}

VertexBuffer::~VertexBuffer() {
    if (name_ && d3d9gl::contextAlive()) gl.DeleteBuffers(1, &name_);
}

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
    if (dirtyEnd_ > dirtyBegin_ && d3d9gl::contextAlive()) {
        // Draws capture the buffer name in their array pointers, so unbinding here is harmless.
        gl.BindBuffer(GL_ARRAY_BUFFER, name_);
        gl.BufferSubData(GL_ARRAY_BUFFER, dirtyBegin_, dirtyEnd_ - dirtyBegin_, bytes_.data() + dirtyBegin_);
        gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    }
    dirtyBegin_ = dirtyEnd_ = 0;
    return D3D_OK;
}

}  // namespace d3d9impl
