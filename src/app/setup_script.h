// Start-up of the script side, run once after the Engine exists and before the main loop.
#ifndef APP_SETUP_SCRIPT_H
#define APP_SETUP_SCRIPT_H

// Opens the interpreter, installs everything scripts see and runs ./game.lua once.
void setupScript();

#endif
