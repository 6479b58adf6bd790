// Everything the host keeps for the whole run, in one place.
#ifndef HOST_HOST_STATE_H
#define HOST_HOST_STATE_H

class Engine;
struct lua_State;

struct HostState {
    Engine* engine;      // set at the start of its construction, null once destroyed
    lua_State* script;   // the one interpreter: null until opened, closed once at exit
    int messageHandler;  // registry reference of every script call's message handler
};

extern HostState hostState;

#endif
