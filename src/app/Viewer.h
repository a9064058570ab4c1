// The scene the shell drives: OpenGL state, the animation clock, the camera and flying, and the
// frame's drawing order (projection, view, backdrop, planet pass, overlay). InitScene first makes
// sure the driver offers what the scene needs, then builds the planet and plugs its pass and its
// ground collision in; other passes plug into the hooks from outside.
#pragma once

#include "app/CameraControl.h"
#include "app/SceneHooks.h"
#include "app/StartUpRecorder.h"
#include "backdrop/GalaxyRender.h"
#include "backdrop/GalaxySky.h"
#include "engine/FrameTimer.h"
#include "imaging/GuiFont.h"
#include "planet/PlanetControl.h"
#include "view/PlanetaryCamera.h"

#include <functional>
#include <memory>
#include <string>

namespace meridia {

class Viewer final : public SceneHooks {
public:
  void SetSwapBuffers(std::function<void()> swap_buffers) override;
  void SetShowError(std::function<void(const std::string& text)> show_error) override;
  bool InitScene() override;
  void RenderFrame() override;
  void UpdateFrame(KeyStateTable& key_state, float frame_delta_ms) override;
  void SetViewport(int x, int y, int width, int height) override;
  void MouseMessage(uint32_t message, int x, int y) override;

  TPlanetary_Camera Camera;
  CameraControl Control;
  TzoFrameTimer AnimationClock{};
  // The one font of every text, made by InitScene.
  std::unique_ptr<Tgui_font> Font;
  // The planet, made by InitScene; it keeps the view position above the ground after each move.
  std::unique_ptr<TPlanetControl> PlanetControl;
  // The galaxy backdrop, built last by InitScene, and its billboards in the sky.
  std::unique_ptr<TGalaxyRender> Galaxy;
  std::unique_ptr<TGalaxySky> GalaxySky;

  // Told the name of each InitScene step just before it runs.
  StartUpRecorder StartUpSteps;
  // Where the shared generator's first seed comes from; the clock when not set.
  std::function<uint32_t()> ClockSeed;

  // Draws the sky behind everything, first, while Control.Backdrop is on.
  std::function<void()> BackdropPass;
  // Draws the planet under the camera's view transform.
  std::function<void()> PlanetPass;
  // Draws over the finished frame, last; InitScene sets it to the statistics overlay.
  std::function<void()> Overlay;

private:
  std::function<void()> swap_buffers_;
  std::function<void(const std::string&)> show_error_;
};

} // namespace meridia
