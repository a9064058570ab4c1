// The SDL window system on the offscreen driver: the sizes the window procedure is told, full
// screen and back, the Alt+Enter chord, and the sizes a tool chooses.
#include "platform/SdlPlatform.h"

#include "platform/VirtualKeys.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace meridia::platform {
namespace {

using Sizes = std::vector<std::pair<int, int>>;

class SdlPlatformGL : public ::testing::Test {
protected:
  // The shell's creation order, up to the window shown with a current context.
  void Open() {
    ASSERT_TRUE(platform_.RegisterWindowClass("OpenGL"));
    window_ = platform_.CreateWindow("OpenGL", "test", 800, 600, false);
    ASSERT_NE(window_, 0u);
    PixelFormatDescriptor pfd;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.cColorBits = 32;
    ASSERT_TRUE(platform_.SetPixelFormat(window_, platform_.ChoosePixelFormat(window_, pfd), pfd));
    context_ = platform_.CreateContext(window_);
    ASSERT_NE(context_, 0u);
    ASSERT_TRUE(platform_.MakeCurrent(window_, context_));
    platform_.ShowWindow(window_);
  }
  void TearDown() override {
    if (context_ != 0) {
      platform_.MakeCurrent(window_, 0);
      platform_.DeleteContext(context_);
    }
    if (window_ != 0) {
      platform_.DestroyWindow(window_);
      platform_.UnregisterWindowClass("OpenGL");
    }
  }
  // The client sizes of the WM_SIZE messages waiting, in order.
  Sizes SizesWaiting() {
    Sizes sizes;
    Message message;
    while (platform_.PeekMessage(message)) {
      if (message.message == WM_SIZE) {
        sizes.emplace_back(LowWord(message.lParam), HighWord(message.lParam));
      }
    }
    return sizes;
  }

  SteppedClock clock_{16};
  SdlPlatform platform_{clock_};
  Handle window_ = 0;
  Handle context_ = 0;
};

TEST_F(SdlPlatformGL, TheWindowProcedureLearnsEachClientSizeFullScreenAndBack) {
  Open();
  EXPECT_EQ(SizesWaiting(), (Sizes{{800, 600}})) << "showing the window tells its size";
  SDL_Rect display{};
  ASSERT_EQ(SDL_GetDisplayBounds(0, &display), 0);
  ASSERT_TRUE(platform_.SetWindowFullscreen(window_, true));
  Sizes sizes = SizesWaiting();
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back(), std::make_pair(display.w, display.h));
  ASSERT_TRUE(platform_.SetWindowFullscreen(window_, false));
  sizes = SizesWaiting();
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back(), std::make_pair(800, 600)) << "the size before full screen";

  SDL_SetWindowSize(SDL_GL_GetCurrentWindow(), 1024, 576); // as a user would
  EXPECT_EQ(SizesWaiting(), (Sizes{{1024, 576}}));
  EXPECT_FALSE(platform_.SetWindowFullscreen(0, true));
}

TEST_F(SdlPlatformGL, EnterWithAltIsASystemKeyAsWindowsSendsIt) {
  Open();
  SizesWaiting();
  const struct {
    uint32_t type;
    uint16_t mod;
    Message expected;
  } cases[] = {
      {SDL_KEYDOWN, KMOD_LALT, {WM_SYSKEYDOWN, VK_RETURN, kKeyAltDown}},
      {SDL_KEYUP, KMOD_RALT, {WM_SYSKEYUP, VK_RETURN, kKeyAltDown}},
      {SDL_KEYDOWN, KMOD_NONE, {WM_KEYDOWN, VK_RETURN, 0}},
      {SDL_KEYDOWN, KMOD_LCTRL, {WM_KEYDOWN, VK_RETURN, 0}},
  };
  for (const auto& c : cases) {
    SDL_Event event{};
    event.type = c.type;
    event.key.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    event.key.keysym.sym = SDLK_RETURN;
    event.key.keysym.scancode = SDL_SCANCODE_RETURN;
    event.key.keysym.mod = c.mod;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    Message message;
    // SDL ends each round of polling with a marker: an event pushed after it waits one round.
    ASSERT_TRUE(platform_.PeekMessage(message) || platform_.PeekMessage(message));
    EXPECT_EQ(message.message, c.expected.message) << c.mod;
    EXPECT_EQ(message.wParam, c.expected.wParam) << c.mod;
    EXPECT_EQ(message.lParam, c.expected.lParam) << c.mod;
  }
}

// Sizes given as messages, as a flight's script gives them.
class ToolSizes final : public EventSource {
public:
  std::vector<Message> waiting;
  bool Poll(Message& message) override {
    if (waiting.empty()) {
      return false;
    }
    message = waiting.front();
    waiting.erase(waiting.begin());
    return true;
  }
};

// Red everywhere on the surface the window draws on, read back at its last pixel.
int RedAtTheFarCorner(int width, int height) {
  glViewport(0, 0, width, height);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  uint8_t pixel[4] = {0, 0, 0, 0};
  glReadPixels(width - 1, height - 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  return pixel[0];
}

TEST_F(SdlPlatformGL, AToolsClientSizeIsTheWholeWindowAndAHeldWindowTakesTheToolsSizes) {
  ToolSizes tool;
  platform_.AddEventSource(&tool);
  platform_.SetClientSize(1280, 720);
  platform_.HoldWindowSize();
  Open();
  EXPECT_EQ(SizesWaiting(), (Sizes{{1280, 720}}));
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(SDL_GL_GetCurrentWindow(), &width, &height);
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(1280, 720));

  // Each size the tool gives is the window's, to the last pixel, when the message is taken; the
  // shell's handles stay good.
  for (const auto& [w, h] : {std::pair{1600, 900}, std::pair{640, 360}}) {
    tool.waiting.push_back({WM_SIZE, SIZE_RESTORED, MakeLParam(w, h)});
    EXPECT_EQ(SizesWaiting(), (Sizes{{w, h}}));
    SDL_GL_GetDrawableSize(SDL_GL_GetCurrentWindow(), &width, &height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(w, h));
    EXPECT_EQ(RedAtTheFarCorner(w, h), 255) << w << "x" << h;
    EXPECT_TRUE(platform_.SwapBuffers(window_));
  }
  // Neither full screen nor the window system changes a held size.
  EXPECT_TRUE(platform_.SetWindowFullscreen(window_, true));
  SDL_GetWindowSize(SDL_GL_GetCurrentWindow(), &width, &height);
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(640, 360));
  SDL_SetWindowSize(SDL_GL_GetCurrentWindow(), 800, 600);
  EXPECT_TRUE(SizesWaiting().empty());
}

} // namespace
} // namespace meridia::platform
