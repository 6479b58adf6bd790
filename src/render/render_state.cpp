// The renderer's one instance of its process-wide state.
#include "render_state.h"

RenderState renderState = {};
