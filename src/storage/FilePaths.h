// Text operations on the file names the program composes: 8-bit names that may mix "\" and "/".
// None of them touches the file system; only calls that reach the operating system convert a
// name with platform::NativePath.
#pragma once

#include <string>
#include <string_view>

namespace meridia {

// Every "/" becomes "\".
std::string ToBackslashes(std::string_view path);

// The path with its extension replaced by ext, which carries its own dot. Only ".", "\" and ":"
// are looked at, so a "/" does not end a folder here: "a.b/c" becomes "a" + ext. Callers that
// hold forward slashes convert with ToBackslashes first.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

} // namespace meridia
