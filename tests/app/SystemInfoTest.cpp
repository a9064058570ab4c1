// The machine description from sample kernel and distribution files, and from the live system.
#include "app/SystemInfo.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

namespace meridia {
namespace {

constexpr const char* kIntelCpuInfo = "processor\t: 0\n"
                                      "vendor_id\t: GenuineIntel\n"
                                      "cpu family\t: 6\n"
                                      "model\t\t: 158\n"
                                      "model name\t: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz  \n"
                                      "stepping\t: 10\n"
                                      "\n"
                                      "processor\t: 1\n"
                                      "model name\t: Second Processor\n";

TEST(SystemInfo, ProcessorNamesFallBackThroughVendorAndIdentifier) {
  struct Case {
    const char* name;
    const char* cpuinfo;
    const char* expected;
  };
  const Case cases[] = {
      {"model name, trimmed", kIntelCpuInfo, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz"},
      {"empty model name",
       "vendor_id\t: AuthenticAMD\ncpu family\t: 23\nmodel\t\t: 113\nmodel name\t:   \n"
       "stepping\t: 0\n",
       "AuthenticAMD - Family 23 Model 113 Stepping 0"},
      {"vendor only", "vendor_id : GenuineIntel\n", "GenuineIntel"},
      // The identifier is only ever shown after a vendor.
      {"identifier only", "cpu family : 6\nmodel : 1\nstepping : 2\n", "Unknown processor"},
      {"ARM cores",
       "processor\t: 0\nCPU implementer\t: 0x41\nCPU part\t: 0xd0c\n"
       "CPU revision\t: 1\n",
       "0x41 - CPU part 0xd0c revision 1"},
      {"second processor ignored", "processor : 0\n\nmodel name : Later\n", "Unknown processor"},
      {"nothing", "", "Unknown processor"},
      {"no colon", "model name Intel\n", "Unknown processor"},
      {"CRLF lines", "model name : Foo CPU\r\nvendor_id : X\r\n", "Foo CPU"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProcessorNameFromCpuInfo(c.cpuinfo), c.expected) << c.name;
  }
}

TEST(SystemInfo, MemoryIsInMebibytesRoundedHalfToEven) {
  struct Case {
    uint64_t bytes;
    const char* expected;
  };
  const Case cases[] = {
      {4293918720ull, "4095 Mb"},              // 4095.0 MiB
      {3670016, "4 Mb"},                       // 3.5
      {2621440, "2 Mb"},                       // 2.5
      {4095ull * 1048576 + 524288, "4096 Mb"}, // 4095.5
      {4096ull * 1048576 + 524288, "4096 Mb"}, // 4096.5
      {4096ull * 1048576 + 524289, "4097 Mb"}, // just above the half
      {0, "0 Mb"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MemoryTextFromBytes(c.bytes), c.expected) << c.bytes;
  }
}

TEST(SystemInfo, MemTotalIsReadInKibibytes) {
  EXPECT_EQ(MemTotalFromMemInfo("MemTotal:       24683784 kB\nMemFree:  1 kB\n"),
            24683784ull * 1024);
  EXPECT_EQ(MemTotalFromMemInfo("MemFree: 5 kB\nMemTotal:\t4193792 kB\n"), 4193792ull * 1024);
  // Missing, malformed or absurd: the caller asks the system another way.
  for (const char* bad : {"", "MemFree: 5 kB\n", "MemTotal: kB\n", "MemTotal: 12 MB\n",
                          "MemTotal: -4 kB\n", "MemTotal: 99999999999999999999 kB\n"}) {
    EXPECT_FALSE(MemTotalFromMemInfo(bad).has_value()) << bad;
  }
}

TEST(SystemInfo, OperatingSystemNamesComeFromOsRelease) {
  struct Case {
    const char* os_release;
    const char* expected;
  };
  const Case cases[] = {
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
       "Debian GNU/Linux 12 (bookworm)"},
      {"NAME=Fedora\nVERSION_ID=40\n", "Fedora"},
      {"PRETTY_NAME='Single quoted'\n", "Single quoted"},
      {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME\"\n", "Say \"hi\" \\ $HOME"},
      {"PRETTY_NAME=\"\"\nNAME=Fallback\n", "Fallback"},
      {"PRETTY_NAME=\"Unterminated\n", "Unterminated"},
      {"# a comment\nID=debian\n", ""},
      {"", ""},
      {"PRETTY_NAME=\"Caf\xC3\xA9 OS \xE2\x82\xAC \xE6\x97\xA5\"\r\n", "Caf\xE9 OS \x80 ?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OSNameFromOsRelease(c.os_release), c.expected) << c.os_release;
  }
}

TEST(SystemInfo, UnicodeTextsBecomeEightBitTexts) {
  EXPECT_EQ(Utf8ToAnsi("plain"), "plain");
  EXPECT_EQ(Utf8ToAnsi("\xC2\xA0\xC3\xBF"), "\xA0\xFF");
  EXPECT_EQ(Utf8ToAnsi("\xE2\x80\x94"), "\x97"); // em dash
  // Broken sequences and characters without an 8-bit form each give one "?".
  EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a?");
  EXPECT_EQ(Utf8ToAnsi("\x80z"), "?z");
  EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80!"), "?!");
  EXPECT_EQ(Utf8ToAnsi("\xC0\x80"), "?"); // an over-long zero
}

TEST(SystemInfo, VideoTextsShowMemoryOnlyWhenKnown) {
  EXPECT_EQ(
      VideoTextFrom("  llvmpipe (LLVM 15.0.6, 256 bits) ", "4.5 (Compatibility Profile) Mesa", 0),
      "llvmpipe (LLVM 15.0.6, 256 bits) (driver 4.5 (Compatibility Profile) Mesa)");
  EXPECT_EQ(VideoTextFrom("GeForce", "4.6.0 NVIDIA 535", 268435456),
            "GeForce (driver 4.6.0 NVIDIA 535 - RAM 256 MB)");
  EXPECT_EQ(VideoTextFrom("", "", 0), " (driver )");
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
