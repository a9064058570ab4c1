// The window-system calls the shell makes, in the shape of their Win32 and WGL originals:
// handles that are 0 when absent, boolean results, and messages read with PeekMessage. The
// shell's creation and release order, and every failure message, rest on these semantics.
#pragma once

#include "platform/Messages.h"

#include <cstdint>
#include <string>

namespace meridia::platform {

inline constexpr uint32_t PFD_DRAW_TO_WINDOW = 0x00000004;
inline constexpr uint32_t PFD_SUPPORT_OPENGL = 0x00000020;
inline constexpr uint32_t PFD_DOUBLEBUFFER = 0x00000001;
inline constexpr uint8_t PFD_TYPE_RGBA = 0;
inline constexpr uint8_t PFD_MAIN_PLANE = 0;

// The fields of a pixel format descriptor that the program sets; every other field is 0.
struct PixelFormatDescriptor {
  uint16_t nVersion = 1;
  uint32_t dwFlags = 0;
  uint8_t iPixelType = PFD_TYPE_RGBA;
  uint8_t cColorBits = 0;
  uint8_t cAlphaBits = 0;
  uint8_t cDepthBits = 0;
  uint8_t cStencilBits = 0;
  uint8_t iLayerType = PFD_MAIN_PLANE;
};

class Platform {
public:
  virtual ~Platform() = default;

  // Loads the OpenGL and GLU libraries; true when both are loaded.
  virtual bool LoadGLLibraries() = 0;
  virtual void FreeGLLibraries() = 0;

  virtual bool RegisterWindowClass(const std::string& class_name) = 0;
  virtual bool UnregisterWindowClass(const std::string& class_name) = 0;
  // ChangeDisplaySettings with CDS_FULLSCREEN; false for DISP_CHANGE_FAILED.
  virtual bool ChangeDisplaySettings(int width, int height, int bits) = 0;
  virtual void RestoreDisplaySettings() = 0;
  virtual void ShowCursor(bool show) = 0;

  // Outer size width by height; the client area is what is left inside the frame.
  virtual Handle CreateWindow(const std::string& class_name, const std::string& caption, int width,
                              int height, bool fullscreen) = 0;
  virtual bool DestroyWindow(Handle window) = 0;
  virtual Handle GetDC(Handle window) = 0;
  virtual bool ReleaseDC(Handle window, Handle dc) = 0;
  // 0 when no format fits.
  virtual int ChoosePixelFormat(Handle dc, const PixelFormatDescriptor& pfd) = 0;
  virtual bool SetPixelFormat(Handle dc, int format, const PixelFormatDescriptor& pfd) = 0;
  // What the device context obtained, for the log: colour, alpha, depth and stencil bits.
  virtual std::string DescribePixelFormat(Handle dc) = 0;
  virtual Handle CreateContext(Handle dc) = 0;
  // wglMakeCurrent: a context of 0 releases the current one.
  virtual bool MakeCurrent(Handle dc, Handle context) = 0;
  // Fails for a context of 0, like wglDeleteContext.
  virtual bool DeleteContext(Handle context) = 0;
  virtual bool SwapBuffers(Handle dc) = 0;

  virtual void SetTimer(Handle window, uint32_t id, uint32_t interval_ms) = 0;
  // ShowWindow(SW_SHOW), SetForegroundWindow and SetFocus.
  virtual void ShowWindow(Handle window) = 0;
  virtual void SetWindowText(Handle window, const std::string& text) = 0;
  // Desktop full screen, with no change of display mode: the window loses its frame and covers
  // its display; leaving gives back the frame, the size and the place it had before. What
  // Windows does with a style change and SetWindowPos, and like it the window procedure learns
  // the new client size from WM_SIZE. False when the window system refuses.
  virtual bool SetWindowFullscreen(Handle window, bool fullscreen) = 0;

  virtual bool PeekMessage(Message& message) = 0;
  virtual void PostQuitMessage(int exit_code) = 0;

  virtual uint32_t GetTickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;

  // A modal box with an error icon; false when there is no display to show it on.
  virtual bool MessageBox(const std::string& text, const std::string& caption) = 0;
};

} // namespace meridia::platform
