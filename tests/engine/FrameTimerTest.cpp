#include "engine/FrameTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace meridia {
namespace {

uint32_t g_fake_now = 0;

uint32_t FakeNow() {
  return g_fake_now;
}

class FrameTimerTest : public ::testing::Test {
protected:
  void SetUp() override {
    g_fake_now = 1000;
    SetFrameTimeSource(&FakeNow);
  }
  void TearDown() override { SetFrameTimeSource(nullptr); }

  static void UpdateAt(TzoFrameTimer& t, uint32_t now) {
    g_fake_now = now;
    TimerUpdate(t);
  }
};

TEST_F(FrameTimerTest, FollowsTheClock) {
  TzoFrameTimer t;
  TimerReset(t);
  EXPECT_EQ(t.Start, 1000u);
  UpdateAt(t, 1016);
  EXPECT_EQ(t.Now, 1016u);
  EXPECT_DOUBLE_EQ(t.NowSeconds, 1.016);
  EXPECT_EQ(t.Previous, 0u);
  EXPECT_EQ(t.Current, 16u);
  EXPECT_EQ(t.Delta, 16u);
  EXPECT_DOUBLE_EQ(t.DeltaSeconds, 0.016);
  UpdateAt(t, 1050);
  EXPECT_EQ(t.Previous, 16u);
  EXPECT_EQ(t.Current, 50u);
  EXPECT_EQ(t.Delta, 34u);
  UpdateAt(t, 1050);
  EXPECT_EQ(t.Delta, 0u);
  EXPECT_EQ(t.DeltaSeconds, 0.0);
}

TEST_F(FrameTimerTest, StepsStaySmallAcrossTheClockWrap) {
  TzoFrameTimer t;
  g_fake_now = 0xFFFFFFF0u;
  TimerReset(t);
  UpdateAt(t, 0xFFFFFFFAu);
  UpdateAt(t, 0x10u);
  EXPECT_EQ(t.Current, 0x20u);
  EXPECT_EQ(t.Delta, 0x16u);
}

TEST_F(FrameTimerTest, FixedStepIgnoresTheClock) {
  TzoFrameTimer t;
  TimerReset(t);
  t.FixedStep = 10;
  UpdateAt(t, 5000);
  EXPECT_EQ(t.Current, 10u);
  EXPECT_EQ(t.Delta, 10u);
  EXPECT_EQ(t.Now, 5000u);
  UpdateAt(t, 1001);
  EXPECT_EQ(t.Current, 20u);
  EXPECT_EQ(t.Delta, 10u);
  EXPECT_DOUBLE_EQ(t.DeltaSeconds, 0.01);
}

TEST_F(FrameTimerTest, PausedTimerDoesNothing) {
  TzoFrameTimer t;
  TimerReset(t);
  UpdateAt(t, 1020);
  t.Paused = true;
  UpdateAt(t, 3000);
  EXPECT_EQ(t.Now, 1020u);
  EXPECT_EQ(t.Current, 20u);
  EXPECT_EQ(t.Delta, 20u);
  // Pausing holds the record, not the clock: the first step after it spans the pause.
  t.Paused = false;
  UpdateAt(t, 3000);
  EXPECT_EQ(t.Current, 2000u);
  EXPECT_EQ(t.Delta, 1980u);
}

TEST_F(FrameTimerTest, ResetStartsAfresh) {
  TzoFrameTimer t;
  TimerReset(t);
  t.FixedStep = 16;
  UpdateAt(t, 1100);
  t.Paused = true;
  g_fake_now = 7000;
  TimerReset(t);
  EXPECT_FALSE(t.Paused);
  EXPECT_EQ(t.Start, 7000u);
  EXPECT_EQ(t.FixedStep, 0u);
  EXPECT_EQ(t.Current, 0u);
  EXPECT_EQ(t.Previous, 0u);
  EXPECT_EQ(t.Delta, 0u);
  EXPECT_EQ(t.DeltaSeconds, 0.0);
  UpdateAt(t, 7005);
  EXPECT_EQ(t.Current, 5u);
}

TEST_F(FrameTimerTest, BackToRealTimeBehindTheFixedStepsIsNoHugeStep) {
  TzoFrameTimer t;
  TimerReset(t);
  t.FixedStep = 100;
  UpdateAt(t, 1001);
  UpdateAt(t, 1002);
  t.FixedStep = 0;
  UpdateAt(t, 1003);
  EXPECT_EQ(t.Current, 3u);
  EXPECT_EQ(t.Delta, 0u);
  UpdateAt(t, 1010);
  EXPECT_EQ(t.Delta, 7u);
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
