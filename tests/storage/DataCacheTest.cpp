#include "storage/DataCache.h"

#include "StorageTestSupport.h"
#include "storage/File.h"
#include "storage/MemoryStream.h"

#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace meridia {
namespace {

namespace fs = std::filesystem;
using testing::AppendString;
using testing::AppendValue;
using testing::ReadBytes;
using testing::WriteBytes;
using Names = std::vector<std::string>;

std::string IndexBytes(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string bytes;
  AppendValue<int32_t>(bytes, static_cast<int32_t>(entries.size()));
  for (const auto& [name, path] : entries) {
    AppendString(bytes, name);
    AppendString(bytes, path);
    AppendValue<int32_t>(bytes, 0);
    AppendValue<int64_t>(bytes, 0);
  }
  return bytes;
}

// A memory stream holding bytes, in read mode at position 0.
struct StreamOf : TzoMemoryStream {
  explicit StreamOf(const std::string& bytes) { Buffer.assign(bytes.begin(), bytes.end()); }
};

Names NamesOf(const TCacheManager& cache) {
  Names names;
  for (const TzoString& entry : cache.Entries.Items) {
    names.push_back(entry.Text);
  }
  return names;
}

class DataCacheTest : public testing::TempFolderTest {};

TEST_F(DataCacheTest, IndexRoundTripAndItsLayout) {
  fs::create_directories("cache/archive");
  WriteBytes("cache/archive/a.obj", "a");
  WriteBytes("cache/archive/b.tga", "b");
  const std::vector<std::pair<std::string, std::string>> listed = {
      {"Base/a.obj", "cache/archive/a.obj"}, {"base/a.obj", "cache/archive/b.tga"}};
  {
    TCacheManager cache;
    EXPECT_EQ(cache.Folder, "cache/archive/");
    cache.Save("cache/data.cache");
    EXPECT_EQ(ReadBytes("cache/data.cache"), std::string(4, '\0'));
    for (const auto& [name, path] : listed) {
      auto* copy = new TCacheFile();
      copy->Path = path;
      cache.Entries.AddObject(name, copy);
    }
    cache.Save("cache/data.cache");
  }
  EXPECT_EQ(ReadBytes("cache/data.cache"), IndexBytes(listed));
  TCacheManager cache;
  cache.Load("cache/data.cache");
  EXPECT_EQ(NamesOf(cache), (Names{"Base/a.obj", "base/a.obj"}));
  // Names that differ only in case are different keys; the first entry is found like any other.
  EXPECT_EQ(cache.Lookup("Base/a.obj"), "cache/archive/a.obj");
  EXPECT_EQ(cache.Lookup("base/a.obj"), "cache/archive/b.tga");
  EXPECT_EQ(cache.Lookup("BASE/A.OBJ"), std::nullopt);
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(DataCacheTest, ADeletedCopyDropsItsEntry) {
  fs::create_directories("cache/archive");
  WriteBytes("cache/archive/two.txt", "2");
  WriteBytes("cache/data.cache",
             IndexBytes({{"one", "cache/archive/one.txt"}, {"two", "cache/archive/two.txt"}}));
  TCacheManager cache;
  cache.Load("cache/data.cache");
  ASSERT_EQ(cache.Entries.Count, 2);
  EXPECT_EQ(cache.Lookup("one"), std::nullopt);
  EXPECT_EQ(NamesOf(cache), Names{"two"});
  EXPECT_EQ(cache.Lookup("two"), "cache/archive/two.txt");
  cache.Save("cache/data.cache");
  EXPECT_EQ(ReadBytes("cache/data.cache"), IndexBytes({{"two", "cache/archive/two.txt"}}));
}

TEST_F(DataCacheTest, MissingFoldersMakeEverythingQuietlyFail) {
  TCacheManager cache;
  cache.Load("cache/data.cache"); // no index: empty, no message
  StreamOf data("content");
  const std::string path = cache.Add("base/x.dds", data);
  EXPECT_EQ(path.rfind("cache/archive/", 0), 0u);
  EXPECT_EQ(path.substr(path.size() - 4), ".dds");
  EXPECT_EQ(cache.Entries.Count, 0);
  cache.Save("cache/data.cache");
  EXPECT_FALSE(fs::exists("cache"));
  // A "folder" that is a regular file behaves as an unwritable place, and is left as it was.
  WriteBytes("cache", "not a folder");
  cache.Save("cache/data.cache");
  EXPECT_EQ(cache.Add("base/x.dds", data).rfind("cache/archive/", 0), 0u);
  EXPECT_EQ(ReadBytes("cache"), "not a folder");
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(DataCacheTest, AddWritesTheWholeStreamOrNothing) {
  fs::create_directories("cache/archive");
  TCacheManager cache;
  TzoMemoryStream empty;
  EXPECT_EQ(cache.Add("base/none.txt", empty), "base/none.txt");
  EXPECT_EQ(cache.Entries.Count, 0);

  StreamOf memory("memory bytes");
  memory.SetPosition(3);
  const std::string first = cache.Add("base/m.txt", memory);
  EXPECT_EQ(ReadBytes(first), "memory bytes");
  EXPECT_EQ(memory.GetPosition(), 3);

  // Any other stream has its bytes copied too, its mode and position left as they were.
  WriteBytes("source.bin", "file bytes");
  TzoFile file;
  ASSERT_TRUE(file.OpenRead("source.bin", false));
  file.SetPosition(5);
  file.SetMode(kStreamWrite);
  const std::string second = cache.Add("base/f.bin", file);
  EXPECT_NE(second, first);
  EXPECT_EQ(ReadBytes(second), "file bytes");
  EXPECT_EQ(file.GetPosition(), 5);
  EXPECT_EQ(file.Mode, kStreamWrite);
  EXPECT_EQ(NamesOf(cache), (Names{"base/m.txt", "base/f.bin"}));

  // A copy cut short by the system (here a file-size limit, as a full disk would) is removed
  // and not listed: it would otherwise be served as the data from then on. The limit leaves
  // room for the test's own log, which grows in the same process.
  StreamOf big(std::string(1 << 17, 'x'));
  std::string failed;
  {
    testing::FileSizeLimit limit(1 << 16);
    failed = cache.Add("base/big.bin", big);
  }
  EXPECT_FALSE(fs::exists(failed));
  EXPECT_EQ(std::distance(fs::directory_iterator("cache/archive"), {}), 2)
      << "the two copies, and no temporary file";
  EXPECT_EQ(cache.Entries.Count, 2);
  EXPECT_EQ(LogMessages(), Names{"IO Error : Read after end of file"});
}

TEST_F(DataCacheTest, AnIndexThatCannotBeWrittenWholeLeavesTheOldOne) {
  fs::create_directories("cache/archive");
  const std::string old_index = IndexBytes({{"a", "cache/archive/a.obj"}});
  WriteBytes("cache/data.cache", old_index);
  TCacheManager cache;
  for (const char* name : {"first", "second"}) {
    auto* copy = new TCacheFile();
    copy->Path = "cache/archive/copy.bin";
    cache.Entries.AddObject(name, copy);
  }
  {
    // Room for the count and the first entry, not the second.
    testing::FileSizeLimit limit(old_index.size() + 30);
    cache.Save("cache/data.cache");
  }
  EXPECT_EQ(ReadBytes("cache/data.cache"), old_index);
  EXPECT_EQ(std::distance(fs::directory_iterator("cache"), {}), 2) << "no temporary file";
  cache.Save("cache/data.cache");
  EXPECT_EQ(ReadBytes("cache/data.cache"), IndexBytes({{"first", "cache/archive/copy.bin"},
                                                       {"second", "cache/archive/copy.bin"}}));
}

TEST_F(DataCacheTest, DamagedOrTruncatedIndexesAreRejectedAndTheCacheStartsEmpty) {
  const std::string valid =
      IndexBytes({{"base/a.obj", "cache/archive/one.obj"}, {"b", "cache/archive/two.tga"}});
  std::vector<std::pair<std::string, std::string>> cases = {
      {"negative count", std::string("\xFF\xFF\xFF\xFF", 4)},
      {"count beyond the file", std::string("\xFF\xFF\xFF\x7F", 4)},
      {"name length overruns", valid},
      {"negative name length", valid},
      {"bytes left over", valid + "x"},
  };
  cases[2].second[4] = 100;
  std::memcpy(cases[3].second.data() + 4, "\xFF\xFF\xFF\xFF", 4);
  // Well-formed entries whose copy would lie outside the cache's folder.
  for (const char* path :
       {"../secret.txt", "/etc/passwd", "cache/archive/../../secret.txt", "cache/archive/",
        "cache/archive//x.obj", "cache/archive/./x.obj", "cache/archive\\..\\x.obj",
        "cache/archivex.obj", "cache/other/x.obj", "", "C:/x.obj", "cache/archive/a\nb"}) {
    cases.emplace_back(std::string("path ") + path,
                       IndexBytes({{"b", "cache/archive/two.tga"}, {"base/a.obj", path}}));
  }
  for (size_t length = 0; length < valid.size(); ++length) {
    cases.emplace_back("prefix of " + std::to_string(length), valid.substr(0, length));
  }
  fs::create_directory("cache");
  for (const auto& [name, bytes] : cases) {
    WriteBytes("cache/data.cache", bytes);
    TCacheManager cache;
    cache.Entries.AddObject("stale", new TCacheFile());
    cache.Load("cache/data.cache");
    EXPECT_EQ(cache.Entries.Count, 0) << name;
    ASSERT_FALSE(LogMessages().empty()) << name;
    EXPECT_EQ(LogMessages().back(), "Cache index damaged, starting empty : cache/data.cache")
        << name;
    EXPECT_EQ(ReadBytes("cache/data.cache"), bytes) << name; // loading writes nothing
  }
  // Either separator, and folders below the cache's own, are still inside it.
  for (const char* path : {"cache\\archive\\x.obj", "cache/archive/sub/x.obj"}) {
    EXPECT_TRUE(IsConfinedCachePath(path, kCacheFolder)) << path;
  }
  // The whole index loads, and writing it back gives the same bytes.
  TCacheManager cache;
  StreamOf whole(valid);
  ASSERT_TRUE(cache.Serialize(whole));
  EXPECT_EQ(NamesOf(cache), (Names{"base/a.obj", "b"}));
  TzoMemoryStream written;
  written.SetMode(kStreamWrite);
  ASSERT_TRUE(cache.Serialize(written));
  EXPECT_EQ(std::string(written.Buffer.begin(), written.Buffer.end()), valid);
}

} // namespace
} // namespace meridia
