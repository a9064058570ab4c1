#include "app/Modules.h"

#include "platform/FileSystem.h"
#include "storage/Log.h"

#include <gtest/gtest.h>

#include <fstream>
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

TEST(Modules, StartInOrderAndFinishInReverse) {
  ASSERT_EQ(Modules().size(), 1u);
  EXPECT_STREQ(Modules()[0].name, "log");

  InitializeModules();
  EXPECT_TRUE(LogIsOpen());
  LogWrite("between");
  FinalizeModules();
  EXPECT_FALSE(LogIsOpen());

  // The log lives beside this test program, named after it.
  const auto lines = ReadLines(platform::NativePath(LogFileNameFor(platform::ExecutablePath())));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines.front().find("] Log Started"), std::string::npos);
  EXPECT_NE(lines[1].find(" between"), std::string::npos);
  EXPECT_NE(lines.back().find(" Log Finished"), std::string::npos);
}

} // namespace
} // namespace meridia
