// A hidden window with a compatibility-profile OpenGL context, current for the object's life:
// what a GL test needs without the whole shell. Headless under SDL's offscreen driver.
#pragma once

#include <SDL2/SDL.h>

namespace meridia::testing {

class OffscreenGLContext {
public:
  OffscreenGLContext(int width, int height) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      return;
    }
    video_ = true;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    window_ = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_ != nullptr) {
      context_ = SDL_GL_CreateContext(window_);
    }
  }
  ~OffscreenGLContext() {
    if (context_ != nullptr) {
      SDL_GL_DeleteContext(context_);
    }
    if (window_ != nullptr) {
      SDL_DestroyWindow(window_);
    }
    if (video_) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
  }
  OffscreenGLContext(const OffscreenGLContext&) = delete;
  OffscreenGLContext& operator=(const OffscreenGLContext&) = delete;

  bool Ready() const { return context_ != nullptr; }

private:
  bool video_ = false;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
};

} // namespace meridia::testing
