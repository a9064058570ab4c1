// How an error message box reaches the person: over the running video driver, or, when no
// window exists any more (or never did), through the window system's own message-box path,
// which works without the video subsystem. Headless drivers have no one to show it to.
#pragma once

#include <string_view>

namespace meridia::platform {

enum class MessageBoxRoute { kNone, kOverVideo, kWithoutVideo };

// current_driver: the video driver now running, empty when video is shut down or never started.
// requested_driver: what the environment asks SDL for (SDL_VIDEODRIVER), empty when unset.
constexpr MessageBoxRoute ChooseMessageBoxRoute(std::string_view current_driver,
                                                std::string_view requested_driver) {
  auto headless = [](std::string_view driver) {
    return driver == "offscreen" || driver == "dummy";
  };
  if (!current_driver.empty()) {
    return headless(current_driver) ? MessageBoxRoute::kNone : MessageBoxRoute::kOverVideo;
  }
  return headless(requested_driver) ? MessageBoxRoute::kNone : MessageBoxRoute::kWithoutVideo;
}

} // namespace meridia::platform
