// Sounds played through SDL_mixer: files decoded once and shared by path, one music track, and
// silence, without a word, where there is no audio device.
#ifndef SOUND_SOUND_H
#define SOUND_SOUND_H

#include <memory>

namespace sound {
struct Clip;
}

// What scripts hold as a "sound": one file's samples, played on a mixer channel of its own.
class Sound {
public:
    void play();
    void stop();
    void setVolume(float v);  // 0..1; outside that range it is clamped
    bool getLooping() const { return looping; }
    void setLooping(bool on) { looping = on; }

    // The samples to play; none (a file that could not be loaded) plays nothing.
    void setClip(std::shared_ptr<sound::Clip> c) { clip = std::move(c); }

private:
    bool isPlaying() const;

    std::shared_ptr<sound::Clip> clip;
    int channel = -1;
    float volume = 1.f;
    bool looping = false;
};

// Opens SDL's audio and the mixer after the window; false (and silence) without a device.
bool openSound();
// Before SDL shuts down: halts everything and frees every file's samples.
void closeSound();

// A new sound of the file at path, shared with earlier loads of it (ASCII case ignored); a
// file that is not WAV or Ogg Vorbis, or is damaged, writes "Cannot load '<path>'".
Sound* loadSound(const char* path);

// The one background track, looping until stopMusic or another playMusic.
void playMusic(const char* path);
void stopMusic();

#endif
