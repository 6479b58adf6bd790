// Process-wide drawing state shared by all images: the global matrix and the device bindings.
#ifndef RENDER_RENDER_STATE_H
#define RENDER_RENDER_STATE_H

#include "d3dx9.h"

struct RenderState {
    IDirect3DDevice9* device;  // the Engine's device, taken when the script interface is built
    D3DXMATRIX globalMatrix;   // world matrix of every image in global-matrix mode
    bool globalMatrixChanged;  // changed since its last upload
    // The matrix the world transform was last set from; null when not known.
    const D3DXMATRIX* lastWorldMatrix;
    IDirect3DTexture9* lastTexture;            // bound to stage 0
    IDirect3DVertexBuffer9* lastVertexBuffer;  // bound to stream 0
};

extern RenderState renderState;

#endif
