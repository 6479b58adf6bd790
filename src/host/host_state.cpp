// The host's one instance of its process-wide state.
#include "host_state.h"

extern "C" {
#include "lauxlib.h"
}

HostState hostState = {nullptr, nullptr, LUA_NOREF, LUA_NOREF, {}, {}};
