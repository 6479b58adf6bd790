// Creates the display device in the one fixed state every image is drawn in.
#include "display.h"

#include "d3dx9.h"
#include "render_state.h"

namespace {

const D3DCOLORVALUE black = {0, 0, 0, 1.0f};
const D3DCOLORVALUE white = {1.0f, 1.0f, 1.0f, 1.0f};
const D3DCOLORVALUE none = {0, 0, 0, 0};

void setFixedState(IDirect3DDevice9* device) {
    D3DXMATRIX projection, identity;
    D3DXMatrixOrthoLH(&projection, 800, 600, -1, 1);
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

}  // namespace

Display::Display() : material(), direct3d(nullptr), device(nullptr) {}

Display::Display(IDirect3DDevice9* adopted) : material(), direct3d(nullptr), device(adopted) {
    renderState.device = adopted;
}

void Display::releaseDevice() {
    if (device) {
        device->Release();
        device = nullptr;
    }
    if (direct3d) {
        direct3d->Release();
        direct3d = nullptr;
    }
    renderState.device = nullptr;
}

void Display::createDevice() {
    direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!direct3d)
        throw "Could not create Direct3D object";

    D3DDISPLAYMODE mode = {};
    direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);

    D3DCAPS9 caps = {};
    if (FAILED(direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps)))
        throw "Could not get device caps";

    HWND window = GetActiveWindow();
    D3DPRESENT_PARAMETERS params = {};
    params.BackBufferWidth = 800;
    params.BackBufferHeight = 600;
    params.BackBufferFormat = mode.Format;
    params.BackBufferCount = 1;
    params.MultiSampleType = D3DMULTISAMPLE_NONE;
    params.MultiSampleQuality = 0;
    params.SwapEffect = D3DSWAPEFFECT_FLIP;
    params.hDeviceWindow = window;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    params.Flags = 0;
    params.FullScreen_RefreshRateInHz = 0;
    params.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    DWORD vertexProcessing = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)
                                 ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                 : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, vertexProcessing, &params,
                                      &device))) {
        device = nullptr;
        throw "Could not create device";
    }

    setFixedState(device);
    material.Diffuse = black;
    material.Ambient = white;
    material.Specular = none;
    material.Emissive = none;
    material.Power = 0;
    device->SetMaterial(&material);
    renderState.device = device;
}

void Display::setBrightness(float b) {
    material.Ambient.r = b;
    material.Ambient.g = b;
    material.Ambient.b = b;
    device->SetMaterial(&material);
}
