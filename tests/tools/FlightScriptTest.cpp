#include "FlightScript.h"

#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

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

TEST(FlightScript, MalformedLinesAreNamed) {
  for (const char* text :
       {"1 down\n", "1 down Q\n2 down PLUS\n", "0 down W\n", "x down W\n", "\n\n3 jump\n",
        "1 mouse_move 10\n", "1 mouse_move 10 40000\n", "1 mouse_move 10 5 7\n", "# frames many\n",
        "# position 1,2\n", "# position 0,1e39,0\n", "4 down W extra\n"}) {
    FlightScript script;
    std::string error;
    EXPECT_FALSE(ParseFlightScript(text, script, error)) << text;
    // The bad line is the last one.
    const auto line = std::count(text, text + std::strlen(text), '\n');
    EXPECT_EQ(error.rfind("line " + std::to_string(line), 0), 0u) << text << " gave: " << error;
  }
}

TEST(FlightOptions, CommandLineWinsOverTheScriptHeader) {
  FlightOptions options;
  std::string error;
  ASSERT_TRUE(ParseFlightOptions({"--frames", "30", "--shot", "29", "--shot", "5", "--stats",
                                  "s.csv", "--step-ms", "0", "--detail"},
                                 options, error))
      << error;
  EXPECT_EQ(options.frames, 30);
  EXPECT_EQ(options.shots, (std::vector<int>{29, 5}));
  EXPECT_EQ(options.stats_path, "s.csv");
  EXPECT_EQ(options.step_ms, 0);
  EXPECT_TRUE(options.detail);
  EXPECT_EQ(options.shots_dir, "screens");
  EXPECT_FALSE(options.clock_seed.has_value());
  ASSERT_TRUE(
      ParseFlightOptions({"--clock-seed", "4294967295", "--startup", "t.csv"}, options, error));
  EXPECT_EQ(options.clock_seed, 4294967295u);
  EXPECT_EQ(options.startup_path, "t.csv");
  EXPECT_EQ(ShotFileName("screens", 29), "screens/frame_00029.tga");
  EXPECT_EQ(ShotFileName("out", 123456), "out/frame_123456.tga");

  FlightScript script;
  script.frames = 500;
  script.position = Vector3f{1, 2, 3};
  ApplyScriptDefaults(script, options);
  EXPECT_EQ(options.frames, 30);
  ASSERT_TRUE(options.position.has_value());
  EXPECT_FLOAT_EQ(options.position->y, 2.0f);
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
                                                       {"--startup"}};
  for (const auto& args : cases) {
    FlightOptions options;
    std::string error;
    EXPECT_FALSE(ParseFlightOptions(args, options, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

} // namespace
} // namespace meridia::flight
