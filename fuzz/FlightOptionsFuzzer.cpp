// The flight tool's command line on arbitrary arguments (the input split at zero bytes): either
// refused with a message, or options the tool can run with.
#include "FuzzSupport.h"

#include "FlightScript.h"

#include <cmath>
#include <string>
#include <vector>

using meridia::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  meridia::flight::FlightOptions options;
  std::string error;
  if (!meridia::flight::ParseFlightOptions(args, options, error)) {
    Require(!error.empty(), "a refusal says why");
    return 0;
  }
  Require(options.frames >= 1 && options.step_ms >= 0, "frames and step are usable");
  for (int shot : options.shots) {
    Require(shot >= 1, "shots name frames from 1");
  }
  if (options.size) {
    Require(options.size->width >= 1 && options.size->height >= 1 &&
                options.size->width <= meridia::flight::kMaxClientSize &&
                options.size->height <= meridia::flight::kMaxClientSize,
            "the size can be drawn");
  }
  if (options.fps) {
    Require(*options.fps >= 1 && *options.fps <= 1000 && !options.step_ms_given,
            "a frame rate is usable and the only say on the clock");
  }
  if (options.quality) {
    Require(*options.quality >= 0, "a quality is not negative");
  }
  if (options.position) {
    Require(std::isfinite(options.position->x) && std::isfinite(options.position->y) &&
                std::isfinite(options.position->z),
            "the position is finite");
  }
  return 0;
}
