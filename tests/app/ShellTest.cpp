#include "app/Shell.h"

#include "FakePlatform.h"
#include "engine/PlanetSeed.h"
#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace meridia {
namespace {

using platform::MakeLParam;
using platform::Message;
using testing::FakePlatform;

class RecordingScene final : public SceneHooks {
public:
  std::vector<std::string> events;
  std::vector<float> deltas;
  int renders = 0;
  int updates = 0;
  int viewport[4] = {-1, -1, -1, -1};
  std::vector<std::string> frames_and_sizes; // "frame" for each render, "W x H" for each size
  // Runs inside UpdateFrame; lets a test act as the user would between frames.
  std::function<void(int update)> on_update;
  std::function<void()> swap_buffers;
  bool swap_in_init = false; // show start-up's drawing through the shell's swap
  std::function<void(const std::string&)> show_error;
  std::string missing; // what this system lacks, said through the shell's error box

  void SetSwapBuffers(std::function<void()> swap) override { swap_buffers = std::move(swap); }
  void SetShowError(std::function<void(const std::string&)> show) override {
    show_error = std::move(show);
  }
  bool InitScene() override {
    events.push_back("InitScene");
    if (swap_in_init && swap_buffers) {
      swap_buffers();
    }
    if (!missing.empty()) {
      show_error(missing);
      return false;
    }
    return true;
  }
  void RenderFrame() override {
    ++renders;
    frames_and_sizes.push_back("frame");
  }
  void UpdateFrame(KeyStateTable&, float frame_delta_ms) override {
    ++updates;
    deltas.push_back(frame_delta_ms);
    if (on_update) {
      on_update(updates);
    }
  }
  void SetViewport(int x, int y, int w, int h) override {
    viewport[0] = x, viewport[1] = y, viewport[2] = w, viewport[3] = h;
    frames_and_sizes.push_back(std::to_string(w) + " x " + std::to_string(h));
  }
  void MouseMessage(uint32_t message, int x, int y) override {
    events.push_back("Mouse " + std::to_string(message) + " " + std::to_string(x) + "," +
                     std::to_string(y));
  }
};

struct Fixture {
  FakePlatform platform;
  RecordingScene scene;
  Shell shell{platform, scene};
  // Runs the loop, posting `message` during update number `at`.
  void RunUntil(int at, uint32_t message = platform::WM_CLOSE, uintptr_t w = 0) {
    auto previous = scene.on_update;
    scene.on_update = [=, this](int update) {
      if (previous) {
        previous(update);
      }
      if (update == at) {
        platform.Queue(Message{message, w, 0});
      }
    };
    shell.RunMainLoop();
  }
};

TEST(ShellCreation, EachFailingStepReportsInOrderAndReleases) {
  // Between window and context the context does not exist yet, so its deletion fails first.
  const std::string no_context = "Error: Release of rendering context failed!";
  const struct {
    const char* failing_call;
    std::vector<std::string> boxes;
  } cases[] = {
      {"RegisterWindowClass", {"Error: Failed to register the window class!"}},
      {"CreateWindow", {no_context, "Error: Unable to create window!"}},
      {"GetDC", {no_context, "Error: Unable to get a device context!"}},
      {"ChoosePixelFormat", {no_context, "Error: Unable to find a suitable pixel format"}},
      {"SetPixelFormat", {no_context, "Error: Unable to set the pixel format"}},
      {"CreateContext", {no_context, "Error: Unable to create an OpenGL rendering context"}},
      {"MakeCurrent", {"Error: Unable to activate OpenGL rendering context"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing_call);
    Fixture f;
    f.platform.failing = {c.failing_call};
    f.shell.RunMainLoop();
    EXPECT_EQ(f.platform.boxes, c.boxes);
    EXPECT_EQ(f.scene.renders, 0);
    EXPECT_TRUE(f.scene.events.empty()) << "InitScene must not run";
    const auto& calls = f.platform.calls;
    // A failed registration has nothing to release.
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "UnregisterWindowClass"),
              std::string(c.failing_call) != "RegisterWindowClass");
    EXPECT_EQ(f.shell.window(), 0u);
    EXPECT_EQ(f.shell.device_context(), 0u);
    EXPECT_EQ(f.shell.rendering_context(), 0u);
  }
}

TEST(ShellCreation, FullPixelFormatAndTheWindowShownBeforeTheScene) {
  Fixture f;
  f.scene.swap_in_init = true;
  ASSERT_TRUE(f.shell.CreateMainWindow(800, 600, false, 32));
  const auto& pfd = f.platform.chosen;
  EXPECT_EQ(std::vector<int>({pfd.cColorBits, pfd.cAlphaBits, pfd.cDepthBits, pfd.cStencilBits}),
            std::vector<int>({32, 8, 32, 8}));
  EXPECT_EQ(pfd.dwFlags, platform::PFD_DRAW_TO_WINDOW | platform::PFD_SUPPORT_OPENGL |
                             platform::PFD_DOUBLEBUFFER);
  const std::vector<std::string> expected = {
      "LoadGLLibraries",   "RegisterWindowClass", "CreateWindow",  "GetDC",
      "ChoosePixelFormat", "SetPixelFormat",      "CreateContext", "MakeCurrent",
      "SetTimer",          "ShowWindow",          "SwapBuffers"}; // the scene may show what it
                                                                  // draws during start-up
  EXPECT_EQ(f.platform.calls, expected);
  EXPECT_EQ(f.scene.events, std::vector<std::string>{"InitScene"});
  EXPECT_EQ(f.platform.captions.front(), "[meridia] Lumenar - seed 500");
}

TEST(ShellCreation, ASceneThatCannotRunReleasesEverythingAndFailsTheProcess) {
  Fixture f;
  f.scene.missing = "Required OpenGL extension missing: GL_ARB_vertex_program";
  f.RunUntil(1);
  // The scene's own box, shown while the window still exists, then the whole release in order
  // with no box of the shell's, and no frame.
  EXPECT_EQ(f.platform.boxes, std::vector<std::string>{"Error: " + f.scene.missing});
  const std::vector<std::string> expected = {
      "LoadGLLibraries",   "RegisterWindowClass", "CreateWindow",          "GetDC",
      "ChoosePixelFormat", "SetPixelFormat",      "CreateContext",         "MakeCurrent",
      "SetTimer",          "ShowWindow",          "MakeCurrent(null)",     "DeleteContext",
      "ReleaseDC",         "DestroyWindow",       "UnregisterWindowClass", "FreeGLLibraries"};
  EXPECT_EQ(f.platform.calls, expected);
  EXPECT_EQ(f.scene.renders, 0);
  EXPECT_NE(f.shell.ExitCode, 0);

  Fixture runs; // a scene that builds leaves the exit code alone
  runs.RunUntil(1);
  EXPECT_EQ(runs.shell.ExitCode, 0);
}

TEST(ShellRelease, EveryStepRunsAndReportsItsOwnFailure) {
  Fixture f;
  ASSERT_TRUE(f.shell.CreateMainWindow(800, 600, false, 32));
  f.platform.calls.clear();
  f.platform.failing = {"MakeCurrent(null)", "ReleaseDC", "DestroyWindow", "UnregisterWindowClass"};
  f.shell.DestroyMainWindow(false);
  const std::vector<std::string> boxes = {
      "Error: Release of DC and RC failed!", "Error: Release of device context failed!",
      "Error: Unable to destroy window!", "Error: Unable to unregister window class!"};
  EXPECT_EQ(f.platform.boxes, boxes);
  const std::vector<std::string> calls = {
      "MakeCurrent(null)", "DeleteContext",         "ReleaseDC",
      "DestroyWindow",     "UnregisterWindowClass", "FreeGLLibraries"};
  EXPECT_EQ(f.platform.calls, calls);
  EXPECT_EQ(f.shell.window(), 0u);

  Fixture full_screen; // restores the display and cursor first
  full_screen.shell.DestroyMainWindow(true);
  ASSERT_GE(full_screen.platform.calls.size(), 2u);
  EXPECT_EQ(full_screen.platform.calls[0], "RestoreDisplaySettings");
  EXPECT_EQ(full_screen.platform.calls[1], "ShowCursor(true)");
}

TEST(ShellLoop, EscapeEndsAfterItsFrameIsShownCloseAtOnce) {
  Fixture escape;
  escape.RunUntil(3, platform::WM_KEYDOWN, platform::VK_ESCAPE);
  // Escape arrives after the third update: frame 4 is still drawn and swapped, then no update.
  EXPECT_EQ(escape.scene.renders, 4);
  EXPECT_EQ(escape.scene.updates, 3);
  EXPECT_EQ(escape.platform.swaps, 4);
  EXPECT_EQ(escape.platform.calls.back(), "FreeGLLibraries");

  Fixture close;
  close.RunUntil(2);
  EXPECT_EQ(close.scene.renders, 2);
  EXPECT_EQ(close.scene.updates, 2);
}

// Whatever ends the loop, an observer hears of it after the last frame is swapped and while
// the context is still current.
TEST(ShellLoop, TheEndOfTheLoopIsToldBeforeTheContextGoes) {
  struct EndWatcher final : LoopObserver {
    std::vector<std::string>* calls = nullptr;
    int stop_after = 0;
    bool StopAfter(int frame) override { return frame == stop_after; }
    void LoopEnded() override { calls->push_back("LoopEnded"); }
  };
  const std::pair<uint32_t, uintptr_t> endings[] = {
      {platform::WM_KEYDOWN, platform::VK_ESCAPE}, {platform::WM_CLOSE, 0}, {0, 0}};
  for (const auto& [message, w] : endings) {
    Fixture f;
    EndWatcher watcher;
    watcher.calls = &f.platform.calls;
    watcher.stop_after = message == 0 ? 3 : 0;
    f.shell.SetObserver(&watcher);
    f.RunUntil(message == 0 ? 99 : 2, message, w);
    const auto& calls = f.platform.calls;
    const auto ended = std::find(calls.begin(), calls.end(), "LoopEnded");
    ASSERT_NE(ended, calls.end()) << message;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "LoopEnded"), 1) << message;
    EXPECT_GT(std::count(calls.begin(), ended, "SwapBuffers"), 0) << message;
    EXPECT_EQ(std::count(calls.begin(), ended, "MakeCurrent(null)"), 0) << message;
    EXPECT_EQ(std::count(ended, calls.end(), "SwapBuffers"), 0) << message;
    EXPECT_EQ(std::count(ended, calls.end(), "MakeCurrent(null)"), 1) << message;
  }
}

TEST(ShellLoop, FrameDeltaIsHalfTheLastFrame) {
  Fixture f; // the clock moves 10 ms at every sleep
  std::vector<float> seen;
  f.scene.on_update = [&](int update) {
    seen.push_back(f.shell.FrameDeltaMs);
    if (update == 1) {
      f.platform.clock.Sleep(0); // a slower second frame: 20 ms
    }
  };
  f.platform.clock.Sleep(0); // time before the loop starts does not count
  f.RunUntil(3);
  // The first frame is timed from the loop's start; later ones see half the previous frame.
  EXPECT_EQ(f.scene.deltas, (std::vector<float>{0.0f, 10.0f, 5.0f}));
  EXPECT_EQ(seen, f.scene.deltas);
}

TEST(ShellLoop, CaptionNamesTheWorldAndCountsFramesSinceThePreviousTick) {
  {
    Fixture f; // 10 ms per frame: 100 frames a second
    f.RunUntil(250);
    EXPECT_EQ(f.platform.captions,
              (std::vector<std::string>{"[meridia] Lumenar - seed 500",
                                        "[meridia] Lumenar - seed 500 [100 FPS]",
                                        "[meridia] Lumenar - seed 500 [100 FPS]"}));
    EXPECT_EQ(f.shell.FrameCounter, 50);
  }
  SetPlanetSeed(-7);
  Fixture f;
  f.RunUntil(150);
  SetPlanetSeed(kPlanetSeed);
  EXPECT_EQ(f.platform.captions,
            (std::vector<std::string>{"[meridia] Lumenar - seed -7",
                                      "[meridia] Lumenar - seed -7 [100 FPS]"}));
}

TEST(ShellWindowProc, MessagesReachTheirHandlers) {
  Fixture f;
  Shell& shell = f.shell;
  shell.MainWindowProc(0, platform::WM_SIZE, 0, MakeLParam(640, 0));
  EXPECT_EQ(f.scene.viewport[2], 640);
  EXPECT_EQ(f.scene.viewport[3], 1) << "a zero height becomes one pixel";

  shell.MainWindowProc(0, platform::WM_KEYDOWN, 'W', 0);
  EXPECT_TRUE(shell.KeyState['W']);
  shell.MainWindowProc(0, platform::WM_KEYUP, 'W', 0);
  EXPECT_FALSE(shell.KeyState['W']);
  shell.MainWindowProc(0, platform::WM_KEYDOWN, 0x1234, 0); // outside the table: ignored

  shell.FrameCounter = 7;
  shell.MainWindowProc(0, platform::WM_TIMER, 2, 0);
  EXPECT_EQ(shell.FrameCounter, 7) << "only timer 1 updates the caption";
  EXPECT_TRUE(f.platform.captions.empty());

  shell.MainWindowProc(0, platform::WM_LBUTTONDOWN, 0, MakeLParam(12, 34));
  shell.MainWindowProc(0, platform::WM_RBUTTONDOWN, 0, MakeLParam(1, 1));
  shell.MainWindowProc(0, platform::WM_LBUTTONDBLCLK, 0, MakeLParam(1, 1));
  // A captured drag left of and above the window: signed positions, as Windows reads them.
  shell.MainWindowProc(0, platform::WM_MOUSEMOVE, 0, MakeLParam(-1, -2));
  EXPECT_EQ(f.scene.events, (std::vector<std::string>{
                                "Mouse " + std::to_string(platform::WM_LBUTTONDOWN) + " 12,34",
                                "Mouse " + std::to_string(platform::WM_MOUSEMOVE) + " -1,-2"}));
  shell.MainWindowProc(0, platform::WM_CLOSE, 0, 0);
  EXPECT_EQ(f.platform.calls.back(), "PostQuitMessage");
}

// What the window procedure is handed, for checking what the loop dispatches.
class DispatchLog final : public LoopObserver {
public:
  std::vector<uint32_t> messages;
  void MessageDispatched(int, uint32_t message, uintptr_t, intptr_t) override {
    messages.push_back(message);
  }
};

TEST(ShellLoop, F11AndAltEnterToggleFullScreenAndTheSceneTakesEachSizeBeforeTheNextFrame) {
  Fixture f;
  DispatchLog log;
  f.shell.SetObserver(&log);
  const Message f11{platform::WM_KEYDOWN, platform::VK_F11, 0};
  const Message alt_enter{platform::WM_SYSKEYDOWN, platform::VK_RETURN, platform::kKeyAltDown};
  const Message enter{platform::WM_KEYDOWN, platform::VK_RETURN, 0};
  f.scene.on_update = [&](int update) {
    if (update == 1) {
      f.platform.Queue(f11);
    } else if (update == 2) {
      f.platform.Queue(enter); // Enter without Alt is a plain key
      f.platform.Queue(alt_enter);
    } else if (update == 3) {
      // Refused by the window system: the window stays as it is.
      f.platform.failing = {"SetWindowFullscreen(true)"};
      f.platform.Queue(f11);
    } else if (update == 4) {
      f.platform.failing.clear();
      f.platform.Queue(
          Message{platform::WM_SIZE, platform::SIZE_MAXIMIZED, platform::MakeLParam(1280, 0)});
      f.platform.Queue(f11);
    }
  };
  f.RunUntil(5);
  EXPECT_EQ(f.scene.frames_and_sizes,
            (std::vector<std::string>{"frame", "1920 x 1080", "frame", "800 x 600", "frame",
                                      "frame", "1280 x 1", "1920 x 1080", "frame"}));
  const auto& calls = f.platform.calls;
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetWindowFullscreen(true)"), 3);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetWindowFullscreen(false)"), 1);
  EXPECT_TRUE(f.shell.Fullscreen);
  // The key-downs went no further than their command; Enter alone reached the key table.
  EXPECT_FALSE(f.shell.KeyState[platform::VK_F11]);
  EXPECT_TRUE(f.shell.KeyState[platform::VK_RETURN]);
  EXPECT_EQ(std::count(log.messages.begin(), log.messages.end(), platform::WM_COMMAND), 4);
  EXPECT_EQ(std::count(log.messages.begin(), log.messages.end(), platform::WM_SYSKEYDOWN), 0);
  EXPECT_EQ(std::count(log.messages.begin(), log.messages.end(), platform::WM_KEYDOWN), 1);
}

} // namespace
} // namespace meridia
