// Everything the renderer keeps for the whole run: the device images draw on, the global
// matrix, what the device holds bound, and the cache of loaded files.
#ifndef RENDER_RENDER_STATE_H
#define RENDER_RENDER_STATE_H

#include "d3dx9.h"

class TextureCache;

struct RenderState {
    IDirect3DDevice9* device;  // set when the device is created, null once it is released
    D3DXMATRIX globalMatrix;   // world matrix of every image in global-matrix mode
    bool globalMatrixChanged;  // changed since its last upload
    // The matrix the world transform was last set from; null when not known.
    const D3DXMATRIX* lastWorldMatrix;
    IDirect3DTexture9* lastTexture;            // bound to stage 0
    IDirect3DVertexBuffer9* lastVertexBuffer;  // bound to stream 0
    TextureCache* cache;  // made by the first image, ended by releaseAll at shutdown
};

extern RenderState renderState;

#endif
