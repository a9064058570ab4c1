// Windows virtual-key codes: the shell's key table is indexed by them. Letters and top-row
// digits are their upper-case character codes; the keypad digits have codes of their own.
#pragma once

#include <string>
#include <string_view>

namespace meridia::platform {

inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_NUMPAD0 = 0x60;
inline constexpr int VK_ADD = 0x6B;
inline constexpr int VK_SUBTRACT = 0x6D;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F4 = 0x73;
inline constexpr int VK_F11 = 0x7A;
inline constexpr int VK_F12 = 0x7B;

// The code for an SDL key, or 0 for a key the program does not know. The scancode decides
// the keypad, whose keycodes change with Num Lock.
int VirtualKeyFromSdl(int sdl_keycode, int sdl_scancode);

// The code for a key name of a flight script: a letter or digit, F1..F12, ADD, SUBTRACT,
// ESCAPE, SPACE, LEFT, RIGHT, UP, DOWN, SHIFT, CONTROL, NUMPAD0..NUMPAD9 (any letter case), or
// any code from 1 to 255 as two hexadecimal digits after "0x" (0x41 is A); 0 when the name is
// unknown.
int VirtualKeyFromName(std::string_view name);

// The name VirtualKeyFromName reads back as the code, for codes 1 to 255; empty otherwise.
std::string VirtualKeyName(int key);

} // namespace meridia::platform
