// A per-user frame clock: Current advances by real time (or by FixedStep) on each TimerUpdate
// while not Paused, and Delta is the step just taken. Times are milliseconds of a monotonic
// clock, so a step never spans a jump of the wall clock; 32-bit arithmetic wraps after 49 days.
#pragma once

#include <cstdint>

namespace meridia {

struct TzoFrameTimer {
  bool Paused = false;
  uint32_t Current = 0; // ms since TimerReset, or the sum of the fixed steps
  uint32_t Delta = 0;   // ms of the last step
  double DeltaSeconds = 0.0;
  uint32_t Start = 0;     // FrameTimeNow() at TimerReset
  uint32_t Previous = 0;  // Current before the last step
  uint32_t FixedStep = 0; // ms added per update; 0 follows real time
  uint32_t Now = 0;       // FrameTimeNow() at the last update
  double NowSeconds = 0.0;
};

// Returns milliseconds since an arbitrary start; wraps modulo 2^32.
using TimeSourceFn = uint32_t (*)();

// Replaces the clock, for tests and reproducible runs; nullptr restores the monotonic clock.
void SetFrameTimeSource(TimeSourceFn fn);
// The clock's current reading.
uint32_t FrameTimeNow();

// Starts the timer afresh; FixedStep goes back to real time and Paused to false.
void TimerReset(TzoFrameTimer& t);
// Takes one step; does nothing while Paused.
void TimerUpdate(TzoFrameTimer& t);

} // namespace meridia
