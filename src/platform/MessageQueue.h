// A thread's message queue with Win32 retrieval order: posted messages first, then input from
// the event sources, then WM_QUIT once it was posted, then due timers. A timer does not pile
// up: it yields one WM_TIMER when due, however late it is read.
#pragma once

#include "platform/Clock.h"
#include "platform/Messages.h"

#include <deque>
#include <map>
#include <vector>

namespace meridia::platform {

// Where input comes from: the window system, or a script.
class EventSource {
public:
  virtual ~EventSource() = default;
  // Takes the next input message when one is waiting.
  virtual bool Poll(Message& message) = 0;
};

class MessageQueue {
public:
  explicit MessageQueue(Clock& clock) : clock_(clock) {}

  void AddSource(EventSource* source) { sources_.push_back(source); }
  void Post(const Message& message) { posted_.push_back(message); }
  void PostQuit(int exit_code);
  void SetTimer(uint32_t id, uint32_t interval_ms);
  void KillTimer(uint32_t id) { timers_.erase(id); }
  // PeekMessage with PM_REMOVE.
  bool Peek(Message& message);

private:
  struct Timer {
    uint32_t interval_ms;
    uint32_t due_ms;
  };

  Clock& clock_;
  std::vector<EventSource*> sources_;
  std::deque<Message> posted_;
  std::map<uint32_t, Timer> timers_;
  bool quit_posted_ = false;
  int exit_code_ = 0;
};

} // namespace meridia::platform
