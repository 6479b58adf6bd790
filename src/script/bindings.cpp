// Registration of the engine functions, in the order scripts' overloads were designed around.
#include "bindings.h"

#include <luabind/luabind.hpp>

#include "callbacks.h"
#include "engine.h"
#include "global_transform.h"
#include "image_binding.h"
#include "screen.h"
#include "sound_binding.h"

namespace {

void imageScaleUniform(float s) {
    imageScale(s, s);
}

void imagePreScaleUniform(float s) {
    imagePreScale(s, s);
}

void resetTicks() {
    getEngine()->resetTicks();
}

void setBrightness(float b) {
    getEngine()->setBrightness(b);
}

}  // namespace

luabind::scope buildScriptBindings() {
    Engine* engine = getEngine();
    resetGlobalTransform();
    engine->attachInput(new Input_Wrapper);
    engine->attachOutput(new Output_Wrapper);
    engine->attachSimulation(new Sim_Wrapper);

    using luabind::def;
    return def("setWindowTitle", &setWindowTitle),
           def("showCursor", &showCursor),
           def("imageReset", &imageReset),
           def("imageScale", &imageScale),
           def("imageScale", &imageScaleUniform),
           def("imagePreScale", &imagePreScale),
           def("imagePreScale", &imagePreScaleUniform),
           def("imageRotate", &imageRotate),
           def("imageMove", &imageMove),
           def("imageMoveZ", &imageMoveZ),
           def("resetTicks", &resetTicks),
           def("setBrightness", &setBrightness),
           imageClassBinding(),
           loadImageBinding(),
           soundBinding();
}

void completeScriptBindings(lua_State* L) {
    completeImageClass(L);
}
