// Small blocks for driving the block-sorting decoder's stages one at a time, and test data of
// the kinds a data file holds.
#pragma once

#include "storage/abc/Block.h"

#include <cstdint>
#include <random>
#include <span>
#include <string_view>
#include <vector>

namespace meridia::testing {

// A block with its own work memory of `capacity` entries per span and table.
class SmallBlock {
public:
  explicit SmallBlock(uint32_t capacity = 1 << 16) : memory_(T_ABC_Block::WorkBytes(capacity)) {
    block.Attach(memory_.data(), capacity);
  }

  void SetInput(std::span<const uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.In);
    block.InLength = static_cast<uint32_t>(bytes.size());
  }
  std::vector<uint8_t> Output() const { return {block.Out, block.Out + block.OutLength}; }

  T_ABC_Block block;

private:
  std::vector<uint8_t> memory_;
};

inline std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) {
    b = static_cast<uint8_t>(rng() % static_cast<uint32_t>(alphabet));
  }
  return bytes;
}

// Words with spaces and line breaks: text with the long repeats that block sorting feeds on.
inline std::vector<uint8_t> TextBytes(size_t count, uint32_t seed) {
  static constexpr std::string_view kWords[] = {
      "planet", "terrain", "the",   "of",      "vertex", "patch", "height", "quadtree",
      "sky",    "tree",    "light", "shadow",  "city",   "and",   "a",      "scattering",
      "noise",  "erosion", "map",   "texture", "node",   "level", "frame",  "camera"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> text;
  while (text.size() < count) {
    const std::string_view word = kWords[rng() % std::size(kWords)];
    text.insert(text.end(), word.begin(), word.end());
    text.push_back(rng() % 11 == 0 ? '\n' : ' ');
  }
  text.resize(count);
  return text;
}

// Little-endian records with slowly changing fields and runs of zeros, as binary files have.
inline std::vector<uint8_t> RecordBytes(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes;
  uint32_t field = 1000;
  while (bytes.size() < count) {
    field += rng() % 5;
    for (int i = 0; i < 4; ++i) {
      bytes.push_back(static_cast<uint8_t>(field >> (8 * i)));
    }
    bytes.insert(bytes.end(), rng() % 9, 0);
    bytes.push_back(static_cast<uint8_t>(rng() % 3));
  }
  bytes.resize(count);
  return bytes;
}

} // namespace meridia::testing
