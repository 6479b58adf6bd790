// The class "sound", "loadSound" and the music functions as scripts see them.
#ifndef SCRIPT_SOUND_BINDING_H
#define SCRIPT_SOUND_BINDING_H

#include <luabind/scope.hpp>

luabind::scope soundBinding();

#endif
