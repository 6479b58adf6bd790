// Closed standard descriptors, quit signals, X errors and script calls that never return.
#include "process_guard.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <SDL/SDL.h>
#include <X11/Xlib.h>

#include "host_state.h"

namespace {

// How long a script call runs before a quit request interrupts it or it is made to look for
// a window close, and how often it looks again after that. A call that ends sooner ends as
// written: a quit must not report an error in a script that was about to return.
const Uint32 WATCH_MS = 100;

void reopenClosedDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        // open takes the lowest free descriptor: fd itself, since those below are open now.
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
}

void postQuit() {
    SDL_Event event;
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

// Pumps SDL's events, which moves a window close that waits in the X queue into SDL's.
bool windowClosed() {
    SDL_PumpEvents();
    SDL_Event event;
    return SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_QUITMASK) > 0;
}

void quitHook(lua_State* L, lua_Debug* ar) {
    if (!hostState.guard.quitRequested && !hostState.guard.interrupted) {
        // Armed by the watcher: look once, then the call runs on without a hook.
        lua_sethook(L, nullptr, 0, 0);
        if (!windowClosed())
            return;
    }
    hostState.guard.interrupted = true;
    // From now on every instruction raises again, so a script's own pcall cannot hold the
    // call up. Count events only: a call event would strike inside the message handler.
    lua_sethook(L, quitHook, LUA_MASKCOUNT, 1);
    // Raised in script code only, at its next instruction: the error then carries the line
    // that was running, as other errors do.
    lua_getinfo(L, "Sl", ar);
    if (ar->what[0] == 'C')
        return;
    if (ar->currentline > 0)
        lua_pushfstring(L, "%s:%d: interrupted", ar->short_src, ar->currentline);
    else
        lua_pushstring(L, "interrupted");
    lua_error(L);
}

void armQuitHook(lua_State* L) {
    lua_sethook(L, quitHook, LUA_MASKCALL | LUA_MASKRET | LUA_MASKCOUNT, 1);
}

bool ranLong() {
    return hostState.guard.longCall == hostState.guard.callSerial;
}

// A hook costs every instruction, so calls run without one until they have run WATCH_MS:
// the same call seen at two wakes WATCH_MS apart.
void watchScriptCalls() {
    using Clock = std::chrono::steady_clock;
    unsigned long long seen = 0;
    Clock::time_point since = Clock::now();
    std::unique_lock<std::mutex> lock(hostState.guard.watcherLock);
    while (!hostState.guard.watcherStop) {
        hostState.guard.watcherWake.wait_for(lock, std::chrono::milliseconds(WATCH_MS));
        lua_State* L = hostState.guard.running;
        unsigned long long serial = hostState.guard.callSerial;
        Clock::time_point now = Clock::now();
        if (!L || serial != seen) {
            seen = serial;
            since = now;
            continue;
        }
        if (now - since < std::chrono::milliseconds(WATCH_MS))
            continue;
        hostState.guard.longCall = serial;
        // A hook the script set for itself stays, unless a quit signal came.
        lua_Hook hook = lua_gethook(L);
        if (hostState.guard.quitRequested || !hook || hook == quitHook)
            armQuitHook(L);
    }
}

// Runs in the signal's context: flags, the interpreter's hook and SDL's queue only.
void requestQuit(int) {
    int savedErrno = errno;
    hostState.guard.quitRequested = 1;
    lua_State* L = hostState.guard.running;
    if (L && ranLong())
        armQuitHook(L);
    // SDL's own handler would post the same event, but SDL installs it only where it finds
    // the default disposition, and ours is in place first.
    if (hostState.guard.displayUp)
        postQuit();
    errno = savedErrno;
}

// A signal that the parent set to be ignored (a background job's SIGINT) stays ignored.
void catchQuitSignal(int number) {
    struct sigaction action;
    sigaction(number, nullptr, &action);
    if (action.sa_handler == SIG_IGN)
        return;
    action.sa_handler = requestQuit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a script blocked in a read gets its turn to stop
    sigaction(number, &action, nullptr);
}

int reportXError(Display* display, XErrorEvent* error) {
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::printf("X error: %s, request %d\n", text, error->request_code);
    return 0;
}

// Without its connection there is no window to go on with; Xlib would exit with status 1.
int reportXConnectionLost(Display*) {
    std::printf("X connection lost\n");
    std::fflush(stdout);
    _exit(0);
}

}  // namespace

void guardProcess() {
    reopenClosedDescriptors();
    catchQuitSignal(SIGINT);
    catchQuitSignal(SIGTERM);
}

void guardDisplay() {
    XSetErrorHandler(reportXError);
    XSetIOErrorHandler(reportXConnectionLost);
    // The watcher leaves quit signals to the main thread, whose blocking calls they end.
    sigset_t quitSignals, previous;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quitSignals, &previous);
    hostState.guard.watcher = std::thread(watchScriptCalls);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    hostState.guard.displayUp = 1;
    if (hostState.guard.quitRequested)
        postQuit();
}

void unguardDisplay() {
    hostState.guard.displayUp = 0;
    if (!hostState.guard.watcher.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(hostState.guard.watcherLock);
        hostState.guard.watcherStop = true;
    }
    hostState.guard.watcherWake.notify_one();
    hostState.guard.watcher.join();
}

int guardedScriptCall(lua_State* L, int nargs, int errfunc) {
    if (hostState.guard.quitRequested || hostState.guard.interrupted) {
        lua_pop(L, nargs + 1);
        return 0;
    }
    // Only this thread writes these: plain stores, as cheap as the call allows.
    GuardState& guard = hostState.guard;
    guard.callSerial.store(guard.callSerial.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    guard.running.store(L, std::memory_order_release);
    int status = lua_pcall(L, nargs, 0, errfunc);
    guard.running.store(nullptr, std::memory_order_release);
    if (lua_gethook(L) == quitHook)
        lua_sethook(L, nullptr, 0, 0);
    return status;
}
