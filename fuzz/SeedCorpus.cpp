// meridia-fuzz-seeds OUT: writes the seed corpus of every fuzz target, OUT/<target>/, with the
// program's own writers wherever it has one, so that the seeds start where real files are. A
// new target adds one function here and one row to kTargets.
#include "AbcEncoder.h"
#include "CityModelDesign.h"
#include "ColorMapDesign.h"

#include "decoders/DDSHeader.h"
#include "imaging/TGAImage.h"
#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/MemoryStream.h"
#include "terrain/HeightMapBuffer.h"
#include "terrain/TerrainGenerator.h"
#include "terrain/TerrainMaps.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace meridia::fuzz {
namespace {

namespace fs = std::filesystem;

void WriteSeed(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T> void Append(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void AppendText(std::string& out, std::string_view text) {
  Append<int32_t>(out, static_cast<int32_t>(text.size()));
  out += text;
}

// ---- TGA pictures and colour maps --------------------------------------------------------

TTGAImage Picture(uint8_t type, int width, int height, int depth, uint8_t descriptor = 0) {
  TTGAImage image;
  image.Header.ImageType = type;
  image.Header.Width = static_cast<uint16_t>(width);
  image.Header.Height = static_cast<uint16_t>(height);
  image.Header.PixelDepth = static_cast<uint8_t>(depth);
  image.Header.ImageDescriptor = descriptor;
  image.SetPixelBuffer(width, height, depth / 8);
  for (size_t i = 0; i < image.Pixels.size(); ++i) {
    image.Pixels[i] = static_cast<uint8_t>(i * 37 + 11);
  }
  return image;
}

TTGAImage Mapped(int index_depth, int entries, int entry_bits, uint16_t first_entry) {
  TTGAImage image = Picture(1, 4, 3, index_depth);
  image.Header.ColorMapType = 1;
  image.Header.ColorMapFirstEntry = first_entry;
  image.Header.ColorMapLength = static_cast<uint16_t>(entries);
  image.Header.ColorMapEntrySize = static_cast<uint8_t>(entry_bits);
  image.Palette.resize(static_cast<size_t>(entries) * ((entry_bits + 7) / 8));
  for (size_t i = 0; i < image.Palette.size(); ++i) {
    image.Palette[i] = static_cast<uint8_t>(255 - i * 13);
  }
  // Indices from the first entry to two past the last, little-endian when 16-bit.
  const size_t bpp = static_cast<size_t>(index_depth / 8);
  for (size_t i = 0; i * bpp < image.Pixels.size(); ++i) {
    const size_t index = first_entry + i % (static_cast<size_t>(entries) + 2);
    for (size_t b = 0; b < bpp; ++b) {
      image.Pixels[i * bpp + b] = static_cast<uint8_t>(index >> (8 * b));
    }
  }
  return image;
}

// The writer stores no pixels for run-length types: the packets are put after its header here,
// a repeat packet and a raw one, for every pixel depth the reader decodes.
std::string RunLengthPicture(uint8_t type, int depth, uint8_t descriptor) {
  TGAHeader header;
  header.ImageType = type;
  header.Width = 5;
  header.Height = 2;
  header.PixelDepth = static_cast<uint8_t>(depth);
  header.ImageDescriptor = descriptor;
  const auto header_bytes = header.ToBytes();
  std::string bytes(header_bytes.begin(), header_bytes.end());
  const size_t bpp = static_cast<size_t>(depth / 8);
  bytes.push_back(static_cast<char>(0x80 | 5)); // six copies of one pixel
  bytes.append(bpp, '\x40');
  bytes.push_back(3); // four pixels as they are
  for (size_t i = 0; i < 4 * bpp; ++i) {
    bytes.push_back(static_cast<char>(i * 29));
  }
  return bytes;
}

void SaveAs(const TTGAImage& image, const fs::path& path) {
  if (!image.SaveToFile(path.string())) {
    std::fprintf(stderr, "meridia-fuzz-seeds: cannot write %s\n", path.c_str());
  }
}

void TgaSeeds(const fs::path& out) {
  SaveAs(Picture(2, 4, 3, 24), out / "truecolour24.tga");
  SaveAs(Picture(2, 3, 2, 32, 0x20), out / "truecolour32-top-down.tga");
  SaveAs(Picture(2, 2, 2, 16), out / "truecolour16.tga");
  SaveAs(Picture(3, 5, 4, 8, 0x10), out / "grey-right-to-left.tga");
  SaveAs(Mapped(8, 4, 24, 0), out / "mapped8.tga");
  SaveAs(Mapped(16, 6, 24, 300), out / "mapped16-first-entry.tga");
  SaveAs(Mapped(8, 4, 16, 0), out / "mapped8-palette16.tga");
  SaveAs(Mapped(8, 4, 15, 0), out / "mapped8-palette15.tga");
  SaveAs(Mapped(8, 3, 32, 0), out / "mapped8-palette32.tga");
  WriteSeed(out / "runlength24.tga", RunLengthPicture(10, 24, 0));
  WriteSeed(out / "runlength32-top-down.tga", RunLengthPicture(10, 32, 0x20));
  WriteSeed(out / "runlength-grey.tga", RunLengthPicture(11, 8, 0x30));
  // An identification field between the header and the pixels.
  TGAHeader header = Picture(2, 2, 1, 24).Header;
  header.IdLength = 5;
  const auto header_bytes = header.ToBytes();
  WriteSeed(out / "identification.tga", std::string(header_bytes.begin(), header_bytes.end()) +
                                            "meri" + std::string(1 + 6, '\x7f'));
}

// The design's colours on fewer rows: the real map's 256 columns by 2048 rows would make every
// run slow without reaching any other code.
TTGAImage SmallColorMap(int width, int height) {
  TTGAImage image = Picture(2, width, height, 24);
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const cmapgen::Color color = cmapgen::ColorMapPixel(
          column * cmapgen::kColorMapWidth / width, row * (cmapgen::kColorMapHeight / height));
      uint8_t* pixel = &image.Pixels[(static_cast<size_t>(row) * width + column) * 3];
      pixel[0] = color.Blue;
      pixel[1] = color.Green;
      pixel[2] = color.Red;
    }
  }
  return image;
}

void ColorMapSeeds(const fs::path& out) {
  // Each seed starts with the extra lookup's height and latitude sine.
  const std::vector<std::pair<const char*, TTGAImage>> maps = {
      {"cmap-256x16", SmallColorMap(256, 16)}, {"cmap-16x8", SmallColorMap(16, 8)},
      {"cmap-2x2", SmallColorMap(2, 2)},       {"cmap-1x1", SmallColorMap(1, 1)},
      {"cmap-grey", Picture(3, 8, 4, 8)},      {"cmap-32bit", Picture(2, 4, 4, 32)}};
  const float lookups[][2] = {{0.5f, 0.25f}, {1.0f, 1.0f}, {-0.25f, 0.0f}};
  int k = 0;
  for (const auto& [name, map] : maps) {
    const fs::path picture = out / (std::string(name) + ".tga.tmp");
    SaveAs(map, picture);
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), lookups[k++ % 3], 8);
    WriteSeed(out / name, bytes + ReadAll(picture));
    fs::remove(picture);
  }
}

// ---- Terrain maps ------------------------------------------------------------------------

void SaveMap(const THeightMapBuffer& map, const fs::path& path, int32_t seed = kPlanetSeed) {
  if (!SaveHeightMapToFile(map, path.string(), seed)) {
    std::fprintf(stderr, "meridia-fuzz-seeds: cannot write %s\n", path.c_str());
  }
}

THeightMapBuffer Ramp(int width, int height) {
  THeightMapBuffer map;
  map.SetSize(width, height);
  for (size_t i = 0; i < map.Data.size(); ++i) {
    map.Data[i] = static_cast<float>(i) / static_cast<float>(map.Data.size());
  }
  return map;
}

void MapSeeds(const fs::path& out) {
  // Real eroded and base maps, generated as the program does, at sizes a run can afford.
  for (int side : {16, 32}) {
    TTerrainGenerator generator;
    generator.Width = side;
    generator.Height = side;
    if (generator.Generate()) {
      SaveMap(generator.ErosionMap, out / ("errosion-" + std::to_string(side) + ".dat"));
      SaveMap(generator.BaseMap, out / ("basemap-" + std::to_string(side) + ".dat"));
    }
  }
  SaveMap(Ramp(1, 1), out / "ramp-1x1.dat");
  SaveMap(Ramp(4, 4), out / "ramp-4x4.dat");
  SaveMap(Ramp(4, 4), out / "ramp-4x4-world-7.dat", 7); // another world's, tagged
  SaveMap(Ramp(64, 2), out / "ramp-64x2.dat");
  SaveMap(Ramp(3, 5), out / "ramp-3x5.dat"); // refused: sides not powers of two
  THeightMapBuffer damaged = Ramp(4, 4);
  damaged.Data[5] = std::numeric_limits<float>::quiet_NaN(); // refused: not a height
  SaveMap(damaged, out / "damaged-4x4.dat");
}

// ---- Archives and the cache index --------------------------------------------------------

struct ArchiveItem {
  uint8_t method;
  std::string name;
  std::string data;
};

// The archive layout: header, table, then each item's bytes with byte i stored as byte + i.
std::string Archive(const std::vector<ArchiveItem>& items) {
  int64_t offset = 8;
  for (const ArchiveItem& item : items) {
    offset += 1 + 4 + static_cast<int64_t>(item.name.size()) + 4 + 8;
  }
  std::string table(kArchiveMagic.data(), kArchiveMagic.size());
  Append<int32_t>(table, static_cast<int32_t>(items.size()));
  std::string stored;
  for (const ArchiveItem& item : items) {
    table.push_back(static_cast<char>(item.method));
    AppendText(table, item.name);
    Append<int32_t>(table, static_cast<int32_t>(item.data.size()));
    Append<int64_t>(table, offset + static_cast<int64_t>(stored.size()));
    for (size_t i = 0; i < item.data.size(); ++i) {
      stored.push_back(static_cast<char>(static_cast<uint8_t>(item.data[i]) + i));
    }
  }
  return table + stored;
}

// The data compressed by the block-sorting compressor, on one path, in blocks of `block` bytes.
std::string Packed(std::string_view data, pack::AbcChoice path, uint32_t block = 1 << 20) {
  pack::AbcOptions options;
  options.Path = path;
  options.BlockSize = block;
  const std::vector<uint8_t> stream =
      pack::AbcCompress({reinterpret_cast<const uint8_t*>(data.data()), data.size()}, options);
  return {stream.begin(), stream.end()};
}

void ArchiveSeeds(const fs::path& out) {
  WriteSeed(out / "empty.mza", Archive({}));
  WriteSeed(out / "one-stored.mza", Archive({{kMethodStored, "maps/a.dat", "height samples"}}));
  WriteSeed(out / "methods.mza",
            Archive({{kMethodStored, "Base\\Textures\\Grass.TGA", std::string(40, 'g')},
                     {kMethodLink, "base/textures/link.tga", ""},
                     {kMethodCompressed, "packed.bin", "BZh91AY&SY"},
                     {kMethodStored, "base/textures/grass.tga", "second of the same name"},
                     {kMethodStored, "zero.txt", ""}}));
  std::string text;
  for (int i = 0; i < 60; ++i) {
    text += "v " + std::to_string(i % 7) + " 0 1\n";
  }
  WriteSeed(out / "compressed.mza",
            Archive({{kMethodCompressed, "models/a.obj", Packed(text, pack::AbcChoice::Mtf)},
                     {kMethodCompressed, "models/b.obj", Packed(text, pack::AbcChoice::Sif)},
                     {kMethodCompressed, "models/c.obj", Packed(text, pack::AbcChoice::Awfc)}}));
  // A table that claims more entries than it holds.
  std::string cut = Archive({{kMethodStored, "x", "abc"}});
  cut[4] = 9;
  WriteSeed(out / "count-too-large.mza", cut);
}

// Streams on every path: text, binary records, noise, runs, one byte, several blocks.
void AbcSeeds(const fs::path& out) {
  std::string text;
  for (int i = 0; text.size() < 1500; ++i) {
    text += i % 3 == 0 ? "the planet " : i % 3 == 1 ? "and its sky " : "over the trees\n";
  }
  std::string records;
  for (uint32_t i = 0; i < 200; ++i) {
    Append<uint32_t>(records, 1000 + i * 3);
    records.append(i % 5, '\0');
  }
  std::string noise;
  for (uint32_t i = 0, x = 7; i < 600; ++i) {
    x = x * 1103515245u + 12345u;
    noise.push_back(static_cast<char>(x >> 24));
  }
  const std::string runs =
      std::string(300, 'a') + std::string(17, 'b') + "c" + std::string(90, 'a');
  const struct {
    const char* name;
    pack::AbcChoice path;
  } paths[] = {{"mtf", pack::AbcChoice::Mtf},
               {"sif", pack::AbcChoice::Sif},
               {"awfc", pack::AbcChoice::Awfc}};
  for (const auto& p : paths) {
    const std::string prefix = p.name;
    WriteSeed(out / (prefix + "-text.abc"), Packed(text, p.path));
    WriteSeed(out / (prefix + "-records.abc"), Packed(records, p.path));
    WriteSeed(out / (prefix + "-noise.abc"), Packed(noise, p.path));
    WriteSeed(out / (prefix + "-runs.abc"), Packed(runs, p.path));
    WriteSeed(out / (prefix + "-one.abc"), Packed("x", p.path));
    WriteSeed(out / (prefix + "-blocks.abc"), Packed(text, p.path, 400));
  }
  WriteSeed(out / "empty.abc", "");
}

void CacheIndexSeeds(const fs::path& out) {
  const std::vector<std::vector<std::pair<std::string, std::string>>> indexes = {
      {},
      {{"base/maps/a.dat", "cache/archive/00000001.dat"}},
      {{"base/maps/a.dat", "cache/archive/00000001.dat"},
       {"base/textures/grass.tga", "cache/archive/00000002.tga"},
       {"gone.txt", "cache/archive/00000003.txt"}},
      {{"base/maps/a.dat", "cache\\archive\\00000001.dat"}},
      // Refused: a copy outside the cache folder.
      {{"base/maps/a.dat", "cache/archive/../../outside.dat"}}};
  int k = 0;
  for (const auto& entries : indexes) {
    TCacheManager cache;
    for (const auto& [name, path] : entries) {
      auto* copy = new TCacheFile();
      copy->Path = path;
      cache.Entries.AddObject(name, copy);
    }
    TzoMemoryStream index;
    index.SetMode(kStreamWrite);
    cache.Serialize(index);
    WriteSeed(out / ("data-" + std::to_string(k++) + ".cache"),
              std::string(index.Buffer.begin(), index.Buffer.end()));
  }
}

// ---- Flights -----------------------------------------------------------------------------

void FlightScriptSeeds(const fs::path& out) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(MERIDIA_FLIGHTS_DIR, ec)) {
    if (entry.path().extension() == ".flight") {
      fs::copy_file(entry.path(), out / entry.path().filename(),
                    fs::copy_options::overwrite_existing, ec);
    }
  }
  WriteSeed(out / "every-event.flight", "# frames 12\n# position 1.5,-2,3e2\n# galaxy\n"
                                        "1 down W\r\n2 up W # done\n3 mouse_down 10 20\n"
                                        "4 mouse_move 11 21\n4 mouse_up 11 21\n2 down F12\n"
                                        "5 down ADD\n6 up SUBTRACT\n7 down ESCAPE\n8 down 7\n");
  WriteSeed(out / "window.flight", "# size 1280x720\n3 size 1024 576\n6 fullscreen\n"
                                   "6 size 1920 1080\n9 fullscreen\n9 size 1024 576\n");
  WriteSeed(out / "bad-line.flight", "# frames 3\n1 down W\n2 jump\n");
}

void FlightOptionsSeeds(const fs::path& out) {
  const std::vector<std::vector<std::string>> command_lines = {
      {"--frames", "30", "--shot", "29", "--stats", "s.csv"},
      {"--step-ms", "0", "--position", "0,0,2500", "--detail", "--galaxy"},
      {"--size", "1280x720", "--frames", "20"},
      {"--script", "orbit.flight", "--shots", "screens", "--shot", "1", "--shot", "600"},
      {"--help"},
      {"--video", "flight.mp4", "--fps", "30", "--quality", "20"},
      {"--frames"}};
  int k = 0;
  for (const auto& args : command_lines) {
    std::string bytes;
    for (const std::string& arg : args) {
      bytes += (bytes.empty() ? "" : std::string(1, '\0')) + arg;
    }
    WriteSeed(out / ("args-" + std::to_string(k++)), bytes);
  }
}

// ---- Pictures for the decoders -----------------------------------------------------------

std::string BigEndian(uint32_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) {
    out.push_back(static_cast<char>(value >> (8 * i)));
  }
  return out;
}

// Formats SDL_image cannot write, by hand, each behind the byte that picks its extension: a
// 2 by 2 uncompressed RGB TIFF, a run-length PCX with its palette, a packed IFF picture and a
// 32-bit icon.
std::vector<std::pair<const char*, std::string>> HandWrittenPictures() {
  std::string tiff = "\x04II*";
  Append<uint8_t>(tiff, 0);
  Append<uint32_t>(tiff, 8);
  const uint32_t entries[][3] = {{256, 3, 2},   {257, 3, 2}, {258, 3, 8}, {259, 3, 1}, {262, 3, 2},
                                 {273, 4, 122}, {277, 3, 3}, {278, 3, 2}, {279, 4, 12}};
  Append<uint16_t>(tiff, 9);
  for (const auto& [tag, type, value] : entries) {
    Append<uint16_t>(tiff, static_cast<uint16_t>(tag));
    Append<uint16_t>(tiff, static_cast<uint16_t>(type));
    Append<uint32_t>(tiff, 1);
    Append<uint32_t>(tiff, value);
  }
  Append<uint32_t>(tiff, 0);
  tiff += "\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0";

  std::string pcx("\x05\x0a\x05\x01\x08", 5);
  for (const uint16_t corner : {0, 0, 1, 1, 72, 72}) {
    Append<uint16_t>(pcx, corner);
  }
  pcx += std::string(65 - 16, '\0') + '\x01';
  Append<uint16_t>(pcx, 2);
  Append<uint16_t>(pcx, 1);
  pcx += std::string(128 - 70, '\0') + "\xc2\x01\x02\x03\x0c" + std::string(768, '\x40');

  std::string bmhd = BigEndian(2, 2) + BigEndian(2, 2) + std::string(4, '\0') + '\x08' +
                     std::string(5, '\0') + "\x01\x01" + BigEndian(2, 2) + BigEndian(2, 2);
  std::string chunks = "PBM BMHD" + BigEndian(20, 4) + bmhd + "CMAP" + BigEndian(6, 4) +
                       std::string("\xff\0\0\0\0\xff", 6) + "BODY" + BigEndian(32, 4) +
                       std::string(16, '\x01') + std::string(16, '\0');
  std::string iff = '\x07' + ("FORM" + BigEndian(static_cast<uint32_t>(chunks.size()), 4)) + chunks;

  std::string ico("\x08\x00\x00\x01\x00\x01\x00\x02\x02\x00\x00", 11);
  Append<uint16_t>(ico, 1);
  Append<uint16_t>(ico, 32);
  Append<uint32_t>(ico, 40 + 2 * 8 + 2 * 4);
  Append<uint32_t>(ico, 22);
  for (const uint32_t field : {40u, 2u, 4u}) {
    Append<uint32_t>(ico, field);
  }
  Append<uint16_t>(ico, 1);
  Append<uint16_t>(ico, 32);
  ico += std::string(24, '\0') + std::string(16, '\x7f') + std::string(8, '\xff');
  return {{"picture.tif", tiff}, {"picture.pcx", pcx}, {"picture.iff", iff}, {"picture.ico", ico}};
}

// A small picture with a gradient and an alpha ramp, in each format SDL_image can write, behind
// the byte that makes the image target pick the matching extension.
void ImageSeeds(const fs::path& out) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 7, 5, 32, SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < s->h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < s->w; ++x) {
      row[x] = uint32_t(255 - 40 * y) << 24 | uint32_t(36 * x) << 16 | uint32_t(50 * y) << 8 | 99;
    }
  }
  const fs::path scratch = out / "scratch";
  auto seed = [&](const char* name, uint8_t pick, int saved) {
    if (saved == 0) {
      WriteSeed(out / name, std::string(1, static_cast<char>(pick)) + ReadAll(scratch));
    }
    fs::remove(scratch);
  };
  seed("picture.png", 0, IMG_SavePNG(s, scratch.c_str()));
  seed("picture.jpg", 1, IMG_SaveJPG(s, scratch.c_str(), 90));
  seed("picture.bmp", 2, SDL_SaveBMP(s, scratch.c_str()));
  SDL_Surface* opaque = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
  seed("opaque.png", 0, IMG_SavePNG(opaque, scratch.c_str()));
  seed("opaque.bmp", 2, SDL_SaveBMP(opaque, scratch.c_str()));
  SDL_FreeSurface(opaque);
  SDL_FreeSurface(s);
  TTGAImage tga = Picture(2, 4, 3, 24);
  tga.SaveToFile(scratch.string());
  seed("picture.tga", 3, 0);
  WriteSeed(out / "picture.ppm", std::string("\x06P6 2 2 255\n") + std::string(12, '\x7f'));
  for (const auto& [name, bytes] : HandWrittenPictures()) {
    WriteSeed(out / name, bytes);
  }
}

// ---- DDS textures ------------------------------------------------------------------------

// A DDS file of pseudo-random data behind our own header: every block or pixel value is legal,
// so the seeds reach both colour modes of DXT1 and both alpha modes of DXT5.
std::string DDSFile(uint32_t width, uint32_t height, const DDSPixelFormat& format,
                    size_t data_bytes, uint32_t caps2 = 0) {
  DDSHeader header;
  header.Width = width;
  header.Height = height;
  header.PixelFormat = format;
  header.Caps2 = caps2;
  const auto head = header.ToBytes();
  std::string bytes(head.begin(), head.end());
  uint32_t seed = width * 7919u + height;
  for (size_t i = 0; i < data_bytes; ++i) {
    seed = seed * 134775813u + 1;
    bytes.push_back(static_cast<char>(seed >> 24));
  }
  return bytes;
}

void DdsSeeds(const fs::path& out) {
  using F = DDSPixelFormat;
  static constexpr char kCodes[][5] = {"DXT1", "DXT2", "DXT3", "DXT4", "DXT5"};
  for (const auto& code : kCodes) {
    const F format{32, F::kFourCC, MakeFourCC(code), 0, 0, 0, 0, 0};
    const size_t block = code[3] == '1' ? 8 : 16;
    WriteSeed(out / (std::string(code) + "-8x8.dds"), DDSFile(8, 8, format, 4 * block));
    WriteSeed(out / (std::string(code) + "-5x3.dds"), DDSFile(5, 3, format, 2 * block));
  }
  const std::pair<const char*, F> masked[] = {
      {"r5g6b5", {32, F::kRGB, 0, 16, 0xf800, 0x07e0, 0x001f, 0}},
      {"a4r4g4b4", {32, F::kRGB | F::kAlphaPixels, 0, 16, 0x0f00, 0x00f0, 0x000f, 0xf000}},
      {"a1r5g5b5", {32, F::kRGB | F::kAlphaPixels, 0, 16, 0x7c00, 0x03e0, 0x001f, 0x8000}},
      {"r8g8b8", {32, F::kRGB, 0, 24, 0xff0000, 0xff00, 0xff, 0}},
      {"a8r8g8b8", {32, F::kRGB | F::kAlphaPixels, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000}},
      {"a2r10g10b10",
       {32, F::kRGB | F::kAlphaPixels, 0, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}},
      {"l8", {32, F::kLuminance, 0, 8, 0xff, 0, 0, 0}},
      {"a8l8", {32, F::kLuminance | F::kAlphaPixels, 0, 16, 0xff, 0, 0, 0xff00}},
      {"a8", {32, F::kAlpha, 0, 8, 0, 0, 0, 0xff}},
  };
  for (const auto& [name, format] : masked) {
    WriteSeed(out / (std::string(name) + "-5x3.dds"),
              DDSFile(5, 3, format, 15 * format.RGBBitCount / 8));
  }
  // Refused: a cube map, and the extended header.
  const F dxt1{32, F::kFourCC, MakeFourCC("DXT1"), 0, 0, 0, 0, 0};
  WriteSeed(out / "cube.dds", DDSFile(4, 4, dxt1, 6 * 8, DDSHeader::kCaps2CubeMap | 0xfc00));
  WriteSeed(out / "dx10.dds",
            DDSFile(4, 4, {32, F::kFourCC, MakeFourCC("DX10"), 0, 0, 0, 0, 0}, 20 + 16));
}

// ---- OBJ models with their MTL libraries ---------------------------------------------------

// A model, then "%%MTL%%" and the library named like it: the city model as the build writes it,
// and by hand quads, n-gons, every corner form, relative indices, groups sharing materials, and
// the lines the reader skips.
void ObjSeeds(const fs::path& out) {
  const citygen::CityModel city = citygen::BuildCityModel("47");
  WriteSeed(out / "city.objmtl", city.Obj + "%%MTL%%" + city.Mtl);
  WriteSeed(out / "house.objmtl", "mtllib fuzz.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                  "v 0.5 0.5 1\nvt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 1\n"
                                  "g walls\nusemtl brick\nf 1/1/1 2/2/1 3/3/1 4/3/1\n"
                                  "g roof\nf -5//-1 -4//-1 -1//-1\nusemtl slate\nf 2 3 \\\n5\n"
                                  "%%MTL%%newmtl brick\nKd 0.8 0.3 0.2 1\nmap_Kd brick.tga\n"
                                  "newmtl slate\nKa 0.1 0.1 0.1\nillum 2\nNs 10\nd 1\n");
  WriteSeed(out / "exporter.objmtl", "# exported\r\nmtllib fuzz.mtl\r\no Cube\r\n"
                                     "v 1 1 -1\r\nv 1 -1 -1\r\nv 1 1 1\r\nv 1 -1 1\r\n"
                                     "v -1 1 -1\r\nvt 0.625 0.5\r\nvn 0 1 0\r\ns off\r\n"
                                     "usemtl Material\r\nf 1/1/1 5/1/1 3/1/1 4/1/1 2/1/1\r\n"
                                     "l 1 2\r\np 3\r\n%%MTL%%newmtl Material\r\nNs 250\r\n"
                                     "Ka 1 1 1\r\nKd 0.8 0.8 0.8\r\nmap_Kd tex.png\r\n");
}

struct Target {
  const char* name;
  void (*write)(const fs::path& out);
};

constexpr Target kTargets[] = {
    {"tga", TgaSeeds},
    {"map", MapSeeds},
    {"colormap", ColorMapSeeds},
    {"archive", ArchiveSeeds},
    {"cache_index", CacheIndexSeeds},
    {"flight_script", FlightScriptSeeds},
    {"flight_options", FlightOptionsSeeds},
    {"image", ImageSeeds},
    {"abc", AbcSeeds},
    {"dds", DdsSeeds},
    {"obj", ObjSeeds},
};

} // namespace
} // namespace meridia::fuzz

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc != 2) {
    std::fprintf(stderr, "usage: meridia-fuzz-seeds OUT\n");
    return 2;
  }
  for (const auto& target : meridia::fuzz::kTargets) {
    const fs::path folder = fs::path(argv[1]) / target.name;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
      std::fprintf(stderr, "meridia-fuzz-seeds: cannot create %s\n", folder.c_str());
      return 1;
    }
    target.write(folder);
    const auto count = std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    std::printf("%-16s %ld seeds\n", target.name, static_cast<long>(count));
  }
  return 0;
}
