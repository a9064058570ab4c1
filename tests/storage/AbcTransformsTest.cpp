// The block-sorting decoder's stages, each against its forward stage and against values worked
// out by hand.
#include "AbcTestSupport.h"

#include "AbcForward.h"
#include "SuffixArray.h"
#include "storage/abc/Awfc.h"
#include "storage/abc/Bwt.h"
#include "storage/abc/Crc32.h"
#include "storage/abc/Mtf.h"
#include "storage/abc/RleBit.h"
#include "storage/abc/RleExp.h"
#include "storage/abc/Sif.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>

namespace meridia {
namespace {

using testing::Bytes;
using testing::RandomBytes;
using testing::RecordBytes;
using testing::SmallBlock;
using testing::TextBytes;
using ByteVector = std::vector<uint8_t>;

// Inputs with the shapes that trouble suffix sorting and run coding: empty, single bytes, one
// value only, short periods, long runs, random bytes over small and full alphabets.
std::vector<ByteVector> Structured() {
  std::vector<ByteVector> inputs = {
      {},
      {0},
      {255},
      ByteVector(1000, 'a'),
      Bytes("abababababababababababab"),
      Bytes("banana"),
      Bytes("mississippi"),
      TextBytes(3000, 1),
      RecordBytes(3000, 2),
      RandomBytes(3000, 3),
      RandomBytes(3000, 4, 2),
      RandomBytes(3000, 5, 5),
  };
  ByteVector runs;
  for (int i = 0; i < 40; ++i) {
    runs.insert(runs.end(), static_cast<size_t>(1 + i * i % 70), static_cast<uint8_t>(i % 3));
  }
  inputs.push_back(runs);
  return inputs;
}

TEST(AbcCrc32, ReflectedFromZeroWithoutInversion) {
  const ByteVector digits = Bytes("123456789");
  EXPECT_EQ(T_ABC_CRC32::Compute(digits.data(), digits.size()), 0x2DFD2D88u);
  const ByteVector a = Bytes("a");
  EXPECT_EQ(T_ABC_CRC32::Compute(a.data(), 1), 0x3AB551CEu);
  // Zeros leave a zero register as it was; the word-at-a-time loop and the byte loop agree.
  const ByteVector zeros(7, 0);
  EXPECT_EQ(T_ABC_CRC32::Compute(zeros.data(), zeros.size()), 0u);
  const ByteVector text = TextBytes(1001, 9);
  uint32_t by_bytes = 0;
  for (const uint8_t byte : text) {
    by_bytes = T_ABC_CRC32::Compute(&byte, 1, by_bytes);
  }
  EXPECT_EQ(T_ABC_CRC32::Compute(text.data(), text.size()), by_bytes);
}

TEST(AbcBwt, SuffixSortingAgreesWithSortingRotations) {
  for (const ByteVector& input : Structured()) {
    std::vector<int32_t> naive(input.size());
    std::iota(naive.begin(), naive.end(), 0);
    std::sort(naive.begin(), naive.end(), [&](int32_t a, int32_t b) {
      return std::lexicographical_compare(input.begin() + a, input.end(), input.begin() + b,
                                          input.end());
    });
    EXPECT_EQ(pack::SuffixArray(input), naive) << input.size();
  }
}

TEST(AbcBwt, BananaAndItsInverse) {
  // Rows $banana a$banan ana$ban anana$b banana$ na$bana nana$ba: last column a n n b $ a a.
  uint32_t primary = 0;
  const ByteVector transformed = pack::ForwardBwt(Bytes("banana"), primary);
  EXPECT_EQ(primary, 4u);
  EXPECT_EQ(transformed, Bytes("annbbaa")); // the end symbol's byte repeats its neighbour

  SmallBlock small;
  small.SetInput(Bytes("annbXaa")); // whatever stands at the primary index is ignored
  small.block.Primary = 4;
  ASSERT_TRUE(T_ABC_BWT::Run(small.block));
  EXPECT_EQ(small.Output(), Bytes("banana"));
}

TEST(AbcBwt, InverseUndoesForward) {
  SmallBlock small;
  for (const ByteVector& input : Structured()) {
    uint32_t primary = 0;
    small.SetInput(pack::ForwardBwt(input, primary));
    small.block.Primary = primary;
    ASSERT_TRUE(T_ABC_BWT::Run(small.block)) << input.size();
    EXPECT_EQ(small.Output(), input) << input.size();
  }
  // One data byte: the transform is that byte and the ignored one.
  small.SetInput(ByteVector{0x42, 0x99});
  small.block.Primary = 1;
  ASSERT_TRUE(T_ABC_BWT::Run(small.block));
  EXPECT_EQ(small.Output(), ByteVector{0x42});
}

TEST(AbcBwt, PrimaryIndexOutsideTheBlockOrOnTheEndRowIsRefused) {
  SmallBlock small;
  const ByteVector text = TextBytes(500, 3);
  uint32_t primary = 0;
  const ByteVector transformed = pack::ForwardBwt(text, primary);
  for (const uint32_t bad : {0u, 501u, 502u, 0xFFFFFFu}) {
    small.SetInput(transformed);
    small.block.Primary = bad;
    EXPECT_FALSE(T_ABC_BWT::Run(small.block)) << bad;
  }
  // Every other primary index stays inside the block: wrong bytes or a refusal, nothing worse.
  for (uint32_t wrong = 1; wrong < transformed.size(); ++wrong) {
    small.SetInput(transformed);
    small.block.Primary = wrong;
    if (T_ABC_BWT::Run(small.block)) {
      EXPECT_EQ(small.block.OutLength, text.size());
    }
  }
}

TEST(AbcMtf, RanksOneZeroOneGiveOneOneZero) {
  SmallBlock small;
  small.SetInput(ByteVector{1, 0, 1});
  T_ABC_MTF::Run(small.block);
  EXPECT_EQ(small.Output(), (ByteVector{1, 1, 0}));
  for (const ByteVector& input : Structured()) {
    small.SetInput(pack::ForwardMtf(input));
    T_ABC_MTF::Run(small.block);
    EXPECT_EQ(small.Output(), input);
  }
}

TEST(AbcRleExp, RunLengthsCutToThresholdPlusExponent) {
  const struct {
    uint32_t length;
    uint32_t copies;
    int exponent;
    uint32_t mantissa;
  } runs[] = {{1, 1, -1, 0}, {2, 2, 0, 0}, {3, 3, 1, 0},  {4, 3, 1, 1},  {5, 4, 2, 0},
              {8, 4, 2, 3},  {9, 5, 3, 0}, {16, 5, 3, 7}, {17, 6, 4, 0}, {1000, 11, 9, 487}};
  for (const auto& run : runs) {
    const ByteVector input(run.length, 'x');
    const pack::RunCoded coded = pack::ForwardRleExp(input);
    EXPECT_EQ(coded.Bytes.size(), run.copies) << run.length;
    if (run.exponent >= 0) {
      EXPECT_EQ(coded.Count[run.exponent], 1u) << run.length;
      EXPECT_EQ(coded.MaxExponent, run.exponent) << run.length;
    }
    if (run.exponent > 0) {
      EXPECT_EQ(coded.Mantissas[run.exponent], std::vector<uint32_t>{run.mantissa}) << run.length;
    }
  }
}

// Puts the forward stage's runs into the block's side tables as the entropy stage would.
void LoadRuns(T_ABC_Block& block, const pack::RunCoded& coded) {
  T_ABC_RunMantissas& runs = block.Runs;
  runs.MaxExponent = coded.MaxExponent;
  uint32_t at = 0;
  for (int e = 0; e <= kAbcMaxBits; ++e) {
    runs.Count[e] = coded.Count[e];
    runs.ListStart[e] = at;
    for (const uint32_t mantissa : coded.Mantissas[e]) {
      runs.Values[at++] = mantissa;
    }
    runs.Cursor[e] = at;
  }
}

TEST(AbcRleExp, InverseUndoesForwardAndReadsEachListFromItsEnd) {
  SmallBlock small;
  for (const ByteVector& input : Structured()) {
    const pack::RunCoded coded = pack::ForwardRleExp(input);
    LoadRuns(small.block, coded);
    small.SetInput(coded.Bytes);
    ASSERT_TRUE(T_ABC_RLE_EXP::Run(small.block)) << input.size();
    EXPECT_EQ(small.Output(), input);
  }
  // Runs of 5 (exponent 2), 2 (exponent 0) and 8 (exponent 2). The cursors wind back from the
  // ends of their lists by the runs present, so a stored count of runs of 2, which no stage
  // uses, and mantissas in front of a list change nothing.
  const ByteVector input = Bytes("aaaaabbcdddddddd");
  pack::RunCoded coded = pack::ForwardRleExp(input);
  ASSERT_EQ(coded.Mantissas[2], (std::vector<uint32_t>{0, 3}));
  coded.Count[0] += 7;
  coded.Mantissas[2].insert(coded.Mantissas[2].begin(), {1, 2});
  coded.Count[2] += 2;
  LoadRuns(small.block, coded);
  small.SetInput(coded.Bytes);
  ASSERT_TRUE(T_ABC_RLE_EXP::Run(small.block));
  EXPECT_EQ(small.Output(), input);
  // More runs than mantissas up to the end of their list, a run past the top exponent, and
  // runs that would overflow the block are refused.
  coded = pack::ForwardRleExp(input);
  coded.Count[2] = 0;
  coded.Mantissas[2].clear();
  LoadRuns(small.block, coded);
  EXPECT_FALSE(T_ABC_RLE_EXP::Run(small.block));
  coded = pack::ForwardRleExp(input);
  LoadRuns(small.block, coded);
  small.block.Runs.MaxExponent = 1;
  EXPECT_FALSE(T_ABC_RLE_EXP::Run(small.block));
  SmallBlock tiny(10);
  LoadRuns(tiny.block, coded);
  tiny.SetInput(coded.Bytes);
  EXPECT_FALSE(T_ABC_RLE_EXP::Run(tiny.block));
}

TEST(AbcZeroRuns, DigitsZeroOneAfterARankGiveFive) {
  SmallBlock small;
  // Rank 6, repeated 1 + 2 * 2 = 5 times; rank 1; rank 254 (escaped) repeated 2 + 2 = 4 times.
  small.SetInput(ByteVector{7, 0, 1, 2, 255, 0, 1, 0});
  ASSERT_TRUE(T_ABC_RLE_BIT::DecodeZeroRuns(small.block));
  EXPECT_EQ(small.Output(), (ByteVector{6, 1, 254}));
  EXPECT_EQ(std::vector<uint32_t>(small.block.Repeats, small.block.Repeats + 3),
            (std::vector<uint32_t>{5, 0, 4}));

  const struct {
    const char* name;
    ByteVector stream;
  } refused[] = {
      {"digit before any rank", {0, 5}},
      {"digit 1 before any rank", {1}},
      {"escape at the end", {5, 255}},
      {"escaped rank past 255", {255, 2}},
      {"repeat past the block", ByteVector(40, 1)},
  };
  for (const auto& c : refused) {
    ByteVector stream = c.stream;
    if (stream.size() == 40) {
      stream[0] = 9;
    }
    small.SetInput(stream);
    EXPECT_FALSE(T_ABC_RLE_BIT::DecodeZeroRuns(small.block)) << c.name;
  }
}

TEST(AbcZeroRuns, InverseUndoesForwardAndRunsExpand) {
  SmallBlock small;
  std::mt19937 rng(7);
  ByteVector ranks;
  std::vector<uint32_t> repeats;
  for (int i = 0; i < 2000; ++i) {
    ranks.push_back(static_cast<uint8_t>(1 + rng() % 255));
    repeats.push_back(rng() % 4 == 0 ? rng() % 40 : 0);
  }
  ByteVector stream;
  ASSERT_TRUE(pack::EncodeZeroRuns(ranks, repeats, stream));
  small.SetInput(stream);
  ASSERT_TRUE(T_ABC_RLE_BIT::DecodeZeroRuns(small.block));
  EXPECT_EQ(small.Output(), ranks);
  EXPECT_EQ(std::vector<uint32_t>(small.block.Repeats, small.block.Repeats + repeats.size()),
            repeats);
  EXPECT_FALSE(pack::EncodeZeroRuns(ByteVector{3, 0}, std::vector<uint32_t>{0, 0}, stream));

  // Run expansion undoes the collapse of runs.
  for (const ByteVector& input : Structured()) {
    const pack::Collapsed collapsed = pack::CollapseRuns(input);
    small.SetInput(collapsed.Symbols);
    std::copy(collapsed.Repeats.begin(), collapsed.Repeats.end(), small.block.Repeats);
    ASSERT_TRUE(T_ABC_RLE_BIT::Run(small.block));
    EXPECT_EQ(small.Output(), input);
  }
  SmallBlock tiny(4);
  tiny.SetInput(ByteVector{1, 2});
  tiny.block.Repeats[0] = 1;
  tiny.block.Repeats[1] = 2;
  EXPECT_FALSE(T_ABC_RLE_BIT::Run(tiny.block));
}

TEST(AbcAwfc, WeightsFallWithDistanceAndWithP) {
  const auto flat = T_ABC_AWFC::Weights(0);
  EXPECT_EQ(flat[1], 131072);
  EXPECT_EQ(flat[2], 16384);
  EXPECT_EQ(flat[3], 10178); // 16384 * 2600 / (2 * 0 + 4185)
  EXPECT_EQ(flat[4], 6323);  // 10178 * 2600 / 4185
  const auto steep = T_ABC_AWFC::Weights(16);
  EXPECT_EQ(steep[3], 9069); // 16384 * 2600 / (2 * 256 + 4185)
  EXPECT_EQ(steep[4], 4760); // 9069 * 2600 / (3 * 256 + 4185)
  EXPECT_EQ(T_ABC_AWFC::Weights(255)[13], 0);
}

TEST(AbcAwfc, RanksFollowTheWeightedCounts) {
  SmallBlock small;
  small.block.Weight = 16;
  // The first rank is the symbol itself; the symbol just emitted leads the ranking, the one
  // before it comes second.
  small.SetInput(ByteVector{7, 1, 1, 1});
  T_ABC_AWFC::Run(small.block);
  EXPECT_EQ(small.Output(), (ByteVector{7, 0, 7, 0}));
  for (const ByteVector& input : Structured()) {
    const ByteVector symbols = pack::CollapseRuns(input).Symbols;
    for (const uint8_t p : {uint8_t{16}, uint8_t{64}, uint8_t{255}}) {
      ByteVector ranks;
      if (!pack::ForwardAwfc(symbols, p, ranks)) {
        continue; // a rank 0: only the first symbol can be one with these weights
      }
      small.block.Weight = p;
      small.SetInput(ranks);
      T_ABC_AWFC::Run(small.block);
      EXPECT_EQ(small.Output(), symbols) << input.size() << " p " << int{p};
    }
  }
  // With the steepest weights only a leading zero byte has rank 0.
  ByteVector ranks;
  EXPECT_TRUE(pack::ForwardAwfc(pack::CollapseRuns(TextBytes(3000, 8)).Symbols, 255, ranks));
  EXPECT_FALSE(pack::ForwardAwfc(ByteVector{0, 1}, 255, ranks));
}

// The inverse ranking move by move, as the weighted counts are defined: for each bucket the
// symbol D(i+1) places back loses w(i+1) and moves back past every symbol that now scores more,
// then the symbol D(i) places back gains it and moves forward past every symbol that now scores
// less.
ByteVector AwfcMoveByMove(const ByteVector& ranks, uint8_t p) {
  const auto w = T_ABC_AWFC::Weights(p);
  const auto& d = T_ABC_AWFC::kDistances;
  ByteVector ranking(256);
  std::iota(ranking.begin(), ranking.end(), 0);
  int64_t score[256] = {};
  const auto move = [&](uint8_t symbol, int64_t change) {
    auto at = std::find(ranking.begin(), ranking.end(), symbol);
    at = ranking.erase(at);
    score[symbol] += change;
    if (change > 0) {
      while (at != ranking.begin() && score[*(at - 1)] < score[symbol]) {
        --at;
      }
    } else {
      while (at != ranking.end() && score[*at] > score[symbol]) {
        ++at;
      }
    }
    ranking.insert(at, symbol);
  };
  ByteVector out;
  for (size_t x = 0; x < ranks.size(); ++x) {
    out.push_back(ranking[ranks[x]]);
    for (int i = 0; i < T_ABC_AWFC::kBuckets && x >= d[i]; ++i) {
      if (x >= d[i + 1]) {
        move(out[x - d[i + 1]], -w[i + 1]);
      }
      move(out[x - d[i]], w[i + 1]);
    }
  }
  return out;
}

TEST(AbcAwfc, SameSymbolsAsMovingOneSymbolAtATime) {
  // Ranks of every kind, rank 0 included, past the farthest bucket: uniform (scores spread,
  // long moves) and mostly small (many symbols tied at low scores), with weights from flat to
  // vanishing after the third bucket.
  std::mt19937 rng(21);
  ByteVector uniform(5000);
  ByteVector small_ranks(5000);
  for (size_t i = 0; i < uniform.size(); ++i) {
    uniform[i] = static_cast<uint8_t>(rng());
    small_ranks[i] = static_cast<uint8_t>(rng() % 4 == 0 ? rng() % 256 : rng() % 6);
  }
  SmallBlock small;
  for (const ByteVector* ranks : {&uniform, &small_ranks}) {
    for (const uint8_t p : {uint8_t{0}, uint8_t{4}, uint8_t{40}, uint8_t{255}}) {
      small.SetInput(*ranks);
      small.block.Weight = p;
      T_ABC_AWFC::Run(small.block);
      EXPECT_TRUE(small.Output() == AwfcMoveByMove(*ranks, p)) << "p " << int{p};
    }
  }
}

TEST(AbcSif, NumbersWorkedOutByHand) {
  // Counts 4, 2, 1 are even enough: most frequent first (0, 1, 2), 2 last. Distances count the
  // values later in the order: 0 meets none, then 1, 2, 1 between its occurrences; 1 meets
  // none, then the 2.
  EXPECT_EQ(pack::ForwardSif(ByteVector{0, 1, 0, 2, 0, 1, 0}),
            (std::vector<uint32_t>{3, 4, 2, 1, 0, 1, 1, 1, 0, 1}));
  // One dominant value: rarest first, the higher of equal counts before the lower: 2, 1, 0.
  EXPECT_EQ(pack::ForwardSif(ByteVector{0, 0, 0, 1, 0, 2, 0}),
            (std::vector<uint32_t>{3, 5, 1, 1, 5, 3}));
  EXPECT_EQ(pack::ForwardSif(ByteVector{}), std::vector<uint32_t>{0});
}

// Class-codes the numbers into the block, in one group, as the entropy stage leaves them.
void LoadNumbers(T_ABC_Block& block, const std::vector<uint32_t>& values) {
  T_ABC_ClassNumbers& numbers = block.Numbers;
  std::vector<std::vector<uint32_t>> lists(kAbcMaxBits + 1);
  for (size_t i = 0; i < values.size(); ++i) {
    const int c = pack::NumberClass(values[i]);
    numbers.Classes[i] = static_cast<uint8_t>(c);
    lists[c].push_back(pack::NumberMantissa(values[i]));
  }
  uint32_t at = 0;
  for (int c = 1; c <= kAbcMaxBits; ++c) {
    numbers.ListStart[c] = at;
    for (const uint32_t m : lists[c]) {
      numbers.Mantissas[at++] = m;
    }
    numbers.ListEnd[c] = at;
    numbers.MantissaCursor[c] = at;
  }
  numbers.Count = static_cast<uint32_t>(values.size());
  numbers.Cursor = numbers.Count;
  numbers.LastGroup = numbers.Count;
}

TEST(AbcSif, InverseUndoesForwardInBothOrders) {
  SmallBlock small;
  std::vector<ByteVector> inputs = Structured();
  // Dominated by one value, so that the rarest come first.
  ByteVector skewed = RandomBytes(3000, 11, 40);
  for (size_t i = 0; i < skewed.size(); i += 2) {
    skewed[i] = 0;
  }
  inputs.push_back(skewed);
  for (const ByteVector& input : inputs) {
    LoadNumbers(small.block, pack::ForwardSif(input));
    small.SetInput({});
    ASSERT_TRUE(T_ABC_SIF::Run(small.block)) << input.size();
    EXPECT_EQ(small.Output(), input) << input.size();
  }
}

TEST(AbcSif, ReadsOnlyTheLastGroup) {
  SmallBlock small;
  const ByteVector input = Bytes("abracadabra");
  std::vector<uint32_t> values = {77, 0, 123456}; // an earlier group the stage must skip
  const std::vector<uint32_t> sif = pack::ForwardSif(input);
  values.insert(values.end(), sif.begin(), sif.end());
  LoadNumbers(small.block, values);
  small.block.Numbers.LastGroup = static_cast<uint32_t>(sif.size());
  ASSERT_TRUE(T_ABC_SIF::Run(small.block));
  EXPECT_EQ(small.Output(), input);
}

TEST(AbcSif, DamagedNumbersAreRefusedOrGiveWrongBytesInsideTheBlock) {
  SmallBlock small;
  const ByteVector input = TextBytes(400, 12);
  const std::vector<uint32_t> sif = pack::ForwardSif(input);
  const struct {
    const char* name;
    std::vector<uint32_t> values;
    uint32_t group;
  } refused[] = {
      {"group longer than the numbers", sif, static_cast<uint32_t>(sif.size()) + 1},
      {"value count past 256", {257}, 1},
      {"counts cut short", {3, 1}, 2},
      {"distances cut short", std::vector<uint32_t>(sif.begin(), sif.end() - 1),
       static_cast<uint32_t>(sif.size()) - 1},
      {"counts past the block", {1, 70000}, 2},
  };
  for (const auto& c : refused) {
    LoadNumbers(small.block, c.values);
    small.block.Numbers.LastGroup = c.group;
    EXPECT_FALSE(T_ABC_SIF::Run(small.block)) << c.name;
  }
  // Distances changed at random still give a block of the right length.
  std::mt19937 rng(5);
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<uint32_t> values = sif;
    const size_t at = 1 + values[0] + rng() % (values.size() - 1 - values[0]);
    values[at] = rng() % (trial % 2 == 0 ? 5 : 0xFFFFFF);
    LoadNumbers(small.block, values);
    ASSERT_TRUE(T_ABC_SIF::Run(small.block));
    EXPECT_EQ(small.block.OutLength, 400u);
  }
}

} // namespace
} // namespace meridia
