// The TGA reader on arbitrary bytes: whatever it answers, the image keeps its invariant and
// every row it lists lies inside its pixels.
#include "FuzzSupport.h"

#include "imaging/TGAReader.h"

using meridia::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  meridia::TzoImage image;
  const bool loaded = meridia::LoadTGAFromMemory(image, {data, size});

  const int64_t pixels = int64_t{image.Width} * image.Height;
  Require(image.Width >= 0 && image.Height >= 0 && image.PixelCount == pixels,
          "the pixel count is width times height");
  Require(image.DataSize == pixels * image.BytesPerPixel &&
              image.Data.size() == static_cast<size_t>(image.DataSize),
          "the data holds every pixel");
  Require(image.Rows.size() == static_cast<size_t>(image.Height), "one offset per row");
  Require(loaded || image.DataSize == 0 || image.BytesPerPixel < 3,
          "a refused picture leaves no true-colour pixels");
  if (loaded && image.Height > 0 && image.Width > 0) {
    Require(image.BytesPerPixel >= 1, "a picture has at least one byte a pixel");
  }
  for (int32_t y = 0; y < image.Height; ++y) {
    Require(image.Rows[static_cast<size_t>(y)] + static_cast<size_t>(image.RowSize) <=
                image.Data.size(),
            "every row lies inside the data");
  }
  return 0;
}
