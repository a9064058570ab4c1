#include "storage/ProgramFolders.h"

#include "storage/FilePaths.h"
#include "storage/Log.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef MERIDIA_DATA_FROM_PROGRAM
#define MERIDIA_DATA_FROM_PROGRAM "../share/meridia/base"
#endif

namespace meridia {
namespace {

struct FolderState {
  bool chosen = false;
  ProgramFolders folders;
};

FolderState& State() {
  static FolderState state;
  return state;
}

// An XDG variable counts only when it holds an absolute path.
std::string UserFolder(const std::string& variable, const std::string& home,
                       std::string_view fallback) {
  if (!variable.empty() && variable.front() == '/') {
    return variable;
  }
  return home + "/" + std::string(fallback);
}

std::string ParentOf(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : file.substr(0, slash == 0 ? 1 : slash);
}

std::string FileNameOf(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

// The place the program writes when it is run from its own folder, if it may write there.
bool WritableHere(const FolderProbe& probe, const std::string& folder, const std::string& parent) {
  return probe.is_directory(folder) ? probe.is_writable(folder) : probe.is_writable(parent);
}

UserEnvironment ProcessEnvironment() {
  auto variable = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value != nullptr ? value : "");
  };
  UserEnvironment env{variable("HOME"), variable("XDG_DATA_HOME"), variable("XDG_STATE_HOME"),
                      variable("XDG_CONFIG_HOME")};
  if (env.home.empty()) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
      env.home = found->pw_dir;
    }
  }
  return env;
}

// The user-dirs file is a few hundred bytes; anything past 64 KiB is not one.
std::string ReadUserDirs(const std::string& name) {
  const platform::FileHandle file = platform::OpenFile(name, platform::OpenMode::kRead);
  if (file == platform::kNoFile) {
    return {};
  }
  std::string text(64 * 1024, '\0');
  const int64_t got = platform::ReadFile(file, text.data(), static_cast<int64_t>(text.size()));
  platform::CloseFile(file);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

FolderProbe SystemProbe() {
  return {
      [](const std::string& name) {
        return platform::QueryEntry(name).kind == platform::EntryKind::kDirectory;
      },
      [](const std::string& name) { return platform::IsWritable(name); },
      [](const std::string& a, const std::string& b) {
        std::error_code error;
        return std::filesystem::equivalent(platform::ResolvePath(a), platform::ResolvePath(b),
                                           error) &&
               !error;
      },
  };
}

} // namespace

std::string UserDirsFile(const UserEnvironment& env) {
  return UserFolder(env.xdg_config_home, env.home, ".config") + "/user-dirs.dirs";
}

std::string PicturesFromUserDirs(std::string_view text, std::string_view home) {
  static constexpr std::string_view kKey = "XDG_PICTURES_DIR";
  std::string result;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find('\n', pos), text.size());
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    auto skip_blanks = [&line] {
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
      }
    };
    skip_blanks();
    if (line.substr(0, kKey.size()) != kKey) {
      continue;
    }
    line.remove_prefix(kKey.size());
    skip_blanks();
    if (line.empty() || line.front() != '=') {
      continue;
    }
    line.remove_prefix(1);
    skip_blanks();
    if (line.empty() || line.front() != '"') {
      continue;
    }
    line.remove_prefix(1);
    std::string value;
    if (line.substr(0, 5) == "$HOME") {
      line.remove_prefix(5);
      if (!line.empty() && line.front() != '/' && line.front() != '"') {
        continue; // "$HOMEWORK" is not below the home folder
      }
      value = home;
    } else if (line.empty() || line.front() != '/') {
      continue;
    }
    bool closed = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '"') {
        closed = true;
        break;
      }
      if (line[i] == '\\' && i + 1 < line.size()) {
        ++i;
      }
      value.push_back(line[i]);
    }
    while (value.size() > 1 && value.back() == '/') {
      value.pop_back();
    }
    if (closed && !value.empty()) {
      result = value;
    }
  }
  return result;
}

UserFolders UserFoldersFrom(const UserEnvironment& env, std::string_view user_dirs) {
  UserFolders folders;
  folders.data_home = UserFolder(env.xdg_data_home, env.home, ".local/share");
  folders.state_home = UserFolder(env.xdg_state_home, env.home, ".local/state");
  folders.pictures = PicturesFromUserDirs(user_dirs, env.home);
  if (folders.pictures.empty()) {
    folders.pictures = env.home + "/Pictures";
  }
  return folders;
}

ProgramFolders PlanProgramFolders(const FolderInputs& in, const FolderProbe& probe) {
  ProgramFolders f;
  const std::string program_dir = ParentOf(in.program_file);
  f.looked_in = {in.current_dir + "/base", program_dir + "/base", in.installed_data};
  constexpr DataSource kSources[] = {DataSource::kCurrentFolder, DataSource::kBesideProgram,
                                     DataSource::kInstalled};
  for (size_t i = 0; i < f.looked_in.size(); ++i) {
    if (probe.is_directory(f.looked_in[i])) {
      f.source = kSources[i];
      f.data = f.looked_in[i];
      break;
    }
  }
  const bool found = f.source != DataSource::kNone;
  // The installed folder, by whatever name it was reached, is never the program's to write.
  f.writes_beside_data =
      found && !probe.same_folder(f.data, in.installed_data) && probe.is_writable(f.data);
  // Without data nothing but the log is written; everything stays where it always was.
  const bool as_run_from_folder = !found || f.writes_beside_data;
  const std::string user_data = in.user.data_home + "/meridia";

  const std::string data_maps = (found ? f.data : f.looked_in[0]) + "/maps";
  if (as_run_from_folder && (!found || WritableHere(probe, data_maps, f.data))) {
    f.maps = data_maps;
  } else {
    f.maps = user_data + "/maps";
    f.to_make.push_back(f.maps);
  }
  const std::string cache_here = in.current_dir + "/cache";
  f.cache = as_run_from_folder ? cache_here : user_data + "/cache";
  const std::string screens_here = in.current_dir + "/screens";
  f.screens = as_run_from_folder && WritableHere(probe, screens_here, in.current_dir)
                  ? screens_here
                  : in.user.pictures + "/meridia";
  if (as_run_from_folder && probe.is_writable(program_dir)) {
    f.log_file = ToForwardSlashes(LogFileNameFor(in.program_file));
  } else {
    const std::string log_dir = in.user.state_home + "/meridia";
    f.log_file = log_dir + "/" + FileNameOf(in.program_file) + ".zolog";
    f.to_make.push_back(log_dir);
  }

  if (f.source == DataSource::kBesideProgram || f.source == DataSource::kInstalled) {
    f.roots.push_back({"base", {f.data}});
  }
  if (found && f.maps != data_maps) {
    // Maps the user has are read first; the installed folder still gives the colour map.
    f.roots.push_back({"base/maps", {f.maps, data_maps}});
  }
  if (f.cache != cache_here) {
    f.roots.push_back({"cache", {f.cache}});
  }
  if (f.screens != screens_here) {
    f.roots.push_back({"screens", {f.screens}});
  }
  return f;
}

std::vector<std::string> DescribeProgramFolders(const ProgramFolders& f) {
  if (f.source == DataSource::kNone) {
    std::string line = "Data folder not found, looked in :";
    for (size_t i = 0; i < f.looked_in.size(); ++i) {
      line += (i == 0 ? " " : ", ") + f.looked_in[i];
    }
    return {line, "Log : " + f.log_file};
  }
  const char* where = f.source == DataSource::kCurrentFolder   ? "in the current folder"
                      : f.source == DataSource::kBesideProgram ? "beside the program"
                                                               : "installed";
  return {"Data folder : " + f.data + " (" + where +
              (f.writes_beside_data ? ")" : ", not written to)"),
          "Terrain maps : " + f.maps, "Cache : " + f.cache, "Screenshots : " + f.screens,
          "Log : " + f.log_file};
}

std::string MissingDataMessage(const ProgramFolders& f) {
  std::string text = "Cannot find the data folder. Looked in:";
  for (const std::string& place : f.looked_in) {
    text += "\n" + place;
  }
  return text;
}

void ChooseProgramFolders() {
  FolderInputs in;
  in.current_dir = platform::GetCurrentDir();
  in.program_file = platform::ExecutablePath();
  in.installed_data = (std::filesystem::path(ParentOf(in.program_file)) / MERIDIA_DATA_FROM_PROGRAM)
                          .lexically_normal()
                          .string();
  const UserEnvironment env = ProcessEnvironment();
  in.user = UserFoldersFrom(env, ReadUserDirs(UserDirsFile(env)));

  FolderState& state = State();
  state.folders = PlanProgramFolders(in, SystemProbe());
  for (const std::string& folder : state.folders.to_make) {
    ForceDirectories(folder);
  }
  platform::SetPathRoots(state.folders.roots);
  state.chosen = true;
}

void ForgetProgramFolders() {
  platform::SetPathRoots({});
  State() = FolderState{};
}

bool ProgramFoldersChosen() {
  return State().chosen;
}

const ProgramFolders& CurrentProgramFolders() {
  return State().folders;
}

} // namespace meridia
