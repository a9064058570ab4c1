#include "platform/GLLibraries.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>

namespace meridia::platform {
namespace {

// Held for the process, like the module handles of the original DLLs.
void* g_gl_library = nullptr;
void* g_glu_library = nullptr;

void Release(void*& library) {
  if (library != nullptr) {
    dlclose(library);
    library = nullptr;
  }
}

} // namespace

bool LoadGLLibraries() {
  if (g_gl_library != nullptr && g_glu_library != nullptr) {
    return true;
  }
  FreeGLLibraries();
  g_gl_library = dlopen("libGL.so.1", RTLD_NOW | RTLD_GLOBAL);
  g_glu_library = dlopen("libGLU.so.1", RTLD_NOW | RTLD_GLOBAL);
  if (g_gl_library != nullptr && g_glu_library != nullptr) {
    return true;
  }
  FreeGLLibraries();
  return false;
}

void FreeGLLibraries() {
  Release(g_gl_library);
  Release(g_glu_library);
}

void* GLLibraryExport(const char* name) {
  return g_gl_library != nullptr ? dlsym(g_gl_library, name) : nullptr;
}

void* GLULibraryExport(const char* name) {
  return g_glu_library != nullptr ? dlsym(g_glu_library, name) : nullptr;
}

void* GLProcAddress(const char* name) {
  // Before the video subsystem has loaded a GL driver SDL has nothing to look in.
  if (SDL_GL_GetCurrentContext() == nullptr) {
    return nullptr;
  }
  return SDL_GL_GetProcAddress(name);
}

} // namespace meridia::platform
