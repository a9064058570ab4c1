// Flight scripts on arbitrary text: a script is either refused with a message naming its line
// or gives events in frame order that the message queue can take, and written out it reads back
// unchanged.
#include "FuzzSupport.h"

#include "FlightScript.h"

#include <cmath>
#include <cstring>
#include <string_view>

using meridia::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  meridia::flight::FlightScript script;
  std::string error;
  if (!meridia::flight::ParseFlightScript(text, script, error)) {
    Require(error.rfind("line ", 0) == 0, "a refusal names its line");
    return 0;
  }
  int previous = 1;
  for (const meridia::flight::ScriptEvent& event : script.events) {
    Require(event.frame >= previous, "events come in frame order from frame 1");
    previous = event.frame;
  }
  Require(!script.frames || *script.frames >= 1, "a script runs for at least one frame");
  // Every size is one the flight can ask the driver for.
  const auto drawable = [](int width, int height) {
    return width >= 1 && height >= 1 && width <= meridia::flight::kMaxClientSize &&
           height <= meridia::flight::kMaxClientSize;
  };
  Require(!script.size || drawable(script.size->width, script.size->height),
          "a script's size can be drawn");
  for (const meridia::flight::ScriptEvent& event : script.events) {
    Require(event.message.message != meridia::platform::WM_SIZE ||
                drawable(meridia::platform::LowWord(event.message.lParam),
                         meridia::platform::HighWord(event.message.lParam)),
            "a script's sizes can be drawn");
  }
  if (script.position) {
    Require(std::isfinite(script.position->x) && std::isfinite(script.position->y) &&
                std::isfinite(script.position->z),
            "a script's position is finite");
  }

  // What a recording writes of a script reads back as the same flight, positions to the bit.
  meridia::flight::FlightScript back;
  Require(
      meridia::flight::ParseFlightScript(meridia::flight::FormatFlightScript(script), back, error),
      "a written script reads back");
  Require(back.frames == script.frames && back.clock_seed == script.clock_seed &&
              back.step_ms == script.step_ms && back.steps == script.steps &&
              back.size == script.size && back.galaxy == script.galaxy &&
              back.position.has_value() == script.position.has_value() &&
              back.events.size() == script.events.size(),
          "a written script keeps its headers, steps and events");
  if (script.position) {
    Require(std::memcmp(&*back.position, &*script.position, sizeof(*script.position)) == 0,
            "a written position keeps its bits");
  }
  for (size_t i = 0; i < script.events.size() && i < back.events.size(); ++i) {
    const auto& a = script.events[i];
    const auto& b = back.events[i];
    Require(a.frame == b.frame && a.message.message == b.message.message &&
                a.message.wParam == b.message.wParam && a.message.lParam == b.message.lParam,
            "a written event reads back as itself");
  }

  meridia::flight::FlightOptions options;
  meridia::flight::ApplyScriptDefaults(script, options);
  Require(options.frames >= 1, "the defaults keep a positive frame count");
  return 0;
}
