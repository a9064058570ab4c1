#include "app/Modules.h"

#include "app/SystemInfo.h"
#include "decoders/ImageDecoders.h"
#include "models/Material.h"
#include "platform/FileSystem.h"
#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/Log.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"

#include <string>

namespace meridia {
namespace {

// The log sits beside the program file, named after it.
void StartLog() {
  LogStart(LogFileNameFor(platform::ExecutablePath()));
}

constexpr Module kModules[] = {
    // What the machine description reports as the operating system, as it was at start.
    {"os version", RecordOSVersion, ForgetOSVersion},
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
