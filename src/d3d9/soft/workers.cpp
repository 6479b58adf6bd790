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
    for (Slot& slot : slots_)
        for (Chunk* c : slot.chunks) delete c;
}

bool Workers::push(const Command& c) {
    Slot& slot = slots_[batch_ % 2];
    size_t chunk = count_ / kChunk;
    if (chunk >= maxChunks_ || (!slot.chunks[chunk] && !(slot.chunks[chunk] = new (std::nothrow) Chunk))) {
        ++dropped_;
        return false;
    }
    slot.chunks[chunk]->c[count_ % kChunk] = c;
    ++count_;
    if (startsBatch(count_)) publish();
    return true;
}

void Workers::publish() {
    if (threads_.empty()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[batch_ % 2].published.store(count_, std::memory_order_release);
    }
    wake_.notify_all();
}

void Workers::drawRange(const Slot& slot, Band band, size_t from, size_t to) const {
    for (size_t i = from; i < to; ++i) {
        const Command& c = slot.chunks[i / kChunk]->c[i % kChunk];
        switch (c.kind) {
        case Command::kTriangle: drawTriangle(target_, band, c.triangle); break;
        case Command::kRect: drawRect(target_, band, c.rect); break;
        case Command::kFill: fill(target_, band, c.fill); break;
        }
    }
}

void Workers::submit(BandSink* sink) {
    if (threads_.empty()) {
        drawRange(slots_[0], bands_[0], 0, count_);
        if (sink) sink->bandDone(bands_[0]);
        count_ = 0;
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    Slot &before = slots_[(batch_ + 1) % 2], &slot = slots_[batch_ % 2];
    idle_.wait(lock, [&] { return !before.submitted || drawn(before); });
    // Every band has left the batch before, so its slot can take the next one.
    before.published.store(0, std::memory_order_relaxed);
    before.submitted = false;
    before.finished = 0;
    before.sink = nullptr;
    slot.published.store(count_, std::memory_order_release);
    slot.submitted = true;
    slot.sink = sink;
    ++batch_;
    count_ = 0;
    lock.unlock();
    wake_.notify_all();
}

void Workers::wait() {
    if (threads_.empty()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    const Slot& last = slots_[(batch_ + 1) % 2];
    idle_.wait(lock, [&] { return !last.submitted || drawn(last); });
}

void Workers::finish(BandSink* sink) {
    submit(sink);
    wait();
}

void Workers::run(Band band) {
    size_t done = 0;
    unsigned long batch = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (quit_) return;
        Slot& slot = slots_[batch % 2];
        size_t ready = slot.published.load(std::memory_order_acquire);
        if (done < ready) {
            lock.unlock();
            drawRange(slot, band, done, ready);
            done = ready;
            lock.lock();
            continue;
        }
        if (slot.submitted && done == slot.published.load(std::memory_order_relaxed)) {
            if (BandSink* sink = slot.sink) {
                lock.unlock();
                sink->bandDone(band);
                lock.lock();
            }
            if (++slot.finished == int(threads_.size())) idle_.notify_all();
            // The next batch's slot was made ready when this one was submitted.
            ++batch;
            done = 0;
            continue;
        }
        wake_.wait(lock, [&] { return quit_ || slot.submitted || slot.published.load(std::memory_order_relaxed) > done; });
    }
}

}  // namespace d3d9soft
