// Keyboard accelerators as Win32's TranslateAccelerator applies them: a key-down that matches an
// entry of the table becomes WM_COMMAND with the entry's command, and the key-down itself is not
// dispatched. An entry with Alt matches only a key sent with Alt held, one without it only a key
// sent without, so Alt+F11 is not F11.
#pragma once

#include "platform/Messages.h"

#include <cstdint>
#include <span>

namespace meridia::platform {

struct Accelerator {
  int key = 0;      // virtual-key code
  bool alt = false; // the key is pressed with Alt: WM_SYSKEYDOWN
  uint16_t command = 0;
};

// True when `message` matched: `command` is then the WM_COMMAND to dispatch in its place.
bool TranslateAccelerator(std::span<const Accelerator> table, const Message& message,
                          Message& command);

} // namespace meridia::platform
