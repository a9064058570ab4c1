// Where an entry named inside a file is written when extracted into a folder: below the folder,
// whatever the name says.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace meridia::inspect {

// The name's path below `folder`, "\" read as "/", "." parts dropped; nothing for a name that
// is empty, absolute, starts with a drive, holds a ".." part or a NUL byte, or names the folder
// itself.
std::optional<std::filesystem::path> ExtractPath(const std::filesystem::path& folder,
                                                 std::string_view name);

} // namespace meridia::inspect
