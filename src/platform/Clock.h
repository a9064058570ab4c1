// Tick count and sleep. The loop takes its time only from here, so a driver can replace the
// system clock with one that advances a fixed step per frame and make a run reproducible.
#pragma once

#include <cstdint>

namespace meridia::platform {

class Clock {
public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; wraps like GetTickCount.
  virtual uint32_t GetTickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The monotonic system clock.
class SystemClock final : public Clock {
public:
  SystemClock();
  uint32_t GetTickCount() override;
  void Sleep(uint32_t milliseconds) override;

private:
  uint64_t origin_ns_;
};

// Time stands still except at Sleep, which ends a frame of the main loop and moves the time on
// by exactly the step, however long the sleep asked for. Sleep never waits.
class SteppedClock final : public Clock {
public:
  explicit SteppedClock(uint32_t step_ms, uint32_t start_ms = 0)
      : step_ms_(step_ms), now_ms_(start_ms) {}
  uint32_t GetTickCount() override { return now_ms_; }
  void Sleep(uint32_t) override { now_ms_ += step_ms_; }

private:
  uint32_t step_ms_;
  uint32_t now_ms_;
};

} // namespace meridia::platform
