// Pictures as plain RGB bytes, their box-averaged reduction and a tolerant comparison for
// reference pictures. A picture keeps Rgb.size() == Width * Height * 3, top row first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace meridia::testing {

struct Picture {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgb;

  bool Valid() const {
    return Width > 0 && Height > 0 && Rgb.size() == static_cast<size_t>(Width) * Height * 3;
  }
};

// Each output pixel is the rounded mean of a factor by factor block; a size that the factor does
// not divide, or a malformed picture, gives an empty one.
inline Picture BoxDownscale(const Picture& in, int factor) {
  if (!in.Valid() || factor < 1 || in.Width % factor != 0 || in.Height % factor != 0) {
    return {};
  }
  Picture out{in.Width / factor, in.Height / factor, {}};
  out.Rgb.resize(static_cast<size_t>(out.Width) * out.Height * 3);
  const int area = factor * factor;
  for (int y = 0; y < out.Height; ++y) {
    for (int x = 0; x < out.Width; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dy = 0; dy < factor; ++dy) {
          const size_t row = static_cast<size_t>(y * factor + dy) * in.Width;
          for (int dx = 0; dx < factor; ++dx) {
            sum += in.Rgb[(row + x * factor + dx) * 3 + c];
          }
        }
        out.Rgb[(static_cast<size_t>(y) * out.Width + x) * 3 + c] =
            static_cast<uint8_t>((sum + area / 2) / area);
      }
    }
  }
  return out;
}

// A pixel differs when its largest channel difference exceeds Level; the pictures match while
// at most Share of the pixels differ and the mean of that largest difference over the whole
// picture stays at or under MeanLevel (which catches a shift spread thinly below Level).
struct PictureTolerance {
  int Level = 0;
  double Share = 0.0;
  double MeanLevel = 0.0;
};

// The reference suite's tolerance, for shots of 800 by 600 reduced to 200 by 150.
// llvmpipe draws byte-identical shots run after run on one machine, so the tolerance is there
// only for another Mesa or LLVM: a few levels on a few pixels, which the 4 by 4 mean shrinks
// further (3 levels on 1 % of the pixels make a mean of 0.03). A reduced pixel differs past 24
// levels; up to 0.5 % of them (150 of 30000) may, and the mean largest-channel difference may
// reach 0.5 levels. A tree moved by a metre or a patch left out changes hundreds of reduced
// pixels by more than 24 levels; one colour of the colour map 12 levels redder changes no pixel
// that much, but moves the mean of a picture showing that ground by 1 to 3 levels.
inline constexpr PictureTolerance kReferenceTolerance{24, 0.005, 0.5};

struct PictureDifference {
  bool SameSize = false;
  size_t Pixels = 0;
  size_t Differing = 0;
  int Largest = 0;
  double MeanLevel = 0.0;
  bool Matches = false;
};

inline int LargestChannelDifference(const Picture& a, const Picture& b, size_t pixel) {
  int largest = 0;
  for (int c = 0; c < 3; ++c) {
    largest = std::max(largest, std::abs(a.Rgb[pixel * 3 + c] - b.Rgb[pixel * 3 + c]));
  }
  return largest;
}

inline PictureDifference ComparePictures(const Picture& expected, const Picture& actual,
                                         const PictureTolerance& tolerance) {
  PictureDifference result;
  result.SameSize = expected.Valid() && actual.Valid() && expected.Width == actual.Width &&
                    expected.Height == actual.Height;
  if (!result.SameSize) {
    return result;
  }
  result.Pixels = static_cast<size_t>(expected.Width) * expected.Height;
  double total = 0.0;
  for (size_t pixel = 0; pixel < result.Pixels; ++pixel) {
    const int difference = LargestChannelDifference(expected, actual, pixel);
    result.Largest = std::max(result.Largest, difference);
    result.Differing += difference > tolerance.Level;
    total += difference;
  }
  result.MeanLevel = total / static_cast<double>(result.Pixels);
  result.Matches = static_cast<double>(result.Differing) <=
                       tolerance.Share * static_cast<double>(result.Pixels) &&
                   result.MeanLevel <= tolerance.MeanLevel;
  return result;
}

// For a person to look at: the expected picture dimmed to grey, every difference amplified
// sixteen times in yellow, and the pixels over the level in bright red.
inline Picture DifferencePicture(const Picture& expected, const Picture& actual, int level) {
  if (!expected.Valid() || !actual.Valid() || expected.Width != actual.Width ||
      expected.Height != actual.Height) {
    return {};
  }
  Picture out{expected.Width, expected.Height, std::vector<uint8_t>(expected.Rgb.size())};
  for (size_t pixel = 0; pixel < out.Rgb.size() / 3; ++pixel) {
    const uint8_t* e = &expected.Rgb[pixel * 3];
    const int grey = (e[0] + e[1] + e[2]) / 12;
    const int difference = LargestChannelDifference(expected, actual, pixel);
    const int amplified = std::min(255, grey + difference * 16);
    uint8_t* o = &out.Rgb[pixel * 3];
    if (difference > level) {
      o[0] = 255, o[1] = 0, o[2] = 0;
    } else {
      o[0] = static_cast<uint8_t>(amplified), o[1] = static_cast<uint8_t>(amplified);
      o[2] = static_cast<uint8_t>(grey);
    }
  }
  return out;
}

} // namespace meridia::testing
