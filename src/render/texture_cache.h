// Loaded files shared by all images, one entry per path ignoring ASCII case.
#ifndef RENDER_TEXTURE_CACHE_H
#define RENDER_TEXTURE_CACHE_H

#include <list>
#include <string>

#include "d3d9.h"

struct TextureEntry {
    int useCount;  // images whose entry this is
    IDirect3DTexture9* texture;
    IDirect3DVertexBuffer9* vertexBuffer;  // the quad, four vertices
    std::string path;
    int width, height;  // of the picture in the file
};

class TextureCache {
public:
    // Creates the cache if there is none yet; images call it when they are constructed.
    static void ensure();
    static TextureEntry* find(const char* path);
    static void addFront(TextureEntry* entry);
    // Releases every texture and quad and ends the cache; the Engine calls it at shutdown.
    static void releaseAll();
    static size_t size();

private:
    std::list<TextureEntry*> entries;  // most recently loaded first
};

#endif
