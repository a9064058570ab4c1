// The engine's two-way stream: one Transfer call reads or writes, as Mode says, so a type saves
// and loads with one routine that transfers its fields in order. Binary layout is the memory
// of each value as it lies, little-endian.
#pragma once

#include "engine/Object.h"

#include <cstdint>
#include <string>

namespace meridia {

inline constexpr uint8_t kStreamRead = 0;
inline constexpr uint8_t kStreamWrite = 1;

class TzoStream : public TObject {
public:
  TzoStream() = default;

  virtual int64_t GetSize() const;
  // Base: only pulls a position that lies past the end back to the end.
  virtual void SetSize(int64_t newSize);
  void SetMode(uint8_t mode) { Mode = mode; }
  virtual void SetPosition(int64_t position) = 0;
  virtual int64_t GetPosition() const = 0;
  // Moves count bytes between buffer and the stream at the position, in the direction of
  // Mode, and advances the position. A count of 0 or less moves nothing.
  virtual void Transfer(void* buffer, int32_t count) = 0;

  void TransferBuffer(void* buffer, int32_t count) { Transfer(buffer, count); }
  // Whole contents can pass 2^31 bytes; this splits them into Transfer calls.
  void TransferBlock(void* buffer, int64_t count);
  void TransferInt32(int32_t& value);
  void TransferInt64(int64_t& value);
  void TransferInt64(double& value);
  // A 32-bit length, then that many bytes. Reading a length that is negative or larger than
  // what is left in the stream yields the bytes that are there (none for a negative length)
  // and returns false, so a reader of damaged data neither allocates its made-up size nor
  // mistakes the text for whole.
  bool TransferString(std::string& text);

  // The bytes between the position and the end; 0 when the position is past the end.
  int64_t Remaining() const;

  uint8_t Mode = kStreamRead;
};

} // namespace meridia
