#include "platform/FramePacer.h"

#include <gtest/gtest.h>

#include <string>

namespace meridia::platform {
namespace {

// What the fake driver was asked, in order: "F1" a fence made, "W1" a wait on it, "D1" deleted,
// "finish".
std::string g_calls;
uintptr_t g_fences = 0;

void Note(char what, FenceCalls::Sync sync) {
  g_calls += what;
  g_calls += std::to_string(reinterpret_cast<uintptr_t>(sync));
  g_calls += ' ';
}

FenceCalls::Sync FakeFence(uint32_t condition, uint32_t flags) {
  EXPECT_EQ(condition, FramePacer::kCommandsComplete);
  EXPECT_EQ(flags, 0u);
  auto* sync = reinterpret_cast<FenceCalls::Sync>(++g_fences);
  Note('F', sync);
  return sync;
}

uint32_t FakeWait(FenceCalls::Sync sync, uint32_t flags, uint64_t timeout_ns) {
  // Without the flush bit a fence of commands still queued may never be signalled.
  EXPECT_EQ(flags, FramePacer::kFlushCommands);
  EXPECT_GT(timeout_ns, 0u);
  Note('W', sync);
  return 0;
}

void FakeDelete(FenceCalls::Sync sync) {
  Note('D', sync);
}

void FakeFinish() {
  g_calls += "finish ";
}

TEST(FramePacer, EachSwapWaitsForTheFrameBeforeAndEveryFenceIsDeletedOnce) {
  const struct {
    const char* name;
    FenceCalls calls;
    std::string after_three_swaps;
    std::string after_release;
  } cases[] = {
      {"fences", {&FakeFence, &FakeWait, &FakeDelete, &FakeFinish}, "F1 F2 W1 D1 F3 W2 D2 ", "D3 "},
      // Fences are all or nothing: a driver missing one of the three finishes every frame.
      {"finish only", {nullptr, &FakeWait, &FakeDelete, &FakeFinish}, "finish finish finish ", ""},
      {"nothing", {}, "", ""},
  };
  for (const auto& c : cases) {
    g_calls.clear();
    g_fences = 0;
    FramePacer pacer(c.calls);
    for (int swap = 0; swap < 3; ++swap) {
      pacer.FrameSwapped();
    }
    EXPECT_EQ(g_calls, c.after_three_swaps) << c.name;
    g_calls.clear();
    pacer.Release();
    pacer.Release();
    EXPECT_EQ(g_calls, c.after_release) << c.name;
    EXPECT_FALSE(pacer.HoldsFence()) << c.name;
  }
}

} // namespace
} // namespace meridia::platform
