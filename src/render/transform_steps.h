// Small matrix helpers over the D3DX functions.
#ifndef RENDER_MATRIX_H
#define RENDER_MATRIX_H

#include "d3dx9.h"

inline D3DXMATRIX identityMatrix() {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 1, 1, 1);
    return m;
}

// m = m x step: the step acts after everything already in m.
inline void appendStep(D3DXMATRIX& m, const D3DXMATRIX& step) {
    D3DXMatrixMultiply(&m, &m, &step);
}

#endif
