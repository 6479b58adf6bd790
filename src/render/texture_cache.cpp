// The cache keeps every entry until shutdown, even when no image uses it any more.
#include "texture_cache.h"

#include "render_state.h"

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII case only, independent of the C locale a script may have set.
bool samePath(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return i == a.size() && !b[i];
}

}  // namespace

void TextureCache::ensure() {
    if (!renderState.cache)
        renderState.cache = new TextureCache;
}

TextureEntry* TextureCache::find(const char* path) {
    for (TextureEntry* entry : renderState.cache->entries)
        if (samePath(entry->path, path))
            return entry;
    return nullptr;
}

void TextureCache::addFront(TextureEntry* entry) {
    renderState.cache->entries.push_front(entry);
}

void TextureCache::releaseAll() {
    if (!renderState.cache)
        return;
    for (TextureEntry* entry : renderState.cache->entries) {
        if (entry->texture)
            entry->texture->Release();
        if (entry->vertexBuffer)
            entry->vertexBuffer->Release();
        delete entry;
    }
    delete renderState.cache;
    renderState.cache = nullptr;
    // The remembered bindings named released objects; a later device must bind afresh.
    renderState.lastTexture = nullptr;
    renderState.lastVertexBuffer = nullptr;
}

size_t TextureCache::size() {
    return renderState.cache ? renderState.cache->entries.size() : 0;
}
