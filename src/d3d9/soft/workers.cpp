// Worker threads that each own a band of rows and draw the recorded commands into it in order.
#include "workers.h"

#include <new>
#include <system_error>

namespace d3d9soft {

namespace {

// Commands are handed to the workers in batches, so waking them costs little per draw.
constexpr size_t kBatch = 256;

// The first commands of a frame (its clear, the first draws) go at once, in smaller batches:
// the workers would idle otherwise while the first full batch is recorded.
bool startsBatch(size_t count) { return count % kBatch == 0 || count == 1 || count == 16 || count == 64; }

}  // namespace

Workers::Workers(const Target& target, int threads, size_t maxChunks)
    : target_(target), maxChunks_(maxChunks < kMaxChunks ? maxChunks : kMaxChunks) {
    if (threads < 1) threads = 1;
    for (int i = 0; i < threads; ++i) bands_.push_back({target.height * i / threads, target.height * (i + 1) / threads});
    try {
        for (int i = 0; i < threads; ++i) threads_.emplace_back(&Workers::run, this, bands_[size_t(i)]);
    } catch (const std::system_error&) {
        // Fewer threads than asked: the bands are shared out again; none at all means
        // finish() draws everything itself.
        std::unique_lock<std::mutex> lock(mutex_);
        quit_ = true;
        lock.unlock();
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
        threads_.clear();
        quit_ = false;
        bands_.assign(1, Band{0, target.height});
    }
}

Workers::~Workers() {
    finish(nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
    for (Chunk* c : chunks_) delete c;
}

bool Workers::push(const Command& c) {
    size_t chunk = count_ / kChunk;
    if (chunk >= maxChunks_ || (!chunks_[chunk] && !(chunks_[chunk] = new (std::nothrow) Chunk))) {
        ++dropped_;
        return false;
    }
    chunks_[chunk]->c[count_ % kChunk] = c;
    ++count_;
    if (startsBatch(count_) && !threads_.empty()) publish();
    return true;
}

void Workers::publish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        published_.store(count_, std::memory_order_release);
    }
    wake_.notify_all();
}

void Workers::drawRange(Band band, size_t from, size_t to) const {
    for (size_t i = from; i < to; ++i) {
        const Command& c = chunks_[i / kChunk]->c[i % kChunk];
        switch (c.kind) {
        case Command::kTriangle: drawTriangle(target_, band, c.triangle); break;
        case Command::kRect: drawRect(target_, band, c.rect); break;
        case Command::kFill: fill(target_, band, c.fill); break;
        }
    }
}

void Workers::finish(BandSink* sink) {
    if (threads_.empty()) {
        drawRange(bands_[0], 0, count_);
        if (sink) sink->bandDone(bands_[0]);
        count_ = 0;
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    published_.store(count_, std::memory_order_release);
    finishing_ = true;
    sink_ = sink;
    wake_.notify_all();
    idle_.wait(lock, [this] { return finished_ == int(threads_.size()); });
    // Every worker waits for the next frame now, so the list can start again.
    count_ = 0;
    published_.store(0, std::memory_order_relaxed);
    finishing_ = false;
    finished_ = 0;
    sink_ = nullptr;
    ++frame_;
    lock.unlock();
    wake_.notify_all();
}

void Workers::run(Band band) {
    size_t done = 0;
    unsigned long frame = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (quit_) return;
        if (frame != frame_) {
            frame = frame_;
            done = 0;
        }
        size_t ready = published_.load(std::memory_order_acquire);
        if (done < ready) {
            lock.unlock();
            drawRange(band, done, ready);
            done = ready;
            lock.lock();
            continue;
        }
        if (finishing_ && done == published_.load(std::memory_order_relaxed)) {
            if (sink_) {
                lock.unlock();
                sink_->bandDone(band);
                lock.lock();
            }
            ++finished_;
            idle_.notify_all();
            // Sleep until the next frame begins (or the end).
            wake_.wait(lock, [&] { return quit_ || frame != frame_; });
            continue;
        }
        wake_.wait(lock, [&] {
            return quit_ || frame != frame_ || finishing_ || published_.load(std::memory_order_relaxed) > done;
        });
    }
}

}  // namespace d3d9soft
