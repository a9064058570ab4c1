// Window messages with Windows semantics. The shell is written against these, whatever the
// window system underneath, so that message order and key handling stay those of Win32.
#pragma once

#include <cstdint>

namespace meridia::platform {

using Handle = uintptr_t; // 0 means none, as a null Win32 handle

struct Message {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;

// wParam of WM_SIZE: how the window came to its size.
inline constexpr uintptr_t SIZE_RESTORED = 0;
inline constexpr uintptr_t SIZE_MAXIMIZED = 2;

// lParam of key messages, bit 29: Alt was held (Windows' KF_ALTDOWN context code). Keys pressed
// with Alt come as WM_SYSKEYDOWN and WM_SYSKEYUP.
inline constexpr intptr_t kKeyAltDown = intptr_t{1} << 29;

// wParam of WM_COMMAND: low word the command, high word 1 when a keyboard accelerator sent it.
constexpr uintptr_t MakeWParam(int low, int high) {
  return (static_cast<uintptr_t>(low) & 0xFFFFu) | ((static_cast<uintptr_t>(high) & 0xFFFFu) << 16);
}

// lParam of size and mouse messages: low word x (or width), high word y (or height).
constexpr intptr_t MakeLParam(int low, int high) {
  return static_cast<intptr_t>((static_cast<uint32_t>(low) & 0xFFFFu) |
                               ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}
constexpr int LowWord(intptr_t l) {
  return static_cast<int>(static_cast<uint32_t>(l) & 0xFFFFu);
}
constexpr int HighWord(intptr_t l) {
  return static_cast<int>((static_cast<uint32_t>(l) >> 16) & 0xFFFFu);
}
// Mouse positions are signed words: while a button is held the mouse is captured and positions
// left of or above the window arrive negative (Windows' GET_X_LPARAM and GET_Y_LPARAM).
constexpr int SignedLowWord(intptr_t l) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(l) & 0xFFFFu));
}
constexpr int SignedHighWord(intptr_t l) {
  return static_cast<int16_t>(static_cast<uint16_t>((static_cast<uint32_t>(l) >> 16) & 0xFFFFu));
}

} // namespace meridia::platform
