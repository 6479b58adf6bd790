// Reading sound files whole, as pictures are read (regular files of bounded size only), and
// opening them as streams for music.
#include "decode.h"

#include <cstring>

#include "image.h"

namespace sound {

namespace {

// WAV decodes as fast as it is read, so music from it is decoded whole and read from memory.
class MemoryStream : public PcmStream {
public:
    explicit MemoryStream(Pcm decoded) : pcm(std::move(decoded)) {
        rate = pcm.rate;
        channels = pcm.channels;
    }
    int read(int16_t* out, int frames) override {
        size_t left = (pcm.samples.size() - at) / size_t(channels);
        size_t n = left < size_t(frames) ? left : size_t(frames);
        std::memcpy(out, pcm.samples.data() + at, n * size_t(channels) * sizeof(int16_t));
        at += n * size_t(channels);
        return int(n);
    }
    void rewind() override { at = 0; }

private:
    Pcm pcm;
    size_t at = 0;
};

}  // namespace

bool loadFile(const char* path, Pcm* out) {
    std::vector<uint8_t> data;
    return image::readFile(path, &data) && decode(data.data(), data.size(), out);
}

std::unique_ptr<PcmStream> openStream(const char* path) {
    std::vector<uint8_t> data;
    if (!image::readFile(path, &data)) return nullptr;
    if (isOggVorbis(data.data(), data.size())) return openVorbisStream(std::move(data));
    Pcm pcm;
    if (!decode(data.data(), data.size(), &pcm) || pcm.samples.empty()) return nullptr;
    return std::make_unique<MemoryStream>(std::move(pcm));
}

}  // namespace sound
