// Each event looks its callback up by name afresh, calls it protected and reports failures.
#include "callbacks.h"

#include "display_device.h"
#include "script_host.h"

namespace {

// What one event hands its callback: the name to look up and how to push the arguments.
struct CallbackCall {
    const char* name;
    int argumentCount;
    void (*pushArguments)(lua_State* L, const void* arguments);
    const void* arguments;
};

// Runs protected: the lookup may allocate the name or run the globals' __index, and the
// arguments are pushed only once the callback is known to exist.
int dispatchCallback(lua_State* L) {
    const CallbackCall* call = static_cast<const CallbackCall*>(lua_touserdata(L, 1));
    lua_getfield(L, LUA_GLOBALSINDEX, call->name);
    if (lua_isnil(L, -1))
        return 0;
    call->pushArguments(L, call->arguments);
    lua_call(L, call->argumentCount, 0);
    return 0;
}

template <class PushArguments>
void callCallback(const char* name, int argumentCount, const PushArguments& pushArguments) {
    CallbackCall call = {name, argumentCount,
                         [](lua_State* L, const void* f) { (*static_cast<const PushArguments*>(f))(L); },
                         &pushArguments};
    reportScriptError(runProtected(dispatchCallback, &call));
}

void callCallback(const char* name) {
    callCallback(name, 0, [](lua_State*) {});
}

// Letters and digits by their own character, a few named keys, nil for the rest.
void pushKeyName(lua_State* L, SDLKey sym) {
    if ((sym >= SDLK_a && sym <= SDLK_z) || (sym >= 'A' && sym <= 'Z') || (sym >= SDLK_0 && sym <= SDLK_9)) {
        char c = static_cast<char>(sym);
        lua_pushlstring(L, &c, 1);
        return;
    }
    switch (sym) {
    case SDLK_TAB: lua_pushstring(L, "tab"); break;
    case SDLK_UP: lua_pushstring(L, "up"); break;
    case SDLK_DOWN: lua_pushstring(L, "down"); break;
    case SDLK_RIGHT: lua_pushstring(L, "right"); break;
    case SDLK_LEFT: lua_pushstring(L, "left"); break;
    default: lua_pushnil(L); break;
    }
}

}  // namespace

// The state alone decides press or release; the event type is not consulted.
void Input_Wrapper::handleKey(SDL_Event* event) {
    SDLKey sym = event->key.keysym.sym;
    const char* name = event->key.state == SDL_RELEASED  ? "onKeyRelease"
                       : event->key.state == SDL_PRESSED ? "onKeyPress"
                                                         : nullptr;
    if (name)
        callCallback(name, 1, [sym](lua_State* L) { pushKeyName(L, sym); });
}

// Window pixels to the drawing space: origin at the centre, y up.
void Input_Wrapper::handleMotion(SDL_Event* event) {
    lua_Number x = event->motion.x - WINDOW_WIDTH / 2.0;
    lua_Number y = WINDOW_HEIGHT / 2.0 - event->motion.y;
    callCallback("onMotion", 2, [x, y](lua_State* L) {
        lua_pushnumber(L, x);
        lua_pushnumber(L, y);
    });
}

void Input_Wrapper::handleButton(SDL_Event* event) {
    bool pressed = event->button.state == SDL_PRESSED;
    if (event->button.button == SDL_BUTTON_LEFT)
        leftHeld = pressed;
    else if (event->button.button == SDL_BUTTON_RIGHT)
        rightHeld = pressed;
    else
        return;
    bool left = leftHeld, right = rightHeld;
    callCallback("onButton", 2, [left, right](lua_State* L) {
        lua_pushboolean(L, left);
        lua_pushboolean(L, right);
    });
}

void Output_Wrapper::drawFrame(IDirect3DDevice9*) {
    callCallback("onDraw");
}

void Sim_Wrapper::tick() {
    callCallback("onTick");
}
