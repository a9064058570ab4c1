// What the fuzz targets share: a failed property stops the run like a crash, so libFuzzer keeps
// the input, and a scratch file for readers that only take a file name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace meridia::fuzz {

// An abort is a finding: libFuzzer writes the input out as crash-<hash>.
inline void Require(bool holds, const char* property) {
  if (!holds) {
    std::fprintf(stderr, "fuzz property violated: %s\n", property);
    std::abort();
  }
}

// The bytes as a file in the current folder (tools/fuzz.sh runs each target in a scratch
// folder), one name per process so that parallel jobs do not share it.
inline std::string WriteScratchFile(const uint8_t* data, size_t size) {
  static const std::string name = "fuzz-input-" + std::to_string(getpid()) + ".bin";
  // A new file each time: emptying one that has data makes some file systems write it out to
  // disk on close, thousands of times a second.
  unlink(name.c_str());
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  Require(out.good(), "the scratch file can be written");
  return name;
}

} // namespace meridia::fuzz
