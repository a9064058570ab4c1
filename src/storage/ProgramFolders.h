// Where the program finds its data folder and where it puts what it writes. Run from a folder of
// its own it reads and writes beside its data, as it always did; installed, or given a data
// folder it may not write, it writes into the user's folders by the XDG base-directory rules.
// The choice is made once at start, before the log opens, and reaches the program's relative
// names ("base/...", "cache/...", "screens/...") through the platform's path roots.
#pragma once

#include "platform/FileSystem.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

enum class DataSource { kNone, kCurrentFolder, kBesideProgram, kInstalled };

// The environment variables the user's folders follow; empty when unset.
struct UserEnvironment {
  std::string home;
  std::string xdg_data_home;
  std::string xdg_state_home;
  std::string xdg_config_home;
};

// The user's folders by the XDG rules: a variable that is unset, empty or relative gives way to
// its default below the home folder.
struct UserFolders {
  std::string data_home;  // $XDG_DATA_HOME, else ~/.local/share
  std::string state_home; // $XDG_STATE_HOME, else ~/.local/state
  std::string pictures;   // XDG_PICTURES_DIR of user-dirs.dirs, else ~/Pictures
};

// The file that names the user's pictures folder: $XDG_CONFIG_HOME/user-dirs.dirs, else
// ~/.config/user-dirs.dirs.
std::string UserDirsFile(const UserEnvironment& env);
// The pictures folder a user-dirs.dirs text names ("$HOME/..." or an absolute path, the only two
// forms the file has); empty when it names none. The last definition wins, as when the shell
// reads the file.
std::string PicturesFromUserDirs(std::string_view text, std::string_view home);
// user_dirs: the text of UserDirsFile, empty when there is none.
UserFolders UserFoldersFrom(const UserEnvironment& env, std::string_view user_dirs);

// What the choice asks of the file system, so that it can be tried on any tree.
struct FolderProbe {
  std::function<bool(const std::string&)> is_directory;
  std::function<bool(const std::string&)> is_writable;
  // Whether two names lead to the same folder.
  std::function<bool(const std::string&, const std::string&)> same_folder;
};

struct FolderInputs {
  std::string current_dir;    // absolute
  std::string program_file;   // absolute
  std::string installed_data; // absolute: <prefix>/share/meridia/base for a program in <prefix>/bin
  UserFolders user;
};

struct ProgramFolders {
  DataSource source = DataSource::kNone;
  // Absolute; empty when no data folder was found.
  std::string data;
  // The three places looked at, in order.
  std::vector<std::string> looked_in;
  // Whether the program writes where it did when run from its own folder.
  bool writes_beside_data = false;
  // Absolute folders (the log's is a file) of what the program writes.
  std::string maps;
  std::string cache;
  std::string screens;
  std::string log_file;
  // The user's folders that must exist before the first write; made at start.
  std::vector<std::string> to_make;
  std::vector<platform::PathRoot> roots;
};

// The data folder is base/ in the current folder, else base/ beside the program, else the
// installed one. The installed folder is never the program's to write, whoever runs it (root
// passes every permission check); any other is when it is writable. Each write then goes where a
// program run from its own folder puts it, when the data folder is the program's and that place
// is writable, and into the user's folders otherwise.
ProgramFolders PlanProgramFolders(const FolderInputs& in, const FolderProbe& probe);

// One line for the log per folder, or the places looked at when there is no data folder.
std::vector<std::string> DescribeProgramFolders(const ProgramFolders& folders);
// What a person is told when no data folder exists.
std::string MissingDataMessage(const ProgramFolders& folders);

// The process-wide choice, a module started before the log: plans from this process and its
// environment, makes the user's folders it needs and sets the platform's roots.
void ChooseProgramFolders();
// Clears the roots: names are relative to the current folder again.
void ForgetProgramFolders();
bool ProgramFoldersChosen();
const ProgramFolders& CurrentProgramFolders();

} // namespace meridia
