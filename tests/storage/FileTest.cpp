#include "storage/File.h"

#include "StorageTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

namespace meridia {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class FileTest : public testing::TempFolderTest {};

TEST_F(FileTest, WritesThenReadsBackWithTheSameRoutine) {
  int32_t number = 0x01020304;
  int64_t big = -2;
  std::string text = "abc";
  const auto transfer = [&](TzoFile& file) {
    file.TransferInt32(number);
    file.TransferInt64(big);
    file.TransferString(text);
  };
  TzoFile file;
  ASSERT_TRUE(file.OpenWrite("data.bin", false));
  EXPECT_EQ(file.Mode, kStreamWrite);
  transfer(file);
  EXPECT_EQ(file.GetSize(), 19);
  EXPECT_EQ(file.GetPosition(), 19);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadBytes("data.bin").substr(0, 4), "\x04\x03\x02\x01");

  ASSERT_TRUE(file.OpenRead("data.bin", false));
  EXPECT_EQ(file.Mode, kStreamRead);
  number = 0, big = 0, text.clear();
  transfer(file);
  EXPECT_TRUE(number == 0x01020304 && big == -2 && text == "abc");
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(FileTest, NamesThatAreNoFileLogAndFail) {
  std::filesystem::create_directory("folder");
  WriteBytes("plain", "keep");
  for (const char* name : {"", "missing.txt", "folder", "folder\\", "plain/inner.txt"}) {
    TzoFile file;
    EXPECT_FALSE(file.OpenRead(name, false)) << name;
    EXPECT_FALSE(file.IsOpen()) << name;
    EXPECT_EQ(LogMessages().back(), "File Not Found : " + std::string(name)) << name;
    // A closed file moves nothing and reports nothing.
    int32_t value = 5;
    file.TransferInt32(value);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(file.GetPosition(), 0);
  }
  // OpenWrite creates no folder, refuses folders and logs nothing.
  const size_t logged = LogMessages().size();
  TzoFile file;
  for (const char* name : {"", "missing/new.bin", "folder", "plain/new.bin"}) {
    EXPECT_FALSE(file.OpenWrite(name, false)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists("missing"));
  EXPECT_TRUE(std::filesystem::is_directory("folder"));
  EXPECT_EQ(ReadBytes("plain"), "keep");
  EXPECT_EQ(LogMessages().size(), logged);
  // An existing file is emptied.
  ASSERT_TRUE(file.OpenWrite("plain", false));
  file.Close();
  EXPECT_EQ(ReadBytes("plain"), "");
}

TEST_F(FileTest, ShortOrRefusedTransfersLogAndKeepTheBufferTail) {
  WriteBytes("six.bin", "123456");
  TzoFile file;
  ASSERT_TRUE(file.OpenRead("six.bin", false));
  file.SetPosition(4);
  std::array<char, 4> out = {'-', '-', '-', '-'};
  file.TransferBuffer(out.data(), 4);
  EXPECT_EQ(std::string(out.data(), 4), "56--");
  EXPECT_EQ(file.GetPosition(), 6);
  // Opened for reading only: a write is refused by the system, with the same line.
  file.SetMode(kStreamWrite);
  file.TransferBuffer(out.data(), 2);
  EXPECT_EQ(ReadBytes("six.bin"), "123456");
  // A negative position is refused and leaves the position where it was.
  file.SetPosition(-1);
  EXPECT_EQ(file.GetPosition(), 6);
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"IO Error : Read after end of file",
                                                     "IO Error : Read after end of file",
                                                     "IO Error : Seek refused : six.bin"}));
}

TEST_F(FileTest, SetSizeAndTruncateCutAtThePosition) {
  TzoFile file;
  ASSERT_TRUE(file.OpenWrite("cut.bin", true));
  std::string ten = "0123456789";
  file.TransferBuffer(ten.data(), 10);
  file.SetSize(4);
  EXPECT_EQ(file.GetSize(), 4);
  EXPECT_EQ(file.GetPosition(), 4);
  file.SetPosition(2);
  file.Truncate();
  file.SetSize(-1); // refused: must not cut the file at the position
  EXPECT_EQ(file.GetSize(), 2);
  file.Close();
  EXPECT_EQ(ReadBytes("cut.bin"), "01");
  // Reopening closes the previous file first: no descriptor is left behind.
  const auto open_files = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  ASSERT_TRUE(file.OpenRead("cut.bin", true));
  const auto before = open_files();
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(file.OpenRead("cut.bin", false));
    ASSERT_TRUE(file.OpenWrite("other.bin", false));
  }
  EXPECT_EQ(open_files(), before);
}

} // namespace
} // namespace meridia
