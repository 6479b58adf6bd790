// Worker threads that draw the recorded commands band by band, each band in recording order.
#include "workers.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace d3d9soft {

namespace {

// Commands are handed to the workers in batches, so waking them costs little per draw.
constexpr size_t kBatch = 256;

// The first commands of a frame (its clear, the first draws) go at once, in smaller batches:
// the workers would idle otherwise while the first full batch is recorded.
bool startsBatch(size_t count) { return count % kBatch == 0 || count == 1 || count == 16 || count == 64; }

// More bands than drawing threads (the workers and the recording thread), so a thread whose
// bands are drawn takes over work from the others; three apiece balanced best (two or four
// were slower).
constexpr int kBandsPerThread = 3;

}  // namespace

Workers::Workers(const Target& target, int threads, size_t maxChunks)
    : target_(target), maxChunks_(maxChunks < kMaxChunks ? maxChunks : kMaxChunks) {
    if (threads < 1) threads = 1;
    int bands = std::min((threads + 1) * kBandsPerThread, std::max(target.height, 1));
    for (int i = 0; i < bands; ++i) bands_.push_back({{target.height * i / bands, target.height * (i + 1) / bands}});
    try {
        // Each thread starts at bands of its own, so it mostly stays in the same rows.
        for (int i = 0; i < threads; ++i) threads_.emplace_back(&Workers::run, this, size_t(i * bands / threads));
    } catch (const std::system_error&) {
        // Fewer threads than asked: none at all, and submit() draws everything itself.
        std::unique_lock<std::mutex> lock(mutex_);
        quit_ = true;
        lock.unlock();
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
        threads_.clear();
        quit_ = false;
        bands_.assign(1, BandState{{0, target.height}});
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

bool Workers::push(const Command& c, Band rows) {
    Slot& slot = slots_[batch_ % 2];
    size_t chunk = count_ / kChunk;
    if (chunk >= maxChunks_ || (!slot.chunks[chunk] && !(slot.chunks[chunk] = new (std::nothrow) Chunk))) {
        ++dropped_;
        return false;
    }
    slot.chunks[chunk]->c[count_ % kChunk] = c;
    auto row = [this](int y) { return uint16_t(std::clamp(y, 0, target_.height)); };
    slot.chunks[chunk]->rows[count_ % kChunk] = {row(rows.y0), row(rows.y1)};
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
    auto inBand = [&](size_t i) {
        const Rows& r = slot.chunks[i / kChunk]->rows[i % kChunk];
        return r.y1 > band.y0 && r.y0 < band.y1;
    };
    auto command = [&](size_t i) -> const Command& { return slot.chunks[i / kChunk]->c[i % kChunk]; };
    // The band's commands lie apart in the list, where the caches' own fetching ahead misses
    // them: each is asked for kAhead of the band's commands before it is drawn.
    constexpr int kAhead = 4;
    size_t ahead = from;
    auto askAhead = [&] {
        while (ahead < to && !inBand(ahead)) ++ahead;
        if (ahead == to) return;
        const char* c = reinterpret_cast<const char*>(&command(ahead++));
        for (size_t at = 0; at < sizeof(Command); at += 64) __builtin_prefetch(c + at);
        __builtin_prefetch(c + sizeof(Command) - 1);
    };
    for (int k = 0; k < kAhead; ++k) askAhead();
    for (size_t i = from; i < to; ++i) {
        if (!inBand(i)) continue;
        askAhead();
        const Command& c = command(i);
        switch (c.kind) {
        case Command::kTriangle: drawTriangle(target_, band, c.triangle); break;
        case Command::kRect: drawRect(target_, band, c.rect); break;
        case Command::kFill: fill(target_, band, c.fill); break;
        }
    }
}

// A band no thread draws that has work in a batch up to lastBatch, looking from band from on.
Workers::BandState* Workers::pick(size_t from, unsigned long lastBatch) {
    for (size_t i = 0; i < bands_.size(); ++i) {
        BandState& band = bands_[(from + i) % bands_.size()];
        if (band.busy || band.batch > lastBatch) continue;
        const Slot& slot = slots_[band.batch % 2];
        if (slot.submitted || band.done < slot.published.load(std::memory_order_relaxed)) return &band;
    }
    return nullptr;
}

// Draws what band has of its batch; at the batch's end, the sink sees the band and the band
// goes on to the next batch.
void Workers::drawBand(std::unique_lock<std::mutex>& lock, BandState& band) {
    band.busy = true;
    for (;;) {
        Slot& slot = slots_[band.batch % 2];
        size_t ready = slot.published.load(std::memory_order_acquire);
        if (band.done < ready) {
            lock.unlock();
            drawRange(slot, band.rows, band.done, ready);
            lock.lock();
            band.done = ready;
            continue;
        }
        if (!slot.submitted) break;
        if (BandSink* sink = slot.sink) {
            lock.unlock();
            sink->bandDone(band.rows);
            lock.lock();
        }
        // The next batch's slot was made ready when this one was submitted.
        ++band.batch;
        band.done = 0;
        if (++slot.finished == int(bands_.size())) idle_.notify_all();
        break;
    }
    band.busy = false;
    // Left with work of the next batch (by the recording thread, say), it is a worker's.
    const Slot& next = slots_[band.batch % 2];
    if (next.submitted || band.done < next.published.load(std::memory_order_relaxed)) wake_.notify_one();
}

// The recording thread draws bands of batch (and those before) until slot, batch's, is drawn.
void Workers::help(std::unique_lock<std::mutex>& lock, const Slot& slot, unsigned long batch) {
    while (!drawn(slot)) {
        if (BandState* band = pick(0, batch))
            drawBand(lock, *band);
        else
            idle_.wait(lock);
    }
}

void Workers::submit(BandSink* sink) {
    if (threads_.empty()) {
        drawRange(slots_[0], bands_[0].rows, 0, count_);
        if (sink) sink->bandDone(bands_[0].rows);
        count_ = 0;
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    Slot &before = slots_[(batch_ + 1) % 2], &slot = slots_[batch_ % 2];
    if (before.submitted) help(lock, before, batch_ - 1);
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
    if (last.submitted) help(lock, last, batch_ - 1);
}

void Workers::finish(BandSink* sink) {
    submit(sink);
    wait();
}

void Workers::run(size_t home) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        if (BandState* band = pick(home, ~0ul))
            drawBand(lock, *band);
        else
            wake_.wait(lock);
    }
}

}  // namespace d3d9soft
