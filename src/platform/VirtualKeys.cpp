#include "platform/VirtualKeys.h"

#include <SDL2/SDL.h>

#include <cctype>
#include <string>
#include <utility>

namespace meridia::platform {

int VirtualKeyFromSdl(int sdl_keycode, int sdl_scancode) {
  if (sdl_scancode >= SDL_SCANCODE_KP_1 && sdl_scancode <= SDL_SCANCODE_KP_9) {
    return VK_NUMPAD0 + 1 + (sdl_scancode - SDL_SCANCODE_KP_1);
  }
  switch (sdl_scancode) {
  case SDL_SCANCODE_KP_0:
    return VK_NUMPAD0;
  case SDL_SCANCODE_KP_PLUS:
    return VK_ADD;
  case SDL_SCANCODE_KP_MINUS:
    return VK_SUBTRACT;
  default:
    break;
  }
  if (sdl_keycode >= SDLK_a && sdl_keycode <= SDLK_z) {
    return 'A' + (sdl_keycode - SDLK_a);
  }
  if (sdl_keycode >= SDLK_0 && sdl_keycode <= SDLK_9) {
    return '0' + (sdl_keycode - SDLK_0);
  }
  if (sdl_keycode >= SDLK_F1 && sdl_keycode <= SDLK_F12) {
    return VK_F1 + (sdl_keycode - SDLK_F1);
  }
  switch (sdl_keycode) {
  case SDLK_RETURN:
  case SDLK_KP_ENTER: // Windows tells the two apart only by the extended-key bit
    return VK_RETURN;
  case SDLK_ESCAPE:
    return VK_ESCAPE;
  case SDLK_SPACE:
    return VK_SPACE;
  case SDLK_LEFT:
    return VK_LEFT;
  case SDLK_RIGHT:
    return VK_RIGHT;
  case SDLK_UP:
    return VK_UP;
  case SDLK_DOWN:
    return VK_DOWN;
  case SDLK_LSHIFT:
  case SDLK_RSHIFT:
    return VK_SHIFT;
  case SDLK_LCTRL:
  case SDLK_RCTRL:
    return VK_CONTROL;
  default:
    return 0;
  }
}

namespace {

// Keys with a name of their own, beyond letters, digits, function keys and the keypad digits.
constexpr std::pair<const char*, int> kNamedKeys[] = {
    {"ADD", VK_ADD},     {"SUBTRACT", VK_SUBTRACT}, {"ESCAPE", VK_ESCAPE}, {"SPACE", VK_SPACE},
    {"LEFT", VK_LEFT},   {"RIGHT", VK_RIGHT},       {"UP", VK_UP},         {"DOWN", VK_DOWN},
    {"SHIFT", VK_SHIFT}, {"CONTROL", VK_CONTROL}};

// The number after a prefix: decimal digits, or hexadecimal ones; -1 when there is none.
int NumberAfter(std::string_view text, size_t prefix, int base, size_t max_digits) {
  if (text.size() <= prefix || text.size() - prefix > max_digits) {
    return -1;
  }
  int number = 0;
  for (size_t i = prefix; i < text.size(); ++i) {
    const char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    }
    if (digit < 0) {
      return -1;
    }
    number = number * base + digit;
  }
  return number;
}

} // namespace

int VirtualKeyFromName(std::string_view name) {
  std::string upper;
  for (char c : name) {
    upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (upper.size() == 1 && (std::isupper(static_cast<unsigned char>(upper[0])) ||
                            std::isdigit(static_cast<unsigned char>(upper[0])))) {
    return upper[0];
  }
  for (const auto& [key_name, key] : kNamedKeys) {
    if (upper == key_name) {
      return key;
    }
  }
  if (upper.size() == 4 && upper.compare(0, 2, "0X") == 0) {
    const int code = NumberAfter(upper, 2, 16, 2);
    return code >= 1 && code <= 255 ? code : 0;
  }
  if (upper.rfind("NUMPAD", 0) == 0) {
    const int digit = NumberAfter(upper, 6, 10, 1);
    return digit >= 0 ? VK_NUMPAD0 + digit : 0;
  }
  if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == 'F' && upper[1] != '0') {
    const int number = NumberAfter(upper, 1, 10, 2);
    if (number >= 1 && number <= 12) {
      return VK_F1 + number - 1;
    }
  }
  return 0;
}

std::string VirtualKeyName(int key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
    return std::string(1, static_cast<char>(key));
  }
  // Appended rather than joined with operator+, which GCC 12 warns about wrongly (-Wrestrict).
  std::string name;
  if (key >= VK_F1 && key <= VK_F12) {
    name = "F";
    name += std::to_string(key - VK_F1 + 1);
    return name;
  }
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD0 + 9) {
    name = "NUMPAD";
    name += static_cast<char>('0' + key - VK_NUMPAD0);
    return name;
  }
  for (const auto& [key_name, code] : kNamedKeys) {
    if (key == code) {
      return key_name;
    }
  }
  if (key < 1 || key > 255) {
    return {};
  }
  const char* const digits = "0123456789ABCDEF";
  name = "0x";
  name += digits[key >> 4];
  name += digits[key & 15];
  return name;
}

} // namespace meridia::platform
