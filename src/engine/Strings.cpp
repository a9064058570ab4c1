#include "engine/Strings.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace meridia {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five codes it leaves undefined
// convert to the C1 control of the same value, as the Windows converter does.
constexpr std::array<wchar_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

size_t SkipBlanks(std::string_view text, size_t pos) {
  while (pos < text.size() && text[pos] == ' ') {
    ++pos;
  }
  return pos;
}

size_t SkipDigits(std::string_view text, size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) {
    ++pos;
  }
  return pos;
}

// 2^63: the first double that no longer fits in int64_t.
constexpr double kInt64Limit = 9223372036854775808.0;

int64_t TruncToInt64(double value) {
  if (!std::isfinite(value) || std::fabs(value) >= kInt64Limit) {
    return 0;
  }
  return static_cast<int64_t>(value);
}

} // namespace

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) {
    ++begin;
  }
  while (end > begin && IsTrimmed(text[end - 1])) {
    --end;
  }
  return std::string(text.substr(begin, end - begin));
}

std::string LowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return result;
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return result;
}

std::wstring AnsiToWide(std::string_view text, uint32_t codePage) {
  const bool latin1 = codePage == kCodePageLatin1;
  std::wstring result;
  result.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (!latin1 && byte >= 0x80 && byte <= 0x9F) {
      result.push_back(kWindows1252High[byte - 0x80]);
    } else {
      result.push_back(static_cast<wchar_t>(byte));
    }
  }
  return result;
}

std::string IntToStr(int64_t value) {
  char buffer[24];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, end);
}

std::string BoolToStr(bool value) {
  return value ? "True" : "False";
}

std::string IntToStrPadded(int32_t width, int64_t value) {
  std::string text = IntToStr(value);
  if (width < 0 || text.size() > static_cast<size_t>(width)) {
    return text;
  }
  const size_t zeros = static_cast<size_t>(width) - text.size() + 1;
  const size_t digits_at = value < 0 ? 1 : 0;
  text.insert(digits_at, zeros, '0');
  return text;
}

std::string IntToHex(int32_t value, int32_t digits) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  auto bits = static_cast<uint32_t>(value);
  std::string text;
  do {
    text.insert(text.begin(), kHexDigits[bits & 0xF]);
    bits >>= 4;
  } while (bits != 0);
  if (digits > 0 && text.size() < static_cast<size_t>(digits)) {
    text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
  }
  return text;
}

int32_t StrToIntDef0(std::string_view text) {
  size_t pos = SkipBlanks(text, 0);
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const size_t digits_end = SkipDigits(text, pos);
  if (digits_end == pos || digits_end != text.size()) {
    return 0;
  }
  // Accumulated in 64 bits with an early stop, so any number of digits is safe.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; pos < digits_end; ++pos) {
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > kLimit) {
      return 0;
    }
  }
  if (!negative && magnitude == kLimit) {
    return 0;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

double StrToFloat0(std::string_view text) {
  // The grammar is checked here because std::from_chars also takes "inf", "nan" and forms
  // this program has never accepted; from_chars then does the correctly rounded conversion.
  size_t pos = SkipBlanks(text, 0);
  size_t number_begin = pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    // from_chars takes a minus but no plus.
    number_begin = text[pos] == '+' ? pos + 1 : pos;
    ++pos;
  }
  const size_t int_end = SkipDigits(text, pos);
  size_t mantissa_digits = int_end - pos;
  pos = int_end;
  if (pos < text.size() && text[pos] == '.') {
    const size_t frac_end = SkipDigits(text, pos + 1);
    mantissa_digits += frac_end - (pos + 1);
    pos = frac_end;
  }
  if (mantissa_digits == 0) {
    return 0.0;
  }
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t exp_pos = pos + 1;
    if (exp_pos < text.size() && (text[exp_pos] == '+' || text[exp_pos] == '-')) {
      ++exp_pos;
    }
    const size_t exp_end = SkipDigits(text, exp_pos);
    if (exp_end == exp_pos) {
      return 0.0;
    }
    pos = exp_end;
  }
  if (pos != text.size()) {
    return 0.0;
  }
  double value = 0.0;
  const char* first = text.data() + number_begin;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec != std::errc() || end != last) {
    return 0.0;
  }
  return value;
}

std::string FloatToStrFixed(double value, int32_t decimals) {
  // No text in this program wants more; it also bounds the buffer below.
  constexpr int32_t kMaxDecimals = 100;
  decimals = decimals < 0 ? 0 : (decimals > kMaxDecimals ? kMaxDecimals : decimals);
  // 309 integer digits at most for a double, a sign and a point.
  char buffer[320 + kMaxDecimals];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

std::string Vector3fToStr(const Vector3f& v, int32_t decimals) {
  return FloatToStrFixed(v.x, decimals) + ' ' + FloatToStrFixed(v.y, decimals) + ' ' +
         FloatToStrFixed(v.z, decimals);
}

std::string Vector4fToStr(const Vector4f& v, int32_t decimals) {
  return FloatToStrFixed(v.x, decimals) + ' ' + FloatToStrFixed(v.y, decimals) + ' ' +
         FloatToStrFixed(v.z, decimals) + ' ' + FloatToStrFixed(v.w, decimals);
}

const char* StrScan(const char* chars, char c) {
  if (chars == nullptr) {
    return nullptr;
  }
  for (const char* p = chars;; ++p) {
    if (*p == c) {
      return p;
    }
    if (*p == '\0') {
      return nullptr;
    }
  }
}

int64_t FloatDivTrunc(double a, double b) {
  return TruncToInt64(b / a);
}

int64_t FloatModTrunc(double a, double b) {
  return TruncToInt64(b - a * static_cast<double>(FloatDivTrunc(a, b)));
}

} // namespace meridia
