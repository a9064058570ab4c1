#include "imaging/TGAReader.h"

#include "imaging/TGAImage.h"
#include "storage/Log.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace meridia {
namespace {

constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopToBottom = 0x20;
constexpr uint8_t kRepeatPacket = 0x80;
constexpr size_t kMaxPacketPixels = 128;

// Reads the way a memory stream does: a read past the end copies only the bytes up to the end
// and leaves the rest of the destination as it was.
class ByteReader {
public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Remaining() const { return bytes_.size() - position_; }

  size_t Read(uint8_t* destination, size_t count) {
    const size_t available = std::min(count, Remaining());
    if (available > 0) {
      std::memcpy(destination, bytes_.data() + position_, available);
    }
    position_ += available;
    return available;
  }

  // Whether count bytes were there to pass over.
  bool Skip(size_t count) {
    const size_t available = std::min(count, Remaining());
    position_ += available;
    return available == count;
  }

private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

bool Refuse(TzoImage& image, const char* reason) {
  image = TzoImage();
  LogWrite(std::string("TGA data refused : ") + reason);
  return false;
}

// Fills the pixel block from run-length packets. A packet that would run past the block is cut
// at its end; input that ends before the block is full is a failure.
bool DecodePackets(ByteReader& reader, std::span<uint8_t> pixels, size_t bytes_per_pixel) {
  size_t produced = 0;
  while (produced < pixels.size()) {
    uint8_t packet = 0;
    if (reader.Read(&packet, 1) != 1) {
      return false;
    }
    const size_t room = (pixels.size() - produced) / bytes_per_pixel;
    const size_t count = std::min<size_t>((packet & 0x7F) + 1u, room);
    uint8_t* at = pixels.data() + produced;
    if ((packet & kRepeatPacket) != 0) {
      if (reader.Read(at, bytes_per_pixel) != bytes_per_pixel) {
        return false;
      }
      for (size_t i = 1; i < count; ++i) {
        std::memcpy(at + i * bytes_per_pixel, at, bytes_per_pixel);
      }
    } else if (reader.Read(at, count * bytes_per_pixel) != count * bytes_per_pixel) {
      return false;
    }
    produced += count * bytes_per_pixel;
  }
  return true;
}

// Widens 1- or 2-byte pixels to three bytes in place, from the last pixel to the first, so that
// no pixel is overwritten before it is read (pixel i moves from stored_bpp * i to 3 * i). A grey
// pixel's first byte becomes all three channels; a mapped pixel's little-endian index picks a
// palette entry in its stored order, black when the index lies outside the palette.
bool ExpandToThreeBytes(TzoImage& image, bool mapped, const TGAHeader& header,
                        std::span<const uint8_t> palette) {
  const size_t stored_bpp = static_cast<size_t>(image.BytesPerPixel);
  const size_t pixel_count = static_cast<size_t>(image.PixelCount);
  image.SetPixelFormat(3);
  if (static_cast<size_t>(image.DataSize) != pixel_count * 3) {
    return false;
  }
  uint8_t* data = image.Data.data();
  for (size_t i = pixel_count; i-- > 0;) {
    const uint8_t* stored = data + i * stored_bpp;
    std::array<uint8_t, 3> rgb{};
    if (mapped) {
      const int64_t value = stored_bpp == 1 ? stored[0] : stored[0] | (stored[1] << 8);
      const int64_t index = value - header.ColorMapFirstEntry;
      if (index >= 0 && index < header.ColorMapLength &&
          static_cast<size_t>(index) * 3 + 3 <= palette.size()) {
        std::memcpy(rgb.data(), palette.data() + index * 3, 3);
      }
    } else {
      rgb.fill(stored[0]);
    }
    std::memcpy(data + i * 3, rgb.data(), 3);
  }
  return true;
}

} // namespace

bool LoadTGAFromMemory(TzoImage& image, std::span<const uint8_t> bytes) {
  ByteReader reader(bytes);
  std::array<uint8_t, TGAHeader::kSize> header_bytes{};
  if (reader.Read(header_bytes.data(), header_bytes.size()) != header_bytes.size()) {
    return Refuse(image, "header truncated");
  }
  const TGAHeader header = TGAHeader::FromBytes(header_bytes);
  // Files that carry an identification field are read past it rather than misread as pixels.
  if (!reader.Skip(header.IdLength)) {
    return Refuse(image, "identification field truncated");
  }
  const bool mapped = header.ColorMapType == 1;
  const bool encoded = header.ImageType > 8;

  image = TzoImage();
  // Depth 64 gives 8, which the format table reads as 8 bits: one byte a pixel.
  image.SetPixelFormat(header.PixelDepth / 8);
  const size_t bpp = static_cast<size_t>(image.BytesPerPixel);
  if (bpp == 0) {
    return Refuse(image, "pixel depth under 8 bits");
  }

  const size_t palette_size = header.PaletteBytes();
  if (palette_size > reader.Remaining()) {
    return Refuse(image, "colour map truncated");
  }
  // Before anything is allocated: could the bytes after the palette hold the picture at all?
  // Uncompressed they must hold every pixel; encoded, each packet of at least 1 + bpp bytes
  // gives at most 128 pixels.
  const uint64_t pixel_bytes = uint64_t{header.Width} * header.Height * bpp;
  const uint64_t after_palette = reader.Remaining() - palette_size;
  const uint64_t most_bytes =
      encoded ? after_palette / (1 + bpp) * kMaxPacketPixels * bpp : after_palette;
  if (pixel_bytes > most_bytes) {
    return Refuse(image, encoded ? "run-length data too short" : "pixel data truncated");
  }
  image.SetSize(header.Width, header.Height);
  if (image.Width != header.Width || image.Height != header.Height) {
    return Refuse(image, "picture too large");
  }

  std::vector<uint8_t> palette(palette_size);
  reader.Read(palette.data(), palette.size());

  const std::span<uint8_t> pixels(image.Data);
  if (encoded) {
    if (!DecodePackets(reader, pixels, bpp)) {
      return Refuse(image, "run-length data ends early");
    }
  } else {
    reader.Read(pixels.data(), pixels.size());
  }

  // Only image type 2 is exempt from widening: an encoded 16-bit true-colour picture (type 10)
  // is widened like grey from each pixel's first byte, as the program has always read it.
  bool result = true;
  if (image.BytesPerPixel < 3 && header.ImageType != 2) {
    if (mapped && header.ColorMapEntrySize != 24) {
      LogWrite("TGA colour map entries of " + std::to_string(header.ColorMapEntrySize) +
               " bits are not supported");
      result = false;
    } else if (!ExpandToThreeBytes(image, mapped, header, palette)) {
      return Refuse(image, "picture too large to widen");
    }
  }

  if ((header.ImageDescriptor & kRightToLeft) != 0) {
    image.MirrorRows();
  }
  if ((header.ImageDescriptor & kTopToBottom) != 0) {
    image.FlipVertical();
  }
  return result;
}

} // namespace meridia
