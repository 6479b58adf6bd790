// The CPU backend: draws become commands for the workers, Present copies the frame into SDL's surface.
#include "soft_backend.h"

#include "clip.h"
#include "matrix.h"
#include "pacing.h"
#include "resources.h"
#include "shm_window.h"
#include "spans.h"
#include "workers.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

namespace d3d9soft {

using d3d9impl::ClearRect;
using d3d9impl::PipelineState;
using d3d9impl::StateChange;

namespace {

const uint32_t kWhite = 0xFFFFFFFF;

int pitch(UINT width) { return int(width) + kRowSlack; }

bool isIdentity(const D3DMATRIX& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m.m[i][j] != (i == j ? 1.f : 0.f)) return false;
    return true;
}

float unit(float c) { return c < 0.f ? 0.f : (c > 1.f ? 1.f : c); }

BlendFactor blendFactor(DWORD b) {
    switch (b) {
    case D3DBLEND_ZERO: return kBlendZero;
    case D3DBLEND_ONE: return kBlendOne;
    case D3DBLEND_SRCALPHA: return kBlendSrcAlpha;
    default: return kBlendInvSrcAlpha;
    }
}

// Pixels [x0, x1) x [y0, y1); empty unless x0 < x1 and y0 < y1.
struct Box {
    int x0, y0, x1, y1;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    void add(const Box& b) {
        if (b.empty()) return;
        if (empty()) {
            *this = b;
            return;
        }
        *this = {std::min(x0, b.x0), std::min(y0, b.y0), std::max(x1, b.x1), std::max(y1, b.y1)};
    }
    Box within(int w, int h) const { return {std::max(x0, 0), std::max(y0, 0), std::min(x1, w), std::min(y1, h)}; }
};

constexpr Box kNothing{0, 0, 0, 0};

// Every pixel a triangle could touch: its centres lie between the corners.
Box boxAround(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, int w, int h) {
    float left = std::min({a.x, b.x, c.x}), right = std::max({a.x, b.x, c.x});
    float top = std::min({a.y, b.y, c.y}), bottom = std::max({a.y, b.y, c.y});
    // Negated tests: NaN and far-off corners count as the whole window.
    Box box{0, 0, w, h};
    if (left > -1.f && left < float(w)) box.x0 = int(left);
    if (right > -1.f && right < float(w)) box.x1 = int(right) + 1;
    if (top > -1.f && top < float(h)) box.y0 = int(top);
    if (bottom > -1.f && bottom < float(h)) box.y1 = int(bottom) + 1;
    return box;
}

// What the backend knows of a picture beside its pixels.
class SoftTexture final : public d3d9impl::BackendTexture {
public:
    explicit SoftTexture(AlphaKind alpha) : alpha(alpha) {}
    const AlphaKind alpha;
};

AlphaKind alphaKind(const BYTE* rgba, size_t pixels) {
    bool ends = false, between = false;
    for (size_t i = 0; i < pixels; ++i) {
        BYTE a = rgba[4 * i + 3];
        (a == 0 || a == 255 ? ends : between) = true;
    }
    return ends && between ? kAnyAlpha : (between ? kBetween : kOpaqueOrClear);
}

// One core is the recording thread's, which draws too whenever it waits: a worker more would
// take turns with it on the cores, each evicting the other's rows from the caches.
int workerCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n <= 2 ? 1 : int(std::min(n - 1, 4u));
}

class SoftBackend final : public d3d9impl::Backend, private BandSink {
public:
    SoftBackend(HWND window, UINT width, UINT height, std::vector<uint32_t>&& colour, std::vector<uint16_t>&& depth,
                std::unique_ptr<FramePacer> pacer);
    ~SoftBackend() override;
    void stateChanged(const PipelineState& s, StateChange what, D3DRENDERSTATETYPE renderState) override;
    void clear(const std::vector<ClearRect>& rects, DWORD flags, D3DCOLOR color, float z) override;
    void draw(const PipelineState& s, D3DPRIMITIVETYPE type, UINT first, UINT count) override;
    void present() override;
    HRESULT createTexture(d3d9impl::Texture& texture) override;
    HRESULT createVertexBuffer(d3d9impl::VertexBuffer&) override { return D3D_OK; }
    void readBack(std::vector<BYTE>* rgba) override;

private:
    void bandDone(Band band) override;
    Shading shading(const PipelineState& s) const;
    VertexLayout layout(const PipelineState& s) const;
    bool hold(d3d9impl::Texture* t);
    void submit(BandSink* sink);
    void waitForSubmitted();
    void releaseSubmitted();
    void finish();
    void show();
    bool wellInside(const ScreenVertex& v) const;
    void pushTriangle(const VertexLayout& l, const size_t index[3], const ScreenVertex& a, const ScreenVertex& b,
                      const ScreenVertex& c, const Shading& sh, DWORD cullMode);
    void pushClipped(const VertexLayout& l, const size_t index[3], const ScreenVertex* const v[3],
                     const Shading& sh);
    void push(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const Shading& sh);
    void record(const Command& cmd, const Box& box);
    void changed(const Box& box);

    HWND window_;
    UINT width_, height_;
    float insideRight_, insideBottom_;  // see wellInside
    std::vector<uint32_t> colour_;
    std::vector<uint16_t> depth_;
    Workers workers_;
    D3DMATRIX mvp_, view_{};
    bool mvpDirty_ = true, viewIsIdentity_ = false;
    Shading shading_;
    bool shadingDirty_ = true;
    // References that keep the textures of recorded draws alive until they are drawn, and
    // those of the batch submitted last.
    std::vector<d3d9impl::Texture*> held_, submittedHeld_;
    d3d9impl::Texture* lastHeld_ = nullptr;
    // The window's own images, where the X server shares memory; else SDL's surface.
    std::unique_ptr<ShmWindow> shm_;
    // A frame copied into this surface (locked meanwhile, unless shm_ holds it) and still to be
    // sent to the window.
    SDL_Surface* surface_ = nullptr;
    // Games mostly clear the whole frame and redraw a part of it. Outside drawnSinceClear_ the
    // frame holds the last whole clear, so the same clear again only clears that part; outside
    // changedSincePresent_ it holds what the window shows, so Present copies only that part.
    Box drawnSinceClear_ = kNothing, changedSincePresent_, copied_ = kNothing;
    bool clearKnown_ = false;
    DWORD clearFlags_ = 0;
    D3DCOLOR clearColour_ = 0;
    float clearZ_ = 0.f;
    SDL_Surface* shown_ = nullptr;  // the surface the last Present copied into
    std::unique_ptr<FramePacer> pacer_;  // null: every Present shows its frame at once
};

SoftBackend::SoftBackend(HWND window, UINT width, UINT height, std::vector<uint32_t>&& colour,
                         std::vector<uint16_t>&& depth, std::unique_ptr<FramePacer> pacer)
    : window_(window), width_(width), height_(height), insideRight_(float(width) - 1.f),
      insideBottom_(float(height) - 1.f), colour_(std::move(colour)), depth_(std::move(depth)),
      workers_(Target{colour_.data(), depth_.empty() ? nullptr : depth_.data(), int(width), int(height), pitch(width)},
               workerCount()),
      shm_(ShmWindow::open(int(width), int(height))), changedSincePresent_{0, 0, int(width), int(height)},
      pacer_(std::move(pacer)) {}

// Ends with the frame in flight unsent: the window may be gone, and sending would report it.
SoftBackend::~SoftBackend() {
    finish();
    if (surface_ && !shm_ && SDL_MUSTLOCK(surface_)) SDL_UnlockSurface(surface_);
}

// The batch recorded so far goes to the workers; the one before is drawn by then.
void SoftBackend::submit(BandSink* sink) {
    workers_.submit(sink);
    releaseSubmitted();
    submittedHeld_.swap(held_);
    lastHeld_ = nullptr;
}

void SoftBackend::waitForSubmitted() {
    workers_.wait();
    releaseSubmitted();
}

void SoftBackend::releaseSubmitted() {
    for (d3d9impl::Texture* t : submittedHeld_) t->Release();
    submittedHeld_.clear();
}

void SoftBackend::finish() {
    submit(nullptr);
    waitForSubmitted();
}

void SoftBackend::stateChanged(const PipelineState&, StateChange what, D3DRENDERSTATETYPE) {
    // The rest (the vertex stream) is read at the draw.
    if (what == StateChange::ModelView || what == StateChange::Projection)
        mvpDirty_ = true;
    else if (what != StateChange::Arrays)
        shadingDirty_ = true;
}

void SoftBackend::clear(const std::vector<ClearRect>& rects, DWORD flags, D3DCOLOR color, float z) {
    Command c;
    c.kind = Command::kFill;
    // D3D's ARGB becomes RGBA bytes.
    uint32_t rgba = ((color >> 16) & 0xFF) | (color & 0xFF00) | ((color & 0xFF) << 16) | (color & 0xFF000000);
    auto fill = [&](const Box& b) {
        c.fill = Fill{b.x0, b.y0, b.x1, b.y1, rgba, depth16(z), (flags & D3DCLEAR_TARGET) != 0,
                      (flags & D3DCLEAR_ZBUFFER) != 0};
        workers_.push(c, Band{b.y0, b.y1});
    };
    Box window{0, 0, int(width_), int(height_)};
    bool whole = rects.size() == 1 && rects[0].x1 == 0 && rects[0].y1 == 0 && rects[0].x2 == window.x1 &&
                 rects[0].y2 == window.y1;
    if (whole && clearKnown_ && flags == clearFlags_ && color == clearColour_ && z == clearZ_) {
        // The rest of the frame already holds what this clear writes.
        if (!drawnSinceClear_.empty()) fill(drawnSinceClear_);
        changedSincePresent_.add(drawnSinceClear_);
        drawnSinceClear_ = kNothing;
        return;
    }
    for (const ClearRect& r : rects) fill(Box{int(r.x1), int(r.y1), int(r.x2), int(r.y2)});
    if (whole) {
        clearKnown_ = true;
        clearFlags_ = flags;
        clearColour_ = color;
        clearZ_ = z;
        drawnSinceClear_ = kNothing;
        changedSincePresent_ = window;
        return;
    }
    for (const ClearRect& r : rects) changed(Box{int(r.x1), int(r.y1), int(r.x2), int(r.y2)});
}

void SoftBackend::changed(const Box& box) {
    drawnSinceClear_.add(box);
    changedSincePresent_.add(box);
}

Shading SoftBackend::shading(const PipelineState& s) const {
    Shading sh;
    bool textured = s.texture && s.colorOp != D3DTOP_DISABLE;
    sh.texels = textured ? reinterpret_cast<const uint32_t*>(s.texture->rgba()) : &kWhite;
    sh.tw = textured ? int(s.texture->width()) : 1;
    sh.th = textured ? int(s.texture->height()) : 1;
    // The lit colour: without lights, emissive + scene ambient x material ambient, with the
    // diffuse alpha, clamped; without lighting, opaque white.
    float lit[4] = {1.f, 1.f, 1.f, 1.f};
    if (s.lighting) {
        const D3DMATERIAL9& m = s.material;
        float ar = ((s.ambient >> 16) & 0xFF) / 255.f, ag = ((s.ambient >> 8) & 0xFF) / 255.f,
              ab = (s.ambient & 0xFF) / 255.f;
        lit[0] = unit(m.Emissive.r + ar * m.Ambient.r);
        lit[1] = unit(m.Emissive.g + ag * m.Ambient.g);
        lit[2] = unit(m.Emissive.b + ab * m.Ambient.b);
        lit[3] = unit(m.Diffuse.a);
    }
    bool rgbLit = !textured || s.colorOp == D3DTOP_MODULATE, alphaLit = !textured || s.alphaOp != D3DTOP_SELECTARG1;
    for (int c = 0; c < 3; ++c) sh.colour[c] = rgbLit ? lit[c] : 1.f;
    sh.colour[3] = alphaLit ? lit[3] : 1.f;
    sh.plain = sh.colour[0] == 1.f && sh.colour[1] == 1.f && sh.colour[2] == 1.f && sh.colour[3] == 1.f;
    sh.texelAlpha = textured && s.alphaOp != D3DTOP_DISABLE;
    sh.depthTest = s.zEnable == D3DZB_TRUE && !depth_.empty();
    sh.blend = s.alphaBlend != FALSE;
    sh.src = blendFactor(s.srcBlend);
    sh.dst = blendFactor(s.destBlend);
    // Texels of 255 or 0 stay so through a colour of full alpha only.
    auto* part = textured ? static_cast<const SoftTexture*>(s.texture->backend()) : nullptr;
    sh.alpha = textured ? (part ? part->alpha : kAnyAlpha) : kOpaqueOrClear;
    if (sh.alpha == kOpaqueOrClear && sh.colour[3] != 1.f) sh.alpha = kAnyAlpha;
    return sh;
}

HRESULT SoftBackend::createTexture(d3d9impl::Texture& texture) {
    try {
        AlphaKind alpha = alphaKind(texture.rgba(), size_t(texture.width()) * texture.height());
        texture.setBackend(std::unique_ptr<d3d9impl::BackendTexture>(new SoftTexture(alpha)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

VertexLayout SoftBackend::layout(const PipelineState& s) const {
    VertexLayout l;
    l.bytes = s.stream->bytes() + s.streamOffset;
    l.stride = s.streamStride;
    l.uvOffset = d3d9impl::fvfLayout(s.fvf).uvAt;
    l.mvp = mvp_.m;
    l.halfWidth = float(width_) * 0.5f;
    l.halfHeight = float(height_) * 0.5f;
    return l;
}

bool SoftBackend::hold(d3d9impl::Texture* t) {
    if (!t || t == lastHeld_) return true;
    try {
        held_.push_back(t);
    } catch (const std::bad_alloc&) {
        return false;
    }
    t->AddRef();
    lastHeld_ = t;
    return true;
}

// A pixel in from the edges, no rounding of the viewport can hide a vertex beyond them.
bool SoftBackend::wellInside(const ScreenVertex& v) const {
    return v.x >= 1.f && v.x <= insideRight_ && v.y >= 1.f && v.y <= insideBottom_;
}

void SoftBackend::pushTriangle(const VertexLayout& l, const size_t index[3], const ScreenVertex& a,
                               const ScreenVertex& b, const ScreenVertex& c, const Shading& sh, DWORD cullMode) {
    if (cullMode != D3DCULL_NONE) {
        // Positive in top-down pixels is clockwise on screen.
        float area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if ((cullMode == D3DCULL_CW && area > 0.f) || (cullMode == D3DCULL_CCW && area < 0.f)) return;
    }
    if (wellInside(a) && wellInside(b) && wellInside(c)) {
        push(a, b, c, sh);
        return;
    }
    const ScreenVertex* v[3] = {&a, &b, &c};
    pushClipped(l, index, v, sh);
}

// GL cuts a triangle with a vertex beyond the window's edges to them before its setup, which
// moves the rounding of every plane; its pieces are drawn instead.
void SoftBackend::pushClipped(const VertexLayout& l, const size_t index[3], const ScreenVertex* const v[3],
                              const Shading& sh) {
    ClipVertex c[3];
    unsigned any = 0, all = ~0u;
    for (int k = 0; k < 3; ++k) {
        clipPosition(l, l.bytes + index[k] * l.stride, c[k].pos);
        // Behind the eye nothing is drawn.
        if (!(c[k].pos[3] > 0.f)) return;
        c[k].screen = *v[k];
        unsigned e = outsideEdges(c[k].pos);
        any |= e;
        all &= e;
    }
    if (all != 0) return;
    if (any == 0) {
        push(*v[0], *v[1], *v[2], sh);
        return;
    }
    ScreenVertex pieces[kMaxClippedTriangles][3];
    int n = clipTriangle(c, any, l.halfWidth, l.halfHeight, pieces);
    for (int i = 0; i < n; ++i) push(pieces[i][0], pieces[i][1], pieces[i][2], sh);
}

void SoftBackend::push(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const Shading& sh) {
    Command cmd;
    cmd.kind = Command::kTriangle;
    cmd.triangle = Triangle{{a, b, c}, sh};
    record(cmd, boxAround(a, b, c, int(width_), int(height_)));
}

// A draw touching only box: the workers get its rows, the frame's changed parts grow by it.
void SoftBackend::record(const Command& cmd, const Box& box) {
    workers_.push(cmd, Band{box.y0, box.y1});
    changed(box);
}

void SoftBackend::draw(const PipelineState& s, D3DPRIMITIVETYPE type, UINT first, UINT count) {
    if (mvpDirty_) {
        if (std::memcmp(&s.view, &view_, sizeof view_) != 0) {
            view_ = s.view;
            viewIsIdentity_ = isIdentity(view_);
        }
        // Multiplying by an identity view is exact, so it is skipped.
        mvp_ = viewIsIdentity_ ? d3d9impl::multiply(s.world, s.projection)
                               : d3d9impl::multiply(d3d9impl::multiply(s.world, s.view), s.projection);
        mvpDirty_ = false;
    }
    if (shadingDirty_) {
        shading_ = shading(s);
        shadingDirty_ = false;
    }
    const Shading& sh = shading_;
    if (sh.texels != &kWhite && !hold(s.texture)) return;
    const SpanKernels& k = spanKernels();
    VertexLayout l = layout(s);
    if (type == D3DPT_TRIANGLEFAN && count == 4) {
        ScreenVertex q[4];
        k.vertices(l, first, 4, q);
        Command cmd;
        cmd.kind = Command::kRect;
        // A rectangle across the window's edges needs no cut: GL's cut moves none of its edges
        // over a pixel centre, and the rect takes only texel choices far from rounding there.
        bool cut = !(wellInside(q[0]) && wellInside(q[1]) && wellInside(q[2]) && wellInside(q[3]));
        if (s.cullMode == D3DCULL_NONE && quadAsRect(q, sh, cut, &cmd.rect)) {
            const Rect& r = cmd.rect;
            record(cmd, Box{r.x0, r.y0, r.x1, r.y1}.within(int(width_), int(height_)));
            return;
        }
        const size_t firstHalf[3] = {first, first + 1, first + 2}, secondHalf[3] = {first, first + 2, first + 3};
        pushTriangle(l, firstHalf, q[0], q[1], q[2], sh, s.cullMode);
        pushTriangle(l, secondHalf, q[0], q[2], q[3], sh, s.cullMode);
        return;
    }
    UINT triangles = type == D3DPT_TRIANGLELIST ? count / 3 : count - 2;
    ScreenVertex t[3];
    size_t index[3];
    for (UINT i = 0; i < triangles; ++i) {
        if (type == D3DPT_TRIANGLELIST) {
            index[0] = first + 3 * i;
            index[1] = index[0] + 1;
            index[2] = index[0] + 2;
        } else if (type == D3DPT_TRIANGLESTRIP) {
            // Every second strip triangle runs backwards, so all keep the first one's winding.
            index[0] = first + i + (i & 1);
            index[1] = first + i + 1 - (i & 1);
            index[2] = first + i + 2;
        } else {
            index[0] = first;
            index[1] = first + i + 1;
            index[2] = first + i + 2;
        }
        for (int v = 0; v < 3; ++v) k.vertices(l, index[v], 1, &t[v]);
        pushTriangle(l, index, t[0], t[1], t[2], sh, s.cullMode);
    }
}

// n RGBA words as 32-bit pixels with red, green and blue at these shifts.
void toWords(uint32_t* out, const uint32_t* src, int n, int rs, int gs, int bs) {
    if (rs == 16 && gs == 8 && bs == 0) {
        // The usual X11 layout.
        spanKernels().toXrgb(out, src, n);
        return;
    }
    for (int x = 0; x < n; ++x) {
        uint32_t p = src[x];
        out[x] = (p & 0xFF) << rs | ((p >> 8) & 0xFF) << gs | ((p >> 16) & 0xFF) << bs;
    }
}

void SoftBackend::bandDone(Band band) {
    SDL_Surface* s = surface_;
    const SDL_PixelFormat* f = s->format;
    int rows = std::min(band.y1, copied_.y1), cols = copied_.x1 - copied_.x0;
    for (int y = std::max(band.y0, copied_.y0); y < rows; ++y) {
        const uint32_t* src = colour_.data() + size_t(y) * pitch(width_) + copied_.x0;
        if (shm_) {
            toWords(shm_->pixels() + size_t(y) * shm_->pitch() + copied_.x0, src, cols, shm_->redShift(),
                    shm_->greenShift(), shm_->blueShift());
            continue;
        }
        BYTE* dst = static_cast<BYTE*>(s->pixels) + size_t(y) * s->pitch + size_t(copied_.x0) * f->BytesPerPixel;
        if (f->BytesPerPixel == 4) {
            toWords(reinterpret_cast<uint32_t*>(dst), src, cols, f->Rshift, f->Gshift, f->Bshift);
        } else {
            for (int x = 0; x < cols; ++x) {
                uint32_t p = src[x];
                Uint32 px = SDL_MapRGB(s->format, Uint8(p), Uint8(p >> 8), Uint8(p >> 16));
                std::memcpy(dst + size_t(x) * f->BytesPerPixel, &px, f->BytesPerPixel);
            }
        }
    }
}

// Sends the frame in flight to the window once the workers have copied it.
void SoftBackend::show() {
    if (!surface_) return;
    waitForSubmitted();
    SDL_Surface* s = surface_;
    surface_ = nullptr;
    if (!shm_ && SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    if (s != SDL_GetVideoSurface()) return;
    // A frame that changed nothing still sends one pixel: each Present reaches the X server, so
    // a window destroyed under the game is noticed by the error that comes back.
    Box sent = copied_.empty() ? Box{0, 0, 1, 1} : copied_;
    if (shm_)
        shm_->send(sent.x0, sent.y0, sent.x1, sent.y1);
    else
        SDL_UpdateRect(s, sent.x0, sent.y0, Uint32(sent.x1 - sent.x0), Uint32(sent.y1 - sent.y0));
}

// Paced, each frame reaches the window before Present returns. Presenting at once, a frame is
// still drawn and copied while the next is recorded, and the next Present sends it: the cores
// stay busy, and a frame is shown at most one frame late, as a GPU's queue would show it.
void SoftBackend::present() {
    // The workers go on with this frame while the last one is sent.
    workers_.publish();
    show();
    SDL_Surface* s = SDL_GetVideoSurface();
    // The window may have gone (SDL shut down); the frame is then only finished.
    if (!s || s != window_ || (s->flags & SDL_OPENGL) || (!shm_ && SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0)) {
        finish();
        return;
    }
    // Only what changed since the last frame sent to this window (an image sends only what it
    // took, so either of shm_'s does); all of a new surface.
    Box all{0, 0, int(width_), int(height_)};
    copied_ = (shm_ || s == shown_ ? changedSincePresent_ : all).within(s->w, s->h);
    surface_ = s;
    submit(this);
    shown_ = s;
    changedSincePresent_ = kNothing;
    if (!pacer_) return;
    show();
    pacer_->waitForRefresh();
}

void SoftBackend::readBack(std::vector<BYTE>* rgba) {
    finish();
    rgba->resize(size_t(width_) * height_ * 4);
    for (UINT y = 0; y < height_; ++y)
        std::memcpy(rgba->data() + size_t(y) * width_ * 4, colour_.data() + size_t(y) * pitch(width_),
                    size_t(width_) * 4);
}

}  // namespace

HRESULT createBackend(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT width, UINT height,
                      std::unique_ptr<d3d9impl::Backend>* out) {
    if (window->flags & SDL_OPENGL) return D3DERR_NOTAVAILABLE;
    try {
        std::vector<uint32_t> colour(size_t(pitch(width)) * height, 0);
        std::vector<uint16_t> depth(pp.EnableAutoDepthStencil ? size_t(pitch(width)) * height : 0, 0xFFFF);
        std::unique_ptr<FramePacer> pacer;
        if (pp.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE)
            pacer = std::make_unique<FramePacer>(refreshRate(window));
        out->reset(new SoftBackend(window, width, height, std::move(colour), std::move(depth), std::move(pacer)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

}  // namespace d3d9soft
