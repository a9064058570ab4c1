#include "storage/DataManager.h"

#include "StorageTestSupport.h"
#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/File.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace meridia {
namespace {

namespace fs = std::filesystem;
using testing::BuildArchive;
using testing::Packed;
using testing::ReadBytes;
using testing::WriteBytes;
using Lines = std::vector<std::string>;

std::string ReadAll(TzoStream& stream) {
  EXPECT_EQ(stream.Mode, kStreamRead);
  EXPECT_EQ(stream.GetPosition(), 0);
  std::string text(static_cast<size_t>(stream.GetSize()), '\0');
  stream.TransferBlock(text.data(), static_cast<int64_t>(text.size()));
  return text;
}

// The program's own order of module start and end, in a private current folder.
class DataManagerTest : public testing::TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    CacheInitialize();
    CreateArchiveList();
  }
  void TearDown() override {
    FreeArchiveList();
    CacheFinalize();
    TempFolderTest::TearDown();
  }
};

TEST_F(DataManagerTest, PlainFilesAndMissingOnes) {
  const std::string text = "!!ARBvp1.0\r\nEND\r\n";
  fs::create_directories("base/Shaders");
  WriteBytes("base/Shaders/treevp.txt", text);
  EXPECT_TRUE(FileExists("base\\shaders\\TREEVP.txt"));
  EXPECT_FALSE(FileExists("base/shaders"));
  EXPECT_FALSE(FileExists(""));

  auto stream = OpenFileStream("base\\shaders\\treevp.txt");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ReadAll(*stream), text);
  EXPECT_EQ(LoadFileToString("base/shaders/treevp.txt"), text);
  auto memory = LoadFileToMemoryStream("base/shaders/treevp.txt");
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(ReadAll(*memory), text);
  WriteBytes("empty.txt", "");
  EXPECT_EQ(LoadFileToString("empty.txt"), "");
  ASSERT_NE(LoadFileToMemoryStream("empty.txt"), nullptr);
  EXPECT_TRUE(LogMessages().empty());

  EXPECT_EQ(OpenFileStream("base/missing.obj"), nullptr);
  EXPECT_EQ(LoadFileToString("base"), "");
  EXPECT_EQ(LoadFileToMemoryStream(""), nullptr);
  EXPECT_EQ(LogMessages(), (Lines{"Error : 1000 Caption : base/missing.obj",
                                  "Error : 1000 Caption : base", "Error : 1000 Caption : "}));
}

TEST_F(DataManagerTest, FindFileSearchOrder) {
  const Lines folders = {"base/other", "base/shaders"};
  const Lines extensions = {"txt"};
  fs::create_directories("base/shaders");
  fs::create_directories("base/other");
  // The expected result as each candidate appears, the least preferred first.
  const struct {
    const char* create;
    const char* expected;
  } steps[] = {
      {nullptr, "base/shaders\\tree"}, // nothing: the last folder joined with the name
      {"base/shaders/tree.txt", "base/shaders\\tree.txt"},
      {"base/shaders/tree", "base/shaders\\tree"},
      {"base/other/tree.txt", "base/other\\tree.txt"},
      {"base/other/tree", "base/other\\tree"},
      {"tree.txt", "tree.txt"},
      {"tree", "tree"},
  };
  for (const auto& step : steps) {
    if (step.create != nullptr) {
      WriteBytes(step.create, "x");
    }
    EXPECT_EQ(FindFile("tree", folders, extensions), step.expected) << step.expected;
  }
  EXPECT_EQ(FindFile("absent", {}, extensions), "absent");
  // A folder of the name is no file.
  fs::create_directory("base/shaders/leaf");
  EXPECT_EQ(FindFile("leaf", Lines{"base/shaders/"}, {}), "base/shaders/leaf");
}

TEST_F(DataManagerTest, ArchiveReadsAreCachedAndTheCopyUsedNext) {
  fs::create_directories("cache/archive");
  WriteBytes("data.mza", BuildArchive({{kMethodStored, "Models\\City\\Bld.obj", "v 0 0 0\n"}}));
  ASSERT_TRUE(MountArchive("data.mza"));
  EXPECT_TRUE(FileExists("models/city/bld.OBJ"));

  // First read: from the archive, copied into the cache and listed in the saved index.
  auto first = OpenFileStream("models/city/bld.OBJ");
  ASSERT_NE(dynamic_cast<TzoMemoryStream*>(first.get()), nullptr);
  EXPECT_EQ(ReadAll(*first), "v 0 0 0\n");
  ASSERT_EQ(CacheManager()->Entries.Count, 1);
  const std::string copy = CacheLookup("models/city/bld.OBJ");
  EXPECT_EQ(copy.rfind("cache/archive/", 0), 0u);
  EXPECT_EQ(copy.substr(copy.size() - 4), ".OBJ");
  EXPECT_EQ(ReadBytes(copy), "v 0 0 0\n");
  EXPECT_NE(ReadBytes("cache/data.cache").find("models/city/bld.OBJ"), std::string::npos);

  // Second read: the copy, as a plain file.
  WriteBytes(copy, "from the copy");
  auto second = OpenFileStream("models/city/bld.OBJ");
  ASSERT_NE(dynamic_cast<TzoFile*>(second.get()), nullptr);
  EXPECT_EQ(ReadAll(*second), "from the copy");
  // Another spelling is another cache key: extracted again, and a second copy made.
  EXPECT_EQ(LoadFileToString("Models/City/Bld.obj"), "v 0 0 0\n");
  EXPECT_EQ(CacheManager()->Entries.Count, 2);
  // The copy is only asked for names that some source still knows.
  UnmountAllArchives();
  EXPECT_EQ(OpenFileStream("models/city/bld.OBJ"), nullptr);
  EXPECT_EQ(LogMessages(), Lines{"Error : 1000 Caption : models/city/bld.OBJ"});
}

TEST_F(DataManagerTest, CompressedEntriesAreDecodedCachedAndTheCopyUsedNext) {
  fs::create_directories("cache/archive");
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    text += "f " + std::to_string(i) + "/" + std::to_string(i % 7) + " 1/2 3/4\n";
  }
  const struct {
    const char* name;
    pack::AbcChoice path;
  } entries[] = {{"base\\mtf.obj", pack::AbcChoice::Mtf},
                 {"base\\sif.obj", pack::AbcChoice::Sif},
                 {"base\\awfc.obj", pack::AbcChoice::Awfc}};
  std::vector<testing::ArchiveItem> items;
  for (const auto& entry : entries) {
    items.push_back({kMethodCompressed, entry.name, Packed(text, entry.path, 20000)});
  }
  WriteBytes("data.mza", BuildArchive(items));
  ASSERT_TRUE(MountArchive("data.mza"));

  for (const std::string name : {"base/mtf.obj", "base/sif.obj", "base/awfc.obj"}) {
    // First read: decoded from the archive and copied into the cache.
    auto first = OpenFileStream(name);
    ASSERT_NE(dynamic_cast<TzoMemoryStream*>(first.get()), nullptr) << name;
    EXPECT_EQ(ReadAll(*first), text) << name;
    const std::string copy = CacheLookup(name);
    ASSERT_FALSE(copy.empty()) << name;
    EXPECT_EQ(ReadBytes(copy), text) << name;
    // Second read: the copy, as a plain file.
    auto second = OpenFileStream(name);
    ASSERT_NE(dynamic_cast<TzoFile*>(second.get()), nullptr) << name;
    EXPECT_EQ(ReadAll(*second), text) << name;
  }
  EXPECT_EQ(CacheManager()->Entries.Count, 3);
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(DataManagerTest, FailedExtractionFallsBackToThePlainFile) {
  fs::create_directories("cache/archive");
  WriteBytes("packed.txt", "plain bytes");
  WriteBytes("data.mza", BuildArchive({{kMethodCompressed, "packed.txt", "\x02zzz"},
                                       {kMethodCompressed, "only-packed.txt", "\x02zzz"}}));
  ASSERT_TRUE(MountArchive("data.mza"));
  EXPECT_EQ(LoadFileToString("packed.txt"), "plain bytes");
  EXPECT_EQ(LoadFileToString("only-packed.txt"), "");
  EXPECT_EQ(CacheManager()->Entries.Count, 0);
  // A block of two payload bytes behind a header of 2, too short for its fields.
  EXPECT_EQ(LogMessages(),
            (Lines{"Archive : compressed entry refused, block header shorter than its fields "
                   "(block at byte 0) : packed.txt",
                   "Archive : compressed entry refused, block header shorter than its fields "
                   "(block at byte 0) : only-packed.txt",
                   "File Not Found : only-packed.txt"}));
}

TEST_F(DataManagerTest, CachedCopiesComeFirstAndAFailedOneSkipsTheArchives) {
  WriteBytes("name.txt", "plain");
  WriteBytes("data.mza", BuildArchive({{kMethodStored, "name.txt", "archived"},
                                       {kMethodStored, "ghost.copy", "ghost"}}));
  ASSERT_TRUE(MountArchive("data.mza"));
  auto* record = new TCacheFile();
  record->Path = "ghost.copy";
  CacheManager()->Entries.AddObject("name.txt", record);

  // The copy's name is only in the archive: it counts as present but does not open as a file,
  // and the plain file is read instead of the archive entry.
  EXPECT_EQ(LoadFileToString("name.txt"), "plain");
  EXPECT_EQ(LogMessages(), Lines{"File Not Found : ghost.copy"});
  WriteBytes("ghost.copy", "copy");
  EXPECT_EQ(LoadFileToString("name.txt"), "copy");

  // With the copy gone for good its entry is dropped, and the archive is asked again (no cache
  // folder, so no new copy).
  fs::remove("ghost.copy");
  UnmountAllArchives();
  WriteBytes("data.mza", BuildArchive({{kMethodStored, "name.txt", "archived"}}));
  ASSERT_TRUE(MountArchive("data.mza"));
  EXPECT_EQ(LoadFileToString("name.txt"), "archived");
  EXPECT_EQ(CacheManager()->Entries.Count, 0);
}

} // namespace
} // namespace meridia
