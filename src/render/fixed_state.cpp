// The one fixed device state every image is drawn in; the device tests set theirs up through it too.
#include "display_device.h"

#include "d3dx9.h"

void setFixedDeviceState(IDirect3DDevice9* device) {
    D3DXMATRIX projection, identity;
    D3DXMatrixOrthoLH(&projection, WINDOW_WIDTH, WINDOW_HEIGHT, -1, 1);
    D3DXMatrixScaling(&identity, 1, 1, 1);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);

    // With lighting on and no light enabled, every vertex gets ambient x material ambient:
    // the material's ambient is the brightness.
    device->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
    device->SetVertexShader(nullptr);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
}
