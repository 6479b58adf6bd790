// The Engine: window, device, handlers, tick clock and the main loop.
#ifndef HOST_ENGINE_H
#define HOST_ENGINE_H

#include <vector>

#include <SDL/SDL.h>

#include "display_device.h"
#include "handlers.h"

// Length of one simulation step: 25 steps per second.
const Uint32 TICK_MS = 40;

// Where the main loop reads the clock and the events; SDL in the program, a script in tests.
class LoopSource {
public:
    virtual ~LoopSource() {}
    virtual Uint32 ticks() = 0;
    virtual int pollEvent(SDL_Event* event) = 0;
};

// The display fields and their operations (createDevice, setBrightness) are the renderer's.
class Engine : public DisplayDevice {
public:
    // Opens SDL's video, the 800x600 window and the device; throws const char* on failure.
    Engine();
    // Adopts a device made elsewhere and opens nothing: for driving the loop in tests.
    explicit Engine(IDirect3DDevice9* device);
    ~Engine();

    void attachInput(ISDLInput* handler);
    void attachOutput(ID3DOutput* handler);
    void attachSimulation(ISimulation* handler);

    void resetTicks();
    void run();
    void run(LoopSource& source);

private:
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    void openWindow();
    void setDefaultCaption();
    void handleEvent(SDL_Event& event, bool& running, bool& appActive, LoopSource& source);
    void step(LoopSource& source);
    void renderFrame();
    void releaseDisplay();

    // SDL's clock and event queue, where the program's loop reads them.
    class SdlLoopSource : public LoopSource {
    public:
        Uint32 ticks() override { return SDL_GetTicks(); }
        int pollEvent(SDL_Event* event) override;
    };

    Uint32 nextTick;
    std::vector<ID3DOutput*> outputHandlers;
    std::vector<ISDLInput*> inputHandlers;
    std::vector<ISimulation*> simulationHandlers;
    ISDLInput* input;
    ISimulation* simulation;
    ID3DOutput* output;
    SdlLoopSource sdlSource;
    LoopSource* clock;  // where resetTicks and the loop read the time
};

// The one Engine, or null before construction and after destruction.
Engine* getEngine();

#endif
