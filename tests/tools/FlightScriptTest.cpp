#include "FlightScript.h"

#include "app/Shell.h"
#include "platform/Clock.h"
#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

namespace meridia::flight {
namespace {

TEST(FlightScript, EventsHeadersAndComments) {
  const char* text = "# frames 120\n"
                     "# position 0,0,1.5e3\n"
                     "# a descent over the pole\n"
                     "\n"
                     "10 down w   # forward\n"
                     "5 mouse_down 400 300\r\n"
                     "40 up W\n"
                     "6 mouse_move 410 290\n"
                     "7 mouse_up -3 -290\n"
                     "99 down F4\n"
                     "# frames 5\n"; // after the first event: a plain comment
  FlightScript script;
  std::string error;
  ASSERT_TRUE(ParseFlightScript(text, script, error)) << error;
  EXPECT_EQ(script.frames, 120);
  ASSERT_TRUE(script.position.has_value());
  EXPECT_FLOAT_EQ(script.position->z, 1500.0f);
  ASSERT_EQ(script.events.size(), 6u);
  // Ordered by frame, whatever the file's order.
  EXPECT_EQ(script.events[0].frame, 5);
  EXPECT_EQ(script.events[0].message.message, platform::WM_LBUTTONDOWN);
  EXPECT_EQ(platform::LowWord(script.events[0].message.lParam), 400);
  EXPECT_EQ(platform::HighWord(script.events[0].message.lParam), 300);
  EXPECT_EQ(script.events[1].message.message, platform::WM_MOUSEMOVE);
  EXPECT_EQ(script.events[2].message.message, platform::WM_LBUTTONUP);
  EXPECT_EQ(platform::SignedLowWord(script.events[2].message.lParam), -3);
  EXPECT_EQ(platform::SignedHighWord(script.events[2].message.lParam), -290);
  EXPECT_EQ(script.events[3].frame, 10);
  EXPECT_EQ(script.events[3].message.message, platform::WM_KEYDOWN);
  EXPECT_EQ(script.events[3].message.wParam, static_cast<uintptr_t>('W'));
  EXPECT_EQ(script.events[4].message.message, platform::WM_KEYUP);
  EXPECT_EQ(script.events[5].message.wParam, static_cast<uintptr_t>(platform::VK_F4));
}

// The window's own events: a new client size and the full-screen command, as the window
// procedure receives them.
TEST(FlightScript, SizesAndFullScreen) {
  const char* text = "# size 1280x720\n"
                     "4 size 1024 576\n"
                     "4 fullscreen   # F11\n"
                     "9 size 1 8192\n";
  FlightScript script;
  std::string error;
  ASSERT_TRUE(ParseFlightScript(text, script, error)) << error;
  EXPECT_EQ(script.size, (ClientSize{1280, 720}));
  ASSERT_EQ(script.events.size(), 3u);
  EXPECT_EQ(script.events[0].message.message, platform::WM_SIZE);
  EXPECT_EQ(script.events[0].message.wParam, platform::SIZE_RESTORED);
  EXPECT_EQ(script.events[0].message.lParam, platform::MakeLParam(1024, 576));
  EXPECT_EQ(script.events[1].frame, 4);
  EXPECT_EQ(script.events[1].message.message, platform::WM_COMMAND);
  EXPECT_EQ(script.events[1].message.wParam, platform::MakeWParam(Shell::kFullscreenCommand, 1));
  EXPECT_EQ(script.events[2].message.lParam, platform::MakeLParam(1, 8192));
}

TEST(FlightScript, MalformedLinesAreNamed) {
  for (const char* text : {"1 down\n",
                           "1 down Q\n2 down PLUS\n",
                           "0 down W\n",
                           "x down W\n",
                           "\n\n3 jump\n",
                           "1 mouse_move 10\n",
                           "1 mouse_move 10 40000\n",
                           "1 mouse_move 10 5 7\n",
                           "# frames many\n",
                           "# position 1,2\n",
                           "# position 0,1e39,0\n",
                           "4 down W extra\n",
                           "1 step 16\n",
                           "2 step\n",
                           "2 step -1\n",
                           "2 step 4294967296\n",
                           "2 step 5 6\n",
                           "3 step 5\n3 step 5\n",
                           "# clock-seed -1\n",
                           "# clock-seed 4294967296\n",
                           "# seed 2147483648\n",
                           "# seed x\n",
                           "# step-ms 1.5\n",
                           "2 down 0x100\n",
                           "4 STEP 1\n",
                           "1 size 1024\n",
                           "1 size 0 600\n",
                           "1 size 800 8193\n",
                           "1 size -5 600\n",
                           "1 size 800x600\n",
                           "1 size 800 600 2\n",
                           "1 fullscreen now\n",
                           "# size 800x\n",
                           "# size 0x600\n",
                           "# size 800x600x2\n"}) {
    FlightScript script;
    std::string error;
    EXPECT_FALSE(ParseFlightScript(text, script, error)) << text;
    // The bad line is the last one.
    const auto line = std::count(text, text + std::strlen(text), '\n');
    EXPECT_EQ(error.rfind("line " + std::to_string(line), 0), 0u) << text << " gave: " << error;
  }
}

// The lines a recorded flight adds: its clock, its seed, and keys without a name of their own.
TEST(FlightScript, ClockLinesAndHeaders) {
  const struct {
    const char* text;
    std::optional<uint32_t> clock_seed;
    std::optional<int> step_ms;
    std::map<int, uint32_t> steps;
    size_t events;
    std::optional<int32_t> seed = std::nullopt;
  } cases[] = {
      {"# clock-seed 4294967295\n", 4294967295u, std::nullopt, {}, 0},
      {"# clock-seed 0\n# step-ms 0\n# seed -2147483648\n", 0u, 0, {}, 0, INT32_MIN},
      {"# step-ms 33\n# seed 7\n5 down W\n", std::nullopt, 33, {}, 1, 7},
      {"2 step 7\n3 step 0\n2 down SPACE\n9 step 4294967295\n",
       std::nullopt,
       std::nullopt,
       {{2, 7}, {3, 0}, {9, 4294967295u}},
       1},
      // Headers after the first line are plain comments.
      {"2 step 5\n# step-ms 9\n# clock-seed 1\n# seed 7\n",
       std::nullopt,
       std::nullopt,
       {{2, 5}},
       0},
      {"3 down 0x5B\n3 up numpad4\n", std::nullopt, std::nullopt, {}, 2},
  };
  for (const auto& c : cases) {
    FlightScript script;
    std::string error;
    ASSERT_TRUE(ParseFlightScript(c.text, script, error)) << c.text << ": " << error;
    EXPECT_EQ(script.clock_seed, c.clock_seed) << c.text;
    EXPECT_EQ(script.step_ms, c.step_ms) << c.text;
    EXPECT_EQ(script.steps, c.steps) << c.text;
    EXPECT_EQ(script.events.size(), c.events) << c.text;
    EXPECT_EQ(script.seed, c.seed) << c.text;
  }
}

// What a recording writes reads back as the same flight, bit for bit.
TEST(FlightScript, FormattedScriptsReadBackUnchanged) {
  FlightScript script;
  script.frames = 400;
  script.position = Vector3f{49.1289749f, -0.1f, 1.0f / 3.0f};
  script.clock_seed = 3141592653u;
  script.seed = -42;
  script.galaxy = true;
  script.steps = {{2, 17}, {3, 6}, {5, 250}, {400, 0}};
  const std::vector<std::pair<int, platform::Message>> events = {
      {1, {platform::WM_KEYDOWN, 'R', 0}},
      {3, {platform::WM_KEYDOWN, platform::VK_LEFT, 0}},
      {3, {platform::WM_LBUTTONDOWN, 0, platform::MakeLParam(100, 300)}},
      {3, {platform::WM_MOUSEMOVE, 0, platform::MakeLParam(-12, -32768)}},
      {4, {platform::WM_KEYUP, 0x5B, 0}},
      {7, {platform::WM_LBUTTONUP, 0, platform::MakeLParam(32767, 0)}},
      {7, {platform::WM_KEYDOWN, platform::VK_NUMPAD0 + 9, 0}},
      {8, {platform::WM_SIZE, platform::SIZE_RESTORED, platform::MakeLParam(8192, 1)}},
      {8, {platform::WM_COMMAND, platform::MakeWParam(Shell::kFullscreenCommand, 1), 0}},
      {9, {platform::WM_SIZE, platform::SIZE_RESTORED, platform::MakeLParam(1280, 720)}},
  };
  script.size = ClientSize{1024, 576};
  for (const auto& [frame, message] : events) {
    script.events.push_back({frame, message});
  }
  const std::string text = FormatFlightScript(script);
  FlightScript back;
  std::string error;
  ASSERT_TRUE(ParseFlightScript(text, back, error)) << error << "\n" << text;
  EXPECT_EQ(back.frames, script.frames);
  ASSERT_TRUE(back.position.has_value());
  for (int axis = 0; axis < 3; ++axis) {
    const float written = (&script.position->x)[axis], read = (&back.position->x)[axis];
    EXPECT_EQ(std::memcmp(&written, &read, sizeof(float)), 0) << text;
  }
  EXPECT_EQ(back.clock_seed, script.clock_seed);
  EXPECT_EQ(back.seed, -42);
  EXPECT_TRUE(back.galaxy);
  EXPECT_FALSE(back.step_ms.has_value());
  EXPECT_EQ(back.steps, script.steps);
  EXPECT_EQ(back.size, script.size);
  ASSERT_EQ(back.events.size(), script.events.size()) << text;
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(back.events[i].frame, script.events[i].frame) << i;
    EXPECT_EQ(back.events[i].message.message, script.events[i].message.message) << i;
    EXPECT_EQ(back.events[i].message.wParam, script.events[i].message.wParam) << i;
    EXPECT_EQ(back.events[i].message.lParam, script.events[i].message.lParam) << i;
  }
  // Steps stand before the events of their frame, and a frame's events keep their order.
  EXPECT_NE(text.find("3 step 6\n3 down LEFT\n3 mouse_down 100 300\n3 mouse_move -12 -32768\n"),
            std::string::npos)
      << text;
  // A constant clock is one header line; a message a script cannot hold is left out.
  FlightScript stepped;
  stepped.step_ms = 16;
  stepped.events.push_back({2, {platform::WM_TIMER, 1, 0}});
  stepped.events.push_back({2, {platform::WM_KEYDOWN, 300, 0}});
  stepped.events.push_back({2, {platform::WM_SIZE, 0, platform::MakeLParam(0, 600)}});
  stepped.events.push_back({2, {platform::WM_SIZE, 0, platform::MakeLParam(9000, 600)}});
  stepped.events.push_back({2, {platform::WM_COMMAND, 2, 0}});
  EXPECT_EQ(FormatFlightScript(stepped), "# step-ms 16\n");
}

TEST(FlightOptions, CommandLineWinsOverTheScriptHeader) {
  FlightOptions options;
  std::string error;
  ASSERT_TRUE(ParseFlightOptions({"--frames", "30", "--shot", "29", "--shot", "5", "--stats",
                                  "s.csv", "--step-ms", "0", "--detail", "--galaxy"},
                                 options, error))
      << error;
  EXPECT_EQ(options.frames, 30);
  EXPECT_EQ(options.shots, (std::vector<int>{29, 5}));
  EXPECT_EQ(options.stats_path, "s.csv");
  EXPECT_EQ(options.step_ms, 0);
  EXPECT_TRUE(options.detail);
  EXPECT_TRUE(options.galaxy);
  EXPECT_FALSE(FlightOptions{}.galaxy);
  EXPECT_EQ(options.shots_dir, "screens");
  EXPECT_FALSE(options.shots_dir_given); // the viewer's screenshot folder, wherever that is
  EXPECT_FALSE(options.clock_seed.has_value());
  ASSERT_TRUE(
      ParseFlightOptions({"--clock-seed", "4294967295", "--startup", "t.csv"}, options, error));
  EXPECT_EQ(options.clock_seed, 4294967295u);
  EXPECT_EQ(options.startup_path, "t.csv");
  ASSERT_TRUE(ParseFlightOptions({"--record", "r.flight"}, options, error));
  EXPECT_EQ(options.record_path, "r.flight");
  EXPECT_FALSE(options.seed.has_value());
  ASSERT_TRUE(ParseFlightOptions({"--seed", "-9"}, options, error));
  EXPECT_EQ(options.seed, -9);
  ASSERT_TRUE(ParseFlightOptions({"--shots", "screens"}, options, error));
  EXPECT_TRUE(options.shots_dir_given);
  EXPECT_FALSE(options.size.has_value());
  ASSERT_TRUE(ParseFlightOptions({"--size", "1280x720"}, options, error));
  EXPECT_EQ(options.size, (ClientSize{1280, 720}));
  FlightOptions video;
  ASSERT_TRUE(
      ParseFlightOptions({"--video", "f.webm", "--fps", "24", "--quality", "0"}, video, error));
  EXPECT_EQ(video.video_path, "f.webm");
  EXPECT_EQ(video.fps, 24);
  EXPECT_EQ(video.quality, 0);
  EXPECT_EQ(ShotFileName("screens", 29), "screens/frame_00029.tga");
  EXPECT_EQ(ShotFileName("out", 123456), "out/frame_123456.tga");

  FlightScript script;
  script.frames = 500;
  script.position = Vector3f{1, 2, 3};
  script.clock_seed = 7;
  script.step_ms = 40;
  script.size = ClientSize{640, 480};
  script.seed = 7;
  ApplyScriptDefaults(script, options);
  EXPECT_EQ(options.size, (ClientSize{1280, 720}));
  EXPECT_EQ(options.frames, 30);
  ASSERT_TRUE(options.position.has_value());
  EXPECT_FLOAT_EQ(options.position->y, 2.0f);
  EXPECT_EQ(options.clock_seed, 4294967295u);
  EXPECT_EQ(options.step_ms, 0);
  EXPECT_EQ(options.seed, -9);
  // Without them on the command line, the header's clock, seeds and world hold.
  FlightOptions plain;
  ApplyScriptDefaults(script, plain);
  EXPECT_EQ(plain.clock_seed, 7u);
  EXPECT_EQ(plain.seed, 7);
  EXPECT_EQ(plain.step_ms, 40);
  EXPECT_EQ(plain.frames, 500);
  EXPECT_EQ(plain.size, (ClientSize{640, 480}));
  EXPECT_FALSE(plain.galaxy);
  script.galaxy = true;
  ApplyScriptDefaults(script, plain);
  EXPECT_TRUE(plain.galaxy);
}

TEST(FlightOptions, BadOptionsAreRefused) {
  const std::vector<std::vector<std::string>> cases = {{"--frames"},
                                                       {"--frames", "0"},
                                                       {"--frames", "ten"},
                                                       {"--step-ms", "-1"},
                                                       {"--position", "1,2"},
                                                       {"--position", "1,2,z"},
                                                       {"--shot", "0"},
                                                       {"--bogus"},
                                                       {"--stats"},
                                                       {"--position", "0,0,1e39"},
                                                       {"--clock-seed", "-1"},
                                                       {"--clock-seed", "4294967296"},
                                                       {"--clock-seed", ""},
                                                       {"--clock-seed"},
                                                       {"--seed", "x"},
                                                       {"--seed", "99999999999"},
                                                       {"--seed", "7.5"},
                                                       {"--seed"},
                                                       {"--startup"},
                                                       {"--record"},
                                                       {"--size"},
                                                       {"--size", "0x600"},
                                                       {"--size", "800x0"},
                                                       {"--size", "800x"},
                                                       {"--size", "x600"},
                                                       {"--size", "800x600x1"},
                                                       {"--size", "8193x600"},
                                                       {"--size", "800x8193"},
                                                       {"--size", "-800x600"},
                                                       {"--size", "800*600"},
                                                       {"--size", "800 x 600"},
                                                       {"--size", "1e3x600"},
                                                       {"--video"},
                                                       {"--fps", "0"},
                                                       {"--fps", "1001"},
                                                       {"--fps", "29.97"},
                                                       {"--quality", "-1"},
                                                       {"--quality", "best"},
                                                       {"--fps", "30", "--step-ms", "16"},
                                                       {"--step-ms", "16", "--fps", "30"}};
  for (const auto& args : cases) {
    FlightOptions options;
    std::string error;
    EXPECT_FALSE(ParseFlightOptions(args, options, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

// A frame rate's clock, run on the loop's own stepped clock: every frame comes at its multiple
// of 1 / fps, rounded to the millisecond, whatever clock the script had.
TEST(FlightOptions, AFrameRateSetsTheClock) {
  for (const int fps : {1, 7, 24, 25, 30, 60, 144, 999, 1000}) {
    FlightOptions options;
    options.frames = 2 * fps + 3;
    FlightScript script;
    script.steps = {{2, 5000}, {3, 1}};
    ApplyFrameRate(fps, options, script);
    platform::SteppedClock clock(static_cast<uint32_t>(options.step_ms), 0, script.steps);
    for (int frame = 1; frame <= options.frames; ++frame) {
      const int64_t expected = ((frame - 1) * 2000LL + fps) / (2LL * fps);
      ASSERT_EQ(clock.GetTickCount(), expected) << fps << " fps, frame " << frame;
      clock.Sleep(5);
    }
  }
}

} // namespace
} // namespace meridia::flight
