// The project's one version number, as the build was configured with it, and the name the
// running program was started under.
#pragma once

#include <string>

namespace meridia {

const char* ProgramVersion();

// The program file's name ("meridia", "meridia-flight"); "meridia" when it cannot be told.
std::string ProgramName();

} // namespace meridia
