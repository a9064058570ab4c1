// Private copies of the runnable folder for end-to-end runs of the flight tool, and the terrain
// maps they share. Each test is its own process and may run beside others: a run never writes
// into the build's runnable folder, and the maps, which take seconds to generate, are made once
// under a file lock and kept in the build tree between runs.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace meridia::testing {

namespace fs = std::filesystem;

inline constexpr const char* kTerrainMapNames[] = {"basemap.dat", "errosion.dat"};

// The flight tool and a copy of base/ without the terrain maps of any world (other worlds' lie
// in maps/world-N/, made there by whoever visited them from the runnable folder), under /tmp;
// empty on failure.
inline fs::path MakeFlightRunFolder(const fs::path& run) {
  char pattern[] = "/tmp/meridia-flight-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return {};
  }
  const fs::path dir = pattern;
  std::error_code error;
  fs::copy_file(run / "meridia-flight", dir / "meridia-flight", error);
  fs::create_directories(dir / "base", error);
  for (auto it = fs::recursive_directory_iterator(run / "base", error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path to = dir / "base" / fs::relative(it->path(), run / "base");
    if (it->is_directory() && it->path().parent_path().filename() == "maps" &&
        it->path().filename().string().rfind("world-", 0) == 0) {
      it.disable_recursion_pending();
    } else if (it->is_directory()) {
      fs::create_directories(to, error);
    } else if (it->path().parent_path().filename() != "maps" || it->path().extension() != ".dat") {
      fs::copy_file(it->path(), to, error);
    }
  }
  if (error) {
    fs::remove_all(dir, error);
    return {};
  }
  return dir;
}

// Runs the flight tool headless in the folder with the arguments; its output goes to out.txt.
inline int FlyIn(const fs::path& dir, const std::string& args) {
  const std::string command = "cd '" + dir.string() +
                              "' && SDL_VIDEODRIVER=offscreen ./meridia-flight " + args +
                              " > out.txt 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The folder holding the shared terrain maps below test_dir, generating them first when they
// are not there yet.
inline fs::path SharedTerrainMaps(const fs::path& run, const fs::path& test_dir) {
  const fs::path maps = test_dir / "e2e-maps";
  fs::create_directories(maps);
  const int lock = open((maps / "lock").c_str(), O_CREAT | O_RDWR, 0644);
  flock(lock, LOCK_EX);
  if (!fs::exists(maps / "errosion.dat") || !fs::exists(maps / "basemap.dat")) {
    const fs::path dir = MakeFlightRunFolder(run);
    if (!dir.empty() && FlyIn(dir, "--frames 1") == 0) {
      for (const char* name : kTerrainMapNames) {
        // Renamed into place, so that a run killed half way leaves no half-written map.
        fs::copy_file(dir / "base" / "maps" / name, maps / (std::string(name) + ".part"),
                      fs::copy_options::overwrite_existing);
        fs::rename(maps / (std::string(name) + ".part"), maps / name);
      }
    }
    fs::remove_all(dir);
  }
  flock(lock, LOCK_UN);
  close(lock);
  return maps;
}

// Copies the shared maps into a run folder; false when they could not be generated.
inline bool CopyTerrainMaps(const fs::path& maps, const fs::path& dir) {
  for (const char* name : kTerrainMapNames) {
    std::error_code error;
    fs::copy_file(maps / name, dir / "base" / "maps" / name, error);
    if (error) {
      return false;
    }
  }
  return true;
}

} // namespace meridia::testing
