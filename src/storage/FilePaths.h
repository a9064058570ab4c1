// Operations on the file names the program composes: 8-bit names that may mix "\" and "/", with
// 1-based positions. The text operations never touch the file system; DirectoryExists, FileAge,
// ForceDirectories and MakeUniqueFileName ask it through the platform layer, which matches
// letter case the Windows way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meridia {

// Every "/" becomes "\".
std::string ToBackslashes(std::string_view path);
// Every "\" becomes "/".
std::string ToForwardSlashes(std::string_view path);

// True when the 1-based index lies within the text and the character there is "\" or "/".
bool IsPathDelimiter(std::string_view text, int32_t index);
// Appends "\" unless the path already ends with "\" or "/"; an empty path becomes "\".
std::string IncludeTrailingDelimiter(std::string_view path);
// Removes one trailing "\" or "/".
std::string ExcludeTrailingDelimiter(std::string_view path);
// The 1-based position of the last character of text found in delimiters; 0 if none.
int32_t LastDelimiter(std::string_view delimiters, std::string_view text);

// After ToBackslashes: everything up to and including the last "\" or ":".
std::string ExtractFilePath(std::string_view path);
// After ToBackslashes: everything after the last "\" or ":".
std::string ExtractFileName(std::string_view path);
// The characters after the last "." of the file-name part; empty when it has none.
std::string ExtractFileExtNoDot(std::string_view path);

// The path with its extension replaced by ext, which carries its own dot. Only ".", "\" and ":"
// are looked at, so a "/" does not end a folder here: "a.b/c" becomes "a" + ext. Callers that
// hold forward slashes convert with ToBackslashes first.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

bool DirectoryExists(std::string_view path);
// The last write of a plain file as a packed DOS date and time of local time
// (year-1980:7 month:4 day:5 hour:5 minute:6 second/2:5, high to low bits); -1 when there is no
// plain file of that name (a folder is not one). Times outside the DOS range 1980..2107 are
// pinned to its ends, so an old time stamp never makes a file look missing.
int32_t FileAge(std::string_view path);

// Creates the folder and every missing parent. An empty path logs "Unable to create directory"
// and counts as done; names of fewer than 3 characters count as present (drive roots).
bool ForceDirectories(std::string_view path);

// folder + 21 random letters + "." + ext, drawn from the shared generator until the data manager
// knows no file of that name.
std::string MakeUniqueFileName(std::string_view folder, std::string_view ext);

} // namespace meridia
