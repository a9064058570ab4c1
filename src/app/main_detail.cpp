#include "app/Program.h"

int main() {
  return meridia::RunProgram(meridia::ProgramVariant::kDetail);
}
