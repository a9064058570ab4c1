#include "storage/Archive.h"

#include "StorageTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace meridia {
namespace {

using testing::AppendValue;
using testing::BuildArchive;
using testing::Packed;
using testing::WriteBytes;

std::string Content(TzoMemoryStream& stream) {
  return std::string(stream.Buffer.begin(), stream.Buffer.end());
}

class ArchiveTest : public testing::TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    CreateArchiveList();
  }
  void TearDown() override {
    FreeArchiveList();
    TempFolderTest::TearDown();
  }
};

TEST_F(ArchiveTest, StoredEntriesComeBackAsWritten) {
  std::string long_data;
  for (int i = 0; i < 700; ++i) {
    long_data.push_back(static_cast<char>(i * 7)); // past 256 bytes the index wraps
  }
  WriteBytes("data.mza", BuildArchive({{kMethodStored, "Base\\Shaders\\TreeVP.txt", "!!ARBvp"},
                                       {kMethodStored, "big.bin", long_data},
                                       {kMethodStored, "empty.txt", ""},
                                       {kMethodLink, "link.txt", "target"}}));
  TzoArchive archive;
  ASSERT_TRUE(archive.Open("data.mza"));
  ASSERT_EQ(archive.Entries.size(), 4u);

  // Both sides lower-cased and in "/" form, then compared exactly.
  EXPECT_EQ(archive.IndexOf("BASE\\SHADERS\\TREEVP.TXT"), 0);
  EXPECT_EQ(archive.IndexOf("base/shaders/treevp.tx"), -1);
  EXPECT_EQ(archive.IndexOf("base//shaders/treevp.txt"), -1);
  EXPECT_EQ(ArchiveKey("\xC9T\xC9\\\x8A"), "\xE9t\xE9/\x9A");

  auto first = archive.Extract(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Mode, kStreamRead);
  EXPECT_EQ(first->GetPosition(), 0);
  EXPECT_EQ(Content(*first), "!!ARBvp");
  EXPECT_EQ(Content(*archive.Extract(1)), long_data);
  EXPECT_EQ(archive.Extract(2)->GetSize(), 0);
  // A link is listed but not extracted: its stream is empty.
  EXPECT_EQ(archive.Extract(3)->GetSize(), 0);
  EXPECT_EQ(archive.Extract(4), nullptr);
  EXPECT_EQ(archive.Extract(-1), nullptr);
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(ArchiveTest, CompressedEntriesAreDecodedAndDamagedOnesRefused) {
  std::string text;
  for (int i = 0; i < 2000; ++i) {
    text += "v " + std::to_string(i % 37) + " 0 " + std::to_string(i % 11) + "\n";
  }
  std::string stream = Packed(text, pack::AbcChoice::Sif, 10000);
  std::string flipped = stream;
  flipped[3] ^= 0x40; // the first block's checksum
  // Another compressor's stream: read as a block, a header of 'B' = 66 bytes whose last three
  // give a coded length far past the bytes after it.
  const std::string foreign = "BZh91AY&SY" + std::string(100, '\xFF');
  WriteBytes("data.mza", BuildArchive({{kMethodCompressed, "packed.bin", foreign},
                                       {kMethodCompressed, "Models\\City.obj", stream},
                                       {kMethodCompressed, "flipped.obj", flipped},
                                       {kMethodCompressed, "empty.obj", ""}}));
  TzoArchive archive;
  ASSERT_TRUE(archive.Open("data.mza"));
  EXPECT_TRUE(archive.Contains("PACKED.BIN"));
  EXPECT_EQ(archive.Extract(0), nullptr);
  EXPECT_EQ(archive.LastError,
            "Archive : compressed entry refused, coded length past the data (block at byte 0) : "
            "packed.bin");
  auto city = archive.Extract(1);
  ASSERT_NE(city, nullptr);
  EXPECT_TRUE(archive.LastError.empty());
  EXPECT_EQ(city->Mode, kStreamRead);
  EXPECT_EQ(city->GetPosition(), 0);
  EXPECT_EQ(Content(*city), text);
  EXPECT_EQ(archive.Extract(2), nullptr);
  // An empty stream is an empty file.
  EXPECT_EQ(archive.Extract(3)->GetSize(), 0);
  EXPECT_EQ(
      LogMessages(),
      (std::vector<std::string>{
          "Archive : compressed entry refused, coded length past the data (block at byte 0) : "
          "packed.bin",
          "Archive : compressed entry refused, block checksum mismatch (block at byte 0) : "
          "flipped.obj"}));
}

TEST_F(ArchiveTest, DamagedEntriesAreLeftOutAndTheRestMounted) {
  // 8 header bytes, "good.txt" at 8 (25 table bytes), "bad" at 33 with its size at 41 and its
  // offset at 45, then 10 data bytes from 53 and 3 from 63: 66 in all.
  const std::string sound =
      BuildArchive({{kMethodStored, "good.txt", "0123456789"}, {kMethodStored, "bad", "xyz"}});
  ASSERT_EQ(sound.size(), 66u);
  const struct {
    const char* name;
    uint8_t method;
    int32_t size;
    int64_t offset;
  } cases[] = {
      {"past the end", kMethodStored, 4, 63},
      {"size overruns", kMethodStored, 0x7FFFFFFF, 8},
      {"negative size", kMethodStored, -1, 8},
      {"negative offset", kMethodStored, 4, -4},
      {"offset overflows", kMethodStored, 4, INT64_MAX - 1},
      {"unknown method", 7, 4, 8},
  };
  for (const auto& c : cases) {
    std::string bytes = sound;
    bytes[33] = static_cast<char>(c.method);
    std::memcpy(bytes.data() + 41, &c.size, 4);
    std::memcpy(bytes.data() + 45, &c.offset, 8);
    WriteBytes("damaged.mza", bytes);
    TzoArchive archive;
    ASSERT_TRUE(archive.Open("damaged.mza")) << c.name;
    ASSERT_EQ(archive.Entries.size(), 1u) << c.name;
    EXPECT_FALSE(archive.Contains("bad")) << c.name;
    EXPECT_EQ(Content(*archive.Extract(0)), "0123456789") << c.name;
    EXPECT_EQ(LogMessages().back(), "Archive entry refused : damaged.mza : bad") << c.name;
  }
  // The same table with a sound entry lists both.
  WriteBytes("sound.mza", sound);
  TzoArchive archive;
  ASSERT_TRUE(archive.Open("sound.mza"));
  EXPECT_EQ(archive.Entries.size(), 2u);
}

TEST_F(ArchiveTest, EveryTruncatedPrefixMountsSafely) {
  const std::string whole =
      BuildArchive({{kMethodStored, "one.txt", "first"}, {kMethodStored, "two.txt", "second"}});
  for (size_t length = 0; length < whole.size(); ++length) {
    WriteBytes("cut.mza", whole.substr(0, length));
    TzoArchive archive;
    EXPECT_EQ(archive.Open("cut.mza"), length >= 8) << length;
    // Cut in the table: nothing listed past the cut. Cut in the data: the entries whose bytes
    // are gone are refused. Whatever is listed extracts to its own bytes.
    for (size_t i = 0; i < archive.Entries.size(); ++i) {
      auto stream = archive.Extract(static_cast<int32_t>(i));
      ASSERT_NE(stream, nullptr) << length;
      EXPECT_EQ(Content(*stream), archive.Entries[i].Name == "one.txt" ? "first" : "second")
          << length;
    }
    EXPECT_LT(archive.Entries.size(), 2u) << length;
  }
}

TEST_F(ArchiveTest, NotAnArchive) {
  WriteBytes("text.txt", "plain text, not an archive");
  for (const int32_t count : {-1, 0x7FFFFFFF}) {
    std::string bytes(kArchiveMagic.data(), 4);
    AppendValue<int32_t>(bytes, count);
    WriteBytes(count < 0 ? "negative.mza" : "huge.mza", bytes);
  }
  EXPECT_FALSE(MountArchive("missing.mza"));
  EXPECT_FALSE(MountArchive("text.txt"));
  EXPECT_FALSE(MountArchive("negative.mza"));
  // A count far beyond the bytes that follow: an empty table, cut short.
  EXPECT_TRUE(MountArchive("huge.mza"));
  EXPECT_EQ(ArchiveList()->Count, 1);
  EXPECT_EQ(LogMessages(),
            (std::vector<std::string>{
                "File Not Found : missing.mza", "Archive refused, not an archive : text.txt",
                "Archive refused, not an archive : negative.mza",
                "Archive table cut short after 0 of 2147483647 entries : huge.mza"}));
  UnmountAllArchives();
  EXPECT_EQ(ArchiveList()->Count, 0);
  FreeArchiveList();
  EXPECT_FALSE(MountArchive("huge.mza"));
}

} // namespace
} // namespace meridia
