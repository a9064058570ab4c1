// The machine description from sample kernel and distribution files, and from the live system.
#include "app/SystemInfo.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

namespace meridia {
namespace {

struct TextCase {
  const char* input;
  const char* expected;
};

TEST(SystemInfo, ProcessorNamesFallBackThroughVendorAndIdentifier) {
  const TextCase cases[] = {
      {"processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i7  \n\n"
       "processor\t: 1\nmodel name\t: Second Processor\n",
       "Intel(R) Core(TM) i7"},
      {"vendor_id\t: AuthenticAMD\ncpu family\t: 23\nmodel\t\t: 113\nmodel name\t:   \n"
       "stepping\t: 0\n",
       "AuthenticAMD - Family 23 Model 113 Stepping 0"},
      {"vendor_id : GenuineIntel\n", "GenuineIntel"},
      // The identifier is only ever shown after a vendor.
      {"cpu family : 6\nmodel : 1\nstepping : 2\n", "Unknown processor"},
      {"processor\t: 0\nCPU implementer\t: 0x41\nCPU part\t: 0xd0c\nCPU revision\t: 1\n",
       "0x41 - CPU part 0xd0c revision 1"},
      {"processor : 0\n\nmodel name : Later\n", "Unknown processor"},
      {"", "Unknown processor"},
      {"model name Intel\n", "Unknown processor"},
      {"model name : Foo CPU\r\nvendor_id : X\r\n", "Foo CPU"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProcessorNameFromCpuInfo(c.input), c.expected) << c.input;
  }
}

TEST(SystemInfo, MemoryIsInMebibytesRoundedHalfToEven) {
  const struct {
    uint64_t bytes;
    const char* expected;
  } cases[] = {
      {4293918720ull, "4095 Mb"},              // 4095.0 MiB
      {3670016, "4 Mb"},                       // 3.5
      {2621440, "2 Mb"},                       // 2.5
      {4095ull * 1048576 + 524288, "4096 Mb"}, // 4095.5
      {4096ull * 1048576 + 524289, "4097 Mb"}, // just above the half
      {0, "0 Mb"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MemoryTextFromBytes(c.bytes), c.expected) << c.bytes;
  }
  EXPECT_EQ(MemTotalFromMemInfo("MemFree: 5 kB\nMemTotal:\t4193792 kB\n"), 4193792ull * 1024);
  // Missing, malformed or absurd: the caller asks the system another way.
  for (const char* bad : {"", "MemFree: 5 kB\n", "MemTotal: kB\n", "MemTotal: 12 MB\n",
                          "MemTotal: -4 kB\n", "MemTotal: 99999999999999999999 kB\n"}) {
    EXPECT_FALSE(MemTotalFromMemInfo(bad).has_value()) << bad;
  }
}

TEST(SystemInfo, OperatingSystemNamesComeFromOsRelease) {
  const TextCase cases[] = {
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
       "Debian GNU/Linux 12 (bookworm)"},
      {"NAME=Fedora\nVERSION_ID=40\n", "Fedora"},
      {"PRETTY_NAME='Single quoted'\n", "Single quoted"},
      {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME\"\n", "Say \"hi\" \\ $HOME"},
      {"PRETTY_NAME=\"\"\nNAME=Fallback\n", "Fallback"},
      {"PRETTY_NAME=\"Unterminated\n", "Unterminated"},
      {"# a comment\nID=debian\n", ""},
      {"PRETTY_NAME=\"Caf\xC3\xA9 OS \xE2\x82\xAC \xE6\x97\xA5\"\r\n", "Caf\xE9 OS \x80 ?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OSNameFromOsRelease(c.input), c.expected) << c.input;
  }
}

TEST(SystemInfo, UnicodeTextsBecomeEightBitTexts) {
  // Broken sequences and characters without an 8-bit form each give one "?".
  const TextCase cases[] = {
      {"\xC2\xA0\xC3\xBF", "\xA0\xFF"},
      {"\xE2\x80\x94", "\x97"}, // em dash
      {"a\xC3", "a?"},
      {"\x80z", "?z"},
      {"\xF0\x9F\x98\x80!", "?!"},
      {"\xC0\x80", "?"}, // an over-long zero
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToAnsi(c.input), c.expected) << c.input;
  }
}

TEST(SystemInfo, VideoTextsShowMemoryOnlyWhenKnown) {
  EXPECT_EQ(
      VideoTextFrom("  llvmpipe (LLVM 15.0.6, 256 bits) ", "4.5 (Compatibility Profile) Mesa", 0),
      "llvmpipe (LLVM 15.0.6, 256 bits) (driver 4.5 (Compatibility Profile) Mesa)");
  EXPECT_EQ(VideoTextFrom("GeForce", "4.6.0 NVIDIA 535", 268435456),
            "GeForce (driver 4.6.0 NVIDIA 535 - RAM 256 MB)");
}

TEST(SystemInfo, TheLiveSystemGivesTextsOfTheDocumentedShapes) {
  EXPECT_FALSE(GetProcessorName().empty());
  const std::string memory = GetMemoryText();
  ASSERT_GT(memory.size(), 3u);
  EXPECT_EQ(memory.substr(memory.size() - 3), " Mb");
  EXPECT_GT(std::stoll(memory), 0);
  EXPECT_FALSE(GetOSName().empty());
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  EXPECT_EQ(GetOSBuild(), names.release);
}

} // namespace
} // namespace meridia
