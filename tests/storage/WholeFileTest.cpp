#include "storage/WholeFile.h"

#include "StorageTestSupport.h"
#include "storage/File.h"

#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace meridia {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;
using Names = std::vector<std::string>;

class WholeFileTest : public testing::TempFolderTest {
protected:
  static Names Entries(const std::string& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  // 4 KiB in two transfers, so that a failure can come in the middle of either.
  static bool Save(const std::string& name) {
    return WriteWholeFile(name, [](TzoFile& file) {
      EXPECT_EQ(file.Mode, kStreamWrite);
      EXPECT_EQ(file.GetPosition(), 0);
      std::string half(2048, 'n');
      file.TransferBlock(half.data(), 2048);
      file.TransferBlock(half.data(), 2048);
    });
  }
};

TEST_F(WholeFileTest, AFileIsReplacedWholeOrNotAtAll) {
  const struct {
    const char* name;
    std::optional<std::string> before;
    uint64_t limit; // 0: none; else the size no file may grow past, as on a full disk
    bool written;
    size_t refused; // transfers that came out short
  } cases[] = {
      {"new", std::nullopt, 0, true, 0},
      {"replaced", "old", 0, true, 0},
      {"full disk in the second transfer, old file kept", "old", 3000, false, 1},
      {"full disk in the first transfer, none made", std::nullopt, 1000, false, 2},
  };
  fs::create_directory("data");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove("data/x.bin");
    if (c.before) {
      WriteBytes("data/x.bin", *c.before);
    }
    const size_t logged = LogMessages().size();
    bool written = false;
    if (c.limit != 0) {
      testing::FileSizeLimit limit(c.limit);
      written = Save("data/x.bin");
    } else {
      written = Save("data/x.bin");
    }
    EXPECT_EQ(written, c.written);
    const bool exists = written || c.before.has_value();
    EXPECT_EQ(Entries("data"), exists ? Names{"x.bin"} : Names{}) << "no temporary file is left";
    if (exists) {
      EXPECT_EQ(ReadBytes("data/x.bin"), written ? std::string(4096, 'n') : *c.before);
    }
    // The file layer's own line, once per short transfer.
    const Names log = LogMessages();
    EXPECT_EQ(Names(log.begin() + static_cast<ptrdiff_t>(logged), log.end()),
              Names(c.refused, "IO Error : Read after end of file"));
  }

  // Places that take no file: nothing is made, nothing said, a folder in the way stays.
  fs::create_directory("data/folder.bin");
  for (const char* name : {"", "missing/x.bin", "data/folder.bin", "data/x.bin/inner"}) {
    EXPECT_FALSE(Save(name)) << name;
  }
  EXPECT_TRUE(fs::is_directory("data/folder.bin"));
  EXPECT_EQ(Entries("data/folder.bin"), Names{});
  EXPECT_FALSE(fs::exists("missing"));
  EXPECT_EQ(LogMessages().size(), 3u);
}

} // namespace
} // namespace meridia
