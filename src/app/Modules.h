// The process-wide services that exist before the window and outlive it, started in a fixed
// order at program start and finished in the reverse order at its end. Explicit calls, not
// static constructors, so the order is ours and can be checked.
#pragma once

#include "app/StartUpRecorder.h"

#include <span>

namespace meridia {

struct Module {
  const char* name;
  void (*initialize)();
  void (*finalize)();
};

std::span<const Module> Modules();
// Each module's start is recorded as "start " + its name just before it runs, each finish as
// "finish " + its name.
void InitializeModules(const StartUpRecorder& record = {});
void FinalizeModules(const StartUpRecorder& record = {});

} // namespace meridia
