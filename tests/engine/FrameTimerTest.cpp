#include "engine/FrameTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>

namespace meridia {
namespace {

uint32_t g_fake_now = 0;

uint32_t FakeNow() {
  return g_fake_now;
}

using CurrentAndDelta = std::pair<uint32_t, uint32_t>;

class FrameTimerTest : public ::testing::Test {
protected:
  void SetUp() override {
    g_fake_now = 1000;
    SetFrameTimeSource(&FakeNow);
    TimerReset(t);
  }
  void TearDown() override { SetFrameTimeSource(nullptr); }

  CurrentAndDelta UpdateAt(uint32_t now) {
    g_fake_now = now;
    TimerUpdate(t);
    return {t.Current, t.Delta};
  }

  TzoFrameTimer t;
};

TEST_F(FrameTimerTest, FollowsTheClock) {
  EXPECT_EQ(t.Start, 1000u);
  EXPECT_EQ(UpdateAt(1016), CurrentAndDelta(16, 16));
  EXPECT_EQ(t.Now, 1016u);
  EXPECT_DOUBLE_EQ(t.NowSeconds, 1.016);
  EXPECT_DOUBLE_EQ(t.DeltaSeconds, 0.016);
  EXPECT_EQ(UpdateAt(1050), CurrentAndDelta(50, 34));
  EXPECT_EQ(t.Previous, 16u);
  EXPECT_EQ(UpdateAt(1050), CurrentAndDelta(50, 0));
  EXPECT_EQ(t.DeltaSeconds, 0.0);
}

TEST_F(FrameTimerTest, StepsStaySmallAcrossTheClockWrap) {
  g_fake_now = 0xFFFFFFF0u;
  TimerReset(t);
  UpdateAt(0xFFFFFFFAu);
  EXPECT_EQ(UpdateAt(0x10u), CurrentAndDelta(0x20, 0x16));
}

TEST_F(FrameTimerTest, FixedStepIgnoresTheClockAndLeavingItIsNoHugeStep) {
  t.FixedStep = 10;
  EXPECT_EQ(UpdateAt(5000), CurrentAndDelta(10, 10));
  EXPECT_EQ(t.Now, 5000u);
  EXPECT_EQ(UpdateAt(1001), CurrentAndDelta(20, 10));
  EXPECT_DOUBLE_EQ(t.DeltaSeconds, 0.01);
  // Back to real time behind the fixed steps: the record follows the clock, the step is 0.
  t.FixedStep = 0;
  EXPECT_EQ(UpdateAt(1003), CurrentAndDelta(3, 0));
  EXPECT_EQ(UpdateAt(1010), CurrentAndDelta(10, 7));
}

TEST_F(FrameTimerTest, PauseHoldsTheRecordAndResetStartsAfresh) {
  UpdateAt(1020);
  t.Paused = true;
  EXPECT_EQ(UpdateAt(3000), CurrentAndDelta(20, 20));
  EXPECT_EQ(t.Now, 1020u);
  // Pausing holds the record, not the clock: the first step after it spans the pause.
  t.Paused = false;
  EXPECT_EQ(UpdateAt(3000), CurrentAndDelta(2000, 1980));

  t.Paused = true;
  t.FixedStep = 16;
  g_fake_now = 7000;
  TimerReset(t);
  EXPECT_TRUE(!t.Paused && t.FixedStep == 0 && t.Previous == 0 && t.DeltaSeconds == 0.0);
  EXPECT_EQ(t.Start, 7000u);
  EXPECT_EQ(CurrentAndDelta(t.Current, t.Delta), CurrentAndDelta(0, 0));
  EXPECT_EQ(UpdateAt(7005), CurrentAndDelta(5, 5));
}

TEST_F(FrameTimerTest, DefaultClockIsRestoredAndAdvances) {
  SetFrameTimeSource(nullptr);
  const uint32_t before = FrameTimeNow();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const uint32_t after = FrameTimeNow();
  EXPECT_GE(after - before, 20u);
  EXPECT_LT(after - before, 10000u);
}

} // namespace
} // namespace meridia
