// A frame's recorded draws and the worker threads that rasterise them, band of rows by band.
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

// Told once per band when its rows are final, on the thread that drew them last.
class BandSink {
public:
    virtual void bandDone(Band band) = 0;

protected:
    ~BandSink() = default;
};

// Commands are drawn in recording order within each band while more are being recorded.
// ORDER CMD: the order of push calls is the drawing order, so only the recording thread may
// call push, submit, wait and finish; every band draws the commands in that order. The commands
// are drawn in batches: one batch may still be drawn while the next is recorded. A band is drawn
// by one thread at a time, any thread with nothing else to do: a worker, or the recording thread
// while it waits.
class Workers {
public:
    // At most maxChunks chunks of commands are kept per batch, to bound a frame's memory.
    Workers(const Target& target, int threads, size_t maxChunks = kMaxChunks);
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // False when the list cannot grow: the command is lost and counted, nothing else. rows
    // holds every row the command may touch: bands elsewhere pass over it without reading it.
    bool push(const Command& c, Band rows);
    // Hands every command pushed so far to the workers now rather than with its batch of pushes.
    void publish();
    // Ends the batch with every command pushed so far and returns while it is drawn; sink (if
    // any) sees every band once its rows are final. Waits first for the batch before.
    void submit(BandSink* sink);
    // Returns once every submitted batch is drawn and its sink saw every band.
    void wait();
    // submit, then wait.
    void finish(BandSink* sink);
    // Commands lost so far because the list could not grow.
    size_t dropped() const { return dropped_; }

private:
    static constexpr size_t kChunk = 2048;
    static constexpr size_t kMaxChunks = 2048;
    // Rows [y0, y1) of a command, apart from it and small: every band passes over every
    // command, and most of them miss the band.
    struct Rows {
        uint16_t y0, y1;
    };
    struct Chunk {
        Command c[kChunk];
        Rows rows[kChunk];
    };
    // ORDER BATCH: batch b lives in slot b % 2, which batch b + 2 takes over only once every
    // band has finished b.
    struct Slot {
        // Chunks are kept from batch to batch; slots never move, so workers read them unlocked.
        Chunk* chunks[kMaxChunks] = {};
        std::atomic<size_t> published{0};
        // Guarded by mutex_.
        bool submitted = false;
        int finished = 0;
        BandSink* sink = nullptr;
    };

    // Guarded by mutex_, but for rows.
    struct BandState {
        Band rows;
        unsigned long batch = 0;  // the batch it draws
        size_t done = 0;          // commands of that batch drawn
        bool busy = false;        // a thread draws it now
    };

    void run(size_t home);
    BandState* pick(size_t from, unsigned long lastBatch);
    void drawBand(std::unique_lock<std::mutex>& lock, BandState& band);
    void help(std::unique_lock<std::mutex>& lock, const Slot& slot, unsigned long batch);
    void drawRange(const Slot& slot, Band band, size_t from, size_t to) const;
    bool drawn(const Slot& slot) const { return slot.finished == int(bands_.size()); }

    Target target_;
    std::vector<BandState> bands_;
    std::vector<std::thread> threads_;
    Slot slots_[2];
    size_t count_ = 0, maxChunks_, dropped_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    // Guarded by mutex_ (and read unlocked by the recording thread, its only writer).
    unsigned long batch_ = 0;  // the batch being recorded
    bool quit_ = false;
};

}  // namespace d3d9soft

#endif
