#include "storage/FilePaths.h"

#include <gtest/gtest.h>

namespace meridia {
namespace {

TEST(FilePathsTest, ChangeFileExtLooksOnlyAtDotBackslashAndColon) {
  const struct {
    const char* path;
    const char* ext;
    const char* expected;
  } cases[] = {
      {"C:\\dir.x\\prog", ".zolog", "C:\\dir.x\\prog.zolog"},
      {"C:\\dir.x\\prog.exe", ".zolog", "C:\\dir.x\\prog.zolog"},
      {"a/b.exe", ".zolog", "a/b.zolog"},
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
  EXPECT_EQ(ChangeFileExt(ToBackslashes("/w/a.b/c"), ".zolog"), "\\w\\a.b\\c.zolog");
}

} // namespace
} // namespace meridia
