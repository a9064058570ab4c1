#include "platform/Clock.h"

#include <time.h>

namespace meridia::platform {
namespace {

uint64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

} // namespace

SystemClock::SystemClock() : origin_ns_(MonotonicNs()) {}

uint32_t SystemClock::GetTickCount() {
  return static_cast<uint32_t>((MonotonicNs() - origin_ns_) / 1000000u);
}

void SystemClock::Sleep(uint32_t milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000),
              static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

} // namespace meridia::platform
