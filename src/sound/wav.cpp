// RIFF WAVE with plain PCM samples of 8 or 16 bits, read chunk by chunk with every size checked.
#include "decode.h"

#include <cstring>

namespace sound {

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

const uint16_t kFormatPcm = 1;

}  // namespace

bool decodeWav(const uint8_t* data, size_t size, Pcm* out) {
    int bits = 0, blockAlign = 0;
    for (size_t at = 12; at + 8 <= size;) {
        uint32_t length = le32(data + at + 4);
        const uint8_t* body = data + at + 8;
        if (length > size - at - 8) return false;  // cut short
        if (std::memcmp(data + at, "fmt ", 4) == 0) {
            if (length < 16 || le16(body) != kFormatPcm) return false;
            out->channels = le16(body + 2);
            out->rate = int(le32(body + 4));
            blockAlign = le16(body + 12);
            bits = le16(body + 14);
            if (out->channels < 1 || out->channels > 2 || out->rate < 1000 || out->rate > 192000 ||
                (bits != 8 && bits != 16) || blockAlign != out->channels * bits / 8)
                return false;
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            if (!bits) return false;  // samples before their format
            size_t frames = length / size_t(blockAlign);
            if (frames * size_t(out->channels) * sizeof(int16_t) > kMaxPcmBytes) return false;
            out->samples.resize(frames * size_t(out->channels));
            for (size_t i = 0; i < out->samples.size(); ++i)
                out->samples[i] = bits == 8 ? int16_t((body[i] - 128) * 256) : int16_t(le16(body + 2 * i));
            return true;
        }
        at += 8 + size_t(length) + (length & 1);  // chunks are padded to even lengths
    }
    return false;
}

}  // namespace sound
