#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace meridia::platform {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories("base/Textures/Galaxy");
    fs::create_directories("base/models/City/47");
    std::ofstream("base/Textures/Galaxy/Star.tga") << "star";
    std::ofstream("base/models/City/47/Bld_47.obj") << "v";
  }
  testing::TemporaryFolder folder_{testing::TemporaryFolder::Enter::kYes};
  std::string dir_ = folder_.path().string();
};

TEST_F(FileSystemTest, ResolvesWindowsNamesComponentByComponent) {
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"base/textures", "base/Textures"},
      {"base\\TEXTURES\\galaxy\\STAR.TGA", "base/Textures/Galaxy/Star.tga"},
      {"base\\models\\city\\47\\Bld_47.obj", "base/models/City/47/Bld_47.obj"},
      {"./Base/./textures/../Textures/", "./base/./Textures/../Textures/"},
      // Only the first missing component ends the matching; the rest stays as written.
      {"base/textures/New/Sub\\x", "base/Textures/New/Sub/x"},
      {"base/textures/galaxy/new.tga", "base/Textures/Galaxy/new.tga"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolvePath(c.name), c.expected) << c.name;
  }
  EXPECT_EQ(ResolvePath(dir_ + "/BASE/textures"), dir_ + "/base/Textures");
  EXPECT_EQ(NativePath("a\\B/c"), "a/B/c");
}

TEST_F(FileSystemTest, ExactNamesWinAndFoldersOnTheWayMustBeFolders) {
  fs::create_directory("base/textures"); // now both spellings exist
  std::ofstream("base/textures/leaf.tga") << "lower";
  EXPECT_EQ(ResolvePath("base/textures/leaf.tga"), "base/textures/leaf.tga");
  EXPECT_EQ(ResolvePath("base/TEXTURES/leaf.tga"), "base/Textures/leaf.tga"); // byte order
  // "maps" is a file; the folder "MAPS" is the one a path through it means.
  std::ofstream("base/maps") << "file";
  fs::create_directory("base/MAPS");
  EXPECT_EQ(ResolvePath("base/maps/x.dat"), "base/MAPS/x.dat");
  EXPECT_EQ(ResolvePath("base/Maps"), "base/MAPS");
}

TEST_F(FileSystemTest, EntriesAndFolders) {
  EXPECT_EQ(QueryEntry("BASE/textures/galaxy/star.tga").kind, EntryKind::kFile);
  EXPECT_EQ(QueryEntry("BASE/textures/galaxy/star.tga").size, 4);
  EXPECT_EQ(QueryEntry("base\\Textures\\").kind, EntryKind::kDirectory);
  EXPECT_EQ(QueryEntry("base/nothing").kind, EntryKind::kMissing);
  EXPECT_EQ(QueryEntry("").kind, EntryKind::kMissing);
  EXPECT_EQ(QueryEntry("/dev/null").kind, EntryKind::kOther);
  const LocalDateTime when = QueryEntry("base/models/city/47/bld_47.obj").last_write;
  EXPECT_GE(when.year, 2020);
  EXPECT_GE(when.month, 1);

  EXPECT_TRUE(MakeDirectory("BASE\\textures\\Smoke"));
  EXPECT_TRUE(fs::is_directory("base/Textures/Smoke"));
  EXPECT_FALSE(MakeDirectory("base/textures/SMOKE")); // exists, in another spelling
  EXPECT_FALSE(MakeDirectory("base/missing/x"));
  EXPECT_FALSE(MakeDirectory(""));

  EXPECT_FALSE(RemoveFile("base/textures")); // a folder is never a file
  EXPECT_TRUE(fs::exists("base/Textures"));
  EXPECT_TRUE(RemoveFile("base/textures/galaxy/STAR.tga"));
  EXPECT_FALSE(fs::exists("base/Textures/Galaxy/Star.tga"));
}

// Roots place the program's relative names elsewhere: the data folder under "base", the user's
// maps over the installed ones, and the write folders; everything else stays as it was.
TEST_F(FileSystemTest, NamesUnderARootGoToItsFolders) {
  fs::create_directories("installed/Textures/Galaxy");
  fs::create_directories("installed/maps");
  fs::create_directories("user/maps");
  std::ofstream("installed/Textures/Galaxy/Star.tga") << "star";
  std::ofstream("installed/maps/cmap_1.tga") << "colours";
  std::ofstream("installed/maps/errosion.dat") << "installed";
  std::ofstream("user/maps/errosion.dat") << "user";
  SetPathRoots({{"base", {dir_ + "/installed"}},
                {"base\\maps", {dir_ + "/user/maps", dir_ + "/installed/maps"}},
                {"screens", {dir_ + "/pictures/meridia"}}});
  const struct {
    const char* name;
    const char* expected; // below the test's folder; "." for a name left as it was
  } cases[] = {
      {"base\\TEXTURES\\galaxy\\STAR.TGA", "installed/Textures/Galaxy/Star.tga"},
      {"Base/models/city", "installed/models/city"},
      {"base", "installed"},
      {"base/maps/errosion.dat", "user/maps/errosion.dat"},  // the user's copy first
      {"BASE/Maps/cmap_1.tga", "installed/maps/cmap_1.tga"}, // only the installed one has it
      {"base/maps/basemap.dat", "user/maps/basemap.dat"},    // new files go to the first folder
      {"base/maps/", "user/maps/"},
      {"screens/screen_00001.tga", "pictures/meridia/screen_00001.tga"},
      {"basement/x", "."},
      {"cache/data.cache", "."},
      {"./base/x", "."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string expected =
        std::string(c.expected) == "." ? NativePath(c.name) : dir_ + "/" + c.expected;
    EXPECT_EQ(ResolvePath(c.name), expected);
  }
  EXPECT_EQ(NativePath("base\\maps\\errosion.dat"), dir_ + "/user/maps/errosion.dat");
  EXPECT_EQ(NativePath("base/maps/cmap_1.tga"), dir_ + "/installed/maps/cmap_1.tga");
  EXPECT_EQ(NativePath("basement\\x"), "basement/x");

  // A root's own folder is made with the parents the program cannot name; below it, not.
  EXPECT_FALSE(MakeDirectory("screens/a/b"));
  EXPECT_TRUE(MakeDirectory("screens"));
  EXPECT_TRUE(fs::is_directory(dir_ + "/pictures/meridia"));
  EXPECT_FALSE(MakeDirectory("screens/"));

  SetPathRoots({});
  EXPECT_EQ(ResolvePath("base/maps/errosion.dat"), "base/maps/errosion.dat");
}

TEST_F(FileSystemTest, FilesOpenOnlyAsPlainFiles) {
  EXPECT_EQ(OpenFile("base/textures", OpenMode::kRead), kNoFile);
  EXPECT_EQ(OpenFile("base/textures", OpenMode::kCreate), kNoFile);
  EXPECT_EQ(OpenFile("missing.bin", OpenMode::kRead), kNoFile);
  EXPECT_EQ(OpenFile("", OpenMode::kCreate), kNoFile);
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  EXPECT_EQ(OpenFile("pipe", OpenMode::kRead), kNoFile); // refused, without waiting
  EXPECT_EQ(OpenFile("pipe", OpenMode::kCreate), kNoFile);

  // A new file lands in the folder found; a file opened for reading refuses writes.
  CloseFile(OpenFile("Base/new.bin", OpenMode::kCreate));
  EXPECT_TRUE(fs::exists("base/new.bin"));
  const FileHandle reader = OpenFile("base/NEW.bin", OpenMode::kRead);
  ASSERT_NE(reader, kNoFile);
  EXPECT_EQ(WriteFile(reader, "x", 1), -1);
  CloseFile(reader);
}

} // namespace
} // namespace meridia::platform
