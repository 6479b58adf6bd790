// The interpreter state's services: opening it, protected calls into the script, error reports.
#include "script_host.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <sys/mman.h>

extern "C" {
#include "lauxlib.h"
}
#include <luabind/make_function.hpp>

#include "host_state.h"
#include "process_guard.h"

namespace {

// One report is one line: multi-line messages (a binding's list of candidates) are joined.
// Written as it is read, without allocating, so that reporting a lack of memory cannot fail.
void writeOneLine(const char* message) {
    for (const char* c = message; *c; ++c) {
        if (*c != '\n')
            std::putchar(*c);
        else if (c[1])
            std::fputs((c > message && c[-1] == ':') ? " " : "; ", stdout);
    }
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

// A script that exhausts memory must get its error while the host can still allocate: the
// binding allocates behind the interpreter's back and cannot take a failure. So growth is
// refused unless the block and this much besides could still be had; that is tried every so
// much growth (or so many allocations), which costs two system calls.
constexpr size_t kHeadroom = size_t(16) << 20;
constexpr size_t kProbeGrowth = size_t(1) << 20;
constexpr unsigned kProbeAllocations = 4096;

bool headroomBeyond(size_t size) {
    if (size > SIZE_MAX - kHeadroom)
        return false;
    size += kHeadroom;
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        return false;
    munmap(p, size);
    return true;
}

void* scriptAlloc(void*, void* block, size_t oldSize, size_t newSize) {
    if (newSize == 0) {
        std::free(block);
        return nullptr;
    }
    ScriptMemory& m = hostState.memory;
    if (newSize > oldSize) {
        m.grown += newSize - oldSize;
        // Once short, every growth tries again until the room is back.
        if (++m.allocations >= kProbeAllocations || m.grown >= kProbeGrowth) {
            if (!headroomBeyond(newSize))
                return nullptr;
            m.grown = 0;
            m.allocations = 0;
        }
    }
    return std::realloc(block, newSize);
}

// One report line on L's stack top, which it pops; a number is written without converting it
// in place, since that would allocate.
void report(lua_State* L, int status) {
    const char* prefix = nullptr;
    switch (status) {
    case LUA_ERRRUN: prefix = "LUA runtime error: "; break;
    case LUA_ERRSYNTAX: prefix = "LUA syntax error: "; break;
    case LUA_ERRMEM: prefix = "LUA memory error: "; break;
    default: break;  // an unreadable file or a failing handler: nothing to say
    }
    if (prefix) {
        std::fputs(prefix, stdout);
        if (lua_type(L, -1) == LUA_TNUMBER)
            std::printf(LUA_NUMBER_FMT, lua_tonumber(L, -1));
        else if (lua_type(L, -1) == LUA_TSTRING)
            writeOneLine(lua_tostring(L, -1));
        else
            std::fputs("(error object is not a string)", stdout);
        std::putchar('\n');
    }
    lua_settop(L, -2);
}

// An error outside every protected call: the host's own calls run protected, so this is a
// fault of start-up. One report, then the program ends as a quit would, with status 0.
int panic(lua_State* L) {
    int status = lua_status(L);
    report(L, status == LUA_ERRMEM || status == LUA_ERRSYNTAX ? status : LUA_ERRRUN);
    std::fflush(stdout);
    std::exit(0);
}

// Behind runProtected: the light userdata below is the ProtectedRun, replaced by its ud.
struct ProtectedRun {
    lua_CFunction f;
    void* ud;
};

int startProtectedRun(lua_State* L) {
    ProtectedRun* run = static_cast<ProtectedRun*>(lua_touserdata(L, 1));
    lua_pushlightuserdata(L, run->ud);
    lua_replace(L, 1);
    return run->f(L);
}

}  // namespace

lua_State* openScriptState() {
    lua_State* L = lua_newstate(scriptAlloc, nullptr);
    lua_atpanic(L, panic);
    hostState.script = L;
    // Made once: a new closure per call would cost an allocation each time, and an
    // allocation outside a protected call cannot fail safely.
    lua_pushcfunction(L, locateBindingError);
    hostState.messageHandler = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_pushcfunction(L, startProtectedRun);
    hostState.protectedRun = luaL_ref(L, LUA_REGISTRYINDEX);
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
    int status = guardedScriptCall(L, nargs, base);
    lua_remove(L, base);
    return status;
}

int runProtected(lua_CFunction f, void* ud) {
    ProtectedRun run = {f, ud};
    lua_State* L = hostState.script;
    lua_rawgeti(L, LUA_REGISTRYINDEX, hostState.protectedRun);
    lua_pushlightuserdata(L, &run);
    return callScript(1);
}

void reportScriptError(int status) {
    if (status != 0)
        report(hostState.script, status);
}
