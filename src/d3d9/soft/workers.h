// A frame's recorded draws and the worker threads that rasterise them, one band of rows each.
#ifndef D3D9_SOFT_WORKERS_H
#define D3D9_SOFT_WORKERS_H

#include "raster.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace d3d9soft {

struct Command {
    enum Kind : uint8_t { kTriangle, kRect, kFill } kind;
    union {
        Triangle triangle;
        Rect rect;
        Fill fill;
    };
};

// Told once per band when its rows are final, on the thread that drew them.
class BandSink {
public:
    virtual void bandDone(Band band) = 0;

protected:
    ~BandSink() = default;
};

// Commands are drawn in recording order within each band while more are being recorded.
// ORDER CMD: the order of push calls is the drawing order, so only the recording thread may
// call push and finish; every band draws the commands in that order.
class Workers {
public:
    // At most maxChunks chunks of commands are kept per frame, to bound a frame's memory.
    Workers(const Target& target, int threads, size_t maxChunks = kMaxChunks);
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // False when the list cannot grow: the command is lost and counted, nothing else.
    bool push(const Command& c);
    // Returns once every command pushed so far is drawn, after sink (if any) saw every band;
    // the list then starts empty.
    void finish(BandSink* sink);
    // Commands lost so far because the list could not grow.
    size_t dropped() const { return dropped_; }

private:
    static constexpr size_t kChunk = 2048;
    static constexpr size_t kMaxChunks = 2048;
    struct Chunk {
        Command c[kChunk];
    };

    void run(Band band);
    void drawRange(Band band, size_t from, size_t to) const;
    void publish();

    Target target_;
    std::vector<Band> bands_;
    std::vector<std::thread> threads_;
    // Chunks are kept from frame to frame; slots never move, so workers read them unlocked.
    Chunk* chunks_[kMaxChunks] = {};
    size_t count_ = 0, maxChunks_, dropped_ = 0;
    std::atomic<size_t> published_{0};

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    // Guarded by mutex_.
    unsigned long frame_ = 0;
    bool finishing_ = false, quit_ = false;
    int finished_ = 0;
    BandSink* sink_ = nullptr;
};

}  // namespace d3d9soft

#endif
