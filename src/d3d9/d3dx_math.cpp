// D3DX matrix helpers: row-vector matrices with the translation in the fourth row.
#include "d3dx9.h"
#include "matrix.h"

#include <cmath>

using d3d9impl::identityMatrix;

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf) {
    if (!pOut) return nullptr;
    static_cast<D3DMATRIX&>(*pOut) = identityMatrix();
    pOut->m[0][0] = 2.f / w;
    pOut->m[1][1] = 2.f / h;
    pOut->m[2][2] = 1.f / (zf - zn);
    pOut->m[3][2] = zn / (zn - zf);
    return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z) {
    if (!pOut) return nullptr;
    static_cast<D3DMATRIX&>(*pOut) = identityMatrix();
    pOut->m[3][0] = x;
    pOut->m[3][1] = y;
    pOut->m[3][2] = z;
    return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz) {
    if (!pOut) return nullptr;
    static_cast<D3DMATRIX&>(*pOut) = identityMatrix();
    pOut->m[0][0] = sx;
    pOut->m[1][1] = sy;
    pOut->m[2][2] = sz;
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle) {
    if (!pOut) return nullptr;
    float c = std::cos(angle), s = std::sin(angle);
    static_cast<D3DMATRIX&>(*pOut) = identityMatrix();
    pOut->m[0][0] = c;
    pOut->m[0][1] = s;
    pOut->m[1][0] = -s;
    pOut->m[1][1] = c;
    return pOut;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
    if (!pOut || !pM1 || !pM2) return pOut;
    // Computed into a temporary first, so pOut may be pM1 or pM2.
    static_cast<D3DMATRIX&>(*pOut) = d3d9impl::multiply(*pM1, *pM2);
    return pOut;
}
