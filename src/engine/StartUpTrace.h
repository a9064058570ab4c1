// Milestones inside start-up's long steps (the terrain maps loaded, for example), told to
// whoever listens: the flight tool times them. Nobody listens in the program, and then a
// milestone costs one test.
#pragma once

#include <functional>
#include <string_view>

namespace meridia {

using StartUpTraceFunction = std::function<void(std::string_view milestone)>;

// An empty function stops listening.
void SetStartUpTrace(StartUpTraceFunction trace);
void StartUpTrace(std::string_view milestone);

} // namespace meridia
