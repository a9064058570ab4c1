// The one top-level window, its rendering context and the main loop. Creation and release run
// in a fixed order and report each failing step in an "Error" message box; the loop drains
// messages and runs one idle step (count, time, render, swap, sleep, Escape, keys) whenever
// none is waiting. F11 and Alt+Enter toggle desktop full screen; whatever changes the client
// area, the scene learns it from WM_SIZE.
#pragma once

#include "app/SceneHooks.h"
#include "platform/Accelerator.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"

#include <string>

namespace meridia {

class Shell {
public:
  static constexpr const char* kClassName = "OpenGL";
  static constexpr uint32_t kCaptionTimerId = 1;
  // The window's one command, sent by its accelerators.
  static constexpr uint16_t kFullscreenCommand = 1;
  static constexpr platform::Accelerator kAccelerators[] = {
      {platform::VK_F11, false, kFullscreenCommand},
      {platform::VK_RETURN, true, kFullscreenCommand}};

  Shell(platform::Platform& platform, SceneHooks& scene) : platform_(platform), scene_(scene) {}

  void SetObserver(LoopObserver* observer) { observer_ = observer; }

  void RunMainLoop();
  bool CreateMainWindow(int width, int height, bool fullscreen, int bits);
  void DestroyMainWindow(bool fullscreen);
  intptr_t MainWindowProc(platform::Handle window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam);
  void ResizeViewport(int width, int height);

  static std::string InitialCaption();
  static std::string FramesCaption(int32_t frames);

  KeyStateTable KeyState{};
  int32_t FrameCounter = 0;
  float FrameDeltaMs = 0.0f;
  int32_t FramesDrawn = 0; // every frame since the loop began, for observers
  // The window covers its display; the size before comes back when it is toggled off.
  bool Fullscreen = false;
  // The process's exit code: non-zero when the scene could not be built on this system.
  int ExitCode = 0;

  platform::Handle window() const { return window_; }
  platform::Handle device_context() const { return dc_; }
  platform::Handle rendering_context() const { return rc_; }

private:
  void ShowError(const std::string& text);
  void OneSecondTick();
  void ToggleFullscreen();
  // One frame; true when the loop is to end.
  bool IdleStep();

  platform::Platform& platform_;
  SceneHooks& scene_;
  LoopObserver* observer_ = nullptr;
  platform::Handle window_ = 0;
  platform::Handle dc_ = 0;
  platform::Handle rc_ = 0;
  uint32_t loop_start_ = 0;
  float previous_elapsed_ = 0.0f;
};

} // namespace meridia
