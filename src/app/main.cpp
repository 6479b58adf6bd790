// Program entry: puts the host together, runs the game and takes it apart in order.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "engine.h"
#include "process_guard.h"
#include "script_host.h"
#include "setup_script.h"
#include "sound.h"

namespace {

void guardFromTheStart(int, char**, char**) {
    guardProcess();
}

}  // namespace

// Runs once the libraries are mapped and before any of their constructors, the earliest
// point a program can take its signals: a quit at any moment after that ends it cleanly.
__attribute__((section(".preinit_array"), used)) void (*const guardAtLoad)(int, char**, char**) = guardFromTheStart;

int main(int, char**) {
    // Every line must reach a pipe or a file at once, not when the buffer fills.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    Engine* engine = nullptr;
    try {
        engine = new Engine;
        guardDisplay();
        openSound();
        setupScript();
        engine->run();
    } catch (const char* text) {
        std::printf("ERROR %s\n", text);
    } catch (char* text) {
        std::printf("ERROR %s\n", text);
    }
    unguardDisplay();
    // Images die with the interpreter, while the device they were drawn on still exists.
    closeScriptState();
    closeSound();
    delete engine;
    return 0;
}
