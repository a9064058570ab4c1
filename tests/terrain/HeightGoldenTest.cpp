// Pins the exact bits of the height function and its parts. Faster versions of the noise, the
// octave sums and the bicubic lookup must reorder nothing: a changed rounding anywhere shows as
// a different hash. The hashes were taken from the implementation before it was optimised.
#include "terrain/HeightMapFactory.h"

#include "engine/ProgramVariant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

namespace meridia {
namespace {

// FNV-1a over the bytes of each double, in the order they are added.
class Fnv1a {
public:
  void Add(double value) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (unsigned char b : bytes) {
      hash_ = (hash_ ^ b) * 0x100000001b3ull;
    }
  }
  uint64_t Value() const { return hash_; }

private:
  uint64_t hash_ = 0xcbf29ce484222325ull;
};

// The same deterministic 2048 by 2048 map the benchmarks use.
std::unique_ptr<TPixelBuffer_d> ErosionMap() {
  auto erosion = std::make_unique<TPixelBuffer_d>();
  erosion->SetSize(2048, 2048);
  uint32_t state = 12345;
  for (float& sample : erosion->Data) {
    state = state * 1664525u + 1013904223u;
    sample = static_cast<float>(state >> 8) / 16777216.0f;
  }
  return erosion;
}

THeightMapFactory MakeFactory() {
  TzoImage color_map;
  color_map.SetPixelFormat(24);
  color_map.SetSize(256, 2048);
  return THeightMapFactory(kPlanetSeed, ErosionMap(), std::move(color_map));
}

struct HeightHash {
  uint64_t hash;
  int land;
  int sea;
};

// Coarse grids over all six faces, directions around both poles and the longitude seam, and
// neighbouring samples of patches at fine levels, as patch builds ask for them.
HeightHash HashHeights(const THeightMapFactory& factory) {
  Fnv1a hash;
  int land = 0;
  int sea = 0;
  auto add = [&](double x, double y, double z) {
    const double h = factory.TerrainHeight(x, y, z);
    hash.Add(h);
    (h >= 0 ? land : sea) += 1;
  };
  for (int face = 0; face < 6; ++face) {
    for (int j = 0; j <= 24; ++j) {
      for (int k = 0; k <= 24; ++k) {
        const Vector3f d = CubeFaceDirection(face, -1.0 + k / 12.0, -1.0 + j / 12.0);
        add(d.x, d.y, d.z);
      }
    }
  }
  for (double y : {1.0, -1.0}) {
    add(0.0, y, 0.0);
    for (int i = 0; i < 64; ++i) {
      const double r = std::ldexp(1.0, -(i % 32)) * 0.5;
      const double a = i * 0.7;
      add(r * std::sin(a), y * std::sqrt(1.0 - r * r), r * std::cos(a));
    }
  }
  // Across the seam where atan2 jumps from pi to -pi.
  for (int i = -32; i <= 32; ++i) {
    add(i * 1e-3, 0.3, -0.95);
    add(i * 1e-9, -0.2, -0.98);
  }
  for (int level : {8, 12, 14, 18}) {
    const double step = 2.0 / std::ldexp(1.0, level) / 15.0;
    for (int face = 0; face < 6; ++face) {
      const double u0 = -0.83 + 0.29 * face;
      const double v0 = 0.71 - 0.27 * face;
      for (int j = -1; j <= 16; ++j) {
        for (int k = -1; k <= 16; ++k) {
          const Vector3f d = CubeFaceDirection(face, u0 + k * step, v0 + j * step);
          add(d.x, d.y, d.z);
        }
      }
    }
  }
  return {hash.Value(), land, sea};
}

class HeightGoldenTest : public ::testing::Test {
protected:
  void TearDown() override { SetProgramVariant(ProgramVariant::kStandard); }
};

TEST_F(HeightGoldenTest, TerrainHeightKeepsItsBits) {
  const HeightHash standard = HashHeights(MakeFactory());
  // Both branches of the continent mask must be covered for the hash to mean anything.
  EXPECT_GT(standard.land, 1000);
  EXPECT_GT(standard.sea, 1000);
  EXPECT_EQ(standard.hash, 0x12d176a1af26f8aaull);

  SetProgramVariant(ProgramVariant::kDetail);
  EXPECT_EQ(HashHeights(MakeFactory()).hash, 0x0ddacfe26bc01f39ull);
}

TEST_F(HeightGoldenTest, NoiseAndBicubicKeepTheirBits) {
  const THeightMapFactory factory = MakeFactory();
  const TNoiseExtra& noise = factory.NoiseExtra;
  Fnv1a noise_hash;
  Fnv1a octave_hash;
  for (int i = 0; i < 2000; ++i) {
    // Mostly within the first period, some beyond it and some far beyond, where the shift
    // takes its other paths.
    const double scale = i % 10 == 0 ? 1e6 : (i % 10 == 1 ? 1e15 : 40.0);
    const double x = std::sin(i * 1.3) * scale;
    const double y = std::cos(i * 0.7) * scale;
    const double z = std::sin(i * 2.9 + 1.0) * scale;
    noise_hash.Add(noise.Noise3(x, y, z));
    octave_hash.Add(noise.SumOctaves(1 + i % 9, x, y, z));
  }
  EXPECT_EQ(noise_hash.Value(), 0x36907801cffea0caull);
  EXPECT_EQ(octave_hash.Value(), 0x95bb91eeffe9525cull);

  const TPixelBuffer_d& map = *factory.ErosionSampler;
  Fnv1a bicubic_hash;
  for (int i = 0; i < 2000; ++i) {
    bicubic_hash.Add(map.SampleBicubic(std::sin(i * 0.37) * 70.0, std::cos(i * 0.53) * 40.0));
  }
  EXPECT_EQ(bicubic_hash.Value(), 0xb0b81e43baeb97d4ull);
}

} // namespace
} // namespace meridia
