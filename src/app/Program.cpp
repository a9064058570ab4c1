#include "app/Program.h"

#include "app/Modules.h"
#include "app/Shell.h"
#include "app/Viewer.h"
#include "platform/Clock.h"
#include "platform/SdlPlatform.h"

namespace meridia {

int RunWithModules(const std::function<int()>& main_routine, const StartUpRecorder& record) {
  InitializeModules(record);
  const int exit_code = main_routine();
  FinalizeModules(record);
  return exit_code;
}

int RunMainRoutine(platform::Platform& platform, SceneHooks& scene, LoopObserver* observer) {
  Shell shell(platform, scene);
  shell.SetObserver(observer);
  shell.RunMainLoop();
  return shell.ExitCode;
}

int RunProgram(ProgramVariant variant) {
  SetProgramVariant(variant);
  return RunWithModules([] {
    platform::SystemClock clock;
    platform::SdlPlatform platform(clock);
    Viewer viewer;
    return RunMainRoutine(platform, viewer);
  });
}

} // namespace meridia
