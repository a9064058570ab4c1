// A private current folder per test with a log beside it that tests can read back; plus small
// file helpers, an archive writer in the program's archive layout and the compressor its
// method-0 entries need.
#pragma once

#include "AbcEncoder.h"
#include "storage/Archive.h"
#include "storage/Log.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace meridia::testing {

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T> void AppendValue(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

inline void AppendString(std::string& out, const std::string& text) {
  AppendValue<int32_t>(out, static_cast<int32_t>(text.size()));
  out += text;
}

class TempFolderTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(LogStart(log_folder_ / "test.zolog")); }
  void TearDown() override { LogFinish(); }

  // The messages logged since the test began, stamps removed, "Log Started" left out.
  std::vector<std::string> LogMessages() const {
    std::ifstream in(log_folder_ / "test.zolog");
    std::vector<std::string> messages;
    for (std::string line; std::getline(in, line);) {
      messages.push_back(line.size() > 15 ? line.substr(15) : std::string());
    }
    if (!messages.empty()) {
      messages.erase(messages.begin());
    }
    return messages;
  }

  TemporaryFolder log_folder_;
  TemporaryFolder work_{TemporaryFolder::Enter::kYes};
};

struct ArchiveItem {
  uint8_t method;
  std::string name;
  std::string data;
};

// An archive holding the items: header, table, then each item's data transformed so that
// extraction (byte i minus i) gives the data back.
inline std::string BuildArchive(const std::vector<ArchiveItem>& items) {
  int64_t offset = 8;
  for (const ArchiveItem& item : items) {
    offset += 1 + 4 + static_cast<int64_t>(item.name.size()) + 4 + 8;
  }
  std::string table(kArchiveMagic.data(), kArchiveMagic.size());
  AppendValue<int32_t>(table, static_cast<int32_t>(items.size()));
  std::string data;
  for (const ArchiveItem& item : items) {
    table.push_back(static_cast<char>(item.method));
    AppendString(table, item.name);
    AppendValue<int32_t>(table, static_cast<int32_t>(item.data.size()));
    AppendValue<int64_t>(table, offset + static_cast<int64_t>(data.size()));
    for (size_t i = 0; i < item.data.size(); ++i) {
      data.push_back(static_cast<char>(static_cast<uint8_t>(item.data[i]) + i));
    }
  }
  return table + data;
}

// The data as a compressed stream for a method-0 entry.
inline std::string Packed(const std::string& data, pack::AbcChoice path = pack::AbcChoice::Smallest,
                          uint32_t block_size = kAbcMaxBlock - 1) {
  pack::AbcOptions options;
  options.Path = path;
  options.BlockSize = block_size;
  const std::vector<uint8_t> stream =
      pack::AbcCompress({reinterpret_cast<const uint8_t*>(data.data()), data.size()}, options);
  return {stream.begin(), stream.end()};
}

} // namespace meridia::testing
