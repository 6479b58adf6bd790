// Keeps process-level faults from hanging or ending the program: closed standard descriptors,
// quit signals, X errors, scripts that never return.
#ifndef HOST_PROCESS_GUARD_H
#define HOST_PROCESS_GUARD_H

extern "C" {
#include "lua.h"
}

// First thing in main, before SDL or X open anything: closed descriptors 0-2 lead to
// /dev/null, and SIGINT and SIGTERM request a quit.
void guardProcess();

// Once SDL's window and device exist: X errors become report lines, and quit requests,
// including one that came earlier, post SDL_QUIT.
void guardDisplay();
// Before SDL shuts down: quit requests stop posting events.
void unguardDisplay();

// lua_pcall without results that a quit request interrupts with the error "interrupted";
// once the program is quitting it calls nothing, pops the function and its arguments and
// returns 0.
int guardedScriptCall(lua_State* L, int nargs, int errfunc);

#endif
