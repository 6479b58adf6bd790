// Playback through SDL_mixer: every sound file becomes a chunk in the mixer's own format, played
// on a free channel; the music is decoded as the mixer asks for it, through its music hook.
#include "sound.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

#include "decode.h"
#include "sound_state.h"

namespace sound {

SoundState soundState = {false, nullptr, nullptr};

// The chunk plays the samples in place: it goes first.
struct Clip {
    std::vector<int16_t> samples;
    Mix_Chunk* chunk = nullptr;
    ~Clip() {
        if (chunk) Mix_FreeChunk(chunk);  // halts the channels that play it
    }
};

// A stream converted to the mixer's rate as it plays: linear steps between two source frames.
struct Music {
    std::unique_ptr<PcmStream> stream;
    std::vector<int16_t> buffer;  // frames read from the stream
    size_t used = 0, have = 0;    // frames of buffer taken, and there
    double step = 1, pos = 1;     // source frames per mixer frame; where between prev and next
    int16_t prev[2] = {0, 0}, next[2] = {0, 0};
    bool ended = false;           // nothing more, even from the start: silence
};

}  // namespace sound

namespace {

using sound::Clip;
using sound::Music;
using sound::soundState;

const int kRate = 44100;
const int kChannels = 16;
const size_t kMusicBufferFrames = 4096;

// Any rate, mono or stereo, to the mixer's stereo at kRate, interpolated linearly.
bool toMixerFormat(const sound::Pcm& pcm, std::vector<int16_t>* out) {
    size_t frames = pcm.samples.size() / size_t(pcm.channels);
    double step = double(pcm.rate) / kRate;
    size_t outFrames = size_t(double(frames) / step);
    if (outFrames * 2 * sizeof(int16_t) > 4 * sound::kMaxPcmBytes) return false;
    out->resize(outFrames * 2);
    for (size_t j = 0; j < outFrames; ++j) {
        double at = double(j) * step;
        size_t i = size_t(at);
        size_t next = i + 1 < frames ? i + 1 : i;
        double f = at - double(i);
        for (int c = 0; c < 2; ++c) {
            int from = pcm.channels == 2 ? c : 0;
            double a = pcm.samples[i * size_t(pcm.channels) + size_t(from)];
            double b = pcm.samples[next * size_t(pcm.channels) + size_t(from)];
            (*out)[j * 2 + size_t(c)] = int16_t(std::lrint(a + (b - a) * f));
        }
    }
    return true;
}

std::string cacheKey(const char* path) {
    std::string key(path);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return key;
}

// The clip of a path, decoding it at its first load; null and one report line when it is
// not a sound. Without a device the file is still checked, so the report is the same.
std::shared_ptr<Clip> clipFor(const char* path) {
    if (!path) path = "";
    if (!soundState.cache) soundState.cache = new std::map<std::string, std::shared_ptr<Clip>>;
    std::string key = cacheKey(path);
    auto found = soundState.cache->find(key);
    if (found != soundState.cache->end()) return found->second;
    sound::Pcm pcm;
    auto clip = std::make_shared<Clip>();
    if (!sound::loadFile(path, &pcm) || !toMixerFormat(pcm, &clip->samples)) {
        std::printf("Cannot load '%s'\n", path);
        return nullptr;
    }
    if (soundState.open && !clip->samples.empty())
        clip->chunk = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(clip->samples.data()),
                                        Uint32(clip->samples.size() * sizeof(int16_t)));
    (*soundState.cache)[key] = clip;
    return clip;
}

// The next source frame into m.next; at the end the track starts again.
void advance(Music& m) {
    m.prev[0] = m.next[0];
    m.prev[1] = m.next[1];
    if (m.used == m.have) {
        m.used = 0;
        m.have = size_t(m.stream->read(m.buffer.data(), int(kMusicBufferFrames)));
        if (m.have == 0) {
            m.stream->rewind();
            m.have = size_t(m.stream->read(m.buffer.data(), int(kMusicBufferFrames)));
        }
        if (m.have == 0) {
            m.ended = true;
            return;
        }
    }
    int channels = m.stream->channels;
    const int16_t* frame = m.buffer.data() + m.used * size_t(channels);
    m.next[0] = frame[0];
    m.next[1] = frame[channels - 1];
    ++m.used;
}

// The mixer thread's music hook, called with SDL's audio lock held.
void feedMusic(void*, Uint8* bytes, int length) {
    int16_t* out = reinterpret_cast<int16_t*>(bytes);
    Music* m = soundState.music;
    for (int i = 0; i < length / 4; ++i) {
        while (m && !m->ended && m->pos >= 1) {
            advance(*m);
            m->pos -= 1;
        }
        for (int c = 0; c < 2; ++c)
            out[2 * i + c] = !m || m->ended ? 0 : int16_t(std::lrint(m->prev[c] + (m->next[c] - m->prev[c]) * m->pos));
        if (m) m->pos += m->step;
    }
}

// Puts the music the mixer thread reads in place and frees the one it replaces.
void replaceMusic(Music* music) {
    SDL_LockAudio();
    Music* old = soundState.music;
    soundState.music = music;
    SDL_UnlockAudio();
    delete old;
}

int mixerVolume(float v) {
    return int(std::lrint((v < 0.f || v != v ? 0.f : v > 1.f ? 1.f : v) * MIX_MAX_VOLUME));
}

}  // namespace

bool Sound::isPlaying() const {
    return soundState.open && clip && clip->chunk && channel >= 0 && Mix_Playing(channel) &&
           Mix_GetChunk(channel) == clip->chunk;
}

void Sound::play() {
    if (!soundState.open || !clip || !clip->chunk) return;
    channel = Mix_PlayChannel(-1, clip->chunk, looping ? -1 : 0);
    if (channel >= 0) Mix_Volume(channel, mixerVolume(volume));
}

void Sound::stop() {
    if (isPlaying()) Mix_HaltChannel(channel);
    channel = -1;
}

void Sound::setVolume(float v) {
    volume = v;
    if (isPlaying()) Mix_Volume(channel, mixerVolume(volume));
}

bool openSound() {
    // Drivers that find no device say so on standard error (ALSA does); a game without sound
    // runs silent instead, so that goes nowhere while the device is looked for.
    std::fflush(stderr);
    int saved = dup(2), null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) dup2(null, 2);
    bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(kRate, AUDIO_S16SYS, 2, 1024) == 0;
    if (saved >= 0) {
        dup2(saved, 2);
        close(saved);
    }
    if (null >= 0) close(null);
    if (!ok) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(kChannels);
    Mix_HookMusic(feedMusic, nullptr);
    soundState.open = true;
    return true;
}

void closeSound() {
    if (soundState.open) {
        Mix_HookMusic(nullptr, nullptr);
        Mix_HaltChannel(-1);
    }
    delete soundState.music;
    soundState.music = nullptr;
    delete soundState.cache;  // every chunk freed while the mixer still runs
    soundState.cache = nullptr;
    if (soundState.open) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    soundState.open = false;
}

Sound* loadSound(const char* path) {
    Sound* s = new Sound;
    s->setClip(clipFor(path));
    return s;
}

void playMusic(const char* path) {
    std::unique_ptr<sound::PcmStream> stream = sound::openStream(path ? path : "");
    if (!stream) {
        std::printf("Cannot load '%s'\n", path ? path : "");
        return;
    }
    if (!soundState.open) return;
    Music* music = new Music;
    music->step = double(stream->rate) / kRate;
    music->buffer.resize(kMusicBufferFrames * size_t(stream->channels));
    music->stream = std::move(stream);
    replaceMusic(music);
}

void stopMusic() {
    if (soundState.open) replaceMusic(nullptr);
}
