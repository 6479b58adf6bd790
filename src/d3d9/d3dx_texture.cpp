// D3DXCreateTextureFromFileExA: a picture file becomes a texture of exactly its own size.
#include "d3dx9.h"

#include "device.h"
#include "image.h"
#include "resources.h"

using d3d9impl::Device;
using d3d9impl::Texture;

// Only the file's own size can be honoured; D3DX would rescale, this layer does not.
static bool sizeAccepted(UINT asked, UINT actual) { return asked == D3DX_DEFAULT || asked == 0 || asked == actual; }

static bool anyTransparent(const image::Pixels& image) {
    for (size_t i = 3; i < image.rgba.size(); i += 4)
        if (image.rgba[i] != 0xFF) return true;
    return false;
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* pDevice, const char* pSrcFile, UINT Width, UINT Height,
                                     UINT /*MipLevels*/, DWORD /*Usage*/, D3DFORMAT Format, D3DPOOL Pool,
                                     DWORD /*Filter*/, DWORD /*MipFilter*/, D3DCOLOR ColorKey,
                                     D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* /*pPalette*/,
                                     IDirect3DTexture9** ppTexture) {
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    Device* device = dynamic_cast<Device*>(pDevice);
    if (!device || !pSrcFile) return D3DERR_INVALIDCALL;
    if (Pool != D3DPOOL_MANAGED && Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    bool dropAlpha = Format == D3DFMT_X8R8G8B8 || Format == D3DFMT_R5G6B5 || Format == D3DFMT_X1R5G5B5;
    if (Format != D3DFMT_UNKNOWN && Format != D3DFMT_A8R8G8B8 && !dropAlpha) return D3DERR_INVALIDCALL;

    image::Pixels image;
    if (!image::loadFile(pSrcFile, device->maxTextureSize(), &image)) return D3DXERR_INVALIDDATA;
    if (!sizeAccepted(Width, image.width) || !sizeAccepted(Height, image.height)) return D3DERR_INVALIDCALL;

    BYTE* px = image.rgba.data();
    size_t count = size_t(image.width) * image.height;
    for (size_t i = 0; i < count; ++i, px += 4) {
        // The colour key is ARGB with alpha significant and becomes transparent black.
        D3DCOLOR argb = D3DCOLOR(px[3]) << 24 | D3DCOLOR(px[0]) << 16 | D3DCOLOR(px[1]) << 8 | px[2];
        if (ColorKey != 0 && argb == ColorKey) {
            px[0] = px[1] = px[2] = px[3] = 0;
        } else if (dropAlpha) {
            px[3] = 0xFF;
        }
    }

    bool hasAlpha = anyTransparent(image);
    Texture* texture = nullptr;
    HRESULT hr = device->createTexture(image.width, image.height, image.rgba.data(), &texture);
    if (FAILED(hr)) return hr;
    if (pSrcInfo) {
        pSrcInfo->Width = image.width;
        pSrcInfo->Height = image.height;
        pSrcInfo->Depth = 1;
        pSrcInfo->MipLevels = 1;
        pSrcInfo->Format = hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
    *ppTexture = texture;
    return D3D_OK;
}
