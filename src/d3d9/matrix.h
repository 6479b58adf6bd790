// Internal 4x4 helpers for D3D row-vector matrices, shared by D3DX and the device.
#ifndef D3D9_MATRIX_H
#define D3D9_MATRIX_H

#include "d3d9.h"

namespace d3d9impl {

D3DMATRIX identityMatrix();
// a x b with row vectors: a acts first. Safe for any aliasing since it returns by value.
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b);

}  // namespace d3d9impl

#endif
