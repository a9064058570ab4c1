// Writing a file so that it is either whole or not there: the bytes go to a new file beside the
// target, which takes the target's place in one rename only once every byte is on the disk. A
// write that fails part way (a full disk) leaves the old file, or none, and no temporary file.
#pragma once

#include <functional>
#include <string_view>

namespace meridia {

class TzoFile;

// Runs `write` on a new file in write mode at position 0 in the target's folder, then puts it
// in place of `name`. False, with the target untouched and the new file removed, when the file
// cannot be created (missing folder: silently), when any transfer of `write` came out short
// (logged by the file), or when the bytes cannot be synced or renamed into place.
bool WriteWholeFile(std::string_view name, const std::function<void(TzoFile& file)>& write);

} // namespace meridia
