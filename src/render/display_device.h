// The Engine's display fields and the operations that create and light the device.
#ifndef RENDER_DISPLAY_DEVICE_H
#define RENDER_DISPLAY_DEVICE_H

#include "d3d9.h"

// The window and its back buffer, in pixels; the drawing space has its origin at the centre.
const int WINDOW_WIDTH = 800;
const int WINDOW_HEIGHT = 600;

// The fixed state every image is drawn in: projection, lighting, blending, depth, no culling.
void setFixedDeviceState(IDirect3DDevice9* device);

// The Engine derives from this, so it holds these fields while the renderer sees nothing
// else of it.
class DisplayDevice {
public:
    // Creates direct3d and device in the one fixed state every image is drawn in, sets the
    // material and makes the device the one images draw on; throws const char* on failure.
    void createDevice();
    void setBrightness(float b);

protected:
    DisplayDevice();
    // Takes a device made elsewhere as the one images draw on: for tests.
    explicit DisplayDevice(IDirect3DDevice9* adopted);
    // Releases the device, then the Direct3D object, each if present.
    void releaseDevice();

    D3DMATERIAL9 material;
    IDirect3D9* direct3d;
    IDirect3DDevice9* device;
};

#endif
