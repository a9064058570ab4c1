#include "storage/FilePaths.h"

#include "StorageTestSupport.h"
#include "engine/Random.h"
#include "storage/DataManager.h"

#include <gtest/gtest.h>

#include <utime.h>

#include <ctime>
#include <filesystem>
#include <string>

namespace meridia {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;

TEST(FilePathsTest, ChangeFileExtLooksOnlyAtDotBackslashAndColon) {
  const struct {
    const char *path, *ext, *expected;
  } cases[] = {
      {"C:\\dir.x\\prog", ".zolog", "C:\\dir.x\\prog.zolog"},
      {"C:\\dir.x\\prog.exe", ".zolog", "C:\\dir.x\\prog.zolog"},
      {"a.b/c", ".zolog", "a.zolog"}, // "/" is no delimiter here
      {"C:x", ".zolog", "C:x.zolog"},
      {"x.y:z", ".zolog", "x.y:z.zolog"},
      {"a.tar.gz", ".txt", "a.tar.txt"},
      {"prog.exe", "", "prog"},
      {"", ".zolog", ".zolog"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChangeFileExt(c.path, c.ext), c.expected) << c.path;
  }
}

TEST(FilePathsTest, DelimiterOperations) {
  EXPECT_EQ(ToForwardSlashes("a\\b/c\\"), "a/b/c/");
  EXPECT_EQ(ToBackslashes("a\\b/c/"), "a\\b\\c\\");
  EXPECT_TRUE(IsPathDelimiter("a\\b", 2));
  EXPECT_FALSE(IsPathDelimiter("a/", 0)); // positions are 1-based
  EXPECT_FALSE(IsPathDelimiter("a/", 3));
  EXPECT_FALSE(IsPathDelimiter("", 1));

  const struct {
    const char *path, *include, *exclude;
  } trailing[] = {{"", "\\", ""},
                  {"base/", "base/", "base"},
                  {"base\\", "base\\", "base"},
                  {"base", "base\\", "base"},
                  {"a//", "a//", "a/"},
                  {"/", "/", ""}};
  for (const auto& c : trailing) {
    EXPECT_EQ(IncludeTrailingDelimiter(c.path), c.include) << c.path;
    EXPECT_EQ(ExcludeTrailingDelimiter(c.path), c.exclude) << c.path;
  }
  EXPECT_EQ(LastDelimiter("\\:", "C:\\a\\b"), 5);
  EXPECT_EQ(LastDelimiter("\\", "a/b"), 0);
  EXPECT_EQ(LastDelimiter("", "abc"), 0);
}

TEST(FilePathsTest, NameParts) {
  const struct {
    const char *path, *folder, *name, *ext;
  } cases[] = {
      {"base/maps/cmap_1.tga", "base\\maps\\", "cmap_1.tga", "tga"},
      {"dir.d/file", "dir.d\\", "file", ""},
      {"base\\city\\47\\Bld_47.obj", "base\\city\\47\\", "Bld_47.obj", "obj"},
      {"C:prog.exe", "C:", "prog.exe", "exe"},
      {"a.tar.gz", "", "a.tar.gz", "gz"},
      {"screens/", "screens\\", "", ""},
      {"trailing.", "", "trailing.", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.path), c.folder) << c.path;
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(ExtractFileExtNoDot(c.path), c.ext) << c.path;
  }
}

class FilePathsDiskTest : public testing::TempFolderTest {};

TEST_F(FilePathsDiskTest, FolderAndFileQueries) {
  fs::create_directories("base/Maps");
  WriteBytes("base/Maps/errosion.dat", "x");
  EXPECT_TRUE(DirectoryExists("base\\maps\\"));
  EXPECT_FALSE(DirectoryExists("base/maps/errosion.dat"));
  EXPECT_FALSE(DirectoryExists("nothing"));
  EXPECT_FALSE(DirectoryExists(""));

  EXPECT_NE(FileAge("base\\maps\\ERROSION.dat"), -1);
  for (const char* not_a_file : {"base/maps", "base/maps/", "missing", "base/maps/errosion.dat/"}) {
    EXPECT_EQ(FileAge(not_a_file), -1) << not_a_file;
    EXPECT_FALSE(FileExists(not_a_file)) << not_a_file;
  }
}

TEST_F(FilePathsDiskTest, FileAgeIsThePackedLocalTimeOfTheLastWrite) {
  WriteBytes("dated", "x");
  tm local{};
  local.tm_year = 2021 - 1900;
  local.tm_mon = 3 - 1;
  local.tm_mday = 4;
  local.tm_hour = 5;
  local.tm_min = 6;
  local.tm_sec = 9; // DOS keeps seconds in steps of two
  local.tm_isdst = -1;
  const utimbuf times{mktime(&local), mktime(&local)};
  ASSERT_EQ(utime("dated", &times), 0);
  EXPECT_EQ(static_cast<uint32_t>(FileAge("dated")),
            (41u << 25 | 3u << 21 | 4u << 16) | (5u << 11 | 6u << 5 | 4u));
  // Before 1980 the DOS form has no field for it; the file still exists.
  const utimbuf epoch{0, 0};
  ASSERT_EQ(utime("dated", &epoch), 0);
  EXPECT_EQ(FileAge("dated"), (1 << 5 | 1) << 16);
  EXPECT_TRUE(FileExists("dated"));
}

TEST_F(FilePathsDiskTest, ForceDirectories) {
  // The parent of "screens" is empty: logged, counted as made, then the folder is created.
  EXPECT_TRUE(ForceDirectories("screens/"));
  EXPECT_TRUE(fs::is_directory("screens"));
  EXPECT_EQ(LogMessages(), std::vector<std::string>{"Unable to create directory"});
  EXPECT_TRUE(ForceDirectories("screens/"));
  EXPECT_EQ(LogMessages().size(), 1u);

  // A two-letter top folder counts as present (it might be a drive), so nothing is made.
  EXPECT_FALSE(ForceDirectories("ab\\cd\\ef"));
  EXPECT_FALSE(fs::exists("ab"));
  EXPECT_EQ(LogMessages().size(), 1u);

  // Every new top folder passes through the empty parent and its log line.
  EXPECT_TRUE(ForceDirectories("base/Deep\\er/x"));
  EXPECT_TRUE(fs::is_directory("base/Deep/er/x"));
  EXPECT_EQ(LogMessages().size(), 2u);
  // Existing folders are matched ignoring case; nothing new appears beside them.
  EXPECT_TRUE(ForceDirectories("BASE\\deep\\ER\\y"));
  EXPECT_TRUE(fs::is_directory("base/Deep/er/y"));
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 2);
  EXPECT_EQ(LogMessages().size(), 2u);

  // Below a regular file nothing can be made (as in a read-only place); the file is untouched.
  WriteBytes("plain", "keep");
  EXPECT_FALSE(ForceDirectories("plain/sub/folder"));
  EXPECT_FALSE(ForceDirectories("plain"));
  EXPECT_EQ(ReadBytes("plain"), "keep");
  EXPECT_EQ(LogMessages(), std::vector<std::string>(4, "Unable to create directory"));
}

TEST_F(FilePathsDiskTest, MakeUniqueFileNameDrawsFromTheSharedGenerator) {
  SetRandSeed(1234);
  const std::string first = MakeUniqueFileName("", "obj");
  ASSERT_EQ(first.size(), 21u + 4u);
  EXPECT_EQ(first.substr(21), ".obj");
  EXPECT_EQ(first.find_first_not_of("qazwsxedcrfvtgbyhnujmikolp"), 21u);
  // The same seed gives the same name, after the folder; once that name exists the next draw is
  // taken.
  SetRandSeed(1234);
  EXPECT_EQ(MakeUniqueFileName("cache/archive/", "obj"), "cache/archive/" + first);
  WriteBytes(first, "taken");
  SetRandSeed(1234);
  const std::string second = MakeUniqueFileName("", "obj");
  EXPECT_NE(second, first);
  EXPECT_EQ(second.size(), 25u);
}

} // namespace
} // namespace meridia
