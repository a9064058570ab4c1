// A fresh folder under /tmp for one test, removed with everything in it when the object goes;
// optionally the current directory meanwhile, since the program works relative to its own.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace meridia::testing {

class TemporaryFolder {
public:
  enum class Enter { kNo, kYes };

  explicit TemporaryFolder(Enter enter = Enter::kNo) {
    char pattern[] = "/tmp/meridia-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      ADD_FAILURE() << "cannot make a temporary folder";
      return;
    }
    path_ = pattern;
    if (enter == Enter::kYes) {
      previous_ = std::filesystem::current_path();
      std::filesystem::current_path(path_);
    }
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!previous_.empty()) {
      std::filesystem::current_path(previous_, ignored);
    }
    if (!path_.empty()) {
      std::filesystem::remove_all(path_, ignored);
    }
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The full name of an entry of the folder.
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

} // namespace meridia::testing
