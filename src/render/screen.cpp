// Caption and cursor go to SDL.
#include "screen.h"

#include <cstring>
#include <string>

#include <SDL/SDL.h>

namespace {

// X refuses a caption beyond its request size with an error; 64 KiB is far above any real one.
const size_t MAX_TITLE_BYTES = 65536;

}  // namespace

void setWindowTitle(const char* title) {
    if (!title || strnlen(title, MAX_TITLE_BYTES + 1) <= MAX_TITLE_BYTES) {
        SDL_WM_SetCaption(title, nullptr);
        return;
    }
    // Cut before the character that the first dropped byte belongs to: no UTF-8 sequence splits.
    size_t end = MAX_TITLE_BYTES;
    while (end > 0 && (static_cast<unsigned char>(title[end]) & 0xC0) == 0x80)
        --end;
    SDL_WM_SetCaption(std::string(title, end).c_str(), nullptr);
}

void showCursor(bool show) {
    SDL_ShowCursor(show ? 1 : 0);
}
