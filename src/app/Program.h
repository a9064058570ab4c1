// The program from process start to end: module start-up, the window and its loop, module
// shut-down. Both program variants run this; they differ only in the variant they set.
#pragma once

#include "engine/ProgramVariant.h"

namespace meridia {

int RunProgram(ProgramVariant variant);

} // namespace meridia
