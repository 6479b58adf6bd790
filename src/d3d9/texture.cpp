// Texture lifetime: the GL name goes with the last reference.
#include "resources.h"

namespace d3d9impl {

Texture::~Texture() {
    // After SDL_Quit the context and all its names are gone already.
    if (name_ && d3d9gl::contextAlive()) glDeleteTextures(1, &name_);
}

}  // namespace d3d9impl
