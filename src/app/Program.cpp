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
  {
    platform::SystemClock clock;
    platform::SdlPlatform platform(clock);
    Viewer viewer;
    Shell shell(platform, viewer);
    shell.RunMainLoop();
  }
  FinalizeModules();
  return 0;
}

} // namespace meridia
