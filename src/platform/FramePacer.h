// Keeps the driver at most one frame ahead of the loop where the swap does not do it.
//
// A display's swap waits, one way or another, until the driver has caught up with the frames it
// shows. On a surface that nothing presents (SDL's offscreen driver draws into a pbuffer) the
// swap returns at once, so a software rasterizer falls frame after frame behind the loop, and
// the first call that must wait for it (a texture update of the patch atlas, a read of the
// pixels) pays for all of those frames at once: a hitch of tens of milliseconds whenever a patch
// arrives. After each swap the pacer waits for the frame before it, as a display would; the
// frame just swapped is still drawn while the loop prepares the next one.
#pragma once

#include <cstdint>
#include <string_view>

namespace meridia::platform {

// The driver's fence calls (GL_ARB_sync) and glFinish, as the context hands them out.
struct FenceCalls {
  using Sync = void*;
  Sync (*fence_sync)(uint32_t condition, uint32_t flags) = nullptr;
  uint32_t (*client_wait_sync)(Sync sync, uint32_t flags, uint64_t timeout_ns) = nullptr;
  void (*delete_sync)(Sync sync) = nullptr;
  void (*finish)() = nullptr;

  bool HasFences() const {
    return fence_sync != nullptr && client_wait_sync != nullptr && delete_sync != nullptr;
  }
};

// Whether SDL's video driver of that name shows what is swapped, and so paces the loop itself.
inline bool SwapPacesFrames(std::string_view video_driver) {
  return video_driver != "offscreen";
}

class FramePacer {
public:
  // GL_SYNC_GPU_COMMANDS_COMPLETE and GL_SYNC_FLUSH_COMMANDS_BIT.
  static constexpr uint32_t kCommandsComplete = 0x9117;
  static constexpr uint32_t kFlushCommands = 0x00000001;
  // A driver that never signals must not hang the loop: after a second it goes on.
  static constexpr uint64_t kWaitLimitNs = 1'000'000'000;

  explicit FramePacer(const FenceCalls& calls) : calls_(calls) {}

  // Right after the swap, with the context current. Without fences every frame is finished
  // before the next begins.
  void FrameSwapped() {
    if (!calls_.HasFences()) {
      if (calls_.finish != nullptr) {
        calls_.finish();
      }
      return;
    }
    FenceCalls::Sync latest = calls_.fence_sync(kCommandsComplete, 0);
    if (previous_ != nullptr) {
      calls_.client_wait_sync(previous_, kFlushCommands, kWaitLimitNs);
      calls_.delete_sync(previous_);
    }
    previous_ = latest;
  }

  // Before the context stops being current or is deleted: its fence goes with it.
  void Release() {
    if (previous_ != nullptr) {
      calls_.delete_sync(previous_);
      previous_ = nullptr;
    }
  }

  bool HoldsFence() const { return previous_ != nullptr; }

private:
  FenceCalls calls_;
  FenceCalls::Sync previous_ = nullptr;
};

} // namespace meridia::platform
