#include "storage/abc/Block.h"

#include <utility>

namespace meridia {
namespace {

// Each span keeps 16 spare bytes on either side, as the stream format's own buffers do.
constexpr size_t kSpanMargin = 16;

size_t SpanBytes(uint32_t capacity) {
  return capacity + 2 * kSpanMargin;
}

size_t WordArrayBytes(uint32_t capacity) {
  return size_t{capacity} * sizeof(uint32_t);
}

} // namespace

bool T_ABC_ClassNumbers::WindBack(uint32_t count) {
  if (count > Cursor) {
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t bits = Classes[--Cursor];
    if (bits != 0) {
      // The lists were sized from these very class bytes, so a cursor never passes its start.
      --MantissaCursor[bits];
    }
  }
  return true;
}

bool T_ABC_ClassNumbers::Read(uint32_t& value) {
  if (Cursor >= Count) {
    return false;
  }
  const uint8_t bits = Classes[Cursor++];
  value = bits == 0 ? 0 : (1u << bits) - 1 + Mantissas[MantissaCursor[bits]++];
  return true;
}

size_t T_ABC_Block::WorkBytes(uint32_t capacity) {
  return 4 * WordArrayBytes(capacity) + 2 * SpanBytes(capacity) + capacity;
}

void T_ABC_Block::Attach(uint8_t* memory, uint32_t capacity) {
  const size_t words = WordArrayBytes(capacity);
  // The 32-bit arrays first, so that every one of them is aligned.
  Numbers.Mantissas = reinterpret_cast<uint32_t*>(memory);
  Runs.Values = reinterpret_cast<uint32_t*>(memory + words);
  Repeats = reinterpret_cast<uint32_t*>(memory + 2 * words);
  Links = reinterpret_cast<uint32_t*>(memory + 3 * words);
  uint8_t* spans = memory + 4 * words;
  In = spans + kSpanMargin;
  Out = spans + SpanBytes(capacity) + kSpanMargin;
  Numbers.Classes = spans + 2 * SpanBytes(capacity);
  Capacity = capacity;
  InLength = 0;
  OutLength = 0;
}

void T_ABC_Block::Swap() {
  std::swap(In, Out);
  InLength = OutLength;
  OutLength = 0;
}

bool T_ABC_Block::Fail(const char* reason) {
  Error = reason;
  return false;
}

T_ABC_Path T_ABC_Block::Path() const {
  if ((Flags & kAbcFlagMtf) != 0) {
    return T_ABC_Path::Mtf;
  }
  return (Flags & kAbcFlagSif) != 0 ? T_ABC_Path::Sif : T_ABC_Path::Awfc;
}

} // namespace meridia
