// Internal 4x4 helpers for D3D row-vector matrices, shared by D3DX, the core and the backends.
#ifndef D3D9_MATRIX_H
#define D3D9_MATRIX_H

#include "d3d9.h"

namespace d3d9impl {

inline D3DMATRIX identityMatrix() {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.f;
    return r;
}

// a x b with row vectors: a acts first. Safe for any aliasing since it returns by value.
inline D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

}  // namespace d3d9impl

#endif
