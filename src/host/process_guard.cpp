// Closed standard descriptors, quit signals, X errors, a lost window, script calls that never return.
#include "process_guard.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <SDL/SDL.h>
#include <SDL/SDL_syswm.h>
#include <X11/Xlib.h>

#include "host_state.h"

namespace {

// The watch looks this often. A call seen at two looks has run long: it is made to look for
// a window close, since the loop that would see one waits for it.
const long WATCH_MS = 100;
// A quit lets the call in progress finish for this long, then interrupts it...
const long long GRACE_MS = 1000;
// ...and what still does not return (hooks are off in finalizers) is left behind this long after.
const long long LAST_CHANCE_MS = 3000;

// Signal-safe.
long long nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

int watchSignal() {
    return SIGRTMIN;
}

// The watch runs at once on the main thread, the one that may touch the interpreter.
void lookNow() {
    syscall(SYS_tgkill, getpid(), hostState.guard.mainThread, watchSignal());
}

// Signal-safe: counts a request and marks the first one's time, which is in place before the
// count that the watch reads.
void countRequest() {
    GuardState& g = hostState.guard;
    long long none = 0;
    g.firstRequestMs.compare_exchange_strong(none, nowMs());
    g.requests.fetch_add(1);
}

// A request the loop has not seen: it is shown one SDL_QUIT for it.
void noteRequest() {
    countRequest();
    hostState.guard.quitPending = 1;
}

void reopenClosedDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        // open takes the lowest free descriptor: fd itself, since those below are open now.
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
}

// Moves the window closes that wait in the X queue into SDL's and takes them out as requests,
// so each close counts once; the loop is shown one SDL_QUIT for them.
void takeWindowCloses() {
    SDL_PumpEvents();
    SDL_Event event;
    int taken = 0;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_QUITMASK) > 0) {
        noteRequest();
        ++taken;
    }
    if (taken)
        lookNow();
}

// Armed by the watch on a call that runs long: looks once, then the call runs on without a hook.
void lookHook(lua_State* L, lua_Debug*) {
    lua_sethook(L, nullptr, 0, 0);
    if (hostState.guard.displayUp)
        takeWindowCloses();
}

// Armed while forcing: every instruction raises again, so a script's own pcall cannot hold
// the call up. Count events only, so the error is raised in script code and carries the
// line that was running, as other errors do.
void interruptHook(lua_State* L, lua_Debug* ar) {
    lua_getinfo(L, "Sl", ar);
    if (ar->currentline > 0)
        lua_pushfstring(L, "%s:%d: interrupted", ar->short_src, ar->currentline);
    else
        lua_pushstring(L, "interrupted");
    lua_error(L);
}

// Whatever still runs is not coming back: the lines written so far go out, then the process.
// The output lock is only tried, since the stuck code may hold it.
[[noreturn]] void endNow() {
    if (ftrylockfile(stdout) == 0) {
        fflush_unlocked(stdout);
        funlockfile(stdout);
    }
    _exit(0);
}

// Signal handler on the main thread, from its timer and from lookNow. Only this thread runs
// script code, so arming the interpreter's hook here races with nothing: the interpreter
// allows lua_sethook from a signal handler.
void watch(int) {
    int savedErrno = errno;
    GuardState& g = hostState.guard;
    long long now = nowMs();
    lua_State* L = g.running;
    unsigned long long serial = g.callSerial.load(std::memory_order_relaxed);
    bool ranLong = L && serial == g.seenSerial;
    g.seenSerial = serial;
    int requests = g.requests;
    if (!g.forcing && requests > 0 && (requests > 1 || now - g.firstRequestMs >= GRACE_MS)) {
        g.forcingSinceMs = now;
        g.forcing = 1;
    }
    if (g.forcing) {
        if (now - g.forcingSinceMs >= LAST_CHANCE_MS)
            endNow();
        if (L)
            lua_sethook(L, interruptHook, LUA_MASKCOUNT, 1);
    } else if (ranLong && g.displayUp && !lua_gethook(L)) {
        // A hook the script set for itself stays.
        lua_sethook(L, lookHook, LUA_MASKCOUNT, 1);
    }
    errno = savedErrno;
}

// Any thread may take a quit signal: flags only, then the main thread's watch acts.
void requestQuit(int) {
    int savedErrno = errno;
    noteRequest();
    lookNow();
    errno = savedErrno;
}

void handle(int number, void (*handler)(int), int flags) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(number, &action, nullptr);
}

// A signal that the parent set to be ignored (a background job's SIGINT) stays ignored.
void catchQuitSignal(int number) {
    struct sigaction previous;
    sigaction(number, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN)
        handle(number, requestQuit, 0);  // no SA_RESTART: a script blocked in a read gets its turn to stop
}

// The watch's timer signals the main thread alone; restarting calls keeps it unseen by scripts.
void startWatch() {
    GuardState& g = hostState.guard;
    g.mainThread = static_cast<pid_t>(syscall(SYS_gettid));
    handle(watchSignal(), watch, SA_RESTART);
    struct sigevent event = {};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = watchSignal();
    event._sigev_un._tid = g.mainThread;  // sigev_notify_thread_id, which this libc does not name
    timer_t timer;
    if (timer_create(CLOCK_MONOTONIC, &event, &timer) != 0)
        return;
    struct itimerspec every = {};
    every.it_interval.tv_nsec = every.it_value.tv_nsec = WATCH_MS * 1000000L;
    timer_settime(timer, 0, &every, nullptr);
}

bool isOurWindow(XID id) {
    for (unsigned long w : hostState.guard.windows)
        if (w && w == id)
            return true;
    return false;
}

// One line per X error; the program goes on. Errors about our own window mean another client
// destroyed it: that is a quit, told once, and what it keeps causing is not told again.
int reportXError(Display* display, XErrorEvent* error) {
    GuardState& g = hostState.guard;
    if (g.windowLost)
        return 0;
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::printf("X error: %s, request %d\n", text, error->request_code);
    if ((error->error_code == BadWindow || error->error_code == BadDrawable) && isOurWindow(error->resourceid)) {
        g.windowLost = true;
        noteRequest();
    }
    return 0;
}

// Without its connection there is no window to go on with; Xlib would exit with status 1.
int reportXConnectionLost(Display*) {
    std::printf("X connection lost\n");
    std::fflush(stdout);
    _exit(0);
}

void recordWindows() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1)
        return;
    hostState.guard.windows[0] = info.info.x11.window;
    hostState.guard.windows[1] = info.info.x11.wmwindow;
    hostState.guard.windows[2] = info.info.x11.fswindow;
}

}  // namespace

void guardProcess() {
    reopenClosedDescriptors();
    // Without a reader the lines are lost, not the game.
    std::signal(SIGPIPE, SIG_IGN);
    startWatch();
    catchQuitSignal(SIGINT);
    catchQuitSignal(SIGTERM);
    // The launcher held them while the libraries loaded; one that came meanwhile arrives now.
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &quitSignals, nullptr);
}

void guardDisplay() {
    XSetErrorHandler(reportXError);
    XSetIOErrorHandler(reportXConnectionLost);
    recordWindows();
    hostState.guard.displayUp = 1;
}

void unguardDisplay() {
    hostState.guard.displayUp = 0;
}

bool takeQuitRequest() {
    return hostState.guard.quitPending.exchange(0) != 0;
}

void noteWindowClose() {
    countRequest();
    lookNow();
}

int guardedScriptCall(lua_State* L, int nargs, int errfunc) {
    GuardState& g = hostState.guard;
    if (g.forcing) {
        lua_pop(L, nargs + 1);
        return 0;
    }
    // Only this thread writes these; the watch reads them from a handler on this thread.
    g.callSerial.store(g.callSerial.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    g.running = L;
    int status = lua_pcall(L, nargs, 0, errfunc);
    g.running = nullptr;
    lua_Hook hook = lua_gethook(L);
    if (hook == lookHook || hook == interruptHook)
        lua_sethook(L, nullptr, 0, 0);
    return status;
}
