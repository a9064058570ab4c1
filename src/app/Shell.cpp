#include "app/Shell.h"

#include "engine/PlanetSeed.h"
#include "platform/VirtualKeys.h"
#include "storage/Log.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace meridia {
namespace {

using platform::Handle;
using platform::Message;

constexpr const char* kSiteTag = "[meridia]";

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

} // namespace

// The world is named so that windows on two worlds can be told apart.
std::string Shell::InitialCaption() {
  return std::string(kSiteTag) + " Lumenar - seed " + std::to_string(CurrentPlanetSeed());
}

std::string Shell::FramesCaption(int32_t frames) {
  return InitialCaption() + " [" + std::to_string(frames) + " FPS]";
}

void Shell::ShowError(const std::string& text) {
  if (!platform_.MessageBox(text, "Error")) {
    // No display to show it on: the text must still reach someone.
    std::fprintf(stderr, "Error: %s\n", text.c_str());
    LogWrite("Error : " + text);
  }
}

bool Shell::CreateMainWindow(int width, int height, bool fullscreen, int bits) {
  platform_.LoadGLLibraries();

  if (!platform_.RegisterWindowClass(kClassName)) {
    ShowError("Failed to register the window class!");
    return false;
  }

  if (fullscreen && !platform_.ChangeDisplaySettings(width, height, bits)) {
    ShowError("Unable to switch to fullscreen!");
    fullscreen = false;
  }
  if (fullscreen) {
    platform_.ShowCursor(false);
  }

  // From here on a failure releases what exists before it says what went wrong.
  auto fail = [&](const char* text) {
    DestroyMainWindow(fullscreen);
    ShowError(text);
    return false;
  };

  window_ = platform_.CreateWindow(kClassName, InitialCaption(), width, height, fullscreen);
  if (window_ == 0) {
    return fail("Unable to create window!");
  }
  dc_ = platform_.GetDC(window_);
  if (dc_ == 0) {
    return fail("Unable to get a device context!");
  }

  platform::PixelFormatDescriptor pfd;
  pfd.nVersion = 1;
  pfd.dwFlags =
      platform::PFD_DRAW_TO_WINDOW | platform::PFD_SUPPORT_OPENGL | platform::PFD_DOUBLEBUFFER;
  pfd.iPixelType = platform::PFD_TYPE_RGBA;
  pfd.cColorBits = static_cast<uint8_t>(bits);
  pfd.cAlphaBits = 8;
  pfd.cDepthBits = 32;
  pfd.cStencilBits = 8;
  pfd.iLayerType = platform::PFD_MAIN_PLANE;
  const int format = platform_.ChoosePixelFormat(dc_, pfd);
  if (format == 0) {
    return fail("Unable to find a suitable pixel format");
  }
  if (!platform_.SetPixelFormat(dc_, format, pfd)) {
    return fail("Unable to set the pixel format");
  }
  rc_ = platform_.CreateContext(dc_);
  if (rc_ == 0) {
    return fail("Unable to create an OpenGL rendering context");
  }
  if (!platform_.MakeCurrent(dc_, rc_)) {
    return fail("Unable to activate OpenGL rendering context");
  }
  LogWrite(platform_.DescribePixelFormat(dc_));

  platform_.SetTimer(window_, kCaptionTimerId, 1000);
  platform_.ShowWindow(window_);
  scene_.SetSwapBuffers([this] { platform_.SwapBuffers(dc_); });
  scene_.SetShowError([this](const std::string& text) { ShowError(text); });
  if (!scene_.InitScene()) {
    // The scene has said what it lacks; without it there is nothing to run.
    DestroyMainWindow(fullscreen);
    ExitCode = 1;
    return false;
  }
  return true;
}

void Shell::DestroyMainWindow(bool fullscreen) {
  if (fullscreen) {
    platform_.RestoreDisplaySettings();
    platform_.ShowCursor(true);
  }
  if (!platform_.MakeCurrent(dc_, 0)) {
    ShowError("Release of DC and RC failed!");
  }
  if (!platform_.DeleteContext(rc_)) {
    ShowError("Release of rendering context failed!");
  }
  rc_ = 0;
  if (dc_ != 0 && !platform_.ReleaseDC(window_, dc_)) {
    ShowError("Release of device context failed!");
  }
  dc_ = 0;
  if (window_ != 0 && !platform_.DestroyWindow(window_)) {
    ShowError("Unable to destroy window!");
  }
  window_ = 0;
  if (!platform_.UnregisterWindowClass(kClassName)) {
    ShowError("Unable to unregister window class!");
  }
  platform_.FreeGLLibraries();
}

void Shell::ResizeViewport(int width, int height) {
  scene_.SetViewport(0, 0, width, height == 0 ? 1 : height);
}

void Shell::OneSecondTick() {
  // Frames drawn since the previous tick, over exactly one second.
  const auto frames = static_cast<int32_t>(std::nearbyint(FrameCounter * 1000.0 / 1000.0));
  platform_.SetWindowText(window_, FramesCaption(frames));
  FrameCounter = 0;
}

// The window system answers with WM_SIZE, which is where the scene takes its new size from.
void Shell::ToggleFullscreen() {
  if (platform_.SetWindowFullscreen(window_, !Fullscreen)) {
    Fullscreen = !Fullscreen;
  }
}

intptr_t Shell::MainWindowProc(Handle, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
  case platform::WM_CREATE:
    return 0;
  case platform::WM_SIZE:
    ResizeViewport(platform::LowWord(lParam), platform::HighWord(lParam));
    return 0;
  case platform::WM_CLOSE:
    platform_.PostQuitMessage(0);
    return 0;
  case platform::WM_KEYDOWN:
  case platform::WM_KEYUP:
    if (wParam < KeyState.size()) {
      KeyState[wParam] = message == platform::WM_KEYDOWN;
    }
    return 0;
  case platform::WM_COMMAND:
    if ((wParam & 0xFFFFu) == kFullscreenCommand) {
      ToggleFullscreen();
    }
    return 0;
  case platform::WM_TIMER:
    if (wParam == kCaptionTimerId) {
      OneSecondTick();
    }
    return 0;
  case platform::WM_MOUSEMOVE:
  case platform::WM_LBUTTONDOWN:
  case platform::WM_LBUTTONUP:
    scene_.MouseMessage(message, platform::SignedLowWord(lParam), platform::SignedHighWord(lParam));
    return 0;
  case platform::WM_RBUTTONDOWN:
  case platform::WM_RBUTTONUP:
    return 0;
  default:
    return 0; // the default window procedure has nothing to do for this window
  }
}

bool Shell::IdleStep() {
  const auto step_start = std::chrono::steady_clock::now();
  ++FrameCounter;
  ++FramesDrawn;
  const auto elapsed = static_cast<int32_t>(platform_.GetTickCount() - loop_start_);
  FrameDeltaMs = (static_cast<float>(elapsed) - previous_elapsed_) / 2.0f;
  previous_elapsed_ = static_cast<float>(elapsed);

  const auto render_start = std::chrono::steady_clock::now();
  scene_.RenderFrame();
  const double render_ms = MillisecondsSince(render_start);
  if (observer_ != nullptr) {
    observer_->FrameRendered(FramesDrawn);
  }
  const auto swap_start = std::chrono::steady_clock::now();
  platform_.SwapBuffers(dc_);
  const double swap_ms = MillisecondsSince(swap_start);
  platform_.Sleep(5);

  // Escape is read after the swap, so the frame drawn when it went down is still shown.
  bool done = KeyState[platform::VK_ESCAPE];
  if (!done && observer_ != nullptr) {
    done = observer_->StopAfter(FramesDrawn);
  }
  if (!done) {
    scene_.UpdateFrame(KeyState, FrameDeltaMs);
  }
  if (observer_ != nullptr) {
    observer_->StepFinished(FramesDrawn, {render_ms, MillisecondsSince(step_start), swap_ms});
  }
  return done;
}

void Shell::RunMainLoop() {
  if (!CreateMainWindow(800, 600, false, 32)) {
    return;
  }
  if (observer_ != nullptr) {
    observer_->SceneReady();
  }
  loop_start_ = platform_.GetTickCount();
  bool done = false;
  while (!done) {
    if (observer_ != nullptr) {
      observer_->FrameStarting(FramesDrawn + 1);
    }
    Message message;
    if (platform_.PeekMessage(message)) {
      if (message.message == platform::WM_QUIT) {
        done = true;
      } else {
        // An accelerator's key-down goes no further than its command.
        Message command;
        if (platform::TranslateAccelerator(kAccelerators, message, command)) {
          message = command;
        }
        if (observer_ != nullptr) {
          observer_->MessageDispatched(FramesDrawn + 1, message.message, message.wParam,
                                       message.lParam);
        }
        MainWindowProc(window_, message.message, message.wParam, message.lParam);
      }
      continue;
    }
    done = IdleStep();
  }
  if (observer_ != nullptr) {
    observer_->LoopEnded();
  }
  DestroyMainWindow(false);
}

} // namespace meridia
