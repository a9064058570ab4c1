// Where meridia-inspect writes an extracted entry: always below the folder it was given.
#include "ExtractPath.h"

#include <gtest/gtest.h>

#include <string>

namespace meridia::inspect {
namespace {

TEST(ExtractPath, NamesStayBelowTheFolder) {
  const struct {
    std::string name;
    const char* expected; // null: refused
  } cases[] = {
      {"base/shaders/treevp.txt", "out/base/shaders/treevp.txt"},
      {"Base\\Models\\City\\b.obj", "out/Base/Models/City/b.obj"},
      {"./a//b/./c", "out/a/b/c"},
      {"name..with..dots", "out/name..with..dots"},
      {"...", "out/..."},
      {"../evil", nullptr},
      {"a/../../evil", nullptr},
      {"a\\..\\b", nullptr},
      {"..", nullptr},
      {"/etc/passwd", nullptr},
      {"\\\\server\\share", nullptr},
      {"C:\\windows", nullptr},
      {"c:relative", nullptr},
      {"", nullptr},
      {".", nullptr},
      {"./", nullptr},
      {std::string("a\0b", 3), nullptr},
  };
  for (const auto& c : cases) {
    const auto path = ExtractPath("out", c.name);
    if (c.expected == nullptr) {
      EXPECT_FALSE(path.has_value()) << c.name;
    } else {
      ASSERT_TRUE(path.has_value()) << c.name;
      EXPECT_EQ(path->string(), c.expected);
    }
  }
}

} // namespace
} // namespace meridia::inspect
