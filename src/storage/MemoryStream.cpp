#include "storage/MemoryStream.h"

#include "storage/Log.h"

#include <algorithm>
#include <cstring>

namespace meridia {

int64_t TzoMemoryStream::GetSize() const {
  return static_cast<int64_t>(Buffer.size());
}

void TzoMemoryStream::SetSize(int64_t newSize) {
  // Refused in every build, as a file refuses it: emptying the stream would lose its data.
  if (newSize < 0) {
    LogWrite("IO Error : Negative size refused");
    return;
  }
  Buffer.resize(static_cast<size_t>(newSize));
  Position = std::min(Position, GetSize());
}

void TzoMemoryStream::SetPosition(int64_t position) {
  Position = std::clamp<int64_t>(position, 0, GetSize());
}

int64_t TzoMemoryStream::GetPosition() const {
  return Position;
}

void TzoMemoryStream::Transfer(void* buffer, int32_t count) {
  if (count <= 0) {
    return;
  }
  const auto at = static_cast<size_t>(Position);
  if (Mode != kStreamRead) {
    SetSize(GetSize() + count);
    std::memcpy(Buffer.data() + at, buffer, static_cast<size_t>(count));
  } else {
    const auto available = static_cast<size_t>(GetSize() - Position);
    const size_t copied = std::min(static_cast<size_t>(count), available);
    if (copied > 0) {
      std::memcpy(buffer, Buffer.data() + at, copied);
    }
  }
  SetPosition(Position + count);
}

} // namespace meridia
