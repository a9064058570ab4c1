// The installed programs, as a person gets them: `cmake --install` into a fresh prefix, then the
// installed flight tool started headless from an unrelated folder, with the user's folders
// pointed into the test's own. The installed data folder is made read-only and must stay as it
// was installed (root may write it anyway, so what counts is that nothing did); maps, log and
// shots land in the user's folders, and a second run reuses the maps.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;
using meridia::testing::TemporaryFolder;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every entry below the folder with its size and last write, to tell whether anything changed.
std::map<std::string, std::string> Listing(const fs::path& folder) {
  std::map<std::string, std::string> listing;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    struct stat info {};
    stat(entry.path().c_str(), &info);
    listing[entry.path().string()] = std::to_string(info.st_size) + " " +
                                     std::to_string(info.st_mtim.tv_sec) + "." +
                                     std::to_string(info.st_mtim.tv_nsec);
  }
  return listing;
}

// Width and height from a PNG file's header chunk; 0 by 0 when it is not a PNG.
[[maybe_unused]] std::pair<uint32_t, uint32_t> PngSize(const fs::path& path) {
  const std::string bytes = ReadText(path);
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) {
    return {0, 0};
  }
  auto be32 = [&bytes](size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
      value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    }
    return value;
  };
  return {be32(16), be32(20)};
}

class InstallEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(Shell(std::string("'") + MERIDIA_CMAKE + "' --install '" + MERIDIA_BUILD_DIR +
                    "' --prefix '" + prefix_.string() + "' > '" +
                    (root_.path() / "install.txt").string() + "' 2>&1"),
              0)
        << ReadText(root_.path() / "install.txt");
    fs::create_directories(elsewhere_);
    fs::create_directories(root_.path() / "xdg" / "config");
    std::ofstream(root_.path() / "xdg" / "config" / "user-dirs.dirs")
        << "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
  }

  // The installed program from the unrelated folder, as the test's user; output in out.txt.
  int Fly(const std::string& program, const std::string& args) {
    const std::string& dir = root_.path().string();
    return Shell("cd '" + elsewhere_.string() + "' && env HOME='" + dir + "/home' XDG_DATA_HOME='" +
                 dir + "/xdg/data' XDG_STATE_HOME='" + dir + "/xdg/state' XDG_CONFIG_HOME='" + dir +
                 "/xdg/config' SDL_VIDEODRIVER=offscreen '" + (prefix_ / "bin" / program).string() +
                 "' " + args + " > out.txt 2>&1");
  }
  std::string Output() { return ReadText(elsewhere_ / "out.txt"); }

  TemporaryFolder root_;
  fs::path prefix_ = root_.path() / "prefix";
  fs::path elsewhere_ = root_.path() / "elsewhere";
  fs::path data_ = prefix_ / "share" / "meridia" / "base";
  fs::path maps_ = root_.path() / "xdg" / "data" / "meridia" / "maps";
  fs::path log_ = root_.path() / "xdg" / "state" / "meridia" / "meridia-flight.zolog";
  fs::path shots_ = root_.path() / "home" / "Bilder" / "meridia";
};

TEST_F(InstallEndToEnd, EverythingAPersonNeedsIsInstalled) {
  for (const char* program :
       {"meridia", "meridia-detail", "meridia-flight", "meridia-inspect", "meridia-pack"}) {
    SCOPED_TRACE(program);
    const fs::path file = prefix_ / "bin" / program;
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_NE(fs::status(file).permissions() & fs::perms::others_exec, fs::perms::none);
    EXPECT_TRUE(
        fs::is_regular_file(prefix_ / "share" / "man" / "man1" / (std::string(program) + ".1.gz")));
  }
  EXPECT_TRUE(fs::is_regular_file(data_ / "shaders" / "treevp.txt"));
  EXPECT_TRUE(fs::is_regular_file(data_ / "maps" / "cmap_1.tga"));
  EXPECT_TRUE(fs::is_regular_file(data_ / "models" / "city" / "47" / "Bld_47.obj"));
  // Each user's terrain maps are generated on the first run, not shipped.
  EXPECT_FALSE(fs::exists(data_ / "maps" / "errosion.dat"));
  const fs::path desktop = prefix_ / "share" / "applications" / "meridia.desktop";
  ASSERT_TRUE(fs::is_regular_file(desktop));
  EXPECT_EQ(Shell("desktop-file-validate '" + desktop.string() + "'"), 0);
#if MERIDIA_BUILD_ICON
  for (const uint32_t size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u}) {
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    EXPECT_EQ(PngSize(prefix_ / "share" / "icons" / "hicolor" / name / "apps" / "meridia.png"),
              std::make_pair(size, size))
        << name;
  }
#endif
  ASSERT_EQ(Fly("meridia", "--version"), 0);
  EXPECT_EQ(Output(), std::string("meridia ") + MERIDIA_VERSION + "\n");
}

TEST_F(InstallEndToEnd, AnInstalledCopyWritesIntoTheUsersFoldersAndReusesItsMaps) {
  ASSERT_EQ(Shell("chmod -R a-w '" + data_.string() + "'"), 0);
  const auto installed = Listing(data_);

  ASSERT_EQ(Fly("meridia-flight", "--frames 3 --shot 3"), 0) << Output();
  const std::string log = ReadText(log_);
  EXPECT_NE(log.find(std::string("meridia-flight ") + MERIDIA_VERSION + "\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("Data folder : " + data_.string() + " (installed, not written to)\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Generating terrain maps"), std::string::npos) << log;
  EXPECT_EQ(log.find("Terrain maps unavailable"), std::string::npos) << log;
  EXPECT_EQ(fs::file_size(maps_ / "errosion.dat"), 8u + 2048u * 2048u * 4u);
  EXPECT_EQ(fs::file_size(maps_ / "basemap.dat"), 8u + 2048u * 2048u * 4u);
  EXPECT_TRUE(fs::is_regular_file(shots_ / "frame_00003.tga")) << Output();
  // Nothing lands in the folder it was started from, nor in the installed data.
  EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere_), fs::directory_iterator()), 1);
  EXPECT_EQ(Listing(data_), installed);

  const auto maps = Listing(maps_);
  ASSERT_EQ(Fly("meridia-flight", "--frames 2"), 0) << Output();
  const std::string second = ReadText(log_);
  EXPECT_EQ(second.find("Generating terrain maps"), std::string::npos) << second;
  EXPECT_EQ(second.find("Terrain maps unavailable"), std::string::npos) << second;
  EXPECT_EQ(Listing(maps_), maps);
  EXPECT_EQ(Listing(data_), installed);
  Shell("chmod -R u+w '" + data_.string() + "'");
}

TEST_F(InstallEndToEnd, WithoutItsDataTheProgramSaysWhereItLookedAndFails) {
  fs::rename(data_, data_.parent_path() / "moved");
  EXPECT_EQ(Fly("meridia-flight", "--frames 1"), 1);
  EXPECT_NE(Output().find("Cannot find the data folder. Looked in:\n" + elsewhere_.string() +
                          "/base\n" + (prefix_ / "bin").string() + "/base\n" + data_.string()),
            std::string::npos)
      << Output();
  // With no data folder it cannot tell an installed copy: the log stays beside the program.
  EXPECT_NE(ReadText(prefix_ / "bin" / "meridia-flight.zolog").find("Data folder not found"),
            std::string::npos);
}

} // namespace
