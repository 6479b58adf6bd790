// Everything the sound room keeps for the whole run, in one place; nothing with a destructor,
// so an exit from anywhere frees nothing the mixer thread may still be reading.
#ifndef SOUND_SOUND_STATE_H
#define SOUND_SOUND_STATE_H

#include <map>
#include <memory>
#include <string>

namespace sound {

struct Clip;
struct Music;

struct SoundState {
    bool open;  // the mixer plays; otherwise every call does nothing
    // Decoded files by lower-cased path, kept until closeSound; made at the first load.
    std::map<std::string, std::shared_ptr<Clip>>* cache;
    // The track the mixer thread reads; swapped only under SDL's audio lock.
    Music* music;
};

extern SoundState soundState;

}  // namespace sound

#endif
