// The window system over SDL2: one window with a compatibility-profile OpenGL context, input
// turned into Win32 messages, message boxes. Runs headless on SDL's offscreen driver.
#pragma once

#include "platform/Clock.h"
#include "platform/FramePacer.h"
#include "platform/MessageQueue.h"
#include "platform/Platform.h"

#include <memory>
#include <optional>

struct SDL_Window;

namespace meridia::platform {

class SdlPlatform final : public Platform {
public:
  explicit SdlPlatform(Clock& clock);
  ~SdlPlatform() override;

  // A further input source (a flight script) read after the window system's own events.
  void AddEventSource(EventSource* source) { queue_.AddSource(source); }
  // For a tool that draws at a size of its own (the flight tool): the window is made with a
  // client area of `width` by `height`, whatever outer size the shell asks for.
  void SetClientSize(int width, int height);
  // The window's size then stays with the tool: each WM_SIZE its input source gives resizes the
  // window as it is taken from the queue, the shell's full-screen requests are granted without
  // touching it, and the window system's own size messages are not passed on. A flight that
  // replays a script so draws at its script's sizes, the same on any display or none.
  void HoldWindowSize() { pass_sizes_ = false; }

  bool LoadGLLibraries() override;
  void FreeGLLibraries() override;
  bool RegisterWindowClass(const std::string& class_name) override;
  bool UnregisterWindowClass(const std::string& class_name) override;
  bool ChangeDisplaySettings(int width, int height, int bits) override;
  void RestoreDisplaySettings() override;
  void ShowCursor(bool show) override;
  Handle CreateWindow(const std::string& class_name, const std::string& caption, int width,
                      int height, bool fullscreen) override;
  bool DestroyWindow(Handle window) override;
  Handle GetDC(Handle window) override;
  bool ReleaseDC(Handle window, Handle dc) override;
  int ChoosePixelFormat(Handle dc, const PixelFormatDescriptor& pfd) override;
  bool SetPixelFormat(Handle dc, int format, const PixelFormatDescriptor& pfd) override;
  std::string DescribePixelFormat(Handle dc) override;
  Handle CreateContext(Handle dc) override;
  bool MakeCurrent(Handle dc, Handle context) override;
  bool DeleteContext(Handle context) override;
  bool SwapBuffers(Handle dc) override;
  void SetTimer(Handle window, uint32_t id, uint32_t interval_ms) override;
  void ShowWindow(Handle window) override;
  void SetWindowText(Handle window, const std::string& text) override;
  bool SetWindowFullscreen(Handle window, bool fullscreen) override;
  bool PeekMessage(Message& message) override;
  void PostQuitMessage(int exit_code) override;
  uint32_t GetTickCount() override { return clock_.GetTickCount(); }
  void Sleep(uint32_t milliseconds) override { clock_.Sleep(milliseconds); }
  bool MessageBox(const std::string& text, const std::string& caption) override;

private:
  // A held window at the size the tool gave.
  void SizeHeldWindow(int width, int height);
  // Decided at the first swap of a context, once the driver is known.
  void PaceFrame();
  // Before the current context is released or deleted.
  void ForgetPacing();

  Clock& clock_;
  MessageQueue queue_;
  bool pass_sizes_ = true; // whether the window system's size changes reach the queue
  std::unique_ptr<EventSource> sdl_events_;
  int client_width_ = 0; // set by a tool; 0: the outer size the shell asks for
  int client_height_ = 0;
  // The one window; its handle is this member's address, which stays the same when a held
  // window is made anew at another size.
  SDL_Window* window_ = nullptr;
  // Where the window was before it took the whole display.
  struct Placement {
    int x, y, width, height;
    bool maximised;
  };
  std::optional<Placement> windowed_;
  std::string class_name_;
  bool video_ready_ = false;
  int depth_bits_asked_ = 0;
  int depth_bits_obtained_ = 0;
  std::optional<FramePacer> pacer_;
  bool pacing_checked_ = false;
};

} // namespace meridia::platform
