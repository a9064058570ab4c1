#include "engine/Strings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace meridia {
namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(StringsTest, TrimAndCase) {
  const struct {
    const char* name;
    std::string input, expected;
  } cases[] = {{"nothing to trim", "a b", "a b"},
               {"blanks and tabs", " \t a b \r\n", "a b"},
               {"zero bytes", std::string("\0x\0", 3), "x"},
               {"code 32 goes, 33 stays", " ! ", "!"},
               {"high bytes stay", "\xA0x\xFF", "\xA0x\xFF"},
               {"all blank", " \x01\x1f ", ""},
               {"empty", "", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(Trim(c.input), c.expected) << c.name;
  }
  // Only ASCII letters change case.
  EXPECT_EQ(LowerCase("AbZ@[`{09 \xC9"), "abz@[`{09 \xC9");
  EXPECT_EQ(UpperCase("aBz@[`{09 \xE9"), "ABZ@[`{09 \xE9");
}

TEST(StringsTest, AnsiToWide) {
  EXPECT_EQ(AnsiToWide(""), L"");
  EXPECT_EQ(AnsiToWide("az"), L"az");
  // Windows-1252 remaps 0x80..0x9F; its undefined codes stay as C1 controls.
  EXPECT_EQ(AnsiToWide("\x80\x81\x8C\x9F\xA0\xE9\xFF", kCodePageWindows1252),
            std::wstring({0x20AC, 0x0081, 0x0152, 0x0178, 0x00A0, 0x00E9, 0x00FF}));
  EXPECT_EQ(AnsiToWide("\x80\x93", kCodePageAnsi), AnsiToWide("\x80\x93", kCodePageWindows1252));
  EXPECT_EQ(AnsiToWide("\x80\x9F\xE9", kCodePageLatin1), std::wstring({0x80, 0x9F, 0xE9}));
}

TEST(StringsTest, IntToStrPaddedIsOneLongerThanWidth) {
  const struct {
    int32_t width;
    int64_t value;
    const char* expected;
  } cases[] = {{4, 7, "00007"}, {4, 1234, "01234"}, {4, 12345, "12345"},
               {2, 100, "100"}, {1, 0, "00"},       {0, 0, "0"},
               {-3, 5, "5"},    {4, -5, "-0005"},   {2, -12345, "-12345"}};
  for (const auto& c : cases) {
    EXPECT_EQ(IntToStrPadded(c.width, c.value), c.expected)
        << "width " << c.width << ", value " << c.value;
  }
}

TEST(StringsTest, IntToHex) {
  const struct {
    int32_t value, digits;
    const char* expected;
  } cases[] = {{-1, 4, "FFFFFFFF"},   {255, 4, "00FF"},
               {0, 0, "0"},           {0, 3, "000"},
               {0xABC, 2, "ABC"},     {26, 8, "0000001A"},
               {kMin, 1, "80000000"}, {0x7FFFFFFF, 10, "007FFFFFFF"},
               {9, -2, "9"}};
  for (const auto& c : cases) {
    EXPECT_EQ(IntToHex(c.value, c.digits), c.expected)
        << "value " << c.value << ", digits " << c.digits;
  }
}

TEST(StringsTest, StrToIntDef0) {
  const struct {
    const char* input;
    int32_t expected;
  } cases[] = {{"42", 42},           {"-42", -42}, {"+7", 7},
               {"007", 7},           {"  12", 12}, {"2147483647", 2147483647},
               {"-2147483648", kMin}};
  for (const auto& c : cases) {
    EXPECT_EQ(StrToIntDef0(c.input), c.expected) << '"' << c.input << '"';
  }
  const char* invalid[] = {"2147483648", "-2147483649", "99999999999999999999999",
                           "12 ",        "1 2",         "",
                           "-",          "1.0",         "1e3",
                           "0x10",       "$10",         "--1"};
  for (const char* input : invalid) {
    EXPECT_EQ(StrToIntDef0(input), 0) << '"' << input << '"';
  }
}

TEST(StringsTest, StrToFloat0) {
  const struct {
    const char* input;
    double expected;
  } cases[] = {{"12", 12.0},    {"1.5", 1.5},       {"-0.25", -0.25}, {"+3.", 3.0},
               {".5", 0.5},     {"-.5", -0.5},      {"  2.5", 2.5},   {"0.1", 0.1},
               {"1e3", 1000.0}, {"1.5E-3", 0.0015}, {"-2E+2", -200.0}};
  for (const auto& c : cases) {
    EXPECT_EQ(StrToFloat0(c.input), c.expected) << '"' << c.input << '"';
  }
  const char* invalid[] = {"1,5",   "2.5 ", "",          ".",   "-",     "1e",    "1e+",
                           "1.2.3", "inf",  "-infinity", "nan", "0x1p3", "1e400", "abc"};
  for (const char* input : invalid) {
    EXPECT_EQ(StrToFloat0(input), 0.0) << '"' << input << '"';
  }
}

TEST(StringsTest, FloatToStrFixed) {
  // An exact tie (-1.25) goes to even; the double of 0.05 lies just above it, that of 1.005
  // just below.
  const struct {
    double value;
    int32_t decimals;
    const char* expected;
  } cases[] = {{1.5, 2, "1.50"},
               {0.0, 0, "0"},
               {1234567.891, 2, "1234567.89"},
               {-12.75, 1, "-12.8"},
               {-1.25, 1, "-1.2"},
               {2.5, 0, "2"},
               {3.5, 0, "4"},
               {0.05, 1, "0.1"},
               {1.005, 2, "1.00"},
               {-0.005, 2, "-0.01"},
               {-0.004, 2, "0.00"},
               {-0.0, 3, "0.000"},
               {-0.4, 0, "0"},
               {1e20, 0, "100000000000000000000"},
               {0.1, 20, "0.10000000000000000555"},
               {7.25, -1, "7"}};
  for (const auto& c : cases) {
    EXPECT_EQ(FloatToStrFixed(c.value, c.decimals), c.expected)
        << c.value << " with " << c.decimals << " decimals";
  }
}

TEST(StringsTest, SmallTexts) {
  EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(BoolToStr(true) + BoolToStr(false), "TrueFalse");
  EXPECT_EQ(Vector3fToStr({1.0f, -2.5f, 0.125f}, 2), "1.00 -2.50 0.12");
  EXPECT_EQ(Vector4fToStr({0.0f, -0.001f, 678.0f, 1.0f}, 1), "0.0 0.0 678.0 1.0");
  const char text[] = "abcb";
  EXPECT_EQ(StrScan(text, 'b'), text + 1);
  EXPECT_EQ(StrScan(text, 'z'), nullptr);
  EXPECT_EQ(StrScan(text, '\0'), text + 4);
  EXPECT_EQ(StrScan(nullptr, 'a'), nullptr);
}

TEST(StringsTest, FloatDivAndModTruncate) {
  // With a == 0 there is no quotient and nothing is taken away; 1e300 / 0.1 and -9.9e18 do not
  // fit in 64 bits.
  const struct {
    double a, b;
    int64_t div, mod;
  } cases[] = {{2.0, 7.0, 3, 1}, {2.0, -7.0, -3, -1}, {-3.0, 10.0, -3, 1}, {2.5, 7.6, 3, 0},
               {0.3, 1.0, 3, 0}, {0.0, 5.0, 0, 5},    {0.1, 1e300, 0, 0},  {1.0, -9.9e18, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(FloatDivTrunc(c.a, c.b), c.div) << c.b << " / " << c.a;
    EXPECT_EQ(FloatModTrunc(c.a, c.b), c.mod) << c.b << " mod " << c.a;
  }
}

} // namespace
} // namespace meridia
