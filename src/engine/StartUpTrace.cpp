#include "engine/StartUpTrace.h"

#include <utility>

namespace meridia {
namespace {

StartUpTraceFunction& Listener() {
  static StartUpTraceFunction listener;
  return listener;
}

} // namespace

void SetStartUpTrace(StartUpTraceFunction trace) {
  Listener() = std::move(trace);
}

void StartUpTrace(std::string_view milestone) {
  if (Listener()) {
    Listener()(milestone);
  }
}

} // namespace meridia
