// Ogg Vorbis through Debian's libvorbisfile, reading from memory; holes and damage refuse the file.
#include "decode.h"

#include <cstring>

#include <vorbis/vorbisfile.h>

namespace sound {

namespace {

struct Memory {
    const uint8_t* data;
    size_t size, at;
};

size_t readMemory(void* into, size_t size, size_t count, void* source) {
    Memory* m = static_cast<Memory*>(source);
    size_t n = size && count ? std::min(size * count, m->size - m->at) / size : 0;
    std::memcpy(into, m->data + m->at, n * size);
    m->at += n * size;
    return n;
}

int seekMemory(void* source, ogg_int64_t offset, int whence) {
    Memory* m = static_cast<Memory*>(source);
    ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? ogg_int64_t(m->at) : ogg_int64_t(m->size);
    if (offset < -base || base + offset > ogg_int64_t(m->size)) return -1;
    m->at = size_t(base + offset);
    return 0;
}

long tellMemory(void* source) { return long(static_cast<Memory*>(source)->at); }

const ov_callbacks kMemoryCallbacks = {readMemory, seekMemory, nullptr, tellMemory};

// Opens file over memory; false (and nothing to clear) unless it is one or two channels.
bool openVorbis(Memory* memory, OggVorbis_File* file) {
    if (ov_open_callbacks(memory, file, nullptr, 0, kMemoryCallbacks) != 0) return false;
    vorbis_info* info = ov_info(file, -1);
    if (info && info->channels >= 1 && info->channels <= 2 && info->rate >= 1000 && info->rate <= 192000) return true;
    ov_clear(file);
    return false;
}

// Music: the compressed file stays in memory and is decoded as the mixer asks for more.
class VorbisStream : public PcmStream {
public:
    explicit VorbisStream(std::vector<uint8_t> bytes) : data(std::move(bytes)), memory{data.data(), data.size(), 0} {}
    ~VorbisStream() override {
        if (opened) ov_clear(&file);
    }
    bool open() {
        opened = openVorbis(&memory, &file);
        if (!opened) return false;
        rate = int(ov_info(&file, -1)->rate);
        channels = ov_info(&file, -1)->channels;
        return true;
    }
    int read(int16_t* out, int frames) override {
        int section = 0;
        long n = ov_read(&file, reinterpret_cast<char*>(out), frames * channels * 2, 0, 2, 1, &section);
        vorbis_info* now = ov_info(&file, -1);
        // A hole or damage, or a chained stream of another kind, ends the music.
        if (n <= 0 || now->channels != channels || now->rate != rate) return 0;
        return int(n / (2 * channels));
    }
    void rewind() override { ov_raw_seek(&file, 0); }

private:
    std::vector<uint8_t> data;
    Memory memory;
    OggVorbis_File file;
    bool opened = false;
};

}  // namespace

std::unique_ptr<PcmStream> openVorbisStream(std::vector<uint8_t> data) {
    auto stream = std::make_unique<VorbisStream>(std::move(data));
    if (!stream->open()) return nullptr;
    return stream;
}

bool decodeVorbis(const uint8_t* data, size_t size, Pcm* out) {
    Memory memory = {data, size, 0};
    OggVorbis_File file;
    bool ok = openVorbis(&memory, &file);
    if (!ok) return false;
    vorbis_info* info = ov_info(&file, -1);
    out->channels = info->channels;
    out->rate = int(info->rate);
    char buffer[8192];
    int section = 0;
    while (ok) {
        long n = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
        if (n == 0) break;
        // A hole or damage, a chained stream of another kind, or more than a sound may hold.
        vorbis_info* now = ov_info(&file, -1);
        ok = n > 0 && now->channels == out->channels && now->rate == out->rate &&
             (out->samples.size() + size_t(n) / 2) * sizeof(int16_t) <= kMaxPcmBytes;
        if (ok) {
            size_t at = out->samples.size();
            out->samples.resize(at + size_t(n) / 2);
            std::memcpy(out->samples.data() + at, buffer, size_t(n) / 2 * 2);
        }
    }
    ov_clear(&file);
    return ok && !out->samples.empty();
}

}  // namespace sound
