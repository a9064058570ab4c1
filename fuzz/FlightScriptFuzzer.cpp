// Flight scripts on arbitrary text: a script is either refused with a message naming its line
// or gives events in frame order that the message queue can take.
#include "FuzzSupport.h"

#include "FlightScript.h"

#include <cmath>
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
  if (script.position) {
    Require(std::isfinite(script.position->x) && std::isfinite(script.position->y) &&
                std::isfinite(script.position->z),
            "a script's position is finite");
  }

  meridia::flight::FlightOptions options;
  meridia::flight::ApplyScriptDefaults(script, options);
  Require(options.frames >= 1, "the defaults keep a positive frame count");
  return 0;
}
