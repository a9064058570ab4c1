#include "platform/Accelerator.h"

#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

namespace meridia::platform {
namespace {

TEST(Accelerator, MatchingKeyDownsBecomeTheirCommandAndNothingElseDoes) {
  constexpr Accelerator table[] = {{VK_F11, false, 7}, {VK_RETURN, true, 9}};
  const struct {
    const char* name;
    Message message;
    int command; // 0: not translated
  } cases[] = {
      {"F11", {WM_KEYDOWN, VK_F11, 0}, 7},
      {"F11 auto-repeated", {WM_KEYDOWN, VK_F11, 1 << 30}, 7},
      {"Alt+Enter", {WM_SYSKEYDOWN, VK_RETURN, kKeyAltDown}, 9},
      {"Enter", {WM_KEYDOWN, VK_RETURN, 0}, 0},
      {"Alt+F11", {WM_SYSKEYDOWN, VK_F11, kKeyAltDown}, 0},
      {"F11 released", {WM_KEYUP, VK_F11, 0}, 0},
      {"Alt+Enter released", {WM_SYSKEYUP, VK_RETURN, kKeyAltDown}, 0},
      {"F10", {WM_KEYDOWN, VK_F11 - 1, 0}, 0},
      {"a mouse move at the key's code", {WM_MOUSEMOVE, VK_F11, 0}, 0},
  };
  for (const auto& c : cases) {
    Message command;
    const bool translated = TranslateAccelerator(table, c.message, command);
    EXPECT_EQ(translated, c.command != 0) << c.name;
    if (c.command != 0) {
      EXPECT_EQ(command.message, WM_COMMAND) << c.name;
      EXPECT_EQ(command.wParam, MakeWParam(c.command, 1)) << c.name;
      EXPECT_EQ(command.lParam, 0) << c.name;
    }
  }
}

} // namespace
} // namespace meridia::platform
