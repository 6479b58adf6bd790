// The class "image" and "loadImage" as scripts see them.
#ifndef SCRIPT_IMAGE_BINDING_H
#define SCRIPT_IMAGE_BINDING_H

#include <luabind/scope.hpp>

luabind::scope imageClassBinding();
luabind::scope loadImageBinding();

// Makes the name "scale" read as the method while writes still reach the property, and
// gives the class its constructor, which refuses anything but a fresh image.
void completeImageClass(lua_State* L);

#endif
