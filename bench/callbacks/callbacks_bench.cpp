// Nanoseconds per empty callback through Sim_Wrapper against a bare lua_pcall, and per imageMove from a script.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "callbacks.h"
#include "engine.h"
#include "global_transform.h"
#include "recording_device.h"
#include "script_host.h"
#include "setup_script.h"

namespace {

const char* GAME =
    "function onTick() end\n"
    "function emptyLoop(n) for i = 1, n do end end\n"
    "function moveLoop(n) for i = 1, n do imageMove(1, 1) end end\n"
    "function localMoveLoop(n) local move = imageMove for i = 1, n do move(1, 1) end end\n"
    "function luaCallLoop(n) local f = onTick for i = 1, n do f() end end\n";

double secondsOf(const std::chrono::steady_clock::time_point& start) {
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

// Runs the script's loop function over n iterations, protected; a failure ends the bench.
void callLoop(lua_State* L, const char* name, long n) {
    lua_getglobal(L, name);
    lua_pushnumber(L, static_cast<lua_Number>(n));
    if (lua_pcall(L, 1, 0, 0) != 0) {
        std::printf("ERROR %s: %s\n", name, lua_tostring(L, -1));
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    long calls = argc > 1 ? std::atol(argv[1]) : 200000;
    int repeats = argc > 2 ? std::atoi(argv[2]) : 40;

    // The real start-up code reads ./game.lua, so it runs in a folder of its own.
    char pattern[] = "/tmp/gamehost-bench-XXXXXX";
    std::string dir = mkdtemp(pattern);
    if (chdir(dir.c_str()) != 0)
        return 1;
    std::ofstream(dir + "/game.lua") << GAME;

    RecordingDevice device;  // imageMove and the callbacks reach no device call
    Engine* engine = new Engine(&device);
    setupScript();
    lua_State* L = hostState.script;
    if (!L)
        return 1;

    // Short rounds, every case in each, best of many: on a shared machine a round that
    // nobody interrupts is likelier when rounds are short, and all cases meet the same load.
    enum { ENGINE, PCALL, EMPTY, MOVE, LOCAL_MOVE, LUA_CALL, CASES };
    const char* loops[CASES] = {nullptr, nullptr, "emptyLoop", "moveLoop", "localMoveLoop", "luaCallLoop"};
    double best[CASES];
    std::fill(best, best + CASES, 1e30);
    Sim_Wrapper sim;
    lua_getglobal(L, "onTick");
    const int function = lua_gettop(L);
    for (int r = 0; r < repeats; ++r) {
        for (int c = 0; c < CASES; ++c) {
            auto start = std::chrono::steady_clock::now();
            if (c == ENGINE) {
                for (long i = 0; i < calls; ++i)
                    sim.tick();
            } else if (c == PCALL) {
                for (long i = 0; i < calls; ++i) {
                    lua_pushvalue(L, function);
                    lua_pcall(L, 0, 0, 0);
                }
            } else {
                callLoop(L, loops[c], calls);
            }
            best[c] = std::min(best[c], secondsOf(start));
        }
    }
    lua_settop(L, 0);

    // The timed calls must have reached the engine: ten moves of (1, 1) from identity.
    imageReset();
    callLoop(L, "moveLoop", 10);
    if (renderState.globalMatrix.m[3][0] != 10 || renderState.globalMatrix.m[3][1] != 10) {
        std::printf("ERROR imageMove did not move the global matrix\n");
        return 1;
    }

    const double ns = 1e9 / calls;
    double pcallNs = best[PCALL] * ns;
    double engineNs = best[ENGINE] * ns;
    double moveNs = (best[MOVE] - best[EMPTY]) * ns;
    double localMoveNs = (best[LOCAL_MOVE] - best[EMPTY]) * ns;
    double luaCallNs = (best[LUA_CALL] - best[EMPTY]) * ns;
    std::printf("callbacks bare-pcall %.1f ns\n", pcallNs);
    std::printf("callbacks engine-callback %.1f ns ratio %.2f\n", engineNs, engineNs / pcallNs);
    std::printf("callbacks imageMove %.1f ns ratio %.2f\n", moveNs, moveNs / pcallNs);
    std::printf("callbacks imageMove-local %.1f ns ratio %.2f\n", localMoveNs, localMoveNs / pcallNs);
    std::printf("callbacks lua-to-lua-call %.1f ns ratio %.2f\n", luaCallNs, luaCallNs / pcallNs);
    std::printf("callbacks empty-loop-iteration %.2f ns\n", best[EMPTY] * ns);

    lua_close(hostState.script);
    hostState.script = nullptr;
    delete engine;
    if (chdir("/") == 0)
        std::system(("rm -rf " + dir).c_str());
    return 0;
}
