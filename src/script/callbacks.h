// Forwarders from the Engine's handler interfaces to the script's global callbacks.
#ifndef SCRIPT_CALLBACKS_H
#define SCRIPT_CALLBACKS_H

#include "handlers.h"

class Input_Wrapper : public ISDLInput {
public:
    Input_Wrapper() : leftHeld(false), rightHeld(false) {}
    void handleKey(SDL_Event* event) override;
    void handleMotion(SDL_Event* event) override;
    void handleButton(SDL_Event* event) override;

private:
    bool leftHeld;   // mouse button 1, as far as the events seen so far tell
    bool rightHeld;  // mouse button 3
};

class Output_Wrapper : public ID3DOutput {
public:
    void drawFrame(IDirect3DDevice9* device) override;
};

class Sim_Wrapper : public ISimulation {
public:
    void tick() override;
};

#endif
