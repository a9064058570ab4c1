// A window system that records every call in order, fails any call it is told to, and runs on
// a clock the test advances. Lets the shell's creation, release and loop rules be checked
// without a display.
#pragma once

#include "platform/Clock.h"
#include "platform/MessageQueue.h"
#include "platform/Platform.h"

#include <set>
#include <string>
#include <vector>

namespace meridia::testing {

class FakePlatform final : public platform::Platform {
public:
  FakePlatform() : queue_(clock) {}

  platform::SteppedClock clock{10};
  std::set<std::string> failing; // names of calls that fail
  std::vector<std::string> calls;
  std::vector<std::string> boxes; // message box texts, in order
  std::vector<std::string> captions;
  int swaps = 0;

  void Queue(const platform::Message& message) { queue_.Post(message); }

  bool LoadGLLibraries() override { return Record("LoadGLLibraries"); }
  void FreeGLLibraries() override { Record("FreeGLLibraries"); }
  bool RegisterWindowClass(const std::string&) override { return Record("RegisterWindowClass"); }
  bool UnregisterWindowClass(const std::string&) override {
    return Record("UnregisterWindowClass");
  }
  bool ChangeDisplaySettings(int, int, int) override { return Record("ChangeDisplaySettings"); }
  void RestoreDisplaySettings() override { Record("RestoreDisplaySettings"); }
  void ShowCursor(bool show) override { Record(show ? "ShowCursor(true)" : "ShowCursor(false)"); }
  platform::Handle CreateWindow(const std::string&, const std::string& caption, int, int,
                                bool) override {
    captions.push_back(caption);
    return Record("CreateWindow") ? kWindow : 0;
  }
  bool DestroyWindow(platform::Handle window) override {
    return Record("DestroyWindow") && window == kWindow;
  }
  platform::Handle GetDC(platform::Handle) override { return Record("GetDC") ? kDC : 0; }
  bool ReleaseDC(platform::Handle, platform::Handle) override { return Record("ReleaseDC"); }
  int ChoosePixelFormat(platform::Handle, const platform::PixelFormatDescriptor& pfd) override {
    chosen = pfd;
    return Record("ChoosePixelFormat") ? 7 : 0;
  }
  bool SetPixelFormat(platform::Handle, int format,
                      const platform::PixelFormatDescriptor&) override {
    return Record("SetPixelFormat") && format == 7;
  }
  std::string DescribePixelFormat(platform::Handle) override { return "fake pixel format"; }
  platform::Handle CreateContext(platform::Handle) override {
    return Record("CreateContext") ? kContext : 0;
  }
  bool MakeCurrent(platform::Handle, platform::Handle context) override {
    return Record(context == 0 ? "MakeCurrent(null)" : "MakeCurrent");
  }
  // As wglDeleteContext: there must be a context to delete.
  bool DeleteContext(platform::Handle context) override {
    return Record("DeleteContext") && context != 0;
  }
  bool SwapBuffers(platform::Handle) override {
    ++swaps;
    return Record("SwapBuffers");
  }
  void SetTimer(platform::Handle, uint32_t id, uint32_t interval_ms) override {
    Record("SetTimer");
    queue_.SetTimer(id, interval_ms);
  }
  void ShowWindow(platform::Handle) override { Record("ShowWindow"); }
  void SetWindowText(platform::Handle, const std::string& text) override {
    captions.push_back(text);
  }
  // Like the window system, answers a granted change with the new client size: a 1920 by 1080
  // display, then the 800 by 600 from before.
  bool SetWindowFullscreen(platform::Handle, bool fullscreen) override {
    if (!Record(fullscreen ? "SetWindowFullscreen(true)" : "SetWindowFullscreen(false)")) {
      return false;
    }
    queue_.Post({platform::WM_SIZE, platform::SIZE_RESTORED,
                 fullscreen ? platform::MakeLParam(1920, 1080) : platform::MakeLParam(800, 600)});
    return true;
  }
  bool PeekMessage(platform::Message& message) override { return queue_.Peek(message); }
  void PostQuitMessage(int code) override {
    Record("PostQuitMessage");
    queue_.PostQuit(code);
  }
  uint32_t GetTickCount() override { return clock.GetTickCount(); }
  void Sleep(uint32_t ms) override {
    Record("Sleep(" + std::to_string(ms) + ")");
    clock.Sleep(ms);
  }
  bool MessageBox(const std::string& text, const std::string& caption) override {
    boxes.push_back(caption + ": " + text);
    return true;
  }

  platform::PixelFormatDescriptor chosen;

private:
  static constexpr platform::Handle kWindow = 0x100, kDC = 0x200, kContext = 0x300;

  bool Record(const std::string& name) {
    calls.push_back(name);
    return failing.count(name) == 0;
  }

  platform::MessageQueue queue_;
};

} // namespace meridia::testing
