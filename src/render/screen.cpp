// Brightness goes to the Engine's material; caption and cursor go to SDL.
#include "screen.h"

#include <SDL/SDL.h>

#include "engine.h"

void setBrightness(float b) {
    getEngine()->setBrightness(b);
}

void setWindowTitle(const char* title) {
    SDL_WM_SetCaption(title, nullptr);
}

void showCursor(bool show) {
    SDL_ShowCursor(show ? 1 : 0);
}
