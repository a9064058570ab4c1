#include "engine/FrameTimer.h"

#include <chrono>

namespace meridia {
namespace {

// Counted from the first reading, not from boot: NowSeconds stays small enough that an
// animation phase derived from it in single precision keeps millisecond resolution for hours.
uint32_t MonotonicMilliseconds() {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point start = Clock::now();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  return static_cast<uint32_t>(elapsed.count());
}

TimeSourceFn g_time_source = &MonotonicMilliseconds;

} // namespace

void SetFrameTimeSource(TimeSourceFn fn) {
  g_time_source = fn != nullptr ? fn : &MonotonicMilliseconds;
}

uint32_t FrameTimeNow() {
  return g_time_source();
}

void TimerReset(TzoFrameTimer& t) {
  t.Start = FrameTimeNow();
  t.Current = 0;
  t.Delta = 0;
  // Kept in step with Delta, so a reader between reset and the first update sees no stale step.
  t.DeltaSeconds = 0.0;
  t.FixedStep = 0;
  t.Previous = 0;
  t.Paused = false;
}

void TimerUpdate(TzoFrameTimer& t) {
  if (t.Paused) {
    return;
  }
  t.Now = FrameTimeNow();
  t.NowSeconds = t.Now * 0.001;
  t.Previous = t.Current;
  // Unsigned differences stay right across the 2^32 wrap of the clock.
  t.Current = t.FixedStep != 0 ? t.Current + t.FixedStep : t.Now - t.Start;
  t.Delta = t.Current - t.Previous;
  // Going back from fixed steps to real time can put Current behind Previous; a step of
  // nearly 2^32 ms would throw every animation out, so that step counts as zero.
  if (static_cast<int32_t>(t.Delta) < 0) {
    t.Delta = 0;
  }
  t.DeltaSeconds = t.Delta * 0.001;
}

} // namespace meridia
