// The interpreter state's services: opening it, protected calls into the script, error reports.
#include "script_host.h"

#include <cstdio>
#include <string>

extern "C" {
#include "lauxlib.h"
}
#include <luabind/make_function.hpp>

#include "host_state.h"

namespace {

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

lua_State* openScriptState() {
    lua_State* L = lua_open();
    hostState.script = L;
    // Made once: a new closure per call would cost an allocation each time.
    lua_pushcfunction(L, locateBindingError);
    hostState.messageHandler = luaL_ref(L, LUA_REGISTRYINDEX);
    return L;
}

void closeScriptState() {
    if (hostState.script)
        lua_close(hostState.script);
}

int callScript(int nargs) {
    lua_State* L = hostState.script;
    int base = lua_gettop(L) - nargs;
    lua_rawgeti(L, LUA_REGISTRYINDEX, hostState.messageHandler);
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
        const char* message = lua_tostring(hostState.script, -1);
        std::printf(format, message ? oneLine(message).c_str() : "(error object is not a string)");
    }
    lua_settop(hostState.script, -2);
}

