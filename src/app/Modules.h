// The process-wide services that exist before the window and outlive it, started in a fixed
// order at program start and finished in the reverse order at its end. Explicit calls, not
// static constructors, so the order is ours and can be checked.
#pragma once

#include <span>

namespace meridia {

struct Module {
  const char* name;
  void (*initialize)();
  void (*finalize)();
};

std::span<const Module> Modules();
void InitializeModules();
void FinalizeModules();

} // namespace meridia
