// Textures and vertex buffers: the GL objects behind the device's resources.
#ifndef D3D9_RESOURCES_H
#define D3D9_RESOURCES_H

#include "d3d9.h"
#include "gl_api.h"
#include "ref_counted.h"

#include <vector>

namespace d3d9impl {

// An immutable RGBA texture with point sampling and wrap addressing.
class Texture final : public RefCounted<IDirect3DTexture9> {
public:
    // Takes ownership of a GL texture name already filled with the picture.
    Texture(GLuint name, UINT width, UINT height) : name_(name), width_(width), height_(height) {}
    GLuint glName() const { return name_; }
    UINT width() const { return width_; }
    UINT height() const { return height_; }

private:
    ~Texture() override;
    GLuint name_;
    UINT width_, height_;
};

// The bytes stay in memory; Unlock copies what was locked into a GL buffer object.
class VertexBuffer final : public RefCounted<IDirect3DVertexBuffer9> {
public:
    VertexBuffer(GLuint name, UINT length, DWORD fvf);
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT Unlock() override;

    GLuint glName() const { return name_; }
    UINT length() const { return static_cast<UINT>(bytes_.size()); }
    DWORD fvf() const { return fvf_; }

private:
    ~VertexBuffer() override;
    GLuint name_;
    DWORD fvf_;
    std::vector<BYTE> bytes_;
    // The union of the ranges locked since the last Unlock.
    UINT lockDepth_ = 0, dirtyBegin_ = 0, dirtyEnd_ = 0;
};

}  // namespace d3d9impl

#endif
