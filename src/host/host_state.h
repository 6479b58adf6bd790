// Everything the host keeps for the whole run, in one place.
#ifndef HOST_HOST_STATE_H
#define HOST_HOST_STATE_H

#include <atomic>
#include <cstddef>

#include <sys/types.h>

class Engine;
struct lua_State;

// The process guard's part. Quit signals may land on any thread and the watch runs in a
// signal handler on the main thread, so what they share is lock-free atomics; nothing here
// has a destructor, so an exit from anywhere leaves no thread or lock behind.
struct GuardState {
    std::atomic<int> requests;               // quit requests: signals, window closes, a lost window
    std::atomic<int> quitPending;            // a request the main loop has not been shown yet
    std::atomic<long long> firstRequestMs;   // when the first request came (monotonic clock)
    std::atomic<int> forcing;                // quitting by force: calls are interrupted or skipped
    std::atomic<long long> forcingSinceMs;
    std::atomic<int> displayUp;              // SDL's event queue can be pumped
    std::atomic<lua_State*> running;         // the state of the call in progress, or null
    // Counts calls, so the watch tells one long call from many short ones without the call
    // itself reading a clock; seenSerial is the call the watch saw at its previous look.
    std::atomic<unsigned long long> callSerial;
    unsigned long long seenSerial;
    pid_t mainThread;                        // where the watch signal is delivered
    unsigned long windows[3];                // the window's X ids, to tell its loss from other errors
    bool windowLost;
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
    int protectedRun;    // registry reference of the function behind runProtected
    GuardState guard;    // quit requests and the watch over long script calls
    ScriptMemory memory;
};

extern HostState hostState;

#endif
