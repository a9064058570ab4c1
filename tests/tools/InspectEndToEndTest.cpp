// meridia-pack and meridia-inspect as built: files packed into an archive come back byte for
// byte through meridia-inspect --extract, on every compression path; hostile names are refused.
#include "ArchiveWriter.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/TemporaryFolder.h"
#include "support/TestPictures.h"

namespace {

namespace fs = std::filesystem;
using meridia::testing::TemporaryFolder;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  quoted += text;
  quoted += '\'';
  return quoted;
}

// Runs a command in `folder`; its exit status, with stdout and stderr in out.txt and err.txt.
int RunIn(const fs::path& folder, const std::string& command) {
  std::string line = "cd ";
  line += Quoted(folder.string());
  line += " && ";
  line += command;
  line += " > out.txt 2> err.txt";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InspectEndToEnd, PackedFilesComeBackByteForByte) {
  TemporaryFolder folder;
  std::mt19937 rng(1);
  std::string text;
  while (text.size() < 200000) {
    text += "the planet and the sky " + std::to_string(rng() % 1000) + "\n";
  }
  std::string noise(70000, '\0');
  for (char& c : noise) {
    c = static_cast<char>(rng());
  }
  std::string records;
  for (uint32_t i = 0; i < 30000; ++i) {
    records.append(reinterpret_cast<const char*>(&i), 4);
    records.append(static_cast<size_t>(rng() % 6), '\0');
  }
  const std::vector<std::pair<std::string, std::string>> files = {
      {"text.txt", text},
      {"dir/sub/noise.bin", noise},
      {"records ending in zero.bin", records + std::string(1, '\0')},
      {"empty", ""},
      {"one", "1"},
  };
  std::string names;
  for (const auto& [name, bytes] : files) {
    WriteBytes(folder.path() / name, bytes);
    names += ' ';
    names += Quoted(name);
  }
  for (const char* path : {"smallest", "mtf", "sif", "awfc"}) {
    const std::string archive = std::string(path) + ".mza";
    ASSERT_EQ(
        RunIn(folder.path(), std::string(MERIDIA_PACK) + " --path " + path + " " + archive + names),
        0)
        << ReadBytes(folder.path() / "err.txt");

    ASSERT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " " + archive), 0)
        << ReadBytes(folder.path() / "err.txt");
    const std::string listing = ReadBytes(folder.path() / "out.txt");
    for (const auto& [name, bytes] : files) {
      EXPECT_NE(listing.find(std::to_string(bytes.size()) + "  " + name + "\n"), std::string::npos)
          << path << ": " << name << "\n"
          << listing;
    }
    EXPECT_NE(listing.find("compressed"), std::string::npos);

    const std::string out = std::string("out-") + path;
    ASSERT_EQ(
        RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " --extract " + out + " " + archive), 0)
        << ReadBytes(folder.path() / "err.txt");
    for (const auto& [name, bytes] : files) {
      EXPECT_TRUE(ReadBytes(folder.path() / out / name) == bytes) << path << ": " << name;
    }
  }
}

TEST(InspectEndToEnd, NamesThatLeaveTheFolderAreRefused) {
  TemporaryFolder folder;
  using meridia::pack::ArchiveItem;
  const std::vector<ArchiveItem> items = {
      {1, "../evil.txt", {'x'}},
      {1, "/tmp/evil.txt", {'y'}},
      {1, "safe\\inside.txt", {'o', 'k'}},
      {1, "SAFE/INSIDE.TXT", {'n', 'o'}},
      {2, "link.txt", {'t'}},
  };
  const std::vector<uint8_t> bytes = meridia::pack::ArchiveBytes(items);
  WriteBytes(folder.path() / "hostile.mza", std::string(bytes.begin(), bytes.end()));
  fs::create_directories(folder.path() / "work");
  EXPECT_EQ(
      RunIn(folder.path() / "work", std::string(MERIDIA_INSPECT) + " --extract out ../hostile.mza"),
      1);
  const std::string errors = ReadBytes(folder.path() / "work" / "err.txt");
  EXPECT_NE(errors.find("refused ../evil.txt"), std::string::npos) << errors;
  EXPECT_NE(errors.find("refused /tmp/evil.txt"), std::string::npos) << errors;
  EXPECT_FALSE(fs::exists(folder.path() / "work" / "evil.txt"));
  EXPECT_EQ(ReadBytes(folder.path() / "work" / "out" / "safe" / "inside.txt"), "ok");
  // The second spelling of a name the data manager would never serve is not written over it.
  const std::string report = ReadBytes(folder.path() / "work" / "out.txt");
  EXPECT_NE(report.find("skipped SAFE/INSIDE.TXT"), std::string::npos) << report;
  EXPECT_NE(report.find("skipped link link.txt"), std::string::npos) << report;
}

TEST(InspectEndToEnd, PicturesAreDescribedAndWrittenOutUpright) {
  TemporaryFolder folder;
  const std::vector<uint8_t> card = meridia::testing::TgaCard(true);
  WriteBytes(folder.path() / "card.tga", std::string(card.begin(), card.end()));
  WriteBytes(folder.path() / "junk.png", std::string(50, 'j'));
  EXPECT_EQ(
      RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " --json --out out card.tga junk.png"),
      1);
  EXPECT_EQ(ReadBytes(folder.path() / "out.txt"),
            "{\"file\":\"card.tga\",\"kind\":\"image\",\"decoder\":\"tga\",\"by\":"
            "\"extension\",\"width\":4,\"height\":3,\"bits\":24,"
            "\"written\":\"out/card.tga.tga\",\"replaced\":false}\n"
            "{\"file\":\"junk.png\",\"error\":\"png: header damaged or truncated: no PNG signature "
            "and IHDR chunk\"}\n");
  EXPECT_NE(ReadBytes(folder.path() / "err.txt").find("junk.png"), std::string::npos);
  // Top row first (descriptor bit 5): the card's red corner is the first pixel written.
  const std::string tga = ReadBytes(folder.path() / "out" / "card.tga.tga");
  ASSERT_EQ(tga.size(), 18u + 4u * 3u * 3u);
  EXPECT_EQ(tga[17], 0x20);
  EXPECT_EQ(tga.substr(18, 3), std::string("\0\0\xff", 3));
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " card.tga"), 0);
  EXPECT_EQ(ReadBytes(folder.path() / "out.txt"),
            "card.tga: image, tga (by extension), 4 x 3, 24 bits\n");
}

// The card as a 32-bit TGA, rows bottom first, with its falling alpha.
std::string TgaCardWithAlpha() {
  std::string file(18, '\0');
  file[2] = 2;
  file[12] = meridia::testing::kCardWidth;
  file[14] = meridia::testing::kCardHeight;
  file[16] = 32;
  file[17] = 8;
  for (int y = meridia::testing::kCardHeight - 1; y >= 0; --y) {
    for (int x = 0; x < meridia::testing::kCardWidth; ++x) {
      const uint32_t p = meridia::testing::CardPixel(x, y);
      for (int shift : {0, 8, 16, 24}) {
        file.push_back(static_cast<char>(p >> shift));
      }
    }
  }
  return file;
}

// PNG output holds the same upright pixels as TGA output: read back through the decoders and
// written as TGA again, every byte matches the TGA written straight from the source.
TEST(InspectEndToEnd, PicturesWrittenAsPngComeBackAsTheyWere) {
  TemporaryFolder folder;
  const std::vector<uint8_t> card = meridia::testing::TgaCard(false);
  WriteBytes(folder.path() / "card.tga", std::string(card.begin(), card.end()));
  WriteBytes(folder.path() / "alpha.tga", TgaCardWithAlpha());
  ASSERT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " --out tga card.tga alpha.tga"),
            0);
  ASSERT_EQ(
      RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " --out png --png card.tga alpha.tga"), 0)
      << ReadBytes(folder.path() / "err.txt");
  EXPECT_FALSE(fs::exists(folder.path() / "png" / "card.tga.tga"));
  for (const std::string name : {"card.tga", "alpha.tga"}) {
    SCOPED_TRACE(name);
    const std::string png = ReadBytes(folder.path() / "png" / (name + ".png"));
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    ASSERT_EQ(RunIn(folder.path(),
                    std::string(MERIDIA_INSPECT) + " --json --out back png/" + name + ".png"),
              0);
    const std::string bits = name == "card.tga" ? "24" : "32";
    EXPECT_EQ(ReadBytes(folder.path() / "out.txt"),
              "{\"file\":\"png/" + name +
                  ".png\",\"kind\":\"image\",\"decoder\":\"png\",\"by\":\"content\","
                  "\"width\":4,\"height\":3,\"bits\":" +
                  bits + ",\"written\":\"back/" + name + ".png.tga\",\"replaced\":false}\n");
    EXPECT_EQ(ReadBytes(folder.path() / "back" / (name + ".png.tga")),
              ReadBytes(folder.path() / "tga" / (name + ".tga")));
  }
  // A folder that cannot be made is a failure, with its reason, not a silent success.
  WriteBytes(folder.path() / "blocked", "a file where the folder should be");
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " --out blocked --png card.tga"),
            1);
  EXPECT_NE(ReadBytes(folder.path() / "err.txt").find("cannot write"), std::string::npos);
}

// A 2 by 2 terrain map, tagged with the seed unless it is the default world's.
std::string MapFile(int32_t seed, bool tagged) {
  std::string file = tagged ? "MWLD" : "";
  const int32_t header[] = {seed, 2, 2};
  file.append(reinterpret_cast<const char*>(tagged ? header : header + 1), tagged ? 12 : 8);
  const float samples[] = {0.0f, 0.25f, 0.5f, 1.0f};
  return file.append(reinterpret_cast<const char*>(samples), sizeof samples);
}

// Which seed made a map, and whether the world of the folder it lies in would take it.
TEST(InspectEndToEnd, MapsTellTheirSeedAndWhetherTheirFoldersWorldTakesThem) {
  TemporaryFolder folder;
  WriteBytes(folder.path() / "maps" / "errosion.dat", MapFile(500, false));
  WriteBytes(folder.path() / "maps" / "world-7" / "errosion.dat", MapFile(7, true));
  WriteBytes(folder.path() / "maps" / "world-9" / "basemap.dat", MapFile(7, true));
  WriteBytes(folder.path() / "maps" / "world-x" / "basemap.dat", MapFile(-3, true));
  WriteBytes(folder.path() / "maps" / "world-7" / "basemap.dat", MapFile(7, true).substr(0, 27));
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) +
                                     " --json maps/errosion.dat maps/world-7/errosion.dat"
                                     " maps/world-9/basemap.dat maps/world-x/basemap.dat"
                                     " maps/world-7/basemap.dat"),
            1);
  EXPECT_EQ(ReadBytes(folder.path() / "out.txt"),
            "{\"file\":\"maps/errosion.dat\",\"kind\":\"map\",\"seed\":500,\"tagged\":false,"
            "\"width\":2,\"height\":2,\"world\":500,\"accepted\":true}\n"
            "{\"file\":\"maps/world-7/errosion.dat\",\"kind\":\"map\",\"seed\":7,\"tagged\":true,"
            "\"width\":2,\"height\":2,\"world\":7,\"accepted\":true}\n"
            "{\"file\":\"maps/world-9/basemap.dat\",\"kind\":\"map\",\"seed\":7,\"tagged\":true,"
            "\"width\":2,\"height\":2,\"world\":9,\"accepted\":false,\"refusal\":\"made by seed "
            "7, in the folder of seed 9, which would make its maps again\"}\n"
            "{\"file\":\"maps/world-x/basemap.dat\",\"kind\":\"map\",\"seed\":-3,\"tagged\":true,"
            "\"width\":2,\"height\":2,\"world\":null,\"accepted\":true}\n"
            "{\"file\":\"maps/world-7/basemap.dat\",\"kind\":\"map\",\"seed\":7,\"tagged\":true,"
            "\"width\":2,\"height\":2,\"world\":7,\"accepted\":false,\"refusal\":\"header does "
            "not match its size\"}\n");
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " maps/world-7/errosion.dat"), 0);
  EXPECT_EQ(ReadBytes(folder.path() / "out.txt"),
            "maps/world-7/errosion.dat: terrain map, seed 7 (world tag), 2 x 2, accepted as the "
            "map of seed 7\n");
}

// Two pictures of the same name from different folders: neither is written over the other, the
// record of each names its file, and a second run replaces them and says so.
TEST(InspectEndToEnd, SameNamesNeverWriteOverEachOther) {
  TemporaryFolder folder;
  const std::vector<uint8_t> card = meridia::testing::TgaCard(false);
  std::string other(card.begin(), card.end());
  other[18] = '\x11'; // the bottom-left pixel's blue
  WriteBytes(folder.path() / "a" / "card.tga", std::string(card.begin(), card.end()));
  WriteBytes(folder.path() / "b" / "card.tga", other);
  const std::string command =
      std::string(MERIDIA_INSPECT) + " --json --out out a/card.tga b/card.tga a/card.tga";
  for (const char* replaced : {"false", "true"}) {
    ASSERT_EQ(RunIn(folder.path(), command), 0) << ReadBytes(folder.path() / "err.txt");
    const std::string report = ReadBytes(folder.path() / "out.txt");
    for (const char* written : {"out/card.tga.tga", "out/card.tga.2.tga", "out/card.tga.3.tga"}) {
      EXPECT_NE(report.find(std::string("\"written\":\"") + written +
                            "\",\"replaced\":" + replaced + "}"),
                std::string::npos)
          << report;
    }
    // Written top row first: the bottom-left pixel is the first of the last row.
    const size_t bottom_left = 18 + 3 * 4 * 2;
    EXPECT_EQ(ReadBytes(folder.path() / "out" / "card.tga.tga")[bottom_left],
              static_cast<char>(card[18]));
    EXPECT_EQ(ReadBytes(folder.path() / "out" / "card.tga.2.tga")[bottom_left], '\x11');
    EXPECT_EQ(ReadBytes(folder.path() / "out" / "card.tga.3.tga")[bottom_left],
              static_cast<char>(card[18]));
  }
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " --out out a/card.tga a/card.tga"),
            0);
  EXPECT_NE(ReadBytes(folder.path() / "out.txt")
                .find("  written to out/card.tga.2.tga, replacing the file there\n"),
            std::string::npos)
      << ReadBytes(folder.path() / "out.txt");
}

TEST(InspectEndToEnd, UsageAndUnknownFiles) {
  TemporaryFolder folder;
  EXPECT_EQ(RunIn(folder.path(), MERIDIA_INSPECT), 2);
  EXPECT_NE(ReadBytes(folder.path() / "err.txt").find("usage: meridia-inspect"), std::string::npos);
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " --extract"), 2);
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " --png card.tga"), 2);
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " missing.mza"), 1);
  WriteBytes(folder.path() / "plain.txt", "not an archive");
  EXPECT_EQ(RunIn(folder.path(), std::string(MERIDIA_INSPECT) + " plain.txt"), 1);
  EXPECT_NE(ReadBytes(folder.path() / "err.txt").find("not a kind of file"), std::string::npos);
  EXPECT_EQ(RunIn(folder.path(), MERIDIA_PACK), 2);
}

} // namespace
