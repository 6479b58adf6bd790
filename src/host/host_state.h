// Everything the host keeps for the whole run, in one place.
#ifndef HOST_HOST_STATE_H
#define HOST_HOST_STATE_H

#include <atomic>
#include <cstddef>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <SDL/SDL_types.h>

class Engine;
struct lua_State;

// The process guard's part. The atomics are shared with the signal handler and the
// watcher thread; lock-free, so the handler may touch them.
struct GuardState {
    std::atomic<int> quitRequested;          // SIGINT or SIGTERM came
    std::atomic<int> displayUp;              // SDL's event queue takes a posted SDL_QUIT
    std::atomic<lua_State*> running;         // the state of the call in progress, or null
    // Counts calls, so the watcher tells one long call from many short ones without the
    // call itself reading a clock; longCall is the count of one it has seen run long.
    std::atomic<unsigned long long> callSerial;
    std::atomic<unsigned long long> longCall;
    bool interrupted;                        // a call was interrupted: the program is quitting
    std::thread watcher;                     // arms the hook of calls that run long
    std::mutex watcherLock;
    std::condition_variable watcherWake;
    bool watcherStop;
};

// The interpreter's allocator's part: growth since it last made sure of the host's headroom.
struct ScriptMemory {
    size_t grown;
    unsigned allocations;
};

struct HostState {
    Engine* engine;      // set at the start of its construction, null once destroyed
    lua_State* script;   // the one interpreter: null until opened, closed once at exit
    int messageHandler;  // registry reference of every script call's message handler
    GuardState guard;    // quit requests and the watch over long script calls
    ScriptMemory memory;
};

extern HostState hostState;

#endif
