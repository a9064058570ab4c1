// Range decoder over a byte array (M. Schindler's range coder, 1998: 31-bit range, carry
// handled by the encoder). A segment starts at a byte the decoder skips; the bytes at and past
// the end of the coded data read as 0, which stands in for a guard byte and keeps every read
// inside the data. At the end of a segment the decoder has read three bytes past the last one
// the encoder wrote, so the segment ends at the read index minus 3.
#pragma once

#include <cstdint>

namespace meridia {

class T_ABC_Range_Coder {
public:
  static constexpr uint32_t kBottom = 0x800000;

  // Starts a segment at `offset` of data[0, size).
  void Start(const uint8_t* data, uint32_t size, uint32_t offset) {
    Data = data;
    Size = size;
    Index = offset;
    NextByte();
    Buffer = NextByte();
    Low = Buffer >> 1;
    Range = 128;
  }

  // Where the target of a symbol lies in [0, total): the first step of decoding one.
  uint32_t Target(uint32_t total) {
    Normalize();
    Step = Range / total;
    const uint32_t target = Low / Step;
    return target < total ? target : total - 1;
  }

  // The second step: the decoded symbol covers [cumulative, cumulative + frequency) of total.
  // The topmost symbol takes what division left over at the top of the range.
  void Consume(uint32_t cumulative, uint32_t frequency, uint32_t total) {
    const uint32_t below = Step * cumulative;
    Low -= below;
    Range = cumulative + frequency < total ? Step * frequency : Range - below;
  }

  // Ends the segment; the offset just past its last byte.
  uint32_t Finish() {
    Normalize();
    return Index - 3;
  }

  // The decoder has read past the zeros that follow sound data: the data is damaged.
  bool Overrun() const { return Index > Size + 3; }

private:
  uint8_t NextByte() {
    const uint8_t byte = Index < Size ? Data[Index] : 0;
    ++Index;
    return byte;
  }

  void Normalize() {
    while (Range <= kBottom) {
      Low = (Low << 8) | ((Buffer << 7) & 0xFF);
      Buffer = NextByte();
      Low |= Buffer >> 1;
      Range <<= 8;
    }
  }

  const uint8_t* Data = nullptr;
  uint32_t Size = 0;
  uint32_t Index = 0;
  uint32_t Buffer = 0;
  uint32_t Low = 0;
  uint32_t Range = 0;
  uint32_t Step = 0;
};

} // namespace meridia
