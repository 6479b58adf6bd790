// Start-up of the script side: the interpreter with its libraries, the host's globals and
// everything scripts see, then ./game.lua run once. The one place that knows every layer.
#include "setup_script.h"

#include <cstdio>

extern "C" {
#include "lauxlib.h"
#include "lualib.h"
}
#include <luabind/luabind.hpp>

#include "bindings.h"
#include "library_path.h"
#include "script_host.h"

namespace {

// Only the last argument is written, as the game scripts expect.
int scriptPrint(lua_State* L) {
    if (lua_gettop(L) == 0) {
        std::printf("\n");
        return 0;
    }
    switch (lua_type(L, -1)) {
    case LUA_TSTRING:
    case LUA_TNUMBER: std::printf("%s\n", lua_tostring(L, -1)); break;
    case LUA_TNIL: std::printf("nil\n"); break;
    case LUA_TBOOLEAN: std::printf("%s\n", lua_toboolean(L, -1) ? "true" : "false"); break;
    default: std::printf("%s: %p\n", luaL_typename(L, -1), lua_topointer(L, -1)); break;
    }
    return 0;
}

int rungame(lua_State*) {
    return 0;
}

// 5.1's openers must run as Lua functions, with their name as argument.
void openLibrary(lua_State* L, lua_CFunction opener, const char* name) {
    lua_pushcfunction(L, opener);
    lua_pushstring(L, name);
    lua_call(L, 1, 0);
}

// "require" keeps loading Lua files along LUA_PATH; the loaders of native libraries go.
void openRequire(lua_State* L) {
    openLibrary(L, luaopen_package, LUA_LOADLIBNAME);
    luaL_dostring(L,
                  "local loaders = package.loaders\n"
                  "package.loaders = { loaders[1], loaders[2] }\n"
                  "package.loadlib, package.cpath, loadlib = nil, '', nil\n");
}

void setGlobalFunction(lua_State* L, const char* name, lua_CFunction f) {
    lua_pushstring(L, name);
    lua_pushcclosure(L, f, 0);
    lua_settable(L, LUA_GLOBALSINDEX);
}

}  // namespace

void setupScript() {
    lua_State* L = openScriptState();
    luabind::open(L);

    openLibrary(L, luaopen_base, "");
    openLibrary(L, luaopen_string, LUA_STRLIBNAME);
    openLibrary(L, luaopen_math, LUA_MATHLIBNAME);
    openLibrary(L, luaopen_table, LUA_TABLIBNAME);
    openLibrary(L, luaopen_io, LUA_IOLIBNAME);
    openLibrary(L, luaopen_os, LUA_OSLIBNAME);
    openLibrary(L, luaopen_debug, LUA_DBLIBNAME);
    openRequire(L);
    appendLibraryPath(L);

    setGlobalFunction(L, "print", scriptPrint);
    setGlobalFunction(L, "rungame", rungame);

    luabind::module(L)[buildScriptBindings()];
    completeScriptBindings(L);

    int status = luaL_loadfile(L, "./game.lua");
    if (status != 0) {
        reportScriptError(status);
        return;
    }
    reportScriptError(callScript(0));
}
