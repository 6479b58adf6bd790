// Where require finds the Lua library that ships with the program.
#ifndef APP_LIBRARY_PATH_H
#define APP_LIBRARY_PATH_H

extern "C" {
#include "lua.h"
}

// Appends the library folder beside the program to package.path, after every entry it
// already has (LUA_PATH's), so what scripts found before is still found first.
void appendLibraryPath(lua_State* L);

#endif
