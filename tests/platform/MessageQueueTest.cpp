#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <deque>

namespace meridia::platform {
namespace {

class ListSource final : public EventSource {
public:
  std::deque<Message> pending;
  bool Poll(Message& message) override {
    if (pending.empty()) {
      return false;
    }
    message = pending.front();
    pending.pop_front();
    return true;
  }
};

std::vector<uint32_t> Drain(MessageQueue& queue) {
  std::vector<uint32_t> kinds;
  Message message;
  while (queue.Peek(message)) {
    kinds.push_back(message.message);
  }
  return kinds;
}

void Pass(SteppedClock& clock, int steps) {
  for (int i = 0; i < steps; ++i) {
    clock.Sleep(0);
  }
}

TEST(MessageQueue, PostedThenInputThenQuitThenTimers) {
  SteppedClock clock(1000);
  MessageQueue queue(clock);
  ListSource input;
  queue.AddSource(&input);
  queue.SetTimer(1, 1000);
  clock.Sleep(0); // the timer is due
  input.pending.push_back({WM_KEYDOWN, 'W', 0});
  queue.PostQuit(0);
  queue.Post({WM_CLOSE, 0, 0});
  EXPECT_EQ(Drain(queue), (std::vector<uint32_t>{WM_CLOSE, WM_KEYDOWN, WM_QUIT, WM_TIMER}));
}

TEST(MessageQueue, ATimerDoesNotPileUpWhileUnread) {
  SteppedClock clock(250);
  MessageQueue queue(clock);
  queue.SetTimer(1, 1000);
  EXPECT_TRUE(Drain(queue).empty());
  Pass(clock, 12); // three seconds pass unread
  EXPECT_EQ(Drain(queue), std::vector<uint32_t>{WM_TIMER});
  Pass(clock, 3);
  EXPECT_TRUE(Drain(queue).empty()) << "the next tick is a full interval after the last one";
  clock.Sleep(0);
  Message message;
  ASSERT_TRUE(queue.Peek(message));
  EXPECT_EQ(message.wParam, 1u);
  queue.KillTimer(1);
  Pass(clock, 4);
  EXPECT_TRUE(Drain(queue).empty());
}

TEST(MessageQueue, TimersSurviveTheTickCountWrap) {
  SteppedClock clock(600, 0xFFFFFF00u);
  MessageQueue queue(clock);
  queue.SetTimer(1, 1000); // due just past the wrap
  clock.Sleep(0);
  EXPECT_TRUE(Drain(queue).empty());
  clock.Sleep(0);
  EXPECT_EQ(Drain(queue), std::vector<uint32_t>{WM_TIMER});
}

} // namespace
} // namespace meridia::platform
