// The range decoder and the models of the entropy stage, against the test encoder and against
// frequencies worked out by hand.
#include "AbcTestSupport.h"

#include "AbcEntropy.h"
#include "storage/abc/Model.h"
#include "storage/abc/RangeCoder.h"
#include "storage/abc/SymbolModel.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace meridia {
namespace {

using ByteVector = std::vector<uint8_t>;
using pack::RangeEncoder;

// Frequencies of a plain model by rank, and its symbols by rank.
std::vector<uint32_t> Frequencies(const T_ABC_Model& model) {
  std::vector<uint32_t> frequencies;
  for (int rank = 0; rank < model.Count(); ++rank) {
    uint32_t cumulative = 0;
    uint32_t frequency = 0;
    model.Interval(rank, cumulative, frequency);
    frequencies.push_back(frequency);
  }
  return frequencies;
}

std::vector<uint32_t> Mixed(const T_ABC_Context_Model& model) {
  std::vector<uint32_t> frequencies;
  for (int symbol = 0; symbol < model.Count(); ++symbol) {
    uint32_t cumulative = 0;
    uint32_t frequency = 0;
    model.Interval(symbol, cumulative, frequency);
    frequencies.push_back(frequency);
  }
  return frequencies;
}

TEST(AbcModel, RanksSwapWithTheFirstOfEqualFrequency) {
  T_ABC_Model model;
  model.Setup(4, 10);
  EXPECT_EQ(Frequencies(model), (std::vector<uint32_t>{40, 30, 20, 10}));
  EXPECT_EQ(model.Total(), 100u);
  uint32_t cumulative = 0;
  uint32_t frequency = 0;
  model.Interval(1, cumulative, frequency);
  EXPECT_EQ(cumulative, 30u); // the ranks after it lie below it
  model.Update(3);
  EXPECT_EQ(Frequencies(model), (std::vector<uint32_t>{40, 30, 20, 20}));
  EXPECT_EQ(model.RankOf(3), 3);
  // Now ranks 2 and 3 tie: symbol 3 takes rank 2 before it grows.
  model.Update(3);
  EXPECT_EQ(Frequencies(model), (std::vector<uint32_t>{40, 30, 30, 20}));
  EXPECT_EQ(model.RankOf(3), 2);
  EXPECT_EQ(model.RankOf(2), 3);
  // Reaching 32768 halves every frequency, rounding up.
  T_ABC_Model big;
  big.Setup(2, 9999);
  big.Update(0);
  EXPECT_EQ(Frequencies(big), (std::vector<uint32_t>{14999, 5000}));
  big.Update(1);
  EXPECT_EQ(Frequencies(big), (std::vector<uint32_t>{14999, 14999}));
  EXPECT_EQ(big.Total(), 29998u);
}

TEST(AbcModel, ContextTablesStartAndMixAsSet) {
  T_ABC_Context_Model model;
  model.Setup(4, 2, 5, 900, 400, 500);
  // Flat start: (400 + 900 + 2 * 500) / 4 + 1, or with the short table halved
  // (200 + 900 + 500) / 4 + 1.
  model.Reset(false, false);
  EXPECT_EQ(Mixed(model), (std::vector<uint32_t>(4, 576)));
  model.Reset(false, true);
  EXPECT_EQ(Mixed(model), (std::vector<uint32_t>(4, 401)));
  // On the MTF path each table starts at (4 - k) times its increment.
  model.Reset(true, false);
  EXPECT_EQ(Mixed(model), (std::vector<uint32_t>{2301, 1726, 1151, 576}));
  // A symbol adds to the order-0 table and to the rows of the contexts it came in; the next
  // symbol sees the rows of the new history (symbol 2: a fresh short row, a fresh long row).
  model.Reset(false, false);
  model.Update(2);
  EXPECT_EQ(Mixed(model), (std::vector<uint32_t>{576, 576, 801, 576}));
}

TEST(AbcModel, LevelZeroModelsMergeTheRunDigits) {
  // After 0 or after 1 the same rows follow, so the two tables mirror each other; a plain
  // context model keeps the two histories apart.
  T_ABC_Context_Level_0_Model after_zero;
  T_ABC_Context_Level_0_Model after_one;
  T_ABC_Context_Model plain;
  for (T_ABC_Context_Model* model : {static_cast<T_ABC_Context_Model*>(&after_zero),
                                     static_cast<T_ABC_Context_Model*>(&after_one), &plain}) {
    model->Setup(4, 2, 5, 900, 400, 500);
  }
  after_zero.Update(0);
  after_one.Update(1);
  plain.Update(1);
  const std::vector<uint32_t> zero = Mixed(after_zero);
  const std::vector<uint32_t> one = Mixed(after_one);
  EXPECT_EQ(zero[0], one[1]);
  EXPECT_EQ(zero[1], one[0]);
  EXPECT_NE(zero[0], zero[1]);
  EXPECT_NE(Mixed(plain), one);
}

TEST(AbcRangeCoder, SegmentsDecodeWhatWasEncodedAndEndWhereTheyWereWritten) {
  std::mt19937 rng(3);
  // Three segments: skewed symbols, uniform ones, none at all.
  std::vector<std::vector<int>> symbols(3);
  for (int i = 0; i < 5000; ++i) {
    symbols[0].push_back(rng() % 10 < 8 ? 0 : static_cast<int>(rng() % 257));
    symbols[1].push_back(static_cast<int>(rng() % 257));
  }
  std::vector<RangeEncoder> segments(3);
  std::vector<size_t> lengths;
  for (size_t s = 0; s < 3; ++s) {
    T_ABC_Model model;
    model.Setup(257, 1);
    for (const int symbol : symbols[s]) {
      pack::EncodeWith(segments[s], model, symbol);
    }
  }
  const ByteVector payload = pack::JoinSegments(segments);

  T_ABC_Range_Coder coder;
  uint32_t position = 0;
  for (size_t s = 0; s < 3; ++s) {
    T_ABC_Model model;
    model.Setup(257, 1);
    coder.Start(payload.data(), static_cast<uint32_t>(payload.size()), position);
    for (const int symbol : symbols[s]) {
      ASSERT_EQ(model.Decode(coder), symbol) << s;
    }
    position = coder.Finish();
    EXPECT_FALSE(coder.Overrun());
  }
  EXPECT_EQ(position, payload.size());
  // An empty segment is two bytes: the skipped one and the last.
  std::vector<RangeEncoder> empty(1);
  EXPECT_EQ(pack::JoinSegments(empty).size(), 2u);
}

TEST(AbcRangeCoder, ReadsPastTheDataAsZerosAndTellsWhenItOverruns) {
  const ByteVector garbage = testing::RandomBytes(8, 1);
  T_ABC_Range_Coder coder;
  coder.Start(garbage.data(), static_cast<uint32_t>(garbage.size()), 0);
  T_ABC_Model model;
  model.Setup(2, 1);
  int decoded = 0;
  while (!coder.Overrun() && decoded < 100000) {
    model.Decode(coder);
    ++decoded;
  }
  EXPECT_TRUE(coder.Overrun());
  EXPECT_LT(decoded, 100000);
}

TEST(AbcRangeCoder, ReadsAGuardZeroAfterTheCodedDataThenTheBytesThatFollow) {
  // Coded data of one byte (the skipped one), then four more bytes of the stream. The decoder's
  // 31-bit window takes the guard (not 0xFF) and the next three bytes, less the last bit; with a
  // total of 2^16 the target is its top 16 bits: the guard, then 0x5C.
  const ByteVector bytes = {0xAA, 0xFF, 0x5C, 0x33, 0x77};
  T_ABC_Range_Coder coder;
  coder.Start(bytes.data(), 1, static_cast<uint32_t>(bytes.size()), 0);
  EXPECT_EQ(coder.Target(1 << 16), 0x5Cu);
  // With nothing after the coded data, all of it reads as zeros.
  coder.Start(bytes.data(), 1, 1, 0);
  EXPECT_EQ(coder.Target(1 << 16), 0u);
}

TEST(AbcSymbolModels, EverySymbolOfEveryModelRoundTrips) {
  const struct {
    int symbol;
    int group;
  } groups[] = {{3, 0},  {4, 1},  {5, 1},  {6, 2},  {9, 2},   {10, 3},  {15, 3}, {16, 4},
                {31, 4}, {32, 5}, {69, 5}, {70, 6}, {149, 6}, {150, 7}, {256, 7}};
  for (const auto& g : groups) {
    EXPECT_EQ(AbcGroupOf(g.symbol), g.group) << g.symbol;
  }

  std::vector<int> sequence;
  for (int s = 0; s <= 256; ++s) {
    sequence.push_back(s);
    sequence.push_back(s % 5);
  }
  std::vector<uint32_t> mantissas;
  std::vector<int> widths;
  for (int bits = 1; bits <= kAbcMaxBits; ++bits) {
    for (const uint32_t value : {0u, 1u, (1u << bits) - 1, (1u << bits) / 3}) {
      mantissas.push_back(value & ((1u << bits) - 1));
      widths.push_back(bits);
    }
  }
  for (const bool mtf : {false, true}) {
    std::vector<RangeEncoder> segments(4);
    T_ABC_Symbol_Model plain;
    plain.Setup(257);
    T_ABC_Symbol_Context_Model context;
    context.Setup(257);
    context.Reset(mtf, !mtf);
    T_ABC_Exponent_Model exponents;
    exponents.Reset(mtf, mtf);
    T_ABC_Mantissa_Models bits;
    bits.Reset(mtf, false);
    for (const int s : sequence) {
      pack::EncodeSymbol(segments[0], plain, s);
      pack::EncodeSymbol(segments[1], context, s);
    }
    for (int e = 0; e <= kAbcMaxBits; ++e) {
      pack::EncodeExponent(segments[2], exponents, e);
    }
    for (size_t i = 0; i < mantissas.size(); ++i) {
      pack::EncodeMantissa(segments[3], bits, mantissas[i], widths[i]);
    }
    const ByteVector payload = pack::JoinSegments(segments);

    T_ABC_Range_Coder coder;
    const auto size = static_cast<uint32_t>(payload.size());
    uint32_t position = 0;
    plain.Setup(257);
    coder.Start(payload.data(), size, position);
    for (const int s : sequence) {
      ASSERT_EQ(plain.Decode(coder), s);
    }
    position = coder.Finish();
    context.Setup(257);
    context.Reset(mtf, !mtf);
    coder.Start(payload.data(), size, position);
    for (const int s : sequence) {
      ASSERT_EQ(context.Decode(coder), s);
    }
    position = coder.Finish();
    exponents.Reset(mtf, mtf);
    coder.Start(payload.data(), size, position);
    for (int e = 0; e <= kAbcMaxBits; ++e) {
      ASSERT_EQ(exponents.Decode(coder), e);
    }
    position = coder.Finish();
    bits.Reset(mtf, false);
    coder.Start(payload.data(), size, position);
    for (size_t i = 0; i < mantissas.size(); ++i) {
      ASSERT_EQ(bits.Decode(coder, widths[i]), mantissas[i]) << widths[i];
    }
    EXPECT_EQ(coder.Finish(), size);
  }
}

} // namespace
} // namespace meridia
