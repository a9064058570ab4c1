#include "storage/Archive.h"

#include "StorageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meridia {
namespace {

using testing::AppendString;
using testing::AppendValue;
using testing::ArchiveItem;
using testing::BuildArchive;
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
  EXPECT_EQ(archive.IndexOf("base/shaders/treevp.txt"), 0);
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

TEST_F(ArchiveTest, CompressedEntriesAreRefusedUntilTheirDecoderExists) {
  WriteBytes("data.mza", BuildArchive({{kMethodCompressed, "packed.bin", "BZh91AY&SY"}}));
  TzoArchive archive;
  ASSERT_TRUE(archive.Open("data.mza"));
  EXPECT_TRUE(archive.Contains("PACKED.BIN"));
  EXPECT_EQ(archive.Extract(0), nullptr);
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{"Archive : no decoder for compressed entry : packed.bin"});
}

// Header, the entry "good.txt" (10 bytes at kGoodOffset) and the entry "bad", then the data.
std::string TwoEntryArchive(uint8_t bad_method, int32_t bad_size, int64_t bad_offset) {
  constexpr int64_t kGoodOffset = 8 + (1 + 4 + 8 + 4 + 8) + (1 + 4 + 3 + 4 + 8);
  std::string bytes(kArchiveMagic.data(), kArchiveMagic.size());
  AppendValue<int32_t>(bytes, 2);
  bytes.push_back(static_cast<char>(kMethodStored));
  AppendString(bytes, "good.txt");
  AppendValue<int32_t>(bytes, 10);
  AppendValue<int64_t>(bytes, kGoodOffset);
  bytes.push_back(static_cast<char>(bad_method));
  AppendString(bytes, "bad");
  AppendValue<int32_t>(bytes, bad_size);
  AppendValue<int64_t>(bytes, bad_offset);
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), kGoodOffset);
  for (int i = 0; i < 10; ++i) {
    bytes.push_back(static_cast<char>('0' + 2 * i)); // "0123456789" after the transform
  }
  return bytes;
}

TEST_F(ArchiveTest, DamagedEntriesAreLeftOutAndTheRestMounted) {
  constexpr int64_t kFileSize = 63;
  const struct {
    const char* name;
    uint8_t method;
    int32_t size;
    int64_t offset;
  } cases[] = {
      {"past the end", kMethodStored, 4, kFileSize - 3},
      {"size overruns", kMethodStored, 0x7FFFFFFF, 8},
      {"negative size", kMethodStored, -1, 8},
      {"negative offset", kMethodStored, 4, -4},
      {"offset overflows", kMethodStored, 4, INT64_MAX - 1},
      {"unknown method", 7, 4, 8},
  };
  for (const auto& c : cases) {
    WriteBytes("damaged.mza", TwoEntryArchive(c.method, c.size, c.offset));
    TzoArchive archive;
    ASSERT_TRUE(archive.Open("damaged.mza")) << c.name;
    ASSERT_EQ(archive.Entries.size(), 1u) << c.name;
    EXPECT_FALSE(archive.Contains("bad")) << c.name;
    EXPECT_EQ(Content(*archive.Extract(0)), "0123456789") << c.name;
    EXPECT_EQ(LogMessages().back(), "Archive entry refused : damaged.mza : bad") << c.name;
  }
  // The same table with a sound entry lists both.
  WriteBytes("sound.mza", TwoEntryArchive(kMethodStored, 3, kFileSize - 3));
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
    const bool mounted = archive.Open("cut.mza");
    EXPECT_EQ(mounted, length >= 8) << length;
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
  std::string negative(kArchiveMagic.data(), 4);
  AppendValue<int32_t>(negative, -1);
  WriteBytes("negative.mza", negative);
  std::string huge(kArchiveMagic.data(), 4);
  AppendValue<int32_t>(huge, 0x7FFFFFFF);
  WriteBytes("huge.mza", huge);

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
