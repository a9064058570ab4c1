// The program from process start to end: module start-up, the main routine (the window and its
// loop), module shut-down. Both program variants run this; they differ only in the variant they
// set.
#pragma once

#include "app/SceneHooks.h"
#include "app/StartUpRecorder.h"
#include "engine/PlanetSeed.h"
#include "engine/ProgramVariant.h"
#include "platform/Platform.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

// What the command line asks of a viewer program. With no option it runs the default world.
struct ProgramCommand {
  enum class Action { kRun, kHelp, kVersion, kBadUsage };
  Action action = Action::kRun;
  std::string error; // for kBadUsage
  int32_t seed = kPlanetSeed;
};
ProgramCommand ParseProgramArguments(const std::vector<std::string>& args);
std::string ProgramUsage(std::string_view program, ProgramVariant variant);

// The viewer program from its command line: --help and --version answer and exit 0, --seed N
// chooses the world, anything else prints the usage and exits 2 before anything is written.
int RunProgram(ProgramVariant variant, const std::vector<std::string>& args);
int RunProgram(ProgramVariant variant);

// True when the program has a data folder; otherwise says where it looked, in a message box
// (on the error output where none can be shown), and the program is to exit 1.
bool DataFolderFound(platform::Platform& platform);

// Starts the modules, runs the main routine and finishes the modules whatever it returned; its
// objects (platform, scene) are to live and die inside it, while the modules are up.
int RunWithModules(const std::function<int()>& main_routine, const StartUpRecorder& record = {});

// The window and the context, InitScene and the loop, and their release; neither InitScene nor
// the loop runs when the window or the context cannot be made. The shell's exit code.
int RunMainRoutine(platform::Platform& platform, SceneHooks& scene,
                   LoopObserver* observer = nullptr);

} // namespace meridia
