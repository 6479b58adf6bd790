// Keeps process-level faults from hanging or ending the program: closed standard descriptors,
// a vanished reader, quit signals, X errors, a lost window, scripts that never return.
#ifndef HOST_PROCESS_GUARD_H
#define HOST_PROCESS_GUARD_H

extern "C" {
#include "lua.h"
}

// Before anything else, on the main thread: closed descriptors 0-2 lead to /dev/null, a
// closed output pipe costs its lines only, SIGINT and SIGTERM request a quit, and the watch
// over script calls starts.
void guardProcess();

// Once SDL's window and device exist: X errors become report lines, and the window's loss is
// a quit request; long calls look for window closes.
void guardDisplay();
// Before SDL shuts down: the event queue is no longer pumped.
void unguardDisplay();

// For the main loop's event source: true once for each batch of requests (signals, a lost
// window, closes taken out of SDL's queue) that it has not been shown as SDL_QUIT.
bool takeQuitRequest();
// The main loop met SDL's own SDL_QUIT: a window close.
void noteWindowClose();

// lua_pcall without results. A quit request leaves it running for a grace period; after
// that, or at a second request, it is interrupted with the error "interrupted" and later
// calls are skipped (the function and its arguments popped, status 0). If the program has
// not ended a while later still (a finalizer, a C call that never returns), it ends itself
// with status 0.
int guardedScriptCall(lua_State* L, int nargs, int errfunc);

#endif
