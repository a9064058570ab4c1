#include "platform/VirtualKeys.h"

#include <SDL2/SDL.h>

#include <cctype>
#include <string>

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

int VirtualKeyFromName(std::string_view name) {
  std::string upper;
  for (char c : name) {
    upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (upper.size() == 1 && (std::isupper(static_cast<unsigned char>(upper[0])) ||
                            std::isdigit(static_cast<unsigned char>(upper[0])))) {
    return upper[0];
  }
  if (upper == "ADD") {
    return VK_ADD;
  }
  if (upper == "SUBTRACT") {
    return VK_SUBTRACT;
  }
  if (upper == "ESCAPE") {
    return VK_ESCAPE;
  }
  if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == 'F') {
    int number = 0;
    for (size_t i = 1; i < upper.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(upper[i]))) {
        return 0;
      }
      number = number * 10 + (upper[i] - '0');
    }
    if (number >= 1 && number <= 12 && upper[1] != '0') {
      return VK_F1 + number - 1;
    }
  }
  return 0;
}

} // namespace meridia::platform
