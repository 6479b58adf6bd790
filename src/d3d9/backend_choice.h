// Which backend draws: forced by GAMEHOST_DEVICE or chosen from what the display offers.
#ifndef D3D9_BACKEND_CHOICE_H
#define D3D9_BACKEND_CHOICE_H

#include "d3d9.h"

namespace d3d9impl {

enum class BackendKind { OpenGL, Software };

// GAMEHOST_DEVICE=opengl or =software forces a backend; anything else leaves the choice automatic.
bool forcedBackend(BackendKind* kind);

// GAMEHOST_PRESENT=immediate: no Present waits for the display on either backend, for
// benchmarks and tests that want many frames quickly; otherwise frames follow the display.
bool presentsImmediately();

// The backend for a window OpenDeviceWindow opened: OpenGL exactly when it has a GL context,
// unless GAMEHOST_DEVICE forces the other one.
BackendKind backendFor(HWND window);

}  // namespace d3d9impl

#endif
