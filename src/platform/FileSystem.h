// The operating-system edge for file names. The program composes names the Windows way ("\"
// and "/" mixed); only the calls that reach the operating system convert them.
#pragma once

#include <string>
#include <string_view>

namespace meridia::platform {

// The name as the operating system takes it: every "\" becomes "/".
std::string NativePath(std::string_view name);

// The full path of the running program file, or an empty text when it cannot be told.
std::string ExecutablePath();

} // namespace meridia::platform
