// The window caption and the mouse cursor.
#ifndef RENDER_SCREEN_H
#define RENDER_SCREEN_H

// A null title leaves the caption as it is; a title beyond 64 KiB is cut at a character boundary.
void setWindowTitle(const char* title);
void showCursor(bool show);

#endif
