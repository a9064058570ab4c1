#include "platform/Accelerator.h"

namespace meridia::platform {

bool TranslateAccelerator(std::span<const Accelerator> table, const Message& message,
                          Message& command) {
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) {
    return false;
  }
  const bool alt = (message.lParam & kKeyAltDown) != 0;
  for (const Accelerator& entry : table) {
    if (message.wParam == static_cast<uintptr_t>(entry.key) && entry.alt == alt) {
      command = Message{WM_COMMAND, MakeWParam(entry.command, 1), 0};
      return true;
    }
  }
  return false;
}

} // namespace meridia::platform
