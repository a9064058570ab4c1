#include "platform/GLContext.h"

#include <SDL2/SDL.h>

namespace meridia::platform {

bool HasCurrentGLContext() {
  return SDL_GL_GetCurrentContext() != nullptr;
}

} // namespace meridia::platform
