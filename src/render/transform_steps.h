// Building transforms step by step with the D3DX functions: the identity, then steps appended.
#ifndef RENDER_TRANSFORM_STEPS_H
#define RENDER_TRANSFORM_STEPS_H

#include "d3dx9.h"

inline D3DXMATRIX identityTransform() {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 1, 1, 1);
    return m;
}

// m = m x step: the step acts after everything already in m.
inline void appendStep(D3DXMATRIX& m, const D3DXMATRIX& step) {
    D3DXMatrixMultiply(&m, &m, &step);
}

#endif
