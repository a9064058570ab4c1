#include "AbcEntropy.h"

#include "storage/abc/Coder.h"

namespace meridia::pack {
namespace {

constexpr uint32_t kTop = 0x80000000u;
constexpr uint32_t kBottom = 0x800000u;
constexpr int kShift = 23;

} // namespace

void RangeEncoder::Normalize() {
  while (range_ <= kBottom) {
    if (low_ < 0xFFu << kShift) {
      out_.push_back(buffer_);
      out_.insert(out_.end(), pending_, 0xFF);
      pending_ = 0;
      buffer_ = static_cast<uint8_t>(low_ >> kShift);
    } else if ((low_ & kTop) != 0) {
      out_.push_back(static_cast<uint8_t>(buffer_ + 1));
      out_.insert(out_.end(), pending_, 0x00);
      pending_ = 0;
      buffer_ = static_cast<uint8_t>(low_ >> kShift);
    } else {
      ++pending_;
    }
    range_ <<= 8;
    low_ = (low_ << 8) & (kTop - 1);
  }
}

void RangeEncoder::Encode(uint32_t cumulative, uint32_t frequency, uint32_t total) {
  Normalize();
  const uint32_t step = range_ / total;
  const uint32_t below = step * cumulative;
  low_ += below;
  range_ = cumulative + frequency < total ? step * frequency : range_ - below;
}

std::vector<uint8_t> RangeEncoder::Finish(std::array<uint8_t, 3> following) {
  Normalize();
  // The decoder's value ends with the last byte written here and the 23 bits the following
  // bytes bring. The smallest last byte that puts that value at or above low is in range,
  // since range exceeds 2^23 after normalising.
  const uint32_t tail =
      uint32_t{following[0]} << 15 | uint32_t{following[1]} << 7 | uint32_t{following[2]} >> 1;
  const uint64_t last =
      low_ <= tail ? 0 : (uint64_t{low_} - tail + (uint64_t{1} << kShift) - 1) >> kShift;
  std::vector<uint8_t> bytes = std::move(out_);
  if (last > 0xFF) {
    bytes.push_back(static_cast<uint8_t>(buffer_ + 1));
    bytes.insert(bytes.end(), pending_, 0x00);
  } else {
    bytes.push_back(buffer_);
    bytes.insert(bytes.end(), pending_, 0xFF);
  }
  bytes.push_back(static_cast<uint8_t>(last));
  *this = RangeEncoder();
  return bytes;
}

void EncodeWith(RangeEncoder& coder, T_ABC_Model& model, int symbol) {
  const int rank = model.RankOf(symbol);
  uint32_t cumulative = 0;
  uint32_t frequency = 0;
  model.Interval(rank, cumulative, frequency);
  coder.Encode(cumulative, frequency, model.Total());
  model.Update(rank);
}

void EncodeWith(RangeEncoder& coder, T_ABC_Context_Model& model, int symbol) {
  uint32_t cumulative = 0;
  uint32_t frequency = 0;
  model.Interval(symbol, cumulative, frequency);
  coder.Encode(cumulative, frequency, model.Total());
  model.Update(symbol);
}

void EncodeSymbol(RangeEncoder& coder, T_ABC_Symbol_Model& model, int symbol) {
  if (symbol < 3) {
    EncodeWith(coder, model.Head, symbol);
    return;
  }
  EncodeWith(coder, model.Head, 3);
  const int group = AbcGroupOf(symbol);
  EncodeWith(coder, model.Selector, group);
  const int start = kAbcGroupStarts[group];
  if (model.GroupEnd(group) - start >= 2) {
    EncodeWith(coder, model.Groups[group], symbol - start);
  }
}

void EncodeSymbol(RangeEncoder& coder, T_ABC_Symbol_Context_Model& model, int symbol) {
  if (symbol < 3) {
    EncodeWith(coder, model.Head, symbol);
    return;
  }
  EncodeWith(coder, model.Head, 3);
  const int group = AbcGroupOf(symbol);
  EncodeWith(coder, model.Selector, group);
  const int start = kAbcGroupStarts[group];
  if (model.GroupEnd(group) - start >= 2) {
    if (group < 2) {
      EncodeWith(coder, model.FirstGroups[group], symbol - start);
    } else {
      EncodeWith(coder, model.Groups[group], symbol - start);
    }
  }
}

void EncodeExponent(RangeEncoder& coder, T_ABC_Exponent_Model& model, int exponent) {
  if (exponent < 4) {
    EncodeWith(coder, model.Head, exponent);
    return;
  }
  EncodeWith(coder, model.Head, 4);
  EncodeWith(coder, model.Tail, exponent - 4);
}

void EncodeMantissa(RangeEncoder& coder, T_ABC_Mantissa_Models& models, uint32_t value, int bits) {
  if (bits == 1) {
    EncodeWith(coder, models.One, static_cast<int>(value));
    return;
  }
  if (bits == 2) {
    EncodeWith(coder, models.Two, static_cast<int>(value));
    return;
  }
  EncodeWith(coder, models.Three, static_cast<int>(value >> (bits - 3)));
  for (int i = bits - 4; i >= 0; --i) {
    EncodeWith(coder, models.Bit, static_cast<int>((value >> i) & 1));
  }
}

void Encode24(RangeEncoder& coder, T_ABC_Symbol_Model& model, uint32_t value) {
  for (int shift = 16; shift >= 0; shift -= 8) {
    EncodeSymbol(coder, model, static_cast<int>((value >> shift) & 0xFF));
  }
}

std::vector<uint8_t> JoinSegments(std::vector<RangeEncoder>& segments, PayloadEnd end) {
  std::vector<uint8_t> joined;
  for (size_t i = segments.size(); i-- > 0;) {
    // The segments after this one, then what follows the payload.
    std::array<uint8_t, 3> following{};
    for (size_t k = 0; k < 3; ++k) {
      following[k] = k < joined.size() ? joined[k] : end[k - joined.size()];
    }
    std::vector<uint8_t> bytes = segments[i].Finish(following);
    bytes.insert(bytes.end(), joined.begin(), joined.end());
    joined = std::move(bytes);
  }
  return joined;
}

namespace {

void EncodeRunCounts(RangeEncoder& coder, T_ABC_Symbol_Model& numbers, const RunCoded& runs) {
  EncodeSymbol(coder, numbers, runs.MaxExponent);
  for (int e = 0; e <= runs.MaxExponent; ++e) {
    Encode24(coder, numbers, runs.Count[e]);
  }
}

void EncodeRunMantissas(RangeEncoder& coder, T_ABC_Mantissa_Models& models, const RunCoded& runs) {
  for (int e = 1; e <= runs.MaxExponent; ++e) {
    for (const uint32_t mantissa : runs.Mantissas[e]) {
      EncodeMantissa(coder, models, mantissa, e);
    }
  }
}

} // namespace

std::vector<uint8_t> MtfPayload(const RunCoded& runs, std::span<const uint8_t> ranks,
                                bool halveShort, PayloadEnd end) {
  std::vector<RangeEncoder> segments(3);
  T_ABC_Symbol_Model numbers;
  numbers.Setup(256);
  EncodeRunCounts(segments[0], numbers, runs);

  T_ABC_Mantissa_Models mantissas;
  mantissas.Reset(true, halveShort);
  EncodeRunMantissas(segments[1], mantissas, runs);

  T_ABC_Symbol_Model rank_model;
  rank_model.Setup(257);
  for (const uint8_t rank : ranks) {
    EncodeSymbol(segments[2], rank_model, rank);
  }
  EncodeSymbol(segments[2], rank_model, T_ABC_Coder::kEndSymbol);
  return JoinSegments(segments, end);
}

std::vector<uint8_t> SifPayload(const RunCoded& runs, std::span<const uint32_t> numbers,
                                uint32_t sifLength, PayloadEnd end) {
  std::vector<RangeEncoder> segments(3);
  T_ABC_Symbol_Model number_model;
  number_model.Setup(256);
  const auto count = static_cast<uint32_t>(numbers.size());
  Encode24(segments[0], number_model, count);
  Encode24(segments[0], number_model, sifLength);
  // One group holding every number.
  Encode24(segments[0], number_model, 1);
  Encode24(segments[0], number_model, count);
  EncodeRunCounts(segments[0], number_model, runs);

  // The SIF flag is set on this path, and the MTF flag clear.
  T_ABC_Exponent_Model exponents;
  exponents.Reset(false, true);
  for (const uint32_t number : numbers) {
    EncodeExponent(segments[1], exponents, NumberClass(number));
  }

  std::array<std::vector<uint32_t>, kAbcMaxBits + 1> by_class;
  for (const uint32_t number : numbers) {
    by_class[NumberClass(number)].push_back(NumberMantissa(number));
  }
  T_ABC_Mantissa_Models mantissas;
  mantissas.Reset(false, true);
  for (int c = 1; c <= kAbcMaxBits; ++c) {
    for (const uint32_t mantissa : by_class[c]) {
      EncodeMantissa(segments[2], mantissas, mantissa, c);
    }
  }
  EncodeRunMantissas(segments[2], mantissas, runs);
  return JoinSegments(segments, end);
}

std::vector<uint8_t> AwfcPayload(std::span<const uint8_t> zeroRuns, PayloadEnd end) {
  std::vector<RangeEncoder> segments(1);
  T_ABC_Symbol_Context_Model model;
  model.Setup(257);
  model.Reset(false, false);
  for (const uint8_t byte : zeroRuns) {
    EncodeSymbol(segments[0], model, byte);
  }
  EncodeSymbol(segments[0], model, T_ABC_Coder::kEndSymbol);
  return JoinSegments(segments, end);
}

} // namespace meridia::pack
