#include "storage/abc/Coder.h"

#include <algorithm>

namespace meridia {
namespace {

constexpr const char* kOverrun = "coded segments run past the coded length";

} // namespace

T_ABC_Coder::T_ABC_Coder() {
  Numbers_.Setup(256);
  Ranks_.Setup(257);
  ContextRanks_.Setup(257);
}

bool T_ABC_Coder::Run(T_ABC_Block& block, const uint8_t* payload, uint32_t& consumed) {
  Payload_ = payload;
  Size_ = block.CodedLength;
  Available_ = block.PayloadLength;
  Position_ = 0;
  block.OutLength = 0;
  bool sound = false;
  switch (block.Path()) {
  case T_ABC_Path::Mtf:
    sound = DecodeMtf(block);
    break;
  case T_ABC_Path::Sif:
    sound = DecodeSif(block);
    break;
  case T_ABC_Path::Awfc:
    sound = DecodeAwfc(block);
    break;
  }
  consumed = Position_;
  return sound;
}

void T_ABC_Coder::StartSegment() {
  Coder_.Start(Payload_, Size_, Available_, Position_);
}

bool T_ABC_Coder::EndSegment(T_ABC_Block& block) {
  Position_ = Coder_.Finish();
  if (Position_ > Size_) {
    return block.Fail(kOverrun);
  }
  return true;
}

uint32_t T_ABC_Coder::Decode24() {
  uint32_t value = 0;
  for (int i = 0; i < 3; ++i) {
    value = value << 8 | static_cast<uint32_t>(Numbers_.Decode(Coder_));
  }
  return value;
}

bool T_ABC_Coder::DecodeRunCounts(T_ABC_Block& block) {
  T_ABC_RunMantissas& runs = block.Runs;
  const int top = Numbers_.Decode(Coder_);
  if (top > kAbcMaxBits) {
    return block.Fail("run exponent past 23");
  }
  runs.MaxExponent = top;
  std::fill(std::begin(runs.Count), std::end(runs.Count), 0);
  uint64_t mantissas = 0;
  for (int e = 0; e <= top; ++e) {
    runs.Count[e] = Decode24();
    mantissas += e > 0 ? runs.Count[e] : 0;
  }
  if (mantissas > block.Capacity) {
    return block.Fail("more runs than a block holds");
  }
  runs.ListStart[0] = 0;
  runs.ListStart[1] = 0;
  for (int e = 1; e <= kAbcMaxBits; ++e) {
    runs.ListStart[e + 1] = runs.ListStart[e] + runs.Count[e];
  }
  return true;
}

bool T_ABC_Coder::DecodeRunMantissas(T_ABC_Block& block) {
  T_ABC_RunMantissas& runs = block.Runs;
  for (int e = 1; e <= runs.MaxExponent; ++e) {
    uint32_t at = runs.ListStart[e];
    for (uint32_t j = 0; j < runs.Count[e]; ++j) {
      runs.Values[at++] = Mantissas_.Decode(Coder_, e);
      if (Coder_.Overrun()) {
        return block.Fail(kOverrun);
      }
    }
    // Left at the end of its list, as the run-length stage expects.
    runs.Cursor[e] = at;
  }
  return true;
}

bool T_ABC_Coder::DecodeMtf(T_ABC_Block& block) {
  Numbers_.Reset();
  StartSegment();
  if (!DecodeRunCounts(block) || !EndSegment(block)) {
    return false;
  }

  Mantissas_.Reset(true, block.HalvesShortContext());
  StartSegment();
  if (!DecodeRunMantissas(block) || !EndSegment(block)) {
    return false;
  }

  Ranks_.Reset();
  StartSegment();
  uint8_t* out = block.Out;
  uint32_t length = 0;
  for (;;) {
    const int rank = Ranks_.Decode(Coder_);
    if (rank == kEndSymbol) {
      break;
    }
    if (Coder_.Overrun()) {
      return block.Fail(kOverrun);
    }
    if (length == block.Capacity) {
      return block.Fail("rank stream longer than a block");
    }
    out[length++] = static_cast<uint8_t>(rank);
  }
  block.OutLength = length;
  return EndSegment(block);
}

bool T_ABC_Coder::DecodeSif(T_ABC_Block& block) {
  T_ABC_ClassNumbers& numbers = block.Numbers;
  Numbers_.Reset();
  StartSegment();
  const uint32_t class_count = Decode24();
  // Read by no stage: the SIF stage takes its length from the counts.
  Decode24();
  const uint32_t groups = Decode24();
  if (class_count > block.Capacity || groups == 0) {
    return block.Fail("class-coded numbers do not fit a block");
  }
  for (uint32_t g = 0; g < groups; ++g) {
    numbers.LastGroup = Decode24();
    if (Coder_.Overrun()) {
      return block.Fail(kOverrun);
    }
  }
  if (!DecodeRunCounts(block) || !EndSegment(block)) {
    return false;
  }

  Exponents_.Reset(block.MtfPath(), block.HalvesShortContext());
  StartSegment();
  uint32_t per_class[kAbcMaxBits + 1] = {};
  for (uint32_t i = 0; i < class_count; ++i) {
    const int bits = Exponents_.Decode(Coder_);
    numbers.Classes[i] = static_cast<uint8_t>(bits);
    ++per_class[bits];
    if (Coder_.Overrun()) {
      return block.Fail(kOverrun);
    }
  }
  if (!EndSegment(block)) {
    return false;
  }

  Mantissas_.Reset(block.MtfPath(), block.HalvesShortContext());
  StartSegment();
  uint32_t at = 0;
  for (int c = 1; c <= kAbcMaxBits; ++c) {
    numbers.ListStart[c] = at;
    for (uint32_t j = 0; j < per_class[c]; ++j) {
      numbers.Mantissas[at++] = Mantissas_.Decode(Coder_, c);
      if (Coder_.Overrun()) {
        return block.Fail(kOverrun);
      }
    }
    numbers.ListEnd[c] = at;
    numbers.MantissaCursor[c] = at;
  }
  numbers.Count = class_count;
  numbers.Cursor = class_count;
  if (!DecodeRunMantissas(block)) {
    return false;
  }
  return EndSegment(block);
}

bool T_ABC_Coder::DecodeAwfc(T_ABC_Block& block) {
  ContextRanks_.Reset(block.MtfPath(), block.HalvesShortContext());
  StartSegment();
  uint8_t* out = block.Out;
  uint32_t length = 0;
  for (;;) {
    const int symbol = ContextRanks_.Decode(Coder_);
    if (symbol == kEndSymbol) {
      break;
    }
    if (Coder_.Overrun()) {
      return block.Fail(kOverrun);
    }
    if (length == block.Capacity) {
      return block.Fail("zero-run stream longer than a block");
    }
    out[length++] = static_cast<uint8_t>(symbol);
  }
  block.OutLength = length;
  return EndSegment(block);
}

} // namespace meridia
