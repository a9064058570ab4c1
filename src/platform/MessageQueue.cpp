#include "platform/MessageQueue.h"

namespace meridia::platform {

void MessageQueue::PostQuit(int exit_code) {
  quit_posted_ = true;
  exit_code_ = exit_code;
}

void MessageQueue::SetTimer(uint32_t id, uint32_t interval_ms) {
  timers_[id] = Timer{interval_ms, clock_.GetTickCount() + interval_ms};
}

bool MessageQueue::Peek(Message& message) {
  if (!posted_.empty()) {
    message = posted_.front();
    posted_.pop_front();
    return true;
  }
  for (EventSource* source : sources_) {
    if (source->Poll(message)) {
      return true;
    }
  }
  if (quit_posted_) {
    quit_posted_ = false;
    message = Message{WM_QUIT, static_cast<uintptr_t>(exit_code_), 0};
    return true;
  }
  const uint32_t now = clock_.GetTickCount();
  for (auto& [id, timer] : timers_) {
    // Signed difference, so the comparison survives the tick count's wrap.
    if (static_cast<int32_t>(now - timer.due_ms) >= 0) {
      timer.due_ms = now + timer.interval_ms;
      message = Message{WM_TIMER, id, 0};
      return true;
    }
  }
  return false;
}

} // namespace meridia::platform
