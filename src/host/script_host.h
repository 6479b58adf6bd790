// The interpreter state's services that start-up and the callbacks share: the state, protected
// calls into the script and the one-line reports of their failures.
#ifndef HOST_SCRIPT_HOST_H
#define HOST_SCRIPT_HOST_H

extern "C" {
#include "lua.h"
}

#include "host_state.h"

// Opens the one interpreter state of the process and its calls' message handler.
lua_State* openScriptState();
// Closes the state if it was opened; every object a script holds is finalised here.
void closeScriptState();

// Writes the report line of a failed load or call and pops its error value.
void reportScriptError(int status);

// lua_pcall of the function below nargs arguments, no results; a binding's complaint about
// its arguments gets the script's file and line. Leaves the error value on failure.
// A quit request interrupts a call that runs on (see process_guard.h).
int callScript(int nargs);

// Runs f(L) protected and guarded like callScript, with the message handler, f finding ud as
// a light userdata at index 1 (as lua_cpcall does). Pushes nothing that could fail outside
// the protection, so the host can call into the interpreter with its memory exhausted.
int runProtected(lua_CFunction f, void* ud);

#endif
