#include "app/Modules.h"

#include "decoders/ImageDecoders.h"
#include "models/Material.h"
#include "platform/FileSystem.h"
#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/Log.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"

namespace meridia {
namespace {

// The log sits beside the program file, named after it.
void StartLog() {
  LogStart(LogFileNameFor(platform::ExecutablePath()));
}

constexpr Module kModules[] = {
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
};

} // namespace

std::span<const Module> Modules() {
  return kModules;
}

void InitializeModules() {
  for (const Module& module : kModules) {
    module.initialize();
  }
}

void FinalizeModules() {
  for (auto it = std::rbegin(kModules); it != std::rend(kModules); ++it) {
    it->finalize();
  }
}

} // namespace meridia
