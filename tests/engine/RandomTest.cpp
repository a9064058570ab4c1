#include "engine/Random.h"

#include <gtest/gtest.h>

namespace meridia {
namespace {

TEST(Random, SeedSequenceIsTheLinearCongruence) {
  SetRandSeed(0);
  const uint32_t expected[] = {1u, 134775814u, 3698175007u, 870078620u, 1172187917u};
  for (uint32_t value : expected) {
    RandomReal();
    EXPECT_EQ(RandSeed(), value);
  }
}

TEST(Random, IntegerDrawsTakeTheHighWordOfTheProduct) {
  SetRandSeed(12345);
  const int32_t expected[] = {38, 28, 7, 55, 63, 34};
  for (int32_t value : expected) {
    EXPECT_EQ(Random(100), value);
  }
  EXPECT_EQ(RandSeed(), 1467157059u);
}

TEST(Random, RealDrawsAreTheSeedOverTwoToThe32) {
  SetRandSeed(0xFFFFFFFFu);
  EXPECT_DOUBLE_EQ(RandomReal(), 4160191484.0 / 4294967296.0);
  SetRandSeed(0xFFFFFFFFu);
  EXPECT_EQ(Random(1), 0);
  EXPECT_EQ(RandSeed(), 4160191484u) << "integer and real draws advance the seed alike";
}

TEST(Random, DrawsStayInRangeAndEmptyRangesStillConsumeADraw) {
  SetRandSeed(7);
  for (int i = 0; i < 10000; ++i) {
    const int32_t n = 1 + i % 977;
    const int32_t value = Random(n);
    ASSERT_GE(value, 0);
    ASSERT_LT(value, n);
    const double real = RandomReal();
    ASSERT_GE(real, 0.0);
    ASSERT_LT(real, 1.0);
  }
  SetRandSeed(0);
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(RandSeed(), 1u);
}

} // namespace
} // namespace meridia
