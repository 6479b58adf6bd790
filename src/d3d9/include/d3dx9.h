// The D3DX 9 matrix helpers and texture loader the renderer calls.
#ifndef D3DX9_H
#define D3DX9_H

#include "d3d9.h"

struct D3DXMATRIX : D3DMATRIX {};

#define D3DX_DEFAULT ((UINT)-1)
#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59L)

struct D3DXIMAGE_INFO {
    UINT Width;   // of the picture as stored in the file
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
};

struct PALETTEENTRY {
    BYTE peRed, peGreen, peBlue, peFlags;
};

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle);
// pOut = pM1 x pM2: pM1 acts first. pOut may alias either input.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);

// Loads an image file (PNG, JPEG, BMP, TGA, GIF, ...) into a texture whose coordinates
// 0..1 cover the whole picture; pSrcInfo receives the file's own size.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* pDevice, const char* pSrcFile, UINT Width, UINT Height,
                                     UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                     DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                     PALETTEENTRY* pPalette, IDirect3DTexture9** ppTexture);

#endif
