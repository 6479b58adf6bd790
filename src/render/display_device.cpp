// Creates and releases the display device (in the fixed state of fixed_state.cpp) and holds the brightness.
#include "display_device.h"

#include "d3dx9.h"
#include "render_state.h"

namespace {

const D3DCOLORVALUE black = {0, 0, 0, 1.0f};
const D3DCOLORVALUE white = {1.0f, 1.0f, 1.0f, 1.0f};
const D3DCOLORVALUE none = {0, 0, 0, 0};

}  // namespace

DisplayDevice::DisplayDevice() : material(), direct3d(nullptr), device(nullptr) {}

DisplayDevice::DisplayDevice(IDirect3DDevice9* adopted) : material(), direct3d(nullptr), device(adopted) {
    renderState.device = adopted;
}

void DisplayDevice::releaseDevice() {
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

void DisplayDevice::createDevice() {
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
    params.BackBufferWidth = WINDOW_WIDTH;
    params.BackBufferHeight = WINDOW_HEIGHT;
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

    setFixedDeviceState(device);
    material.Diffuse = black;
    material.Ambient = white;
    material.Specular = none;
    material.Emissive = none;
    material.Power = 0;
    device->SetMaterial(&material);
    renderState.device = device;
}

void DisplayDevice::setBrightness(float b) {
    material.Ambient.r = b;
    material.Ambient.g = b;
    material.Ambient.b = b;
    device->SetMaterial(&material);
}
