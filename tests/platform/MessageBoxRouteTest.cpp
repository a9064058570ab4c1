#include "platform/MessageBoxRoute.h"

#include <gtest/gtest.h>

namespace meridia::platform {
namespace {

TEST(MessageBoxRoute, StartUpFailuresReachTheScreenAfterVideoIsGone) {
  const struct {
    const char* current;
    const char* requested;
    MessageBoxRoute route;
  } cases[] = {
      {"x11", "", MessageBoxRoute::kOverVideo},
      {"wayland", "x11", MessageBoxRoute::kOverVideo},
      // The window and the video subsystem are already released when creation fails.
      {"", "", MessageBoxRoute::kWithoutVideo},
      {"", "x11", MessageBoxRoute::kWithoutVideo},
      // Headless runs have nobody to click the box away; the text goes to the log instead.
      {"offscreen", "", MessageBoxRoute::kNone},
      {"dummy", "dummy", MessageBoxRoute::kNone},
      {"", "offscreen", MessageBoxRoute::kNone},
      {"", "dummy", MessageBoxRoute::kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseMessageBoxRoute(c.current, c.requested), c.route)
        << "'" << c.current << "' '" << c.requested << "'";
  }
}

} // namespace
} // namespace meridia::platform
