#include "app/Modules.h"

#include "app/SystemInfo.h"
#include "app/Version.h"
#include "decoders/ImageDecoders.h"
#include "engine/WorkerPool.h"
#include "models/Material.h"
#include "platform/FileSystem.h"
#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/Log.h"
#include "storage/ProgramFolders.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace meridia {
namespace {

TEST(Modules, StartInOrderAndFinishInReverse) {
  const std::vector<std::string> order = {"os version",      "folders",      "log",
                                          "cache",           "archives",     "image decoders",
                                          "materials",       "tree shaders", "tree generator",
                                          "planetary trees", "worker pool"};
  ASSERT_EQ(Modules().size(), order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(Modules()[i].name, order[i]);
  }
  std::string index;
  {
    // A damaged cache index: the cache reports it through the log, so the log must already be
    // open, and writes a valid index back before the log closes.
    testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
    std::filesystem::create_directory("cache");
    std::ofstream("cache/data.cache", std::ios::binary)
        << std::string("\x07\x00\x00\x00junk", 8); // seven entries promised, four bytes left
    InitializeModules();
    EXPECT_TRUE(OSVersionRecorded());
    EXPECT_TRUE(ProgramFoldersChosen());
    EXPECT_TRUE(LogIsOpen());
    EXPECT_NE(CacheManager(), nullptr);
    EXPECT_NE(ArchiveList(), nullptr);
    EXPECT_NE(FormatByExtension("jpg"), nullptr);
    EXPECT_NE(TexturesList(), nullptr);
    EXPECT_NE(ProgramFiles, nullptr);
    EXPECT_NE(TreeTextureNames, nullptr);
    EXPECT_NE(SharedWorkerPool(), nullptr);
    TreeKinds.push_back(std::make_unique<TTree>());
    LogWrite("between");
    FinalizeModules();
    EXPECT_FALSE(OSVersionRecorded());
    EXPECT_FALSE(ProgramFoldersChosen());
    EXPECT_FALSE(LogIsOpen());
    EXPECT_EQ(CacheManager(), nullptr);
    EXPECT_EQ(ArchiveList(), nullptr);
    EXPECT_EQ(FormatByExtension("jpg"), nullptr);
    EXPECT_EQ(TexturesList(), nullptr);
    EXPECT_EQ(ProgramFiles, nullptr);
    EXPECT_EQ(TreeTextureNames, nullptr);
    EXPECT_TRUE(TreeKinds.empty());
    EXPECT_EQ(SharedWorkerPool(), nullptr);
    std::ifstream in("cache/data.cache", std::ios::binary);
    index.assign(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_EQ(index, std::string(4, '\0'));

  // The log lives beside this test program, named after it. Its first lines name the program
  // with its version, the world, and where the data was looked for (a test has none).
  const std::string log_file = platform::NativePath(LogFileNameFor(platform::ExecutablePath()));
  std::ifstream log(log_file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) {
    lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_NE(lines[0].find("] Log Started"), std::string::npos);
  EXPECT_NE(lines[1].find(" app_tests " + std::string(ProgramVersion())), std::string::npos)
      << lines[1];
  // The stamp closes with '>' when it repeats the line before's time and with ']' when not,
  // which depends on how fast the lines come.
  EXPECT_EQ(lines[2].substr(lines[2].find_first_of("]>") + 1), " World : seed 500") << lines[2];
  EXPECT_NE(lines[3].find(" Data folder not found, looked in : "), std::string::npos) << lines[3];
  EXPECT_NE(lines[4].find(" Log : " + log_file), std::string::npos) << lines[4];
  EXPECT_NE(lines[5].find(" Cache index damaged, starting empty : cache/data.cache"),
            std::string::npos)
      << lines[5];
  EXPECT_NE(lines[6].find(" between"), std::string::npos);
  EXPECT_NE(lines[7].find(" Log Finished"), std::string::npos);
}

} // namespace
} // namespace meridia
