// Opens the interpreter with its libraries and the host's globals, runs ./game.lua, reports errors.
#include "script_host.h"

#include <cstdio>
#include <string>

extern "C" {
#include "lauxlib.h"
#include "lualib.h"
}
#include <luabind/luabind.hpp>
#include <luabind/make_function.hpp>

#include "bindings.h"

lua_State* scriptState = nullptr;

namespace {

// The message handler of every call into the script, made once: a new closure per call
// would cost an allocation each time.
int locateErrorRef = LUA_NOREF;

// One report is one line: multi-line messages (a binding's list of candidates) are joined.
std::string oneLine(const char* message) {
    std::string line;
    for (const char* c = message; *c; ++c) {
        if (*c != '\n') {
            line += *c;
        } else if (c[1]) {
            line += (!line.empty() && line.back() == ':') ? " " : "; ";
        }
    }
    return line;
}

// Message handler: errors raised by a bound function carry no position, since the raiser is
// native code; prefix the position of the nearest script function on the stack.
int locateBindingError(lua_State* L) {
    lua_Debug ar;
    if (!lua_isstring(L, 1) || !lua_getstack(L, 1, &ar))
        return 1;
    lua_getinfo(L, "f", &ar);
    bool raisedByBinding = luabind::detail::is_luabind_function(L, -1);
    lua_pop(L, 1);
    for (int level = 2; raisedByBinding && lua_getstack(L, level, &ar); ++level) {
        lua_getinfo(L, "Sl", &ar);
        if (ar.currentline > 0) {
            lua_pushfstring(L, "%s:%d: ", ar.short_src, ar.currentline);
            lua_pushvalue(L, 1);
            lua_concat(L, 2);
            break;
        }
    }
    return 1;
}

}  // namespace

int callScript(int nargs) {
    lua_State* L = scriptState;
    int base = lua_gettop(L) - nargs;
    lua_rawgeti(L, LUA_REGISTRYINDEX, locateErrorRef);
    lua_insert(L, base);
    int status = lua_pcall(L, nargs, 0, base);
    lua_remove(L, base);
    return status;
}

void reportScriptError(int status) {
    if (status == 0)
        return;
    const char* format = nullptr;
    switch (status) {
    case LUA_ERRRUN: format = "LUA runtime error: %s\n"; break;
    case LUA_ERRSYNTAX: format = "LUA syntax error: %s\n"; break;
    case LUA_ERRMEM: format = "LUA memory error: %s\n"; break;
    default: break;  // an unreadable file or a failing handler: nothing to say
    }
    if (format) {
        const char* message = lua_tostring(scriptState, -1);
        std::printf(format, message ? oneLine(message).c_str() : "(error object is not a string)");
    }
    lua_settop(scriptState, -2);
}

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
                  "package.loadlib, package.cpath, loadlib = nil, '', nil\n"
                  "_LOADED = package.loaded\n");
}

void setGlobalFunction(lua_State* L, const char* name, lua_CFunction f) {
    lua_pushstring(L, name);
    lua_pushcclosure(L, f, 0);
    lua_settable(L, LUA_GLOBALSINDEX);
}

}  // namespace

void setupScript() {
    lua_State* L = lua_open();
    scriptState = L;
    lua_pushcfunction(L, locateBindingError);
    locateErrorRef = luaL_ref(L, LUA_REGISTRYINDEX);
    luabind::open(L);

    openLibrary(L, luaopen_base, "");
    openLibrary(L, luaopen_string, LUA_STRLIBNAME);
    openLibrary(L, luaopen_math, LUA_MATHLIBNAME);
    openLibrary(L, luaopen_table, LUA_TABLIBNAME);
    openLibrary(L, luaopen_io, LUA_IOLIBNAME);
    openLibrary(L, luaopen_os, LUA_OSLIBNAME);
    openLibrary(L, luaopen_debug, LUA_DBLIBNAME);
    openRequire(L);

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
