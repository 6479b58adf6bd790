// Looks up OpenGL entry points through SDL and answers questions about the current context.
#include "gl_api.h"

#include <SDL.h>
#include <GL/glx.h>

#include <cstdio>
#include <cstring>

namespace d3d9gl {

GlState glState = {};

bool contextAlive() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    SDL_Surface* s = SDL_GetVideoSurface();
    return s && (s->flags & SDL_OPENGL);
}

bool contextVersion(int* major, int* minor) {
    const char* v = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!v) return false;
    int a = 0, b = 0;
    if (std::sscanf(v, "%d.%d", &a, &b) != 2) return false;
    *major = a;
    *minor = b;
    return true;
}

template <typename T>
static bool lookUp(T* slot, const char* name) {
    *slot = reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
    return *slot != nullptr;
}

bool loadFunctions() {
    bool ok = true;
    ok &= lookUp(&glState.gl.GenBuffers, "glGenBuffers");
    ok &= lookUp(&glState.gl.DeleteBuffers, "glDeleteBuffers");
    ok &= lookUp(&glState.gl.BindBuffer, "glBindBuffer");
    ok &= lookUp(&glState.gl.BufferData, "glBufferData");
    ok &= lookUp(&glState.gl.BufferSubData, "glBufferSubData");
    return ok;
}

// Whole-word search in a space-separated extension list.
static bool hasExtension(const char* list, const char* name) {
    if (!list) return false;
    size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        bool startOk = p == list || p[-1] == ' ';
        bool endOk = p[n] == ' ' || p[n] == '\0';
        if (startOk && endOk) return true;
    }
    return false;
}

void setSwapInterval(int interval) {
    Display* dpy = glXGetCurrentDisplay();
    GLXDrawable drawable = glXGetCurrentDrawable();
    if (!dpy || !drawable) return;
    // GLX hands out stubs for any name, so only the advertised extensions are trusted.
    const char* ext = glXQueryExtensionsString(dpy, DefaultScreen(dpy));
    if (hasExtension(ext, "GLX_EXT_swap_control")) {
        auto f = reinterpret_cast<void (*)(Display*, GLXDrawable, int)>(
            SDL_GL_GetProcAddress("glXSwapIntervalEXT"));
        if (f) {
            f(dpy, drawable, interval);
            return;
        }
    }
    if (hasExtension(ext, "GLX_MESA_swap_control")) {
        auto f = reinterpret_cast<int (*)(unsigned)>(SDL_GL_GetProcAddress("glXSwapIntervalMESA"));
        if (f) {
            f(static_cast<unsigned>(interval));
            return;
        }
    }
    // The SGI form cannot express 0, so it is only used to turn waiting on.
    if (interval > 0 && hasExtension(ext, "GLX_SGI_swap_control")) {
        auto f = reinterpret_cast<int (*)(int)>(SDL_GL_GetProcAddress("glXSwapIntervalSGI"));
        if (f) f(interval);
    }
}

int maxTextureSize(int fallback) {
    if (!contextAlive() || !glGetString(GL_VERSION)) return fallback;
    GLint v = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &v);
    return v > 0 ? v : fallback;
}

}  // namespace d3d9gl
