// Start-up and shut-down say what they are about to do, one name a step, to whoever listens:
// tests check the order, the flight tool times the steps. Nobody listens in the program.
#pragma once

#include <functional>
#include <string_view>

namespace meridia {

using StartUpRecorder = std::function<void(std::string_view step)>;

} // namespace meridia
