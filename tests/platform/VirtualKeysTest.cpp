#include "platform/VirtualKeys.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace meridia::platform {
namespace {

TEST(VirtualKeys, SdlKeysMapToWindowsCodes) {
  const struct {
    int keycode, scancode, expected;
  } cases[] = {
      {SDLK_w, SDL_SCANCODE_W, 'W'},
      {SDLK_z, SDL_SCANCODE_Z, 'Z'},
      {SDLK_0, SDL_SCANCODE_0, '0'},
      {SDLK_F1, SDL_SCANCODE_F1, VK_F1},
      {SDLK_F12, SDL_SCANCODE_F12, VK_F12},
      {SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, VK_ADD},
      {SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
      // Keypad digits stay apart from the top row, whatever Num Lock makes of the keycode.
      {SDLK_KP_0, SDL_SCANCODE_KP_0, VK_NUMPAD0},
      {SDLK_HOME, SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7},
      {SDLK_KP_9, SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9},
      {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, VK_ESCAPE},
      {SDLK_LEFT, SDL_SCANCODE_LEFT, VK_LEFT},
      {SDLK_DOWN, SDL_SCANCODE_DOWN, VK_DOWN},
      {SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, VK_SHIFT},
      {SDLK_LCTRL, SDL_SCANCODE_LCTRL, VK_CONTROL},
      {SDLK_SPACE, SDL_SCANCODE_SPACE, VK_SPACE},
      {SDLK_RETURN, SDL_SCANCODE_RETURN, VK_RETURN},
      {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, VK_RETURN},
      {SDLK_TAB, SDL_SCANCODE_TAB, 0},
      {SDLK_F13, SDL_SCANCODE_F13, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VirtualKeyFromSdl(c.keycode, c.scancode), c.expected) << SDL_GetKeyName(c.keycode);
  }
}

TEST(VirtualKeys, ScriptNames) {
  const std::pair<const char*, int> cases[] = {{"w", 'W'},
                                               {"0", '0'},
                                               {"F", 'F'},
                                               {"F1", VK_F1},
                                               {"f12", VK_F12},
                                               {"ADD", VK_ADD},
                                               {"subtract", VK_SUBTRACT},
                                               {"ESCAPE", VK_ESCAPE},
                                               {"F13", 0},
                                               {"F0", 0},
                                               {"F01", 0},
                                               {"", 0},
                                               {"WW", 0},
                                               {"+", 0},
                                               {"space", VK_SPACE},
                                               {"Left", VK_LEFT},
                                               {"CONTROL", VK_CONTROL},
                                               {"numpad7", VK_NUMPAD0 + 7},
                                               {"NUMPAD10", 0},
                                               {"NUMPAD", 0},
                                               {"0x41", 'A'},
                                               {"0xff", 0xFF},
                                               {"0x00", 0},
                                               {"0x1", 0},
                                               {"0x100", 0},
                                               {"0xG1", 0}};
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(VirtualKeyFromName(name), expected) << '"' << name << '"';
  }
}

// Whatever key the window system gives, a recorded flight names it so that it reads back.
TEST(VirtualKeys, EveryCodeHasANameThatReadsBack) {
  for (int key = 1; key <= 255; ++key) {
    const std::string name = VirtualKeyName(key);
    EXPECT_EQ(VirtualKeyFromName(name), key) << '"' << name << '"';
    EXPECT_EQ(name.find_first_of(" \t#"), std::string::npos) << name;
  }
  EXPECT_EQ(VirtualKeyName('W'), "W");
  EXPECT_EQ(VirtualKeyName(VK_F12), "F12");
  EXPECT_EQ(VirtualKeyName(VK_UP), "UP");
  EXPECT_EQ(VirtualKeyName(0x5B), "0x5B");
  EXPECT_EQ(VirtualKeyName(0), "");
  EXPECT_EQ(VirtualKeyName(256), "");
}

} // namespace
} // namespace meridia::platform
