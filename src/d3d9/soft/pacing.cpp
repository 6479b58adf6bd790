// Finding the display's refresh rate through RandR, and sleeping to the next refresh.
#include "pacing.h"

#include <cerrno>
#include <ctime>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace d3d9soft {

namespace {

const double kDefaultHz = 60;

int64_t nowNs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The rate of the CRTC that shows the window's centre: its mode's dot clock over its totals.
double crtcRate(::Display* display, Window window, Window root) {
    XWindowAttributes a;
    int x = 0, y = 0;
    Window child;
    if (!XGetWindowAttributes(display, window, &a) ||
        !XTranslateCoordinates(display, window, root, a.width / 2, a.height / 2, &x, &y, &child))
        return 0;
    XRRScreenResources* r = XRRGetScreenResourcesCurrent(display, root);
    if (!r) return 0;
    double hz = 0;
    for (int i = 0; i < r->ncrtc && hz == 0; ++i) {
        XRRCrtcInfo* c = XRRGetCrtcInfo(display, r, r->crtcs[i]);
        if (!c) continue;
        bool shows = c->mode && x >= c->x && y >= c->y && x < c->x + int(c->width) && y < c->y + int(c->height);
        for (int m = 0; shows && m < r->nmode; ++m) {
            const XRRModeInfo& mode = r->modes[m];
            if (mode.id == c->mode && mode.hTotal && mode.vTotal)
                hz = double(mode.dotClock) / (double(mode.hTotal) * mode.vTotal);
        }
        XRRFreeCrtcInfo(c);
    }
    XRRFreeScreenResources(r);
    return hz;
}

}  // namespace

double refreshRate(HWND) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1) return kDefaultHz;
    ::Display* display = info.info.x11.display;
    int event, error;
    if (!XRRQueryExtension(display, &event, &error)) return kDefaultHz;
    info.info.x11.lock_func();
    Window root = DefaultRootWindow(display);
    double hz = crtcRate(display, info.info.x11.window, root);
    if (hz <= 0) {
        XRRScreenConfiguration* config = XRRGetScreenInfo(display, root);
        if (config) {
            hz = XRRConfigCurrentRate(config);
            XRRFreeScreenConfigInfo(config);
        }
    }
    info.info.x11.unlock_func();
    return hz >= 10 && hz <= 1000 ? hz : kDefaultHz;
}

void FramePacer::waitForRefresh() {
    int64_t now = nowNs();
    if (phaseNs < 0) phaseNs = now;
    int64_t next = now + periodNs - (now - phaseNs) % periodNs;
    timespec until = {time_t(next / 1000000000), long(next % 1000000000)};
    // Signals (the host's watch among them) cut the sleep short; it goes on to the same time.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace d3d9soft
