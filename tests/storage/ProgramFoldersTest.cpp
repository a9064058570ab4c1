#include "storage/ProgramFolders.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace meridia {
namespace {

// A made-up machine: the folders that exist, those that may be written, and the user's.
struct Machine {
  std::set<std::string> folders;
  std::set<std::string> writable;
  std::string same_as_installed = {}; // the installed folder under another name
};

FolderProbe ProbeOf(const Machine& machine) {
  return {
      [&machine](const std::string& name) { return machine.folders.count(name) > 0; },
      [&machine](const std::string& name) { return machine.writable.count(name) > 0; },
      [&machine](const std::string& a, const std::string& b) {
        return a == b || (a == machine.same_as_installed && b == "/usr/share/meridia/base");
      },
  };
}

FolderInputs Inputs(const std::string& cwd, const std::string& program) {
  return {cwd,
          program,
          "/usr/share/meridia/base",
          {"/home/u/.local/share", "/home/u/.local/state", "/home/u/Bilder"}};
}

std::vector<std::string> RootPrefixes(const ProgramFolders& folders) {
  std::vector<std::string> prefixes;
  for (const platform::PathRoot& root : folders.roots) {
    prefixes.push_back(root.prefix);
  }
  return prefixes;
}

constexpr const char* kUserMaps = "/home/u/.local/share/meridia/maps";
constexpr const char* kUserCache = "/home/u/.local/share/meridia/cache";
constexpr const char* kUserShots = "/home/u/Bilder/meridia";
constexpr const char* kUserLogDir = "/home/u/.local/state/meridia";

TEST(ProgramFolders, DataFolderAndWhereEachWriteGoes) {
  const struct {
    const char* name;
    Machine machine;
    const char* cwd;
    const char* program;
    DataSource source;
    const char* data;
    bool beside_data;
    const char* maps;
    const char* cache;
    const char* screens;
    const char* log_file;
    std::vector<std::string> roots;
  } cases[] = {
      {"run from its own folder, as always",
       {{"/b/run/base"}, {"/b/run/base", "/b/run"}},
       "/b/run",
       "/b/run/meridia",
       DataSource::kCurrentFolder,
       "/b/run/base",
       true,
       "/b/run/base/maps",
       "/b/run/cache",
       "/b/run/screens",
       "/b/run/meridia.zolog",
       {}},
      {"base/ in the current folder wins over the one beside the program",
       {{"/w/base", "/b/run/base"}, {"/w/base", "/w", "/b/run"}},
       "/w",
       "/b/run/meridia",
       DataSource::kCurrentFolder,
       "/w/base",
       true,
       "/w/base/maps",
       "/w/cache",
       "/w/screens",
       "/b/run/meridia.zolog",
       {}},
      {"the build's folder from elsewhere",
       {{"/b/run/base"}, {"/b/run/base", "/src", "/b/run"}},
       "/src",
       "/b/run/meridia",
       DataSource::kBesideProgram,
       "/b/run/base",
       true,
       "/b/run/base/maps",
       "/src/cache",
       "/src/screens",
       "/b/run/meridia.zolog",
       {"base"}},
      {"installed, even for root, who may write everywhere",
       {{"/usr/share/meridia/base"}, {"/usr/share/meridia/base", "/tmp", "/usr/bin"}},
       "/tmp",
       "/usr/bin/meridia",
       DataSource::kInstalled,
       "/usr/share/meridia/base",
       false,
       kUserMaps,
       kUserCache,
       kUserShots,
       "/home/u/.local/state/meridia/meridia.zolog",
       {"base", "base/maps", "cache", "screens"}},
      {"a copy whose data folder is read-only",
       {{"/opt/m/base"}, {"/tmp", "/opt/m"}},
       "/tmp",
       "/opt/m/meridia-detail",
       DataSource::kBesideProgram,
       "/opt/m/base",
       false,
       kUserMaps,
       kUserCache,
       kUserShots,
       "/home/u/.local/state/meridia/meridia-detail.zolog",
       {"base", "base/maps", "cache", "screens"}},
      {"started where a link leads to the installed data",
       {{"/opt/link/base"}, {"/opt/link/base", "/opt/link"}, "/opt/link/base"},
       "/opt/link",
       "/usr/bin/meridia",
       DataSource::kCurrentFolder,
       "/opt/link/base",
       false,
       kUserMaps,
       kUserCache,
       kUserShots,
       "/home/u/.local/state/meridia/meridia.zolog",
       {"base/maps", "cache", "screens"}},
      {"only the places that cannot be written move",
       {{"/b/run/base", "/b/run/base/maps"}, {"/b/run/base"}},
       "/ro",
       "/b/run/meridia",
       DataSource::kBesideProgram,
       "/b/run/base",
       true,
       kUserMaps,
       "/ro/cache",
       kUserShots,
       "/home/u/.local/state/meridia/meridia.zolog",
       {"base", "base/maps", "screens"}},
      {"a screens/ folder that may be written, in a current folder that may not",
       {{"/b/run/base", "/ro/screens"}, {"/b/run/base", "/ro/screens", "/b/run"}},
       "/ro",
       "/b/run/meridia",
       DataSource::kBesideProgram,
       "/b/run/base",
       true,
       "/b/run/base/maps",
       "/ro/cache",
       "/ro/screens",
       "/b/run/meridia.zolog",
       {"base"}},
      {"no data anywhere",
       {{}, {"/tmp", "/b"}},
       "/tmp",
       "/b/meridia",
       DataSource::kNone,
       "",
       false,
       "/tmp/base/maps",
       "/tmp/cache",
       "/tmp/screens",
       "/b/meridia.zolog",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramFolders f = PlanProgramFolders(Inputs(c.cwd, c.program), ProbeOf(c.machine));
    EXPECT_EQ(f.source, c.source);
    EXPECT_EQ(f.data, c.data);
    EXPECT_EQ(f.writes_beside_data, c.beside_data);
    EXPECT_EQ(f.maps, c.maps);
    EXPECT_EQ(f.cache, c.cache);
    EXPECT_EQ(f.screens, c.screens);
    EXPECT_EQ(f.log_file, c.log_file);
    EXPECT_EQ(RootPrefixes(f), c.roots);
    // Folders that are made at start are the user's maps and log folders, and only those used.
    std::vector<std::string> to_make;
    if (f.maps == kUserMaps) {
      to_make.push_back(kUserMaps);
    }
    if (f.log_file.rfind(kUserLogDir, 0) == 0) {
      to_make.push_back(kUserLogDir);
    }
    EXPECT_EQ(f.to_make, to_make);
    const std::vector<std::string> looked_in = {
        std::string(c.cwd) + "/base",
        std::string(c.program).substr(0, std::string(c.program).rfind('/')) + "/base",
        "/usr/share/meridia/base"};
    EXPECT_EQ(f.looked_in, looked_in);
  }
}

TEST(ProgramFolders, TheUsersMapsAreReadBeforeTheInstalledOnes) {
  const Machine machine{{"/usr/share/meridia/base"}, {}};
  const ProgramFolders f = PlanProgramFolders(Inputs("/tmp", "/usr/bin/meridia"), ProbeOf(machine));
  ASSERT_EQ(f.roots.size(), 4u);
  EXPECT_EQ(f.roots[0].folders, std::vector<std::string>{"/usr/share/meridia/base"});
  EXPECT_EQ(f.roots[1].folders,
            (std::vector<std::string>{kUserMaps, "/usr/share/meridia/base/maps"}));
  // The log says where each thing went, or where the data was looked for.
  const std::vector<std::string> lines = DescribeProgramFolders(f);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Data folder : /usr/share/meridia/base (installed, not written to)");
  EXPECT_EQ(lines[1], std::string("Terrain maps : ") + kUserMaps);
  const ProgramFolders none = PlanProgramFolders(Inputs("/tmp", "/b/meridia"), ProbeOf({}));
  EXPECT_EQ(DescribeProgramFolders(none)[0],
            "Data folder not found, looked in : /tmp/base, /b/base, /usr/share/meridia/base");
  EXPECT_EQ(MissingDataMessage(none), "Cannot find the data folder. Looked in:\n/tmp/base\n"
                                      "/b/base\n/usr/share/meridia/base");
}

TEST(ProgramFolders, UserFoldersFollowTheXdgRules) {
  const struct {
    const char* name;
    UserEnvironment env;
    const char* user_dirs;
    UserFolders expected;
  } cases[] = {
      {"defaults",
       {"/home/u", "", "", ""},
       "",
       {"/home/u/.local/share", "/home/u/.local/state", "/home/u/Pictures"}},
      {"variables",
       {"/home/u", "/d", "/s", "/c"},
       "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n",
       {"/d", "/s", "/home/u/Bilder"}},
      {"relative variables are ignored",
       {"/home/u", "d", "./s", ""},
       "",
       {"/home/u/.local/share", "/home/u/.local/state", "/home/u/Pictures"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const UserFolders f = UserFoldersFrom(c.env, c.user_dirs);
    EXPECT_EQ(f.data_home, c.expected.data_home);
    EXPECT_EQ(f.state_home, c.expected.state_home);
    EXPECT_EQ(f.pictures, c.expected.pictures);
  }
  EXPECT_EQ(UserDirsFile({"/home/u", "", "", ""}), "/home/u/.config/user-dirs.dirs");
  EXPECT_EQ(UserDirsFile({"/home/u", "", "", "/c"}), "/c/user-dirs.dirs");
}

TEST(ProgramFolders, PicturesFolderOfAUserDirsFile) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", "/home/u/Pictures"},
      {"# XDG_PICTURES_DIR=\"$HOME/Old\"\n  XDG_PICTURES_DIR = \"/srv/pics/\"\n", "/srv/pics"},
      {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", ""},
      {"XDG_PICTURES_DIR=\"$HOME\"\n", "/home/u"},
      {"XDG_PICTURES_DIR=\"$HOMEWORK/x\"\n", ""},
      {"XDG_PICTURES_DIR=\"relative/x\"\n", ""},
      {"XDG_PICTURES_DIR=\"$HOME/unclosed\n", ""},
      {"XDG_PICTURES_DIR=$HOME/unquoted\n", ""},
      {"XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\"\"", "/home/u/My \"Pics\""},
      {"XDG_PICTURES_DIR=\"$HOME/A\"\nXDG_PICTURES_DIR=\"$HOME/B\"\n", "/home/u/B"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(PicturesFromUserDirs(c.text, "/home/u"), c.expected);
  }
}

} // namespace
} // namespace meridia
