// The work memory of one block-sorting decoder and the state its stages share while a block is
// decoded: two spans that the stages read and write in turn, the side tables the entropy stage
// fills, and the fields of the block header. Every length kept here has been checked against
// the capacity of the array it describes, so a stage may trust it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace meridia {

// 5,570,560 bytes: the longest stream any stage reads or writes, and the most payload bytes a
// block may have.
inline constexpr uint32_t kAbcMaxBlock = 0x550000;
// Run exponents and number classes go up to 23 bits of mantissa.
inline constexpr int kAbcMaxBits = 23;

enum class T_ABC_Path : uint8_t { Mtf, Sif, Awfc };

inline constexpr uint8_t kAbcFlagMtf = 1;
// Selects the SIF path when the MTF bit is clear; on every path it also selects how the context
// models mix their tables.
inline constexpr uint8_t kAbcFlagSif = 2;

// Numbers stored as a class byte (0 for the number 0, else the bit count c) and, for c > 0, a
// c-bit mantissa m in that class's list: the number is 2^c - 1 + m. The lists lie class after
// class; the entropy stage leaves every cursor at the end of its data and readers wind back.
struct T_ABC_ClassNumbers {
  uint8_t* Classes = nullptr;
  uint32_t Count = 0;
  uint32_t* Mantissas = nullptr;
  uint32_t ListStart[kAbcMaxBits + 1] = {};
  uint32_t ListEnd[kAbcMaxBits + 1] = {};
  // The length of the last group the block recorded (the one below the 0 put on top).
  uint32_t LastGroup = 0;

  uint32_t Cursor = 0;
  uint32_t MantissaCursor[kAbcMaxBits + 1] = {};

  // Winds the cursors back over the last `count` numbers; false when fewer are there.
  bool WindBack(uint32_t count);
  // The next number; false at the end of the data.
  bool Read(uint32_t& value);
};

// Run mantissas of the run-length stage: per exponent e (1..23) a list of e-bit values, each
// list after those of all smaller exponents. Count[0], the runs that need no mantissa, is
// stored in the stream but used by no stage.
struct T_ABC_RunMantissas {
  uint32_t* Values = nullptr;
  int MaxExponent = 0;
  uint32_t Count[kAbcMaxBits + 1] = {};
  uint32_t ListStart[kAbcMaxBits + 2] = {};
  uint32_t Cursor[kAbcMaxBits + 1] = {};
};

class T_ABC_Block {
public:
  // Allocates nothing: Attach hands the block its arrays, carved from the decoder's memory.
  T_ABC_Block() = default;

  // Bytes of work memory for spans of `capacity` bytes.
  static size_t WorkBytes(uint32_t capacity = kAbcMaxBlock);
  // Carves the arrays out of `memory`, which holds WorkBytes(capacity) bytes and outlives the
  // block. The decoder uses kAbcMaxBlock; tests drive stages with small blocks.
  void Attach(uint8_t* memory, uint32_t capacity = kAbcMaxBlock);

  // The next stage reads what the last one wrote.
  void Swap();
  // Records why the block was refused and returns false, so a stage can `return Fail(...)`.
  bool Fail(const char* reason);

  T_ABC_Path Path() const;
  bool MtfPath() const { return (Flags & kAbcFlagMtf) != 0; }
  bool HalvesShortContext() const { return (Flags & kAbcFlagSif) != 0; }

  // Header fields.
  uint8_t Flags = 0;
  uint32_t StoredCrc = 0;
  uint32_t Primary = 0;
  uint8_t Weight = 0;
  uint32_t CodedLength = 0;
  // The stream's bytes after the header, at most kAbcMaxBlock: the range decoder reads past the
  // coded length into them.
  uint32_t PayloadLength = 0;

  // Length of each span and of each side table, in entries.
  uint32_t Capacity = 0;
  // The spans: a stage reads In[0, InLength) and writes Out[0, OutLength), at most Capacity
  // bytes.
  uint8_t* In = nullptr;
  uint32_t InLength = 0;
  uint8_t* Out = nullptr;
  uint32_t OutLength = 0;

  // Numbers.Mantissas and Runs.Values lie one after the other, 8-byte aligned: the inverse
  // BWT, which runs after every reader of them, uses the pair as one 64-bit table.
  T_ABC_ClassNumbers Numbers;
  T_ABC_RunMantissas Runs;
  // Repeat count of each rank on the AWFC path.
  uint32_t* Repeats = nullptr;
  // Records of the inverse BWT; SIF's distance list before that.
  uint32_t* Links = nullptr;

  const char* Error = nullptr;
};

} // namespace meridia
