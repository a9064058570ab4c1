// The entropy stage: decodes the range-coded segments of a block's payload into the rank stream
// (the block's output span) and the side numbers (run mantissas, class-coded numbers). Every
// model is reset before the segment that uses it; each segment starts where the previous one
// ended.
//
// Segments by path (a 24-bit number is three symbols of the number model, high byte first):
//   MTF:  1 number model: top exponent n (one symbol), runs of exponent 0..n (24 bits each)
//         2 mantissa models: run mantissas, exponent by exponent
//         3 rank model (257 symbols): ranks up to the end symbol 256
//   SIF:  1 number model: class bytes (24), a number no stage reads (24), groups g (24), g group
//           lengths (24 each), then the run counts as on the MTF path
//         2 exponent model: the class bytes
//         3 mantissa models: class mantissas class by class, then the run mantissas
//   AWFC: 1 context symbol model (257 symbols): the zero-run coded ranks up to 256
#pragma once

#include "storage/abc/Block.h"
#include "storage/abc/RangeCoder.h"
#include "storage/abc/SymbolModel.h"

namespace meridia {

class T_ABC_Coder {
public:
  static constexpr int kEndSymbol = 256;

  T_ABC_Coder();

  // Decodes payload[0, Block.CodedLength) for the block's path, reading past it into
  // payload[0, Block.PayloadLength) as the range decoder does; `consumed` is where the last
  // segment ended. False for damaged data (a segment that runs past the coded length, counts
  // that cannot fit the block's tables, a rank stream longer than the block).
  bool Run(T_ABC_Block& block, const uint8_t* payload, uint32_t& consumed);

private:
  void StartSegment();
  bool EndSegment(T_ABC_Block& block);
  uint32_t Decode24();
  bool DecodeRunCounts(T_ABC_Block& block);
  bool DecodeRunMantissas(T_ABC_Block& block);
  bool DecodeMtf(T_ABC_Block& block);
  bool DecodeSif(T_ABC_Block& block);
  bool DecodeAwfc(T_ABC_Block& block);

  T_ABC_Range_Coder Coder_;
  const uint8_t* Payload_ = nullptr;
  uint32_t Size_ = 0;
  uint32_t Available_ = 0;
  uint32_t Position_ = 0;

  T_ABC_Symbol_Model Numbers_;
  T_ABC_Symbol_Model Ranks_;
  T_ABC_Symbol_Context_Model ContextRanks_;
  T_ABC_Exponent_Model Exponents_;
  T_ABC_Mantissa_Models Mantissas_;
};

} // namespace meridia
