// The OpenGL entry points and context checks the device layer shares (the only OpenGL user).
#ifndef D3D9_GL_API_H
#define D3D9_GL_API_H

#include <GL/gl.h>
#include <GL/glext.h>

namespace d3d9gl {

// Buffer objects are not part of the GL 1.2 ABI libGL guarantees, so they are looked up.
struct Functions {
    PFNGLGENBUFFERSPROC GenBuffers = nullptr;
    PFNGLDELETEBUFFERSPROC DeleteBuffers = nullptr;
    PFNGLBINDBUFFERPROC BindBuffer = nullptr;
    PFNGLBUFFERDATAPROC BufferData = nullptr;
    PFNGLBUFFERSUBDATAPROC BufferSubData = nullptr;
};

// Everything the OpenGL backend keeps for the whole run.
struct GlState {
    Functions gl;
    // Set by the X error handler that is ours only while a GL window opens; touched only
    // on the thread that opens it.
    bool xErrorSeen;
};

extern GlState glState;

// True when SDL's current video surface is an OpenGL window, so a context is current.
bool contextAlive();

// Major/minor from GL_VERSION; false when no context answers.
bool contextVersion(int* major, int* minor);

// Fills glState.gl; false when an entry point is missing.
bool loadFunctions();

// Asks the driver to wait for the retrace on swap (interval 1) or not (0); failures are ignored.
void setSwapInterval(int interval);

// GL_MAX_TEXTURE_SIZE of the current context, or fallback without one.
int maxTextureSize(int fallback);

}  // namespace d3d9gl

#endif
