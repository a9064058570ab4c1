// What the shell's loop drives: building the scene once the context is current, drawing a
// frame, applying held keys after it, and the viewport and mouse messages. The real scene draws
// with OpenGL; tests drive the loop with a recording one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace meridia {

using KeyStateTable = std::array<bool, 256>;

class SceneHooks {
public:
  virtual ~SceneHooks() = default;
  // Given before InitScene: shows the back buffer at once, for what start-up draws while it
  // works (the loop swaps every frame by itself).
  virtual void SetSwapBuffers(std::function<void()> /*swap_buffers*/) {}
  // Given before InitScene: shows an "Error" message box with the text, or reports it where it
  // will be read when there is no display.
  virtual void SetShowError(std::function<void(const std::string& text)> /*show_error*/) {}
  // False when the scene cannot run on this system; it has said why, and the shell releases the
  // window and ends the program with a failure exit code.
  virtual bool InitScene() = 0;
  // Draws into the back buffer; the loop swaps.
  virtual void RenderFrame() = 0;
  // Runs after the swap; may clear entries of the key table (toggles fire once per key-down).
  virtual void UpdateFrame(KeyStateTable& key_state, float frame_delta_ms) = 0;
  // From WM_SIZE: the client area, whatever changed it (showing the window, the user, the
  // window manager, full screen).
  virtual void SetViewport(int x, int y, int width, int height) = 0;
  // WM_MOUSEMOVE, WM_LBUTTONDOWN and WM_LBUTTONUP at client point (x, y).
  virtual void MouseMessage(uint32_t message, int x, int y) = 0;
};

// Watches the loop from outside, for the flight tool. Frames are numbered from 1.
class LoopObserver {
public:
  virtual ~LoopObserver() = default;
  // The window and the scene exist; the loop has not started.
  virtual void SceneReady() {}
  // Called just before the idle step of the given frame, so input can be queued for it.
  virtual void FrameStarting(int /*frame*/) {}
  // A message from the queue is about to reach the window procedure, before the given frame:
  // window-system and scripted input alike.
  virtual void MessageDispatched(int /*frame*/, uint32_t /*message*/, uintptr_t /*wParam*/,
                                 intptr_t /*lParam*/) {}
  // The frame is drawn and not yet swapped: the back buffer holds it.
  virtual void FrameRendered(int /*frame*/) {}
  // Asked where Escape is tested; true ends the loop as Escape would.
  virtual bool StopAfter(int /*frame*/) { return false; }
  // Wall times of one idle step, in milliseconds.
  struct StepTimes {
    double render_ms = 0; // RenderFrame
    double step_ms = 0;   // the whole step
    double swap_ms = 0;   // SwapBuffers, with any wait for the driver to catch up
  };
  // The idle step is over.
  virtual void StepFinished(int /*frame*/, const StepTimes& /*times*/) {}
  // The loop is over, whatever ended it; the window and the rendering context still exist.
  virtual void LoopEnded() {}
};

} // namespace meridia
