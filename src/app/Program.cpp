#include "app/Program.h"

#include "app/Modules.h"
#include "app/Shell.h"
#include "app/Version.h"
#include "app/Viewer.h"
#include "platform/Clock.h"
#include "platform/SdlPlatform.h"
#include "storage/ProgramFolders.h"

#include <cstdio>

namespace meridia {

ProgramCommand ParseProgramArguments(const std::vector<std::string>& args) {
  ProgramCommand command;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--seed") {
      if (i + 1 >= args.size() || !ParsePlanetSeed(args[++i], command.seed)) {
        return {ProgramCommand::Action::kBadUsage,
                "--seed needs a whole number from -2147483648 to 2147483647"};
      }
    } else if (arg == "--help" || arg == "-h") {
      command.action = ProgramCommand::Action::kHelp;
    } else if (arg == "--version") {
      command.action = ProgramCommand::Action::kVersion;
    } else {
      return {ProgramCommand::Action::kBadUsage,
              (arg.rfind("-", 0) == 0 ? "unknown option " : "unexpected argument ") + arg};
    }
  }
  return command;
}

std::string ProgramUsage(std::string_view program, ProgramVariant variant) {
  std::string text = "usage: " + std::string(program) + " [--seed N] [--help] [--version]\n";
  text += variant == ProgramVariant::kDetail
              ? "Opens the planet viewer with the second variant of the height function: fine\n"
                "detail on all land.\n"
              : "Opens the planet viewer: a free camera from orbit down to the ground.\n";
  text += "  --seed N   show the world of seed N (default 500); its maps are made on the first\n"
          "             visit and kept in maps/world-N\n"
          "  --help     print this text and exit\n"
          "  --version  print the version and exit\n"
          "Data: base/ in the current folder, else base/ beside the program, else the installed\n"
          "share/meridia/base. Keys, files written and the flight tool: man meridia.\n";
  return text;
}

int RunProgram(ProgramVariant variant, const std::vector<std::string>& args) {
  const std::string program = ProgramName();
  const ProgramCommand command = ParseProgramArguments(args);
  SetPlanetSeed(command.seed);
  switch (command.action) {
  case ProgramCommand::Action::kHelp:
    std::fputs(ProgramUsage(program, variant).c_str(), stdout);
    return 0;
  case ProgramCommand::Action::kVersion:
    std::printf("%s %s\n", program.c_str(), ProgramVersion());
    return 0;
  case ProgramCommand::Action::kBadUsage:
    std::fprintf(stderr, "%s: %s\n%s", program.c_str(), command.error.c_str(),
                 ProgramUsage(program, variant).c_str());
    return 2;
  case ProgramCommand::Action::kRun:
    break;
  }
  return RunProgram(variant);
}

bool DataFolderFound(platform::Platform& platform) {
  const ProgramFolders& folders = CurrentProgramFolders();
  if (folders.source != DataSource::kNone) {
    return true;
  }
  // The log already says where the program looked, in its first lines.
  const std::string text = MissingDataMessage(folders);
  if (!platform.MessageBox(text, "Error")) {
    std::fprintf(stderr, "Error: %s\n", text.c_str());
  }
  return false;
}

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
    if (!DataFolderFound(platform)) {
      return 1;
    }
    Viewer viewer;
    return RunMainRoutine(platform, viewer);
  });
}

} // namespace meridia
