#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <vector>

namespace meridia::platform {
namespace {

// The reads of one frame as the loop makes them: the queue's timer check, the loop's tick and
// the animation clock, then the Sleep that ends the frame.
std::vector<uint32_t> Fly(Clock& clock, int frames) {
  std::vector<uint32_t> ticks;
  for (int frame = 1; frame <= frames; ++frame) {
    for (int read = 0; read < 3; ++read) {
      ticks.push_back(clock.GetTickCount());
    }
    clock.Sleep(5);
  }
  return ticks;
}

TEST(SteppedClock, FramesWithAStepOfTheirOwnTakeItTheRestTheCommonStep) {
  SteppedClock clock(16, 100, {{2, 5}, {4, 0}, {5, 1000}, {1, 77}});
  const std::vector<uint32_t> expected = {100, 100, 100, 105,  105,  105,  121,  121,  121,
                                          121, 121, 121, 1121, 1121, 1121, 1137, 1137, 1137};
  EXPECT_EQ(Fly(clock, 6), expected);
}

// A frame-latched clock over a stepped one keeps its ticks, and its steps replayed by a stepped
// clock give them back.
TEST(FrameLatchedClock, ItsStepsReplayTheSameTicks) {
  SteppedClock source(16, 0xFFFFFFF0u, {{3, 1}, {4, 40}});
  FrameLatchedClock latched(source);
  EXPECT_EQ(latched.GetTickCount(), 0u) << "start-up takes no time";
  source.Sleep(0); // time spent before the loop starts does not count
  latched.Start();
  const std::vector<uint32_t> ticks = Fly(latched, 6);
  EXPECT_EQ(latched.Steps(), (std::vector<uint32_t>{1, 40, 16, 16, 16, 16}));
  std::map<int, uint32_t> steps;
  for (size_t i = 0; i < latched.Steps().size(); ++i) {
    steps[static_cast<int>(i) + 2] = latched.Steps()[i];
  }
  SteppedClock replay(999, 0, steps);
  EXPECT_EQ(Fly(replay, 6), ticks);
  EXPECT_EQ(ticks[3 * 5], 1u + 40u + 16u * 3u);
}

} // namespace
} // namespace meridia::platform
