#include "app/Program.h"

int main(int argc, char** argv) {
  return meridia::RunProgram(meridia::ProgramVariant::kStandard,
                             std::vector<std::string>(argv + 1, argv + argc));
}
