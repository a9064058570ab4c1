// The program's own window and OpenGL context for benchmarks that draw: the shell over the SDL
// platform, headless on the offscreen driver unless told otherwise, with a scene that does
// nothing so that a benchmark times only what it calls itself.
#pragma once

#include "app/SceneHooks.h"
#include "app/Shell.h"
#include "platform/SdlPlatform.h"

#include <cstdlib>

namespace meridia::bench {

class BareScene final : public SceneHooks {
public:
  bool InitScene() override { return true; }
  void RenderFrame() override {}
  void UpdateFrame(KeyStateTable&, float) override {}
  void SetViewport(int, int, int, int) override {}
  void MouseMessage(uint32_t, int, int) override {}
};

// An 800 by 600 window; `ready` tells whether the context is current.
struct ShellContext {
  ShellContext() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ready = shell.CreateMainWindow(800, 600, false, 32);
  }
  platform::SteppedClock clock{16};
  platform::SdlPlatform platform{clock};
  BareScene scene;
  Shell shell{platform, scene};
  bool ready = false;
};

} // namespace meridia::bench
