// Where the program's data files come from: a cached copy first, then the mounted archives, then
// the plain file on disk. Streams handed out are owned by the caller, in read mode at position 0.
#pragma once

#include "storage/MemoryStream.h"
#include "storage/Stream.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace meridia {

// A plain file of that name exists (a folder is not one), or a mounted archive holds the name.
bool FileExists(std::string_view name);

// Null, with the log line "Error : 1000 Caption : " + name, when FileExists is false; null
// too when every source fails.
std::unique_ptr<TzoStream> OpenFileStream(std::string_view name);

// The whole content in a memory stream at mode read and position 0; null when OpenFileStream
// gives nothing.
std::unique_ptr<TzoMemoryStream> LoadFileToMemoryStream(std::string_view name);

// The whole content as text; empty when OpenFileStream gives nothing.
std::string LoadFileToString(std::string_view name);

// The first existing one of: name; name + "." + each extension; for each folder, the folder
// joined with name, then that + "." + each extension. When none exists: the last folder joined
// with name, or name itself when no folder was given.
std::string FindFile(std::string_view name, std::span<const std::string> folders,
                     std::span<const std::string> extensions);

} // namespace meridia
