// Text and number conversions for 8-bit texts held in std::string. None of them depends on the
// C locale: decimal points are always '.', and parsing never reads digits a locale would group.
#pragma once

#include "engine/VectorTypes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace meridia {

inline constexpr uint32_t kCodePageAnsi = 0; // the default ANSI code page, Windows-1252
inline constexpr uint32_t kCodePageWindows1252 = 1252;
inline constexpr uint32_t kCodePageLatin1 = 28591;

// Strips leading and trailing characters with codes 0 to 32.
std::string Trim(std::string_view text);
// ASCII case mapping only: bytes above 127 are left as they are.
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
// Windows-1252 (kCodePageAnsi, kCodePageWindows1252) or Latin-1 (kCodePageLatin1); any other
// code page is read as Windows-1252.
std::wstring AnsiToWide(std::string_view text, uint32_t codePage = kCodePageAnsi);

std::string IntToStr(int64_t value);
std::string BoolToStr(bool value); // "True" or "False"
// Zero-padded to width + 1 characters: (4, 7) gives "00007". Longer texts are not cut; the
// zeros of a negative value go after its sign.
std::string IntToStrPadded(int32_t width, int64_t value);
// The bits of value as unsigned upper-case hexadecimal, zero-padded to `digits`.
std::string IntToHex(int32_t value, int32_t digits);

// Optional leading blanks, an optional sign and decimal digits, nothing after; 0 for anything
// else, a value outside 32 bits included.
int32_t StrToIntDef0(std::string_view text);
// Optional leading blanks, an optional sign, digits with an optional '.' fraction and an
// optional exponent ("12", "-.5", "1.5e-3", "2E4"); 0 for anything else, ',' decimal
// separators, infinities, NaNs, hexadecimal and values beyond double range included.
double StrToFloat0(std::string_view text);
// Fixed notation with `decimals` decimals, rounded from the exact binary value (ties to even);
// a result that shows only zeros carries no minus sign.
std::string FloatToStrFixed(double value, int32_t decimals);
// The components with FloatToStrFixed, separated by one blank.
std::string Vector3fToStr(const Vector3f& v, int32_t decimals);
std::string Vector4fToStr(const Vector4f& v, int32_t decimals);

// The first c in the zero-terminated `chars`, the terminator included (c == '\0' finds it);
// null if absent or if `chars` is null.
const char* StrScan(const char* chars, char c);
// b / a truncated toward zero; 0 when the quotient is not a finite 64-bit integer (a == 0).
int64_t FloatDivTrunc(double a, double b);
// b - a * FloatDivTrunc(a, b), truncated toward zero; 0 when that is not a finite 64-bit value.
int64_t FloatModTrunc(double a, double b);

} // namespace meridia
