// Sound files to interleaved 16-bit PCM: recognising WAV or Ogg Vorbis by content, decoding safely.
#ifndef SOUND_DECODE_H
#define SOUND_DECODE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace sound {

// Sounds whose decoded samples would exceed this are refused.
const size_t kMaxPcmBytes = size_t(256) << 20;

struct Pcm {
    int rate = 0;      // frames per second
    int channels = 0;  // 1 or 2
    std::vector<int16_t> samples;  // channels samples per frame, interleaved
};

// PCM WAV (8 or 16 bits) or Ogg Vorbis, one or two channels, held in memory. Anything else,
// or a file that is cut short or damaged, is false; never prints.
bool decode(const uint8_t* data, size_t size, Pcm* out);

// The two formats, each told by its first bytes.
bool decodeWav(const uint8_t* data, size_t size, Pcm* out);
bool decodeVorbis(const uint8_t* data, size_t size, Pcm* out);
bool isOggVorbis(const uint8_t* data, size_t size);

// A regular file read whole (as pictures are), then decode.
bool loadFile(const char* path, Pcm* out);

// Where music comes from a piece at a time: rate and channels as decode gives them.
class PcmStream {
public:
    virtual ~PcmStream() = default;
    int rate = 0, channels = 0;
    // Up to frames interleaved frames into out; 0 at the end (or at damage).
    virtual int read(int16_t* out, int frames) = 0;
    virtual void rewind() = 0;
};

// Ogg Vorbis held in memory as a stream; null unless its headers are sound.
std::unique_ptr<PcmStream> openVorbisStream(std::vector<uint8_t> data);

// A regular file as a stream: Ogg Vorbis decoded as it is read, WAV (quick to decode) whole
// first; null when it is neither, or its start is damaged.
std::unique_ptr<PcmStream> openStream(const char* path);

}  // namespace sound

#endif
