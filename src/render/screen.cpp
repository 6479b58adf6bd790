// Caption and cursor go to SDL.
#include "screen.h"

#include <SDL/SDL.h>

void setWindowTitle(const char* title) {
    SDL_WM_SetCaption(title, nullptr);
}

void showCursor(bool show) {
    SDL_ShowCursor(show ? 1 : 0);
}
