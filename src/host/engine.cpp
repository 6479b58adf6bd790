// The Engine's life cycle, its handler containers and the main loop.
#include "engine.h"

#include <cstring>
#include <string>

#include <unistd.h>

#include "host_state.h"
#include "process_guard.h"
#include "screen.h"
#include "texture_cache.h"

namespace {

// True when now is at or past due. SDL's count wraps after 49.7 days; comparing the
// signed difference keeps a due time just past the wrap from looking 49 days away.
bool isDue(Uint32 now, Uint32 due) {
    return static_cast<Sint32>(now - due) >= 0;
}

template <class Handler>
void deleteFromBack(std::vector<Handler*>& handlers) {
    while (!handlers.empty()) {
        delete handlers.back();
        handlers.pop_back();
    }
}

}  // namespace

Engine* getEngine() {
    return hostState.engine;
}

Engine::Engine()
    : nextTick(0), input(nullptr), simulation(nullptr), output(nullptr), clock(&sdlSource) {
    hostState.engine = this;
    try {
        openWindow();
        createDevice();
    } catch (...) {
        releaseDisplay();
        hostState.engine = nullptr;
        throw;
    }
}

Engine::Engine(IDirect3DDevice9* adopted)
    : DisplayDevice(adopted), nextTick(0), input(nullptr), simulation(nullptr), output(nullptr), clock(&sdlSource) {
    hostState.engine = this;
}

Engine::~Engine() {
    deleteFromBack(outputHandlers);
    deleteFromBack(inputHandlers);
    deleteFromBack(simulationHandlers);
    hostState.engine = nullptr;
    TextureCache::releaseAll();
    releaseDisplay();
}

void Engine::openWindow() {
    // The device draws into an X11 window, so whatever the user chose, x11 it is: the other
    // drivers fail later, and the text-mode ones write escape codes to standard output first.
    setenv("SDL_VIDEODRIVER", "x11", 1);
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        throw static_cast<const char*>(SDL_GetError());
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (!info)
        throw static_cast<const char*>(SDL_GetError());
    // The device layer opens the window with whatever its drawing needs.
    OpenDeviceWindow(WINDOW_WIDTH, WINDOW_HEIGHT, info->vfmt->BitsPerPixel);
    setDefaultCaption();
}

// Window lists and task bars show the game's folder until the script names its window.
void Engine::setDefaultCaption() {
    char folder[4096];
    if (!getcwd(folder, sizeof folder))
        return;
    const char* name = std::strrchr(folder, '/');
    std::string caption = std::string(name && name[1] ? name + 1 : folder) + " - Gamehost";
    setWindowTitle(caption.c_str());
}

// Releases what exists, device first, then shuts SDL down.
void Engine::releaseDisplay() {
    releaseDevice();
    SDL_Quit();
}

void Engine::attachInput(ISDLInput* handler) {
    inputHandlers.push_back(handler);
    input = handler;
}

void Engine::attachOutput(ID3DOutput* handler) {
    outputHandlers.push_back(handler);
    handler->setPrevious(output);
    output = handler;
}

void Engine::attachSimulation(ISimulation* handler) {
    simulationHandlers.push_back(handler);
    handler->setPrevious(simulation);
    simulation = handler;
}

void Engine::resetTicks() {
    nextTick = clock->ticks() + TICK_MS;
}

// A quit signal or a lost window reaches the loop as SDL's own quit event at its next poll;
// the events queued with it still come in the same batch. SDL's own quit events are window
// closes, which the guard counts as requests.
int Engine::SdlLoopSource::pollEvent(SDL_Event* event) {
    if (takeQuitRequest()) {
        event->type = SDL_QUIT;
        return 1;
    }
    if (!SDL_PollEvent(event))
        return 0;
    if (event->type == SDL_QUIT)
        noteWindowClose();
    return 1;
}

void Engine::run() {
    run(sdlSource);
}

void Engine::run(LoopSource& source) {
    clock = &source;
    bool running = true;
    bool appActive = true;
    nextTick = source.ticks();
    while (running) {
        SDL_Event event;
        while (source.pollEvent(&event))
            handleEvent(event, running, appActive, source);
        if (appActive) {
            step(source);
            if (output)
                renderFrame();
        }
    }
    clock = &sdlSource;
}

void Engine::handleEvent(SDL_Event& event, bool& running, bool& appActive, LoopSource& source) {
    switch (event.type) {
    case SDL_ACTIVEEVENT:
        // Only a pure application-activity change counts; focus-only events do not pause.
        if (event.active.state == SDL_APPACTIVE) {
            appActive = event.active.gain == 1;
            if (appActive)
                nextTick = source.ticks();
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (input)
            input->handleKey(&event);
        break;
    case SDL_MOUSEMOTION:
        if (input)
            input->handleMotion(&event);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (input)
            input->handleButton(&event);
        break;
    case SDL_QUIT:
        running = false;
        appActive = false;
        break;
    default:
        break;
    }
}

// At most one step per pass; the due time moves by exactly one step, so a backlog is
// made up one step per pass.
void Engine::step(LoopSource& source) {
    if (!isDue(source.ticks(), nextTick))
        return;
    nextTick += TICK_MS;
    if (simulation)
        simulation->tick();
}

void Engine::renderFrame() {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    output->drawFrame(device);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}
