// A stream over a byte array that other code may read directly. Buffer.size() is the stream's
// size and 0 <= Position <= Buffer.size() at all times; reads never go past the end.
#pragma once

#include "storage/Stream.h"

#include <cstdint>
#include <vector>

namespace meridia {

using TzoMemoryStreamBuffer = std::vector<uint8_t>;

class TzoMemoryStream : public TzoStream {
public:
  TzoMemoryStream() = default;

  int64_t GetSize() const override;
  // Keeps the first min(old, n) bytes; added bytes are zero. A negative size is refused with a
  // log line and changes nothing.
  void SetSize(int64_t newSize) override;
  // Clamped to 0..size.
  void SetPosition(int64_t position) override;
  int64_t GetPosition() const override;
  // A write grows the size by count wherever the position is: the bytes at the position are
  // overwritten and the new tail is zero. A read copies what lies before the end and leaves the
  // rest of the caller's buffer as it was.
  void Transfer(void* buffer, int32_t count) override;

  TzoMemoryStreamBuffer Buffer;
  int64_t Position = 0;
};

} // namespace meridia
