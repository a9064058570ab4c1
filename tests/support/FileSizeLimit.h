// Makes the system refuse to grow any file of this process past a size, as a full disk would
// refuse the bytes: a write that crosses the limit comes out short and the next one fails. The
// signal the system sends with it is ignored meanwhile. Everything is restored on destruction.
// The test's own log grows under the same limit, so the limit must leave it room.
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>

namespace meridia::testing {

class FileSizeLimit {
public:
  explicit FileSizeLimit(uint64_t bytes) {
    if (getrlimit(RLIMIT_FSIZE, &previous_) != 0) {
      ADD_FAILURE() << "cannot read the file-size limit";
      return;
    }
    handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (!active_) {
      ADD_FAILURE() << "cannot set the file-size limit";
    }
  }
  ~FileSizeLimit() {
    if (active_) {
      setrlimit(RLIMIT_FSIZE, &previous_);
    }
    signal(SIGXFSZ, handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  rlimit previous_{};
  sighandler_t handler_ = SIG_DFL;
  bool active_ = false;
};

} // namespace meridia::testing
