#include "platform/SdlPlatform.h"

#include "platform/GLLibraries.h"
#include "platform/MessageBoxRoute.h"
#include "platform/VirtualKeys.h"

#include <SDL2/SDL.h>

#include <string_view>

namespace meridia::platform {
namespace {

// A window handle is the address of the platform's window pointer.
SDL_Window* AsWindow(Handle handle) {
  return handle == 0 ? nullptr : *reinterpret_cast<SDL_Window* const*>(handle);
}

// The offscreen driver makes a window's drawing surface once, at the window's size; on a display
// the surface follows the window.
bool SurfaceFollowsWindow(std::string_view video_driver) {
  return video_driver != "offscreen";
}

// The window system's events as the messages a Win32 window procedure would receive.
class SdlEventSource final : public EventSource {
public:
  explicit SdlEventSource(const bool& pass_sizes) : pass_sizes_(pass_sizes) {}

  bool Poll(Message& message) override {
    SDL_Event event;
    while (SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_PollEvent(&event) != 0) {
      if (Translate(event, message)) {
        return true;
      }
    }
    return false;
  }

private:
  bool Translate(const SDL_Event& event, Message& message) const {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      // Auto-repeat arrives as further key-downs, as on Windows; toggles rely on it.
      const int key = VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode);
      if (key == 0) {
        return false;
      }
      const bool down = event.type == SDL_KEYDOWN;
      // Alt+Enter is the one Alt chord the program knows: it comes as Windows sends it, a
      // system key with the Alt bit. Other keys stay plain key messages whatever is held.
      if (key == VK_RETURN && (event.key.keysym.mod & KMOD_ALT) != 0) {
        message =
            Message{down ? WM_SYSKEYDOWN : WM_SYSKEYUP, static_cast<uintptr_t>(key), kKeyAltDown};
        return true;
      }
      message = Message{down ? WM_KEYDOWN : WM_KEYUP, static_cast<uintptr_t>(key), 0};
      return true;
    }
    case SDL_MOUSEMOTION:
      message = Message{WM_MOUSEMOVE, 0, MakeLParam(event.motion.x, event.motion.y)};
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      // The window class asks for no double clicks, so a second click is a plain button-down.
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      uint32_t kind = 0;
      if (event.button.button == SDL_BUTTON_LEFT) {
        kind = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      } else if (event.button.button == SDL_BUTTON_RIGHT) {
        kind = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      } else {
        return false;
      }
      message = Message{kind, 0, MakeLParam(event.button.x, event.button.y)};
      return true;
    }
    case SDL_WINDOWEVENT:
      // Every change of the client area, by the user, the window manager or the program, and
      // once more when the window is maximised. Minimising sends none: the loop goes on drawing
      // at the size it had, and restoring needs no message to find it again.
      if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        if (!pass_sizes_) {
          return false;
        }
        SDL_Window* window = SDL_GetWindowFromID(event.window.windowID);
        const bool maximised =
            window != nullptr && (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) != 0;
        message = Message{WM_SIZE, maximised ? SIZE_MAXIMIZED : SIZE_RESTORED,
                          MakeLParam(event.window.data1, event.window.data2)};
        return true;
      }
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        message = Message{WM_CLOSE, 0, 0};
        return true;
      }
      return false;
    case SDL_QUIT:
      message = Message{WM_CLOSE, 0, 0};
      return true;
    default:
      return false;
    }
  }

  const bool& pass_sizes_;
};

void SetGLAttributes(int depth_bits) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
}

} // namespace

SdlPlatform::SdlPlatform(Clock& clock)
    : clock_(clock), queue_(clock), sdl_events_(std::make_unique<SdlEventSource>(pass_sizes_)) {
  queue_.AddSource(sdl_events_.get());
}

SdlPlatform::~SdlPlatform() {
  FreeGLLibraries();
  if (video_ready_) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
}

// The libraries are process-wide, shared with the entry-point loader that looks names up in them.
bool SdlPlatform::LoadGLLibraries() {
  return platform::LoadGLLibraries();
}

void SdlPlatform::FreeGLLibraries() {
  platform::FreeGLLibraries();
}

// The video subsystem stands for the registered class: without a display it cannot start.
bool SdlPlatform::RegisterWindowClass(const std::string& class_name) {
  if (video_ready_ || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    return false;
  }
  video_ready_ = true;
  class_name_ = class_name;
  return true;
}

bool SdlPlatform::UnregisterWindowClass(const std::string& class_name) {
  if (!video_ready_ || class_name != class_name_) {
    return false;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  video_ready_ = false;
  return true;
}

// Full screen is applied by the window's own flag at creation; nothing to switch here.
bool SdlPlatform::ChangeDisplaySettings(int, int, int) {
  return video_ready_;
}

void SdlPlatform::RestoreDisplaySettings() {}

void SdlPlatform::ShowCursor(bool show) {
  SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void SdlPlatform::SetClientSize(int width, int height) {
  client_width_ = width;
  client_height_ = height;
}

Handle SdlPlatform::CreateWindow(const std::string& class_name, const std::string& caption,
                                 int width, int height, bool fullscreen) {
  if (!video_ready_ || class_name != class_name_) {
    return 0;
  }
  if (client_width_ > 0 && client_height_ > 0) {
    width = client_width_;
    height = client_height_;
  }
  uint32_t flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
  if (fullscreen) {
    flags |= SDL_WINDOW_FULLSCREEN;
  }
  // The depth buffer is fixed with the window's visual; drivers without 32 bits get 24.
  depth_bits_asked_ = 32;
  for (int depth : {32, 24, 16}) {
    SetGLAttributes(depth);
    SDL_Window* window = SDL_CreateWindow(caption.c_str(), 0, 0, width, height, flags);
    if (window != nullptr) {
      depth_bits_obtained_ = depth;
      window_ = window;
      return reinterpret_cast<Handle>(&window_);
    }
  }
  return 0;
}

bool SdlPlatform::DestroyWindow(Handle window) {
  if (window == 0 || AsWindow(window) == nullptr) {
    return false;
  }
  SDL_DestroyWindow(AsWindow(window));
  window_ = nullptr;
  return true;
}

void SdlPlatform::SizeHeldWindow(int width, int height) {
  if (window_ == nullptr) {
    return;
  }
  int current_width = 0, current_height = 0;
  SDL_GetWindowSize(window_, &current_width, &current_height);
  if (current_width == width && current_height == height) {
    return;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || SurfaceFollowsWindow(driver)) {
    SDL_SetWindowSize(window_, width, height);
    return;
  }
  // A window of the new size takes the context over. A surface merely large enough would not
  // do: the rasterizer counts rows from the surface's top, and a taller one rounds some edges
  // differently from the window the flight was recorded in.
  SetGLAttributes(depth_bits_obtained_);
  SDL_Window* resized =
      SDL_CreateWindow(SDL_GetWindowTitle(window_), 0, 0, width, height,
                       SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
  if (resized == nullptr) {
    return;
  }
  SDL_GLContext context = SDL_GL_GetCurrentContext();
  if (context != nullptr && SDL_GL_GetCurrentWindow() == window_) {
    SDL_GL_MakeCurrent(resized, context);
  }
  SDL_DestroyWindow(window_);
  window_ = resized;
}

// One window, one drawable: the device context is the window itself.
Handle SdlPlatform::GetDC(Handle window) {
  return window;
}

bool SdlPlatform::ReleaseDC(Handle window, Handle dc) {
  return window != 0 && window == dc;
}

int SdlPlatform::ChoosePixelFormat(Handle dc, const PixelFormatDescriptor& pfd) {
  const uint32_t needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  if (dc == 0 || (pfd.dwFlags & needed) != needed || pfd.iPixelType != PFD_TYPE_RGBA ||
      pfd.cColorBits < 15 || pfd.cColorBits > 32) {
    return 0;
  }
  return 1;
}

bool SdlPlatform::SetPixelFormat(Handle dc, int format, const PixelFormatDescriptor& pfd) {
  depth_bits_asked_ = pfd.cDepthBits;
  return dc != 0 && format == 1;
}

std::string SdlPlatform::DescribePixelFormat(Handle dc) {
  if (dc == 0) {
    return {};
  }
  int red = 0, green = 0, blue = 0, alpha = 0, depth = 0, stencil = 0, doubled = 0;
  SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &red);
  SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &green);
  SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &blue);
  SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &alpha);
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil);
  SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubled);
  std::string text = "Pixel format : colour " + std::to_string(red + green + blue + alpha) +
                     " alpha " + std::to_string(alpha) + " depth " + std::to_string(depth) +
                     " stencil " + std::to_string(stencil) +
                     (doubled != 0 ? " double-buffered" : " single-buffered");
  if (depth < depth_bits_asked_) {
    text += " (depth " + std::to_string(depth_bits_asked_) + " not available)";
  }
  return text;
}

Handle SdlPlatform::CreateContext(Handle dc) {
  if (dc == 0) {
    return 0;
  }
  return reinterpret_cast<Handle>(SDL_GL_CreateContext(AsWindow(dc)));
}

bool SdlPlatform::MakeCurrent(Handle dc, Handle context) {
  if (!video_ready_) {
    return context == 0;
  }
  ForgetPacing();
  return SDL_GL_MakeCurrent(AsWindow(dc), reinterpret_cast<SDL_GLContext>(context)) == 0;
}

bool SdlPlatform::DeleteContext(Handle context) {
  if (context == 0) {
    return false;
  }
  if (SDL_GL_GetCurrentContext() == reinterpret_cast<SDL_GLContext>(context)) {
    ForgetPacing();
  }
  SDL_GL_DeleteContext(reinterpret_cast<SDL_GLContext>(context));
  return true;
}

bool SdlPlatform::SwapBuffers(Handle dc) {
  if (dc == 0) {
    return false;
  }
  SDL_GL_SwapWindow(AsWindow(dc));
  PaceFrame();
  return true;
}

void SdlPlatform::PaceFrame() {
  if (!pacing_checked_) {
    pacing_checked_ = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || SwapPacesFrames(driver) || SDL_GL_GetCurrentContext() == nullptr) {
      return;
    }
    FenceCalls calls;
    // Linux hands out an address for any gl name: only an advertised extension is callable.
    if (SDL_GL_ExtensionSupported("GL_ARB_sync") == SDL_TRUE) {
      calls.fence_sync =
          reinterpret_cast<decltype(calls.fence_sync)>(SDL_GL_GetProcAddress("glFenceSync"));
      calls.client_wait_sync = reinterpret_cast<decltype(calls.client_wait_sync)>(
          SDL_GL_GetProcAddress("glClientWaitSync"));
      calls.delete_sync =
          reinterpret_cast<decltype(calls.delete_sync)>(SDL_GL_GetProcAddress("glDeleteSync"));
    }
    calls.finish = reinterpret_cast<decltype(calls.finish)>(SDL_GL_GetProcAddress("glFinish"));
    pacer_.emplace(calls);
  }
  if (pacer_) {
    pacer_->FrameSwapped();
  }
}

void SdlPlatform::ForgetPacing() {
  if (pacer_ && SDL_GL_GetCurrentContext() != nullptr) {
    pacer_->Release();
  }
  pacer_.reset();
  pacing_checked_ = false;
}

void SdlPlatform::SetTimer(Handle, uint32_t id, uint32_t interval_ms) {
  queue_.SetTimer(id, interval_ms);
}

void SdlPlatform::ShowWindow(Handle window) {
  if (window == 0) {
    return;
  }
  SDL_Window* sdl_window = AsWindow(window);
  SDL_ShowWindow(sdl_window);
  SDL_RaiseWindow(sdl_window);
  int width = 0, height = 0;
  SDL_GetWindowSize(sdl_window, &width, &height);
  // The size asked for is the outer size: give the frame its share of it, as Windows does. A
  // size a tool chose is the client area's already.
  int top = 0, left = 0, bottom = 0, right = 0;
  if (client_width_ == 0 &&
      SDL_GetWindowBordersSize(sdl_window, &top, &left, &bottom, &right) == 0 &&
      (top | left | bottom | right) != 0) {
    width -= left + right;
    height -= top + bottom;
    SDL_SetWindowSize(sdl_window, width, height);
  }
  if (!pass_sizes_ && client_width_ > 0) {
    width = client_width_;
    height = client_height_;
  }
  // Windows tells a new window its client size before anything else reaches it; here it comes
  // first through the queue, before the first frame.
  queue_.Post(Message{WM_SIZE, SIZE_RESTORED, MakeLParam(width, height)});
}

void SdlPlatform::SetWindowText(Handle window, const std::string& text) {
  if (window != 0) {
    SDL_SetWindowTitle(AsWindow(window), text.c_str());
  }
}

// As a Win32 program does it, a borderless window moved over the whole display: a window
// manager sees a window that fills its monitor without a frame and keeps it above its panels,
// and with no window manager (a bare X server) it works all the same, where asking for the
// window manager's full-screen state would change nothing but SDL's idea of the size.
bool SdlPlatform::SetWindowFullscreen(Handle window, bool fullscreen) {
  if (window == 0) {
    return false;
  }
  if (!pass_sizes_ || fullscreen == windowed_.has_value()) {
    return true;
  }
  SDL_Window* sdl_window = AsWindow(window);
  if (fullscreen) {
    SDL_Rect display{};
    const int index = SDL_GetWindowDisplayIndex(sdl_window);
    if (index < 0 || SDL_GetDisplayBounds(index, &display) != 0) {
      return false;
    }
    Placement placement{};
    SDL_GetWindowPosition(sdl_window, &placement.x, &placement.y);
    placement.maximised = (SDL_GetWindowFlags(sdl_window) & SDL_WINDOW_MAXIMIZED) != 0;
    if (placement.maximised) {
      SDL_RestoreWindow(sdl_window);
    }
    SDL_GetWindowSize(sdl_window, &placement.width, &placement.height);
    windowed_ = placement;
    SDL_SetWindowBordered(sdl_window, SDL_FALSE);
    SDL_SetWindowPosition(sdl_window, display.x, display.y);
    SDL_SetWindowSize(sdl_window, display.w, display.h);
    return true;
  }
  SDL_SetWindowBordered(sdl_window, SDL_TRUE);
  SDL_SetWindowSize(sdl_window, windowed_->width, windowed_->height);
  SDL_SetWindowPosition(sdl_window, windowed_->x, windowed_->y);
  if (windowed_->maximised) {
    SDL_MaximizeWindow(sdl_window);
  }
  windowed_.reset();
  return true;
}

bool SdlPlatform::PeekMessage(Message& message) {
  if (!queue_.Peek(message)) {
    return false;
  }
  // The window is resized before the window procedure hears of it, as Windows does.
  if (!pass_sizes_ && message.message == WM_SIZE) {
    SizeHeldWindow(LowWord(message.lParam), HighWord(message.lParam));
  }
  return true;
}

void SdlPlatform::PostQuitMessage(int exit_code) {
  queue_.PostQuit(exit_code);
}

bool SdlPlatform::MessageBox(const std::string& text, const std::string& caption) {
  const char* current = SDL_GetCurrentVideoDriver();
  const char* requested = SDL_getenv("SDL_VIDEODRIVER");
  if (ChooseMessageBoxRoute(current != nullptr ? current : "",
                            requested != nullptr ? requested : "") == MessageBoxRoute::kNone) {
    return false;
  }
  // Without a window the box has no parent; SDL then opens the window system's own box, so
  // start-up failures are seen even after the video subsystem is shut down.
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr) ==
         0;
}

} // namespace meridia::platform
