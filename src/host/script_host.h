// The one interpreter state of the process and the one-line reports of script failures.
#ifndef HOST_SCRIPT_HOST_H
#define HOST_SCRIPT_HOST_H

extern "C" {
#include "lua.h"
}

// Null until setupScript opens it; closed once at exit.
extern lua_State* scriptState;

// Writes the report line of a failed load or call and pops its error value.
void reportScriptError(int status);

// lua_pcall of the function below nargs arguments, no results; a binding's complaint about
// its arguments gets the script's file and line. Leaves the error value on failure.
int callScript(int nargs);

// Opens the interpreter, installs everything scripts see and runs ./game.lua once.
void setupScript();

#endif
