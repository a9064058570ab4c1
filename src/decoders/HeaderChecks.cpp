// Each check follows the reader behind it: SDL's BMP reader, SDL_image's ICO, ILBM, PCX, PNM and
// TGA readers, libjpeg's marker reader, libpng's IHDR and libtiff's first directory. Limits
// on compressed data come from the formats' own best packing: deflate's 1032 to 1, run-length
// packets of a count and one value, one bit of Huffman code per 8 by 8 JPEG block.
#include "decoders/HeaderChecks.h"

#include "decoders/ImageDecoders.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

namespace meridia {
namespace {

// Header fields, each read only when it lies inside the bytes.
struct Bytes {
  std::span<const uint8_t> data;

  size_t Size() const { return data.size(); }
  bool Has(size_t at, size_t count) const { return at <= data.size() && count <= data.size() - at; }
  bool Is(size_t at, const char* text) const {
    const size_t length = std::strlen(text);
    return Has(at, length) && std::memcmp(data.data() + at, text, length) == 0;
  }
  // What lies from `at` to the end; nothing when `at` is past it.
  uint64_t From(uint64_t at) const { return at < data.size() ? data.size() - at : 0; }
  uint32_t U16LE(size_t at) const { return data[at] | uint32_t{data[at + 1]} << 8; }
  uint32_t U16BE(size_t at) const { return uint32_t{data[at]} << 8 | data[at + 1]; }
  uint32_t U32LE(size_t at) const { return U16LE(at) | U16LE(at + 2) << 16; }
  uint32_t U32BE(size_t at) const { return U16BE(at) << 16 | U16BE(at + 2); }
};

uint64_t CeilDiv(uint64_t a, uint64_t b) {
  return (a + b - 1) / b;
}

std::string MarkerName(uint32_t marker) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("FF") + kDigits[marker >> 4 & 15] + kDigits[marker & 15];
}

// One header's check: the bytes, the sides once read, and the reason for a refusal.
class Check {
public:
  Check(std::span<const uint8_t> data, std::string& refusal) : b{data}, refusal_(refusal) {}

  const Bytes b;

  bool Damaged(const std::string& what) { return Refuse("header damaged or truncated: " + what); }
  bool Ambiguous(const std::string& what) { return Refuse("ambiguous header: " + what); }
  bool Unsupported(const std::string& what) { return Refuse("not supported: " + what); }

  // The sides the decoder will allocate, against the most a file of this size may claim. Each
  // side is checked before the product, so no product taken after a true answer overflows.
  bool Sides(int64_t width, int64_t height) {
    width_ = width;
    height_ = height;
    const int64_t most = MostPixelsFor(b.Size());
    if (width <= 0 || height <= 0 || width > most || height > most || width * height > most) {
      return TooLarge("more than the " + std::to_string(most) + " pixels a file of " +
                      std::to_string(b.Size()) + " bytes may claim");
    }
    return true;
  }

  // The least the pixel data of the claimed sides can take, against what is there.
  bool Holds(uint64_t needed, uint64_t there, const char* what) {
    if (needed > there) {
      return TooLarge("at least " + std::to_string(needed) + " bytes of " + what + " needed, " +
                      std::to_string(there) + " there");
    }
    return true;
  }

  bool TooLarge(const std::string& why) {
    return Refuse("picture size " + std::to_string(width_) + " x " + std::to_string(height_) +
                  " does not fit the file: " + why);
  }

private:
  bool Refuse(const std::string& why) {
    refusal_ = why;
    return false;
  }

  std::string& refusal_;
  int64_t width_ = 0;
  int64_t height_ = 0;
};

// The bytes of one bitmap row, padded to four: depths of a byte and more take whole bytes (a
// 15-bit pixel is stored in two).
uint64_t BitmapRowBytes(int64_t width, uint32_t bits) {
  const uint64_t stored = bits < 8 ? bits : (bits + 7) / 8 * 8;
  return (static_cast<uint64_t>(width) * stored + 31) / 32 * 4;
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

} // namespace

bool CheckBmpHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  if (!b.Is(0, "BM") || !b.Has(0, 18)) {
    return c.Damaged("no bitmap file header");
  }
  const uint32_t offset = b.U32LE(10);
  const uint32_t info_size = b.U32LE(14);
  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = 0;
  if (info_size == 12) { // the OS/2 core header: 16-bit sides, never compressed
    if (!b.Has(14, 12)) {
      return c.Damaged("core header");
    }
    width = b.U16LE(18);
    height = b.U16LE(20);
    bits = b.U16LE(24);
  } else if (info_size >= 40) {
    if (!b.Has(14, 40)) {
      return c.Damaged("info header");
    }
    width = static_cast<int32_t>(b.U32LE(18));
    height = static_cast<int32_t>(b.U32LE(22));
    bits = b.U16LE(28);
    compression = b.U32LE(30);
  } else {
    return c.Damaged("info header of " + std::to_string(info_size) + " bytes");
  }
  // Top-down pictures store a negative height.
  if (!c.Sides(width, height < 0 ? -height : height)) {
    return false;
  }
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 15 && bits != 16 && bits != 24 &&
      bits != 32) {
    return c.Unsupported(std::to_string(bits) + "-bit pixels");
  }
  // Run-length pictures may stop at an end-of-bitmap code: any size fits in a few bytes, and
  // only the general bound holds.
  if (compression == 1 || compression == 2) {
    return true;
  }
  // The reader takes the rows from the offset the file header gives, whatever lies there.
  return c.Holds(BitmapRowBytes(width, bits) * static_cast<uint64_t>(height < 0 ? -height : height),
                 b.From(offset), "pixel rows");
}

bool CheckIcoHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  if (!b.Has(0, 6) || b.U16LE(0) != 0 || b.U16LE(2) != 1 || b.U16LE(4) == 0) {
    return c.Damaged("no icon directory");
  }
  const uint32_t count = b.U16LE(4);
  if (!b.Has(6, size_t{16} * count)) {
    return c.Damaged("icon directory of " + std::to_string(count) + " entries");
  }
  // The reader decodes one entry, the one of most colours; every entry is checked, so that the
  // answer does not hang on that choice.
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = 6 + size_t{16} * i;
    const std::string name = "icon entry " + std::to_string(i);
    const int64_t listed_width = b.data[entry] == 0 ? 256 : b.data[entry];
    const int64_t listed_height = b.data[entry + 1] == 0 ? 256 : b.data[entry + 1];
    const uint32_t length = b.U32LE(entry + 8);
    const uint32_t offset = b.U32LE(entry + 12);
    if (b.From(offset) == 0) {
      return c.Damaged(name + " lies outside the file");
    }
    const std::span<const uint8_t> image =
        b.data.subspan(offset, std::min<uint64_t>(length, b.From(offset)));
    if (image.size() >= sizeof kPngSignature &&
        std::memcmp(image.data(), kPngSignature, sizeof kPngSignature) == 0) {
      if (!CheckPngHeader(image, refusal)) {
        refusal = name + ": " + refusal;
        return false;
      }
      continue;
    }
    if (!b.Has(offset, 40) || b.U32LE(offset) != 40) {
      return c.Damaged(name + " is neither a bitmap nor a PNG");
    }
    const int64_t width = static_cast<int32_t>(b.U32LE(offset + 4));
    const int64_t height = static_cast<int32_t>(b.U32LE(offset + 8));
    const uint32_t bits = b.U16LE(offset + 14);
    const uint32_t colours = b.U32LE(offset + 32);
    // The bitmap's height counts the colour rows and the mask rows below them.
    const int64_t rows = height < 0 ? height : height / 2;
    if (!c.Sides(width, rows)) {
      return false;
    }
    if (width > listed_width || rows > listed_height) {
      return c.TooLarge(name + " is listed as " + std::to_string(listed_width) + " x " +
                        std::to_string(listed_height));
    }
    if (b.U32LE(offset + 16) != 0) {
      return c.Unsupported(name + " is compressed");
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
      return c.Unsupported(name + " has " + std::to_string(bits) + "-bit pixels");
    }
    const uint64_t palette = bits > 8 ? 0 : colours != 0 ? colours : uint64_t{1} << bits;
    if (palette > 256) {
      return c.Damaged(name + " has " + std::to_string(palette) + " colours");
    }
    const uint64_t needed =
        40 + 4 * palette +
        static_cast<uint64_t>(rows) * (BitmapRowBytes(width, bits) + BitmapRowBytes(width, 1));
    if (!c.Holds(needed, b.From(offset), "icon bitmap")) {
      return false;
    }
  }
  return true;
}

bool CheckJpegHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  if (!b.Has(0, 2) || b.data[0] != 0xFF || b.data[1] != 0xD8) {
    return c.Damaged("no start-of-image marker");
  }
  size_t at = 2;
  int frame = -1; // the frame header's marker once met
  int64_t width = 0, height = 0;
  for (;;) {
    // As libjpeg finds a marker: other bytes before it are passed over, so are fill bytes, and
    // FF 00 is a stuffed zero, not a marker.
    uint8_t marker = 0;
    while (marker == 0) {
      while (at < b.Size() && b.data[at] != 0xFF) {
        ++at;
      }
      while (at < b.Size() && b.data[at] == 0xFF) {
        ++at;
      }
      if (at >= b.Size()) {
        return c.Damaged("no scan");
      }
      marker = b.data[at++];
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      continue; // markers without a length
    }
    if (marker == 0xD8 || marker == 0xD9 || !b.Has(at, 2) || b.U16BE(at) < 2) {
      return c.Damaged("marker " + MarkerName(marker) + " before the first scan");
    }
    if (marker == 0xDA) {
      if (frame < 0) {
        return c.Damaged("a scan before the frame header");
      }
      at += b.U16BE(at);
      break;
    }
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (frame >= 0) {
        return c.Ambiguous("two frame headers");
      }
      if (!b.Has(at + 3, 4)) {
        return c.Damaged("frame header");
      }
      frame = marker;
      height = b.U16BE(at + 3);
      width = b.U16BE(at + 5);
    }
    at += b.U16BE(at);
  }
  if (!c.Sides(width, height)) {
    return false;
  }
  const bool huffman = frame == 0xC0 || frame == 0xC1 || frame == 0xC2;
  const bool arithmetic = frame == 0xC9 || frame == 0xCA;
  if (!huffman && !arithmetic) {
    return c.Unsupported("frame type " + MarkerName(static_cast<uint32_t>(frame)));
  }
  // Arithmetic coding spends a small fraction of a bit on a likely block: only the general
  // bound holds. Huffman coding spends at least a bit on each 8 by 8 block of each component,
  // and the components, subsampled or not, sample at least half the picture between them.
  return arithmetic || c.Holds(CeilDiv(static_cast<uint64_t>(width * height), 1024), b.From(at),
                               "entropy-coded data");
}

bool CheckLbmHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  if (!b.Is(0, "FORM") || !(b.Is(8, "ILBM") || b.Is(8, "PBM "))) {
    return c.Damaged("no FORM ILBM or PBM header");
  }
  const bool packed = b.Is(8, "PBM ");
  bool have_header = false;
  int64_t width = 0, height = 0;
  uint32_t planes = 0, masking = 0, compression = 0;
  // The chunks as the reader walks them, up to the BODY chunk whose pixels it then reads.
  size_t at = 12;
  for (;;) {
    if (!b.Has(at, 8)) {
      return c.Damaged("no BODY chunk");
    }
    const uint32_t size = b.U32BE(at + 4);
    if (b.Is(at, "BODY")) {
      at += 8;
      break;
    }
    if (b.Is(at, "BMHD")) {
      // The reader keeps the last one it meets, other readers the first.
      if (have_header) {
        return c.Ambiguous("two BMHD chunks");
      }
      if (size < 20 || !b.Has(at + 8, 20)) {
        return c.Damaged("BMHD chunk");
      }
      have_header = true;
      width = b.U16BE(at + 8);
      height = b.U16BE(at + 10);
      planes = b.data[at + 16];
      masking = b.data[at + 17];
      compression = b.data[at + 18];
    } else if (b.Is(at, "CMAP") && size > 256 * 3) {
      return c.Damaged("colour map of " + std::to_string(size) + " bytes");
    } else if (b.Is(at, "CAMG") && size != 4) {
      // The reader takes four bytes and then passes only the padding, whatever the size says:
      // it would find its next chunk where no other reader looks.
      return c.Ambiguous("CAMG chunk of " + std::to_string(size) + " bytes");
    }
    at += 8 + size_t{size} + (size & 1);
  }
  if (!have_header) {
    return c.Damaged("no BMHD chunk before the BODY");
  }
  // Lines are a whole number of 16-pixel words, and so is the picture the reader allocates.
  const int64_t words = (width + 15) / 16;
  if (!c.Sides(words * 16, height)) {
    return false;
  }
  uint64_t line_bytes = static_cast<uint64_t>(words) * 2;
  uint64_t lines_a_row = planes;
  if (packed) {
    line_bytes *= 8;
    lines_a_row = 1;
  }
  if ((masking & 1) != 0) {
    ++lines_a_row;
  }
  if (lines_a_row == 0) {
    // Nothing would be read at all, so any size would decode from no data.
    return c.Damaged("no bit planes");
  }
  const uint64_t lines = lines_a_row * static_cast<uint64_t>(height);
  if (compression == 1) {
    // Two bytes repeat one at most 129 times (this reader takes the no-op code 128 for a run),
    // and no run crosses the end of a line.
    return c.Holds(lines * CeilDiv(line_bytes, 129) * 2, b.From(at), "run-length lines");
  }
  return c.Holds(lines * line_bytes, b.From(at), "bit-plane lines");
}

// The reader reads the window corners and the line length as signed words: each must make sense
// read either way, or a negative line length becomes a huge allocation.
bool CheckPcxHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  if (!b.Has(0, 128)) {
    return c.Damaged("PCX header");
  }
  auto side = [&](size_t low, size_t high) -> int64_t {
    const int64_t as_unsigned = int64_t{b.U16LE(high)} - b.U16LE(low) + 1;
    const int64_t as_signed =
        int64_t{static_cast<int16_t>(b.U16LE(high))} - static_cast<int16_t>(b.U16LE(low)) + 1;
    return as_unsigned <= 0 || as_signed <= 0 ? 0 : std::max(as_unsigned, as_signed);
  };
  const auto plane_bytes = static_cast<int16_t>(b.U16LE(66));
  const uint32_t planes = b.data[65];
  if (plane_bytes <= 0 || planes == 0 || planes > 4) {
    return c.Damaged(std::to_string(planes) + " planes of " + std::to_string(plane_bytes) +
                     " bytes a line");
  }
  const int64_t height = side(6, 10);
  if (!c.Sides(side(4, 8), height)) {
    return false;
  }
  const uint64_t line_bytes = uint64_t{planes} * static_cast<uint64_t>(plane_bytes);
  if (b.data[2] == 0) {
    return c.Holds(line_bytes * static_cast<uint64_t>(height), b.From(128), "pixel lines");
  }
  // Two bytes repeat one at most 63 times, and each line starts its runs afresh.
  return c.Holds(CeilDiv(line_bytes, 63) * 2 * static_cast<uint64_t>(height), b.From(128),
                 "run-length lines");
}

bool CheckPngHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  // libpng takes the first chunk for the header and stops at any later IHDR.
  if (!b.Has(0, 33) || std::memcmp(b.data.data(), kPngSignature, sizeof kPngSignature) != 0 ||
      b.U32BE(8) != 13 || !b.Is(12, "IHDR")) {
    return c.Damaged("no PNG signature and IHDR chunk");
  }
  if (!c.Sides(b.U32BE(16), b.U32BE(20))) {
    return false;
  }
  const int64_t width = b.U32BE(16), height = b.U32BE(20);
  const uint32_t depth = b.data[24];
  static constexpr uint32_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4}; // by colour type; 0: none
  const uint32_t type = b.data[25];
  const uint32_t channels = type < 7 ? kChannels[type] : 0;
  if (channels == 0 || (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)) {
    return c.Damaged("colour type " + std::to_string(type) + " of depth " + std::to_string(depth));
  }
  // Each row starts with its filter byte; interlaced pictures only add more. Deflate packs at
  // most 1032 bytes into one: a 258-byte match in two one-bit codes.
  const uint64_t rows = static_cast<uint64_t>(height) *
                        (1 + CeilDiv(static_cast<uint64_t>(width) * channels * depth, 8));
  return c.Holds(CeilDiv(rows, 1032), b.From(33), "deflated rows");
}

bool CheckPnmHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  if (!b.Has(0, 2) || b.data[0] != 'P' || b.data[1] < '1' || b.data[1] > '6') {
    return c.Damaged("no P1 to P6 signature");
  }
  const bool text = b.data[1] <= '3';
  const int kind = (b.data[1] - '1') % 3; // 0: bitmap, 1: grey, 2: colour
  size_t at = 2;
  // As the reader reads a number: whitespace and '#' comments to the end of a line before it,
  // and the one character after its digits taken with it.
  auto number = [&](int64_t& value) {
    for (;;) {
      if (at >= b.Size()) {
        return false;
      }
      if (b.data[at] == '#') {
        while (at < b.Size() && b.data[at] != '\r' && b.data[at] != '\n') {
          ++at;
        }
      } else if (std::isspace(b.data[at]) != 0) {
        ++at;
      } else {
        break;
      }
    }
    value = 0;
    const size_t start = at;
    while (at < b.Size() && std::isdigit(b.data[at]) != 0) {
      value = value * 10 + (b.data[at++] - '0');
      // The reader adds up an int: a larger number would wrap.
      if (value > INT32_MAX) {
        return false;
      }
    }
    return at > start && at++ < b.Size();
  };
  int64_t width = 0, height = 0, most_value = 255;
  if (!number(width) || !number(height)) {
    return c.Damaged("picture size");
  }
  if (!c.Sides(width, height)) {
    return false;
  }
  if (kind != 0 && (!number(most_value) || most_value == 0)) {
    return c.Damaged("largest sample value");
  }
  if (most_value > 255) {
    return c.Unsupported("samples of more than one byte");
  }
  const uint64_t samples = static_cast<uint64_t>(width * height) * (kind == 2 ? 3 : 1);
  if (text) {
    // A bitmap's digit may stand alone; a number needs a character after it as well.
    return c.Holds(kind == 0 ? samples : 2 * samples, b.From(at), "text samples");
  }
  return c.Holds(kind == 0
                     ? CeilDiv(static_cast<uint64_t>(width), 8) * static_cast<uint64_t>(height)
                     : samples,
                 b.From(at), "pixel rows");
}

bool CheckTgaHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  if (!b.Has(0, 18)) {
    return c.Damaged("TGA header");
  }
  if (!c.Sides(b.U16LE(12), b.U16LE(14))) {
    return false;
  }
  const uint32_t type = b.data[2];
  const bool run_length = type >= 9;
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) {
    return c.Unsupported("image type " + std::to_string(type));
  }
  const uint32_t depth = b.data[16];
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) {
    return c.Unsupported(std::to_string(depth) + "-bit pixels");
  }
  const uint64_t pixel_bytes = (depth + 7) / 8;
  // The reader passes the identification field and, whenever the header says there is one, the
  // colour map, whatever the image type.
  const uint64_t map_bytes = b.data[1] != 0 ? uint64_t{b.U16LE(5)} * ((b.data[7] + 7u) / 8) : 0;
  const uint64_t there = b.From(18 + uint64_t{b.data[0]} + map_bytes);
  const uint64_t pixels = uint64_t{b.U16LE(12)} * b.U16LE(14);
  if (run_length) {
    // A packet is a count byte and at least one pixel, and gives at most 128 pixels.
    return c.Holds(CeilDiv(pixels, 128) * (1 + pixel_bytes), there, "run-length packets");
  }
  return c.Holds(pixels * pixel_bytes, there, "pixel data");
}

bool CheckTiffHeader(std::span<const uint8_t> bytes, std::string& refusal) {
  Check c(bytes, refusal);
  const Bytes& b = c.b;
  const bool little = b.Is(0, "II");
  if (!b.Has(0, 8) || !(little || b.Is(0, "MM"))) {
    return c.Damaged("byte order mark");
  }
  auto u16 = [&](size_t at) { return little ? b.U16LE(at) : b.U16BE(at); };
  auto u32 = [&](size_t at) { return little ? b.U32LE(at) : b.U32BE(at); };
  if (u16(2) != 42) {
    return c.Unsupported(u16(2) == 43 ? "BigTIFF" : "TIFF version " + std::to_string(u16(2)));
  }
  const size_t directory = u32(4);
  if (!b.Has(directory, 2) || !b.Has(directory + 2, size_t{12} * u16(directory))) {
    return c.Damaged("first directory");
  }
  const uint32_t entries = u16(directory);
  // libtiff keeps the first of two equal tags, other readers the last.
  std::vector<uint32_t> tags;
  for (uint32_t i = 0; i < entries; ++i) {
    tags.push_back(u16(directory + 2 + size_t{12} * i));
  }
  std::sort(tags.begin(), tags.end());
  const auto twice = std::adjacent_find(tags.begin(), tags.end());
  if (twice != tags.end()) {
    return c.Ambiguous("tag " + std::to_string(*twice) + " listed twice");
  }
  // A field's first value, SHORT or LONG, inline or where its offset points.
  auto first = [&](size_t entry, bool single, int64_t& value) {
    const uint32_t type = u16(entry + 2), count = u32(entry + 4);
    const size_t size = type == 3 ? 2 : type == 4 ? 4 : 0;
    if (size == 0 || count == 0 || (single && count != 1)) {
      return false;
    }
    const size_t at = size * count <= 4 ? entry + 8 : u32(entry + 8);
    if (!b.Has(at, size)) {
      return false;
    }
    value = size == 2 ? u16(at) : u32(at);
    return true;
  };
  int64_t width = -1, height = -1, bits = 1, samples = 1, compression = 1, photometric = -1;
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + size_t{12} * i;
    const uint32_t tag = u16(entry);
    int64_t* field = tag == 256   ? &width
                     : tag == 257 ? &height
                     : tag == 258 ? &bits
                     : tag == 259 ? &compression
                     : tag == 262 ? &photometric
                     : tag == 277 ? &samples
                                  : nullptr;
    if (field != nullptr && !first(entry, tag != 258, *field)) {
      return c.Damaged("tag " + std::to_string(tag));
    }
  }
  if (width < 0 || height < 0) {
    return c.Damaged("no ImageWidth and ImageLength");
  }
  if (!c.Sides(width, height)) {
    return false;
  }
  if (bits == 0 || bits > 64 || samples == 0 || samples > 64) {
    return c.Unsupported(std::to_string(samples) + " samples of " + std::to_string(bits) + " bits");
  }
  // Subsampled YCbCr stores fewer chroma samples than pixels; one luma sample a pixel it has.
  const uint64_t row_bytes =
      CeilDiv(static_cast<uint64_t>(width * (photometric == 6 ? bits : bits * samples)), 8);
  const uint64_t data_bytes = row_bytes * static_cast<uint64_t>(height);
  if (compression == 1) {
    return c.Holds(data_bytes, b.Size(), "uncompressed samples");
  }
  // libtiff decodes a strip whole, and one strip may be the whole picture: samples wider than
  // the four bytes a pixel of the surface it is drawn into count for more pixels.
  const uint64_t most = 4 * static_cast<uint64_t>(MostPixelsFor(b.Size()));
  if (data_bytes > most) {
    return c.TooLarge(std::to_string(data_bytes) + " bytes of decoded samples, more than " +
                      std::to_string(most));
  }
  return true;
}

} // namespace meridia
