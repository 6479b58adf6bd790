// Closed standard descriptors, quit signals, X errors and script calls that never return.
#include "process_guard.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include <SDL/SDL.h>
#include <X11/Xlib.h>

namespace {

// Instructions between two looks of a running script call at the quit state.
const int WATCH_COUNT = 10000;
// A call running at least this long looks for a window close, at most once per period.
const Uint32 WATCH_MS = 100;

// The guard's process-wide state; the volatile fields are shared with the signal handler.
struct GuardState {
    volatile sig_atomic_t quitRequested;  // SIGINT or SIGTERM came
    volatile sig_atomic_t displayUp;      // SDL's event queue takes a posted SDL_QUIT
    lua_State* volatile running;          // the state of the call in progress, or null
    bool interrupted;                     // a call was interrupted: the program is quitting
    Uint32 lastLook;                      // when the running call last looked for a close
};

GuardState guard = {0, 0, nullptr, false, 0};

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

// Whether the window was closed while the running call went on; pumps SDL's events at most
// once per WATCH_MS, so a busy but finite call is neither slowed nor interrupted.
bool windowClosed() {
    Uint32 now = SDL_GetTicks();
    if (!guard.displayUp || now - guard.lastLook < WATCH_MS)
        return false;
    guard.lastLook = now;
    SDL_PumpEvents();
    SDL_Event event;
    return SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_QUITMASK) > 0;
}

void quitHook(lua_State* L, lua_Debug* ar) {
    if (!guard.quitRequested && !guard.interrupted && !windowClosed())
        return;
    guard.interrupted = true;
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

// Runs in the signal's context: flags, the interpreter's hook and SDL's queue only.
void requestQuit(int) {
    int savedErrno = errno;
    guard.quitRequested = 1;
    if (lua_State* L = guard.running)
        lua_sethook(L, quitHook, LUA_MASKCALL | LUA_MASKRET | LUA_MASKCOUNT, 1);
    // SDL's own handler would post the same event, but SDL installs it only where it finds
    // the default disposition, and ours is in place first.
    if (guard.displayUp)
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
    guard.displayUp = 1;
    if (guard.quitRequested)
        postQuit();
}

void unguardDisplay() {
    guard.displayUp = 0;
}

int guardedScriptCall(lua_State* L, int nargs, int errfunc) {
    if (guard.quitRequested || guard.interrupted) {
        lua_pop(L, nargs + 1);
        return 0;
    }
    guard.lastLook = SDL_GetTicks();
    guard.running = L;
    // A hook the script set for itself stays; ours then comes only with a quit signal.
    if (!lua_gethook(L))
        lua_sethook(L, quitHook, LUA_MASKCOUNT, WATCH_COUNT);
    int status = lua_pcall(L, nargs, 0, errfunc);
    guard.running = nullptr;
    if (lua_gethook(L) == quitHook)
        lua_sethook(L, nullptr, 0, 0);
    return status;
}
