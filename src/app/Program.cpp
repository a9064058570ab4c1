#include "app/Program.h"

#include "app/Modules.h"
#include "app/Shell.h"
#include "app/Viewer.h"
#include "platform/Clock.h"
#include "platform/SdlPlatform.h"

namespace meridia {

int RunProgram(ProgramVariant variant) {
  SetProgramVariant(variant);
  InitializeModules();
  int exit_code = 0;
  {
    platform::SystemClock clock;
    platform::SdlPlatform platform(clock);
    Viewer viewer;
    Shell shell(platform, viewer);
    shell.RunMainLoop();
    exit_code = shell.ExitCode;
  }
  FinalizeModules();
  return exit_code;
}

} // namespace meridia
