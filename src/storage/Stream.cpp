#include "storage/Stream.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

namespace meridia {

// Stored files hold values as they lie in memory; that layout is little-endian.
static_assert(std::endian::native == std::endian::little);

int64_t TzoStream::GetSize() const {
  return 0;
}

void TzoStream::SetSize(int64_t /*newSize*/) {
  if (GetPosition() > GetSize()) {
    SetPosition(GetSize());
  }
}

void TzoStream::TransferBlock(void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    const int32_t step = static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
    Transfer(bytes, step);
    bytes += step;
    count -= step;
  }
}

void TzoStream::TransferInt32(int32_t& value) {
  Transfer(&value, sizeof(value));
}

void TzoStream::TransferInt64(int64_t& value) {
  Transfer(&value, sizeof(value));
}

void TzoStream::TransferInt64(double& value) {
  static_assert(sizeof(double) == 8);
  Transfer(&value, sizeof(value));
}

bool TzoStream::TransferString(std::string& text) {
  if (Mode != kStreamRead) {
    // Texts past 2^31 bytes cannot be described by the length field; none is ever written.
    int32_t length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
    TransferInt32(length);
    if (length > 0) {
      Transfer(text.data(), length);
    }
    return length == static_cast<int64_t>(text.size());
  }
  int32_t length = 0;
  const bool had_length = Remaining() >= static_cast<int64_t>(sizeof(length));
  TransferInt32(length);
  const int64_t available = Remaining();
  const bool whole = had_length && length >= 0 && length <= available;
  text.assign(static_cast<size_t>(std::clamp<int64_t>(length, 0, available)), '\0');
  if (!text.empty()) {
    Transfer(text.data(), static_cast<int32_t>(text.size()));
  }
  return whole;
}

int64_t TzoStream::Remaining() const {
  return std::max<int64_t>(GetSize() - GetPosition(), 0);
}

} // namespace meridia
