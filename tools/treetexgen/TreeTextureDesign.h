// The bark and leaf pictures of the two tree kinds, designed here and written by the build:
// bark that tiles in both directions (it wraps around stems and repeats along them) with
// vertical streaks, and a leaf or needle cluster whose alpha is its coverage, so that the leaf
// drawing's alpha test cuts the shape out of its quad.
#pragma once

#include "imaging/TGAImage.h"

#include <cstdint>
#include <string>

namespace meridia::treetexgen {

constexpr int kBarkSize = 256;
constexpr int kLeafSize = 128;

struct Rgba {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  uint8_t Alpha = 255;
};

// Kind 0: brown, deeply furrowed; kind 1 (any other value): grey, finer streaks. Columns and rows
// wrap: (kBarkSize, y) is (0, y).
Rgba BarkPixel(int kind, int x, int y);
// Kind 0: a cluster of broad leaves; kind 1: a twig with needles. Row 0 is the bottom, where the
// cluster's stalk starts; alpha 0 outside the shape.
Rgba LeafPixel(int kind, int x, int y);

// 24-bit bark and 32-bit leaf pictures with bottom-left origin, pixels in blue, green, red(,
// alpha) order.
TTGAImage BuildBark(int kind);
TTGAImage BuildLeaf(int kind);

// The file name stems the tree kinds ask for, below base/textures/trees.
std::string BarkName(int kind);
std::string LeafName(int kind);

} // namespace meridia::treetexgen
