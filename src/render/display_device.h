// The Engine's display fields and the operations that create and light the device.
#ifndef RENDER_DISPLAY_H
#define RENDER_DISPLAY_H

#include "d3d9.h"

// The Engine derives from this, so it holds these fields while the renderer sees nothing
// else of it.
class Display {
public:
    // Creates direct3d and device in the one fixed state every image is drawn in, sets the
    // material and makes the device the one images draw on; throws const char* on failure.
    void createDevice();
    void setBrightness(float b);

protected:
    Display();
    // Takes a device made elsewhere as the one images draw on: for tests.
    explicit Display(IDirect3DDevice9* adopted);
    // Releases the device, then the Direct3D object, each if present.
    void releaseDevice();

    D3DMATERIAL9 material;
    IDirect3D9* direct3d;
    IDirect3DDevice9* device;
};

#endif
