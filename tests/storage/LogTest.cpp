#include "storage/Log.h"

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include "StorageTestSupport.h"
#include "support/TemporaryFolder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace meridia {
namespace {

using testing::ReadBytes;

LogTime g_now{};
LogTime FakeClock() {
  return g_now;
}

class LogTest : public ::testing::Test {
protected:
  void SetUp() override {
    g_now = {9, 5, 3, 45};
    SetLogClock(FakeClock);
  }
  void TearDown() override {
    LogFinish();
    SetLogClock(nullptr);
  }
  testing::TemporaryFolder dir_;
};

TEST_F(LogTest, StampsRepeatsAndBlankMessages) {
  ASSERT_TRUE(LogStart(dir_ / "run.zolog"));
  LogWrite("same millisecond");
  g_now = {9, 5, 3, 46};
  LogWrite(" \t\r\n"); // must neither write nor take the new stamp
  LogWrite(std::string(1, '\0'));
  LogWrite("  leading blanks kept ");
  LogWrite("\xA0\xE9"); // bytes above 127 are text, not blanks
  g_now = {23, 59, 59, 999};
  LogWrite("last");
  g_now = {0, 0, 0, 0};
  LogError(1000, "x");
  LogFinish();
  EXPECT_FALSE(LogIsOpen());
  LogWrite("after the finish");
  EXPECT_EQ(ReadBytes(dir_ / "run.zolog"), "[ 9: 5: 3: 45] Log Started\n"
                                           "< 9: 5: 3: 45> same millisecond\n"
                                           "[ 9: 5: 3: 46]   leading blanks kept \n"
                                           "< 9: 5: 3: 46> \xA0\xE9\n"
                                           "[23:59:59:999] last\n"
                                           "[ 0: 0: 0:  0] Error : 1000 Caption : x\n"
                                           "< 0: 0: 0:  0> Log Finished\n");
}

TEST_F(LogTest, EachStartEmptiesItsFileAndFinishesThePreviousLog) {
  std::ofstream(dir_ / "run.zolog") << "left from an earlier run\n";
  ASSERT_TRUE(LogStart(dir_.path().string() + "\\run.zolog"));
  ASSERT_TRUE(LogStart(dir_ / "next.zolog"));
  // The same millisecond as the previous log's last line, yet a new log opens with "[".
  const std::string started = "[ 9: 5: 3: 45] Log Started\n";
  EXPECT_EQ(ReadBytes(dir_ / "run.zolog"), started + "< 9: 5: 3: 45> Log Finished\n");
  EXPECT_EQ(ReadBytes(dir_ / "next.zolog"), started);
}

TEST_F(LogTest, UncreatableFileLeavesTheLogOffAndWritesNowhere) {
  EXPECT_FALSE(LogStart(dir_ / "missing/run.zolog"));
  EXPECT_FALSE(LogIsOpen());
  LogWrite("dropped");
  LogFinish();
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(LogTest, RealClockGivesAWellFormedStamp) {
  SetLogClock(nullptr);
  ASSERT_TRUE(LogStart(dir_ / "real.zolog"));
  const std::string line = ReadBytes(dir_ / "real.zolog");
  int hour = -1, minute = -1, second = -1, millisecond = -1;
  ASSERT_EQ(std::sscanf(line.c_str(), "[%2d:%2d:%2d:%3d] Log Started", &hour, &minute, &second,
                        &millisecond),
            4);
  EXPECT_EQ(line.size(), std::string("[hh:mm:ss:mmm] Log Started\n").size());
  EXPECT_TRUE(hour < 24 && minute < 60 && second < 61 && millisecond < 1000);
}

TEST(LogFileNameTest, ReplacesOnlyTheProgramFileExtension) {
  EXPECT_EQ(platform::NativePath(LogFileNameFor("/work/a.b/meridia")), "/work/a.b/meridia.zolog");
  EXPECT_EQ(LogFileNameFor("prog.exe"), "prog.zolog");
}

} // namespace
} // namespace meridia
