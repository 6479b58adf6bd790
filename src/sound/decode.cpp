// Telling WAV from Ogg Vorbis by their first bytes; nothing else is handed to a decoder.
#include "decode.h"

#include <cstring>

namespace sound {

namespace {

bool startsWith(const uint8_t* data, size_t size, size_t at, const char* magic) {
    size_t n = std::strlen(magic);
    return size >= at + n && std::memcmp(data + at, magic, n) == 0;
}

}  // namespace

// The first Ogg page's first packet is a Vorbis identification header.
bool isOggVorbis(const uint8_t* data, size_t size) {
    if (!startsWith(data, size, 0, "OggS") || size < 27) return false;
    return startsWith(data, size, 27 + size_t(data[26]), "\x01vorbis");
}

bool decode(const uint8_t* data, size_t size, Pcm* out) {
    *out = Pcm();
    if (startsWith(data, size, 0, "RIFF") && startsWith(data, size, 8, "WAVE")) return decodeWav(data, size, out);
    if (isOggVorbis(data, size)) return decodeVorbis(data, size, out);
    return false;
}

}  // namespace sound
