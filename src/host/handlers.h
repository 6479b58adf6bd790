// The three handler interfaces the main loop calls: input, simulation and output.
#ifndef HOST_HANDLERS_H
#define HOST_HANDLERS_H

#include <SDL/SDL_events.h>

struct IDirect3DDevice9;

class ISDLInput {
public:
    virtual ~ISDLInput() {}
    // The event is the loop's own record, valid only during the call.
    virtual void handleKey(SDL_Event* event) = 0;
    virtual void handleMotion(SDL_Event* event) = 0;
    virtual void handleButton(SDL_Event* event) = 0;
};

class ISimulation {
public:
    virtual ~ISimulation() {}
    virtual void setPrevious(ISimulation* /*previous*/) {}
    virtual void tick() = 0;
};

class ID3DOutput {
public:
    virtual ~ID3DOutput() {}
    virtual void setPrevious(ID3DOutput* /*previous*/) {}
    virtual void drawFrame(IDirect3DDevice9* device) = 0;
};

#endif
