// Binds Sound as class "sound" (methods and the property "looping"), "loadSound", whose result
// the interpreter owns, and the music functions.
#include "sound_binding.h"

#include <luabind/adopt_policy.hpp>
#include <luabind/luabind.hpp>

#include "sound.h"

luabind::scope soundBinding() {
    using luabind::def;
    return luabind::class_<Sound>("sound")
               .def("play", &Sound::play)
               .def("stop", &Sound::stop)
               .def("setVolume", &Sound::setVolume)
               .property("looping", &Sound::getLooping, &Sound::setLooping),
           def("loadSound", &loadSound, luabind::adopt(luabind::result)),
           def("playMusic", &playMusic),
           def("stopMusic", &stopMusic);
}
