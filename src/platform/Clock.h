// Tick count and sleep. The loop takes its time only from here, so a driver can replace the
// system clock with one that advances a fixed step per frame and make a run reproducible.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

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
// by exactly the step, however long the sleep asked for. Sleep never waits. Frames may have a
// step of their own: steps[F] is the advance before frame F, the frames counted from 1 as the
// loop counts them (the first Sleep ends frame 1).
class SteppedClock final : public Clock {
public:
  explicit SteppedClock(uint32_t step_ms, uint32_t start_ms = 0, std::map<int, uint32_t> steps = {})
      : step_ms_(step_ms), now_ms_(start_ms), steps_(std::move(steps)) {}
  uint32_t GetTickCount() override { return now_ms_; }
  void Sleep(uint32_t) override {
    ++frame_;
    const auto own = steps_.find(frame_);
    now_ms_ += own != steps_.end() ? own->second : step_ms_;
  }

private:
  uint32_t step_ms_;
  uint32_t now_ms_;
  std::map<int, uint32_t> steps_;
  int frame_ = 1; // the frame the loop is drawing
};

// Another clock read once a frame, so that every read of a frame agrees and the advance of each
// frame can be replayed by a SteppedClock: the time starts at 0 and stands still except at Sleep,
// which sleeps on the source and then moves on by the source's advance since the previous Sleep,
// or since Start for the first one (what comes before Start, start-up, takes no time).
class FrameLatchedClock final : public Clock {
public:
  explicit FrameLatchedClock(Clock& source) : source_(source), mark_ms_(source.GetTickCount()) {}
  void Start() { mark_ms_ = source_.GetTickCount(); }
  uint32_t GetTickCount() override { return now_ms_; }
  void Sleep(uint32_t milliseconds) override {
    source_.Sleep(milliseconds);
    const uint32_t source_now = source_.GetTickCount();
    const uint32_t step = source_now - mark_ms_;
    mark_ms_ = source_now;
    now_ms_ += step;
    steps_.push_back(step);
  }
  // Steps()[i] is the advance of the Sleep that ended frame i + 1: the step before frame i + 2.
  const std::vector<uint32_t>& Steps() const { return steps_; }

private:
  Clock& source_;
  uint32_t mark_ms_;
  uint32_t now_ms_ = 0;
  std::vector<uint32_t> steps_;
};

} // namespace meridia::platform
