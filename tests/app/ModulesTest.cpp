#include "app/Modules.h"

#include "platform/FileSystem.h"
#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/Log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace meridia {
namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Modules, StartInOrderAndFinishInReverse) {
  ASSERT_EQ(Modules().size(), 3u);
  EXPECT_STREQ(Modules()[0].name, "log");
  EXPECT_STREQ(Modules()[1].name, "cache");
  EXPECT_STREQ(Modules()[2].name, "archives");

  // A damaged cache index in the current folder: the cache reports it through the log, so the
  // log must already be open, and writes a valid index back before the log closes.
  char pattern[] = "/tmp/meridia-modules-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string previous = std::filesystem::current_path();
  std::filesystem::create_directory(dir + "/cache");
  std::ofstream(dir + "/cache/data.cache", std::ios::binary)
      << std::string("\x07\x00\x00\x00junk", 8); // seven entries promised, four bytes left
  ASSERT_EQ(chdir(dir.c_str()), 0);

  InitializeModules();
  EXPECT_TRUE(LogIsOpen());
  EXPECT_NE(CacheManager(), nullptr);
  EXPECT_NE(ArchiveList(), nullptr);
  LogWrite("between");
  FinalizeModules();
  EXPECT_FALSE(LogIsOpen());
  EXPECT_EQ(CacheManager(), nullptr);
  EXPECT_EQ(ArchiveList(), nullptr);

  ASSERT_EQ(chdir(previous.c_str()), 0);
  EXPECT_EQ(ReadBytes(dir + "/cache/data.cache"), std::string(4, '\0'));
  std::filesystem::remove_all(dir);

  // The log lives beside this test program, named after it.
  const auto lines = ReadLines(platform::NativePath(LogFileNameFor(platform::ExecutablePath())));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines.front().find("] Log Started"), std::string::npos);
  EXPECT_NE(lines[1].find(" Cache index damaged, starting empty : cache/data.cache"),
            std::string::npos)
      << lines[1];
  EXPECT_NE(lines[2].find(" between"), std::string::npos);
  EXPECT_NE(lines.back().find(" Log Finished"), std::string::npos);
}

} // namespace
} // namespace meridia
