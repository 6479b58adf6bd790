// Everything the device layer's core keeps for the whole run, in one place.
#ifndef D3D9_LAYER_STATE_H
#define D3D9_LAYER_STATE_H

#include <atomic>

namespace d3d9impl {

class Device;

struct LayerState {
    // The one device: a backend's window and context belong to one device at a time.
    Device* device;
    // Textures not yet freed; a CPU backend's workers may drop the last reference.
    std::atomic<long> textures;
};

extern LayerState layerState;

}  // namespace d3d9impl

#endif
