#include "platform/VirtualKeys.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace meridia::platform {
namespace {

TEST(VirtualKeys, SdlKeysMapToWindowsCodes) {
  const struct {
    const char* name;
    int keycode;
    int scancode;
    int expected;
  } cases[] = {
      {"letter", SDLK_w, SDL_SCANCODE_W, 'W'},
      {"last letter", SDLK_z, SDL_SCANCODE_Z, 'Z'},
      {"digit", SDLK_0, SDL_SCANCODE_0, '0'},
      {"digit 6", SDLK_6, SDL_SCANCODE_6, '6'},
      {"F1", SDLK_F1, SDL_SCANCODE_F1, VK_F1},
      {"F4", SDLK_F4, SDL_SCANCODE_F4, VK_F4},
      {"F12", SDLK_F12, SDL_SCANCODE_F12, VK_F12},
      {"keypad plus", SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, VK_ADD},
      {"keypad minus", SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
      // Keypad digits stay apart from the top row, whatever Num Lock makes of the keycode.
      {"keypad 0", SDLK_KP_0, SDL_SCANCODE_KP_0, VK_NUMPAD0},
      {"keypad 7 without num lock", SDLK_HOME, SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7},
      {"keypad 9", SDLK_KP_9, SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9},
      {"escape", SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, VK_ESCAPE},
      {"left", SDLK_LEFT, SDL_SCANCODE_LEFT, VK_LEFT},
      {"down", SDLK_DOWN, SDL_SCANCODE_DOWN, VK_DOWN},
      {"right shift", SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, VK_SHIFT},
      {"left control", SDLK_LCTRL, SDL_SCANCODE_LCTRL, VK_CONTROL},
      {"space", SDLK_SPACE, SDL_SCANCODE_SPACE, VK_SPACE},
      {"unmapped", SDLK_TAB, SDL_SCANCODE_TAB, 0},
      {"unmapped F13", SDLK_F13, SDL_SCANCODE_F13, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VirtualKeyFromSdl(c.keycode, c.scancode), c.expected) << c.name;
  }
}

TEST(VirtualKeys, ScriptNames) {
  const struct {
    const char* name;
    int expected;
  } cases[] = {{"w", 'W'},
               {"W", 'W'},
               {"0", '0'},
               {"F1", VK_F1},
               {"f12", VK_F12},
               {"F4", VK_F4},
               {"ADD", VK_ADD},
               {"subtract", VK_SUBTRACT},
               {"ESCAPE", VK_ESCAPE},
               {"F13", 0},
               {"F0", 0},
               {"F01", 0},
               {"", 0},
               {"WW", 0},
               {"+", 0},
               {"F", 'F'}};
  for (const auto& c : cases) {
    EXPECT_EQ(VirtualKeyFromName(c.name), c.expected) << '"' << c.name << '"';
  }
}

} // namespace
} // namespace meridia::platform
