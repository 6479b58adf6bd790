// Everything scripts see besides the standard libraries, "print" and "rungame".
#ifndef SCRIPT_BINDINGS_H
#define SCRIPT_BINDINGS_H

#include <luabind/scope.hpp>

// Resets the global transform, attaches the callback forwarders to the Engine and
// returns the engine functions and the class "image" in registration order.
luabind::scope buildScriptBindings();

// Mends what the binding library registers differently from what scripts rely on;
// runs once the description is installed.
void completeScriptBindings(lua_State* L);

#endif
