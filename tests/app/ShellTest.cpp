#include "app/Shell.h"

#include "FakePlatform.h"
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
  // Runs inside UpdateFrame; lets a test press keys as the user would between frames.
  std::function<void(int update, KeyStateTable&)> on_update;

  // What the shell gives for showing start-up's drawing; called from InitScene when asked to.
  std::function<void()> swap_buffers;
  bool swap_in_init = false;

  void SetSwapBuffers(std::function<void()> swap) override { swap_buffers = std::move(swap); }
  void InitScene() override {
    events.push_back("InitScene");
    if (swap_in_init && swap_buffers) {
      swap_buffers();
    }
  }
  void RenderFrame() override {
    ++renders;
    events.push_back("Render");
  }
  void UpdateFrame(KeyStateTable& keys, float frame_delta_ms) override {
    ++updates;
    deltas.push_back(frame_delta_ms);
    events.push_back("Update");
    if (on_update) {
      on_update(updates, keys);
    }
  }
  void SetViewport(int x, int y, int w, int h) override {
    viewport[0] = x, viewport[1] = y, viewport[2] = w, viewport[3] = h;
  }
  void MouseMessage(uint32_t message, int x, int y) override {
    events.push_back("Mouse " + std::to_string(message) + " " + std::to_string(x) + "," +
                     std::to_string(y));
  }
};

struct CreationFailure {
  const char* failing_call;
  std::vector<std::string> boxes;
};

TEST(ShellCreation, EachFailingStepReportsInOrderAndReleases) {
  const CreationFailure cases[] = {
      {"RegisterWindowClass", {"Error: Failed to register the window class!"}},
      // The context does not exist yet, so its deletion fails first.
      {"CreateWindow",
       {"Error: Release of rendering context failed!", "Error: Unable to create window!"}},
      {"GetDC",
       {"Error: Release of rendering context failed!", "Error: Unable to get a device context!"}},
      {"ChoosePixelFormat",
       {"Error: Release of rendering context failed!",
        "Error: Unable to find a suitable pixel format"}},
      {"SetPixelFormat",
       {"Error: Release of rendering context failed!", "Error: Unable to set the pixel format"}},
      {"CreateContext",
       {"Error: Release of rendering context failed!",
        "Error: Unable to create an OpenGL rendering context"}},
      {"MakeCurrent", {"Error: Unable to activate OpenGL rendering context"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing_call);
    FakePlatform platform;
    platform.failing = {c.failing_call};
    RecordingScene scene;
    Shell shell(platform, scene);
    shell.RunMainLoop();
    EXPECT_EQ(platform.boxes, c.boxes);
    EXPECT_EQ(scene.renders, 0);
    EXPECT_TRUE(scene.events.empty()) << "InitScene must not run";
    const bool released =
        std::count(platform.calls.begin(), platform.calls.end(), "UnregisterWindowClass") == 1;
    // A failed registration has nothing to release.
    EXPECT_EQ(released, std::string(c.failing_call) != "RegisterWindowClass");
    EXPECT_EQ(shell.window(), 0u);
    EXPECT_EQ(shell.device_context(), 0u);
    EXPECT_EQ(shell.rendering_context(), 0u);
  }
}

TEST(ShellCreation, AsksForTheFullPixelFormatAndShowsTheWindowBeforeTheScene) {
  FakePlatform platform;
  RecordingScene scene;
  Shell shell(platform, scene);
  ASSERT_TRUE(shell.CreateMainWindow(800, 600, false, 32));
  EXPECT_EQ(platform.chosen.cColorBits, 32);
  EXPECT_EQ(platform.chosen.cAlphaBits, 8);
  EXPECT_EQ(platform.chosen.cDepthBits, 32);
  EXPECT_EQ(platform.chosen.cStencilBits, 8);
  EXPECT_EQ(platform.chosen.dwFlags, platform::PFD_DRAW_TO_WINDOW | platform::PFD_SUPPORT_OPENGL |
                                         platform::PFD_DOUBLEBUFFER);
  const std::vector<std::string> expected = {
      "LoadGLLibraries", "RegisterWindowClass", "CreateWindow", "GetDC",    "ChoosePixelFormat",
      "SetPixelFormat",  "CreateContext",       "MakeCurrent",  "SetTimer", "ShowWindow"};
  EXPECT_EQ(platform.calls, expected);
  EXPECT_EQ(scene.events, std::vector<std::string>{"InitScene"});
  EXPECT_EQ(platform.captions.front(), "[meridia] Lumenar");
}

TEST(ShellCreation, TheSceneCanShowWhatItDrawsDuringStartUp) {
  FakePlatform platform;
  RecordingScene scene;
  scene.swap_in_init = true;
  Shell shell(platform, scene);
  ASSERT_TRUE(shell.CreateMainWindow(800, 600, false, 32));
  EXPECT_EQ(platform.swaps, 1);
  EXPECT_EQ(platform.calls.back(), "SwapBuffers");
}

TEST(ShellRelease, EveryStepRunsAndReportsItsOwnFailure) {
  FakePlatform platform;
  RecordingScene scene;
  Shell shell(platform, scene);
  ASSERT_TRUE(shell.CreateMainWindow(800, 600, false, 32));
  platform.calls.clear();
  platform.failing = {"MakeCurrent(null)", "ReleaseDC", "DestroyWindow", "UnregisterWindowClass"};
  shell.DestroyMainWindow(false);
  const std::vector<std::string> boxes = {
      "Error: Release of DC and RC failed!", "Error: Release of device context failed!",
      "Error: Unable to destroy window!", "Error: Unable to unregister window class!"};
  EXPECT_EQ(platform.boxes, boxes);
  const std::vector<std::string> calls = {
      "MakeCurrent(null)", "DeleteContext",         "ReleaseDC",
      "DestroyWindow",     "UnregisterWindowClass", "FreeGLLibraries"};
  EXPECT_EQ(platform.calls, calls);
  EXPECT_EQ(shell.window(), 0u);
}

TEST(ShellRelease, FullScreenRestoresTheDisplayAndCursorFirst) {
  FakePlatform platform;
  RecordingScene scene;
  Shell shell(platform, scene);
  shell.DestroyMainWindow(true);
  ASSERT_GE(platform.calls.size(), 2u);
  EXPECT_EQ(platform.calls[0], "RestoreDisplaySettings");
  EXPECT_EQ(platform.calls[1], "ShowCursor(true)");
}

TEST(ShellLoop, EscapeEndsAfterTheFrameItWasPressedForIsShown) {
  FakePlatform platform;
  RecordingScene scene;
  Shell shell(platform, scene);
  scene.on_update = [&](int update, KeyStateTable&) {
    if (update == 3) {
      platform.Queue(Message{platform::WM_KEYDOWN, platform::VK_ESCAPE, 0});
    }
  };
  shell.RunMainLoop();
  // Escape arrives after the third update: frame 4 is still drawn and swapped, then no update.
  EXPECT_EQ(scene.renders, 4);
  EXPECT_EQ(scene.updates, 3);
  EXPECT_EQ(platform.swaps, 4);
  EXPECT_EQ(platform.calls.back(), "FreeGLLibraries");
}

TEST(ShellLoop, NoFrameIsDrawnAfterClose) {
  FakePlatform platform;
  RecordingScene scene;
  Shell shell(platform, scene);
  scene.on_update = [&](int update, KeyStateTable&) {
    if (update == 2) {
      platform.Queue(Message{platform::WM_CLOSE, 0, 0});
    }
  };
  shell.RunMainLoop();
  EXPECT_EQ(scene.renders, 2);
  EXPECT_EQ(scene.updates, 2);
}

TEST(ShellLoop, FrameDeltaIsHalfTheLastFrame) {
  FakePlatform platform; // the clock moves 10 ms at every sleep
  RecordingScene scene;
  Shell shell(platform, scene);
  std::vector<float> seen;
  scene.on_update = [&](int update, KeyStateTable&) {
    seen.push_back(shell.FrameDeltaMs);
    if (update == 1) {
      platform.clock.Sleep(0); // a slower second frame: 20 ms
    }
    if (update == 3) {
      platform.Queue(Message{platform::WM_CLOSE, 0, 0});
    }
  };
  platform.clock.Sleep(0); // time before the loop starts does not count
  shell.RunMainLoop();
  // The first frame is timed from the loop's start; later ones see half the previous frame.
  EXPECT_EQ(scene.deltas, (std::vector<float>{0.0f, 10.0f, 5.0f}));
  EXPECT_EQ(seen, scene.deltas);
}

TEST(ShellLoop, CaptionCountsFramesSinceThePreviousTick) {
  FakePlatform platform; // 10 ms per frame: 100 frames a second
  RecordingScene scene;
  Shell shell(platform, scene);
  scene.on_update = [&](int update, KeyStateTable&) {
    if (update == 250) {
      platform.Queue(Message{platform::WM_CLOSE, 0, 0});
    }
  };
  shell.RunMainLoop();
  ASSERT_EQ(platform.captions.size(), 3u);
  EXPECT_EQ(platform.captions[1], "[meridia] Lumenar [100 FPS]");
  EXPECT_EQ(platform.captions[2], "[meridia] Lumenar [100 FPS]");
  EXPECT_EQ(shell.FrameCounter, 50);
}

TEST(ShellWindowProc, MessagesReachTheirHandlers) {
  FakePlatform platform;
  RecordingScene scene;
  Shell shell(platform, scene);
  shell.MainWindowProc(0, platform::WM_SIZE, 0, MakeLParam(640, 0));
  EXPECT_EQ(scene.viewport[2], 640);
  EXPECT_EQ(scene.viewport[3], 1) << "a zero height becomes one pixel";
  shell.MainWindowProc(0, platform::WM_SIZE, 0, MakeLParam(1024, 700));
  EXPECT_EQ(scene.viewport[3], 700);

  shell.MainWindowProc(0, platform::WM_KEYDOWN, 'W', 0);
  EXPECT_TRUE(shell.KeyState['W']);
  shell.MainWindowProc(0, platform::WM_KEYUP, 'W', 0);
  EXPECT_FALSE(shell.KeyState['W']);
  shell.MainWindowProc(0, platform::WM_KEYDOWN, 0x1234, 0); // outside the table: ignored

  shell.FrameCounter = 7;
  shell.MainWindowProc(0, platform::WM_TIMER, 2, 0);
  EXPECT_EQ(shell.FrameCounter, 7) << "only timer 1 updates the caption";
  EXPECT_TRUE(platform.captions.empty());

  shell.MainWindowProc(0, platform::WM_LBUTTONDOWN, 0, MakeLParam(12, 34));
  shell.MainWindowProc(0, platform::WM_RBUTTONDOWN, 0, MakeLParam(1, 1));
  shell.MainWindowProc(0, platform::WM_LBUTTONDBLCLK, 0, MakeLParam(1, 1));
  EXPECT_EQ(scene.events, std::vector<std::string>{
                              "Mouse " + std::to_string(platform::WM_LBUTTONDOWN) + " 12,34"});
  shell.MainWindowProc(0, platform::WM_CLOSE, 0, 0);
  EXPECT_EQ(platform.calls.back(), "PostQuitMessage");
}

} // namespace
} // namespace meridia
