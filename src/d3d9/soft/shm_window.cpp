// Two shared-memory images of the window's size, put into the window in turn over a connection
// of their own, so the server's word that it has copied one reaches only them.
#include "shm_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstring>

namespace d3d9soft {

struct ShmWindow::Parts {
    ::Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    int completion = 0;  // the event type of a finished put
    XShmSegmentInfo segment[2] = {};
    XImage* images[2] = {};
    bool copying[2] = {};  // put, and not yet known to be copied

    ~Parts() {
        for (int i = 0; i < 2; ++i) {
            if (!images[i]) continue;
            XShmDetach(display, &segment[i]);
            images[i]->data = nullptr;
            XDestroyImage(images[i]);
            shmdt(segment[i].shmaddr);
        }
        if (gc) XFreeGC(display, gc);
        if (display) XCloseDisplay(display);
    }

    // A shared image attached on the server; the segment goes once both sides let it go.
    bool attach(int i, Visual* visual, int depth, int width, int height) {
        XShmSegmentInfo& s = segment[i];
        XImage* image = XShmCreateImage(display, visual, unsigned(depth), ZPixmap, nullptr, &s, unsigned(width),
                                        unsigned(height));
        if (!image) return false;
        s.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * image->height, IPC_CREAT | 0600);
        if (s.shmid < 0) {
            XDestroyImage(image);
            return false;
        }
        s.shmaddr = image->data = static_cast<char*>(shmat(s.shmid, nullptr, 0));
        if (s.shmaddr == reinterpret_cast<char*>(-1)) {
            shmctl(s.shmid, IPC_RMID, nullptr);
            image->data = nullptr;
            XDestroyImage(image);
            return false;
        }
        s.readOnly = True;
        XShmAttach(display, &s);
        XSync(display, False);
        shmctl(s.shmid, IPC_RMID, nullptr);
        images[i] = image;
        return true;
    }

    // Takes in the completions that have come.
    void collect() {
        XEvent e;
        while (XCheckTypedEvent(display, completion, &e)) {
            ShmSeg seg = reinterpret_cast<XShmCompletionEvent&>(e).shmseg;
            for (int i = 0; i < 2; ++i)
                if (images[i] && segment[i].shmseg == seg) copying[i] = false;
        }
    }
};

namespace {

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// Shared memory reaches only a server on this machine.
bool local(const char* name) { return name && (name[0] == ':' || std::strncmp(name, "unix:", 5) == 0); }

}  // namespace

std::unique_ptr<ShmWindow> ShmWindow::open(int width, int height) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11) return nullptr;
    const char* name = DisplayString(info.info.x11.display);
    if (!local(name)) return nullptr;
    auto parts = std::make_unique<Parts>();
    parts->display = XOpenDisplay(name);
    parts->window = info.info.x11.window;
    ::Display* display = parts->display;
    XWindowAttributes a;
    if (!display || !XShmQueryExtension(display) || !XGetWindowAttributes(display, parts->window, &a)) return nullptr;
    Visual* v = a.visual;
    // Only the common 32-bit layouts: 8 bits per channel, whole bytes.
    if (a.depth != 24 || v->red_mask + v->green_mask + v->blue_mask != 0xFFFFFF) return nullptr;
    parts->completion = XShmGetEventBase(display) + ShmCompletion;
    parts->gc = XCreateGC(display, parts->window, 0, nullptr);
    for (int i = 0; i < 2; ++i)
        if (!parts->gc || !parts->attach(i, v, a.depth, width, height) || parts->images[i]->bits_per_pixel != 32)
            return nullptr;
    std::unique_ptr<ShmWindow> w(new ShmWindow(std::move(parts)));
    w->pitch_ = size_t(w->parts_->images[0]->bytes_per_line) / 4;
    w->shifts_[0] = shiftOf(v->red_mask);
    w->shifts_[1] = shiftOf(v->green_mask);
    w->shifts_[2] = shiftOf(v->blue_mask);
    return w;
}

ShmWindow::ShmWindow(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

ShmWindow::~ShmWindow() = default;

uint32_t* ShmWindow::pixels() const { return reinterpret_cast<uint32_t*>(parts_->images[current_]->data); }

void ShmWindow::waitUntilCopied(int image) {
    Parts& p = *parts_;
    p.collect();
    if (!p.copying[image]) return;
    // A put that failed (the window gone) sends no completion: after a round trip it is over
    // either way.
    XSync(p.display, False);
    p.collect();
    p.copying[image] = false;
}

void ShmWindow::send(int x0, int y0, int x1, int y1) {
    Parts& p = *parts_;
    XShmPutImage(p.display, p.window, p.gc, p.images[current_], x0, y0, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0),
                 True);
    p.copying[current_] = true;
    XFlush(p.display);
    current_ ^= 1;
    waitUntilCopied(current_);
}

}  // namespace d3d9soft
