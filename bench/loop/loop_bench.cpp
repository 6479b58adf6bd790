// Main-loop passes per second of a real Engine (window and device) with no output handler and with one that draws nothing.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine.h"

namespace {

// SDL's clock and events as the program reads them, plus a pass count and a timed quit.
class TimedSdlSource : public LoopSource {
public:
    explicit TimedSdlSource(Uint32 milliseconds) : end(SDL_GetTicks() + milliseconds) {}

    Uint32 ticks() override { return SDL_GetTicks(); }

    // The loop polls until nothing is left, so each 0 returned ends one pass's polling.
    int pollEvent(SDL_Event* event) override {
        if (SDL_PollEvent(event))
            return 1;
        ++zeroPolls;
        if (!quitPosted && static_cast<Sint32>(SDL_GetTicks() - end) >= 0) {
            SDL_Event quit = {};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
            quitPosted = true;
        }
        return 0;
    }

    // The pass that reads the quit renders nothing but still ends with a 0.
    long passes() const { return zeroPolls - 1; }

private:
    Uint32 end;
    bool quitPosted = false;
    long zeroPolls = 0;
};

class NoOutput : public ID3DOutput {
public:
    void drawFrame(IDirect3DDevice9*) override {}
};

// One run of the real loop in a fresh Engine; passes per second of wall time.
double passesPerSecond(bool withOutput, Uint32 milliseconds) {
    Engine engine;
    if (withOutput)
        engine.attachOutput(new NoOutput);  // the Engine deletes its handlers
    TimedSdlSource source(milliseconds);
    auto start = std::chrono::steady_clock::now();
    engine.run(source);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return source.passes() / elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    Uint32 milliseconds = static_cast<Uint32>(seconds * 1000);

    // Cases alternate so that a busy moment on the machine hits both alike; best run counts.
    double best[2] = {0, 0};
    try {
        for (int r = 0; r < repeats; ++r) {
            for (int withOutput = 0; withOutput < 2; ++withOutput) {
                double rate = passesPerSecond(withOutput, milliseconds);
                std::printf("loop run %s %.0f\n", withOutput ? "noop-output" : "no-output", rate);
                if (rate > best[withOutput])
                    best[withOutput] = rate;
            }
        }
    } catch (const char* text) {
        std::printf("ERROR %s\n", text);
        return 1;
    }
    std::printf("loop best no-output %.0f passes/s (%.3f us/pass)\n", best[0], 1e6 / best[0]);
    std::printf("loop best noop-output %.0f passes/s (%.3f us/pass)\n", best[1], 1e6 / best[1]);
    return 0;
}
