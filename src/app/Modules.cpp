#include "app/Modules.h"

#include "app/SystemInfo.h"
#include "app/Version.h"
#include "decoders/ImageDecoders.h"
#include "engine/PlanetSeed.h"
#include "engine/WorkerPool.h"
#include "models/Material.h"
#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/Log.h"
#include "storage/ProgramFolders.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"

#include <string>

namespace meridia {
namespace {

// The log sits beside the program file, named after it, unless the folders were placed in the
// user's; its first lines say which program this is, which world it shows and where everything
// went.
void StartLog() {
  LogStart(CurrentProgramFolders().log_file);
  LogWrite(ProgramName() + " " + ProgramVersion());
  LogWrite("World : seed " + std::to_string(CurrentPlanetSeed()));
  for (const std::string& line : DescribeProgramFolders(CurrentProgramFolders())) {
    LogWrite(line);
  }
}

constexpr Module kModules[] = {
    // What the machine description reports as the operating system, as it was at start.
    {"os version", RecordOSVersion, ForgetOSVersion},
    // Before the log, which may be placed in the user's folders.
    {"folders", ChooseProgramFolders, ForgetProgramFolders},
    {"log", StartLog, LogFinish},
    // After the log, so that a damaged index can be reported; saved before the log closes.
    {"cache", CacheInitialize, CacheFinalize},
    {"archives", CreateArchiveList, FreeArchiveList},
    {"image decoders", RegisterImageDecoders, UnregisterImageDecoders},
    {"materials", MaterialInitialize, MaterialFinalize},
    {"tree shaders", CreateShaderTables, FreeShaderTables},
    {"tree generator", CreateTreeTextureTables, FreeTreeTextureTables},
    // The tree kinds are made by start-up; the module only lets them go at the end.
    {"planetary trees", [] {}, FreeTreeKinds},
    // Last up, first down: no frame is being drawn when its threads are joined.
    {"worker pool", [] { StartWorkerPool(); }, StopWorkerPool},
};

} // namespace

std::span<const Module> Modules() {
  return kModules;
}

void InitializeModules(const StartUpRecorder& record) {
  for (const Module& module : kModules) {
    if (record) {
      record(std::string("start ") + module.name);
    }
    module.initialize();
  }
}

void FinalizeModules(const StartUpRecorder& record) {
  for (auto it = std::rbegin(kModules); it != std::rend(kModules); ++it) {
    if (record) {
      record(std::string("finish ") + it->name);
    }
    it->finalize();
  }
}

} // namespace meridia
