// COM-style reference counting shared by every object the layer hands out.
#ifndef D3D9_REF_COUNTED_H
#define D3D9_REF_COUNTED_H

#include "d3d9.h"

#include <atomic>

namespace d3d9impl {

// Starts at one reference, the one the creating call returns.
template <typename Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

private:
    std::atomic<ULONG> refs_{1};
};

}  // namespace d3d9impl

#endif
