// Range decoder over a byte array (M. Schindler's range coder, 1998: 31-bit range, carry
// handled by the encoder). A segment starts at a byte the decoder skips. The byte just past the
// coded data reads as 0, a guard; the bytes after it are those that follow in the stream (the
// next block's header, say), as far as there are any, and 0 beyond. At the end of a segment
// the decoder has read three bytes past the last one the encoder wrote, so the segment ends at
// the read index minus 3.
#pragma once

#include <cstdint>

namespace meridia {

class T_ABC_Range_Coder {
public:
  static constexpr uint32_t kBottom = 0x800000;

  // Starts a segment at `offset` of the coded data data[0, size); data[0, available) may be
  // read, and `available` may be below or above `size`.
  void Start(const uint8_t* data, uint32_t size, uint32_t available, uint32_t offset) {
    Data = data;
    Size = size;
    Available = available;
    Index = offset;
    NextByte();
    Buffer = NextByte();
    Low = Buffer >> 1;
    Range = 128;
  }
  // Over coded data that nothing follows.
  void Start(const uint8_t* data, uint32_t size, uint32_t offset) {
    Start(data, size, size, offset);
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
    const uint32_t at = Index++;
    if (at < Size) {
      return Data[at];
    }
    return at > Size && at < Available ? Data[at] : 0;
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
  uint32_t Available = 0;
  uint32_t Index = 0;
  uint32_t Buffer = 0;
  uint32_t Low = 0;
  uint32_t Range = 0;
  uint32_t Step = 0;
};

} // namespace meridia
