// The entropy stage in the encoding direction: a range encoder that matches the decoder's
// T_ABC_Range_Coder, the decoder's own models driven to code symbols, and the segments of each
// path's payload.
#pragma once

#include "AbcForward.h"
#include "storage/abc/Model.h"
#include "storage/abc/SymbolModel.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace meridia::pack {

// M. Schindler's range encoder. The decoder reads three bytes past a segment's last byte; those
// belong to whatever follows, so a segment is only finished once they are known.
class RangeEncoder {
public:
  void Encode(uint32_t cumulative, uint32_t frequency, uint32_t total);
  // The segment's bytes, the last one chosen so that any value of the three bytes that follow
  // decodes the same symbols.
  std::vector<uint8_t> Finish(std::array<uint8_t, 3> following);

private:
  void Normalize();

  std::vector<uint8_t> out_;
  uint32_t low_ = 0;
  uint32_t range_ = 0x80000000u;
  // The byte held back while a carry may still reach it, then the 0xFF bytes behind it.
  uint8_t buffer_ = 0;
  uint32_t pending_ = 0;
};

void EncodeWith(RangeEncoder& coder, T_ABC_Model& model, int symbol);
void EncodeWith(RangeEncoder& coder, T_ABC_Context_Model& model, int symbol);
void EncodeSymbol(RangeEncoder& coder, T_ABC_Symbol_Model& model, int symbol);
void EncodeSymbol(RangeEncoder& coder, T_ABC_Symbol_Context_Model& model, int symbol);
void EncodeExponent(RangeEncoder& coder, T_ABC_Exponent_Model& model, int exponent);
void EncodeMantissa(RangeEncoder& coder, T_ABC_Mantissa_Models& models, uint32_t value, int bits);
void Encode24(RangeEncoder& coder, T_ABC_Symbol_Model& model, uint32_t value);

// What the decoder reads past a payload: the guard byte, 0, in place of the next block's first
// byte, then that block's next two (zeros at the end of the stream).
using PayloadEnd = std::array<uint8_t, 3>;

// Joins finished segments: each is finished knowing the bytes of the ones after it, the last
// knowing `end`.
std::vector<uint8_t> JoinSegments(std::vector<RangeEncoder>& segments, PayloadEnd end = {});

// The payloads of the three paths.
std::vector<uint8_t> MtfPayload(const RunCoded& runs, std::span<const uint8_t> ranks,
                                bool halveShort, PayloadEnd end = {});
std::vector<uint8_t> SifPayload(const RunCoded& runs, std::span<const uint32_t> numbers,
                                uint32_t sifLength, PayloadEnd end = {});
std::vector<uint8_t> AwfcPayload(std::span<const uint8_t> zeroRuns, PayloadEnd end = {});

} // namespace meridia::pack
