// Runs the real modules around a fake window system. An executable of its own: the log beside
// it is its own, so these runs cannot disturb the module test that reads its log back.
#include "app/Program.h"

#include "FakePlatform.h"
#include "app/Modules.h"
#include "app/SystemInfo.h"
#include "decoders/ImageDecoders.h"
#include "engine/WorkerPool.h"
#include "models/Material.h"
#include "platform/Messages.h"
#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/Log.h"
#include "storage/ProgramFolders.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace meridia {
namespace {

// A scene that writes what happens to it into the same list as the modules.
class LoggingScene final : public SceneHooks {
public:
  LoggingScene(std::vector<std::string>& log, testing::FakePlatform& platform)
      : log_(log), platform_(platform) {}
  bool InitScene() override {
    log_.push_back("InitScene");
    return true;
  }
  void RenderFrame() override {
    log_.push_back("frame");
    platform_.Queue(platform::Message{platform::WM_CLOSE, 0, 0});
  }
  void UpdateFrame(KeyStateTable&, float) override {}
  void SetViewport(int, int, int, int) override {}
  void MouseMessage(uint32_t, int, int) override {}

private:
  std::vector<std::string>& log_;
  testing::FakePlatform& platform_;
};

// Runs the process on a fake window system; the list holds modules, scene and frames in order.
std::vector<std::string> RunProcess(const std::string& failing_call, int& exit_code) {
  std::vector<std::string> log;
  testing::FakePlatform platform;
  if (!failing_call.empty()) {
    platform.failing = {failing_call};
  }
  LoggingScene scene(log, platform);
  exit_code = RunWithModules([&] { return RunMainRoutine(platform, scene); },
                             [&](std::string_view step) { log.emplace_back(step); });
  return log;
}

std::vector<std::string> Starts(const std::vector<std::string>& log) {
  std::vector<std::string> starts;
  std::copy_if(log.begin(), log.end(), std::back_inserter(starts),
               [](const std::string& step) { return step.rfind("start ", 0) == 0; });
  return starts;
}

TEST(Program, ModulesStartBeforeTheSceneAndFinishAfterTheLoopInReverse) {
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  int exit_code = -1;
  const std::vector<std::string> log = RunProcess("", exit_code);
  EXPECT_EQ(exit_code, 0);
  const std::vector<std::string> starts = Starts(log);
  ASSERT_EQ(starts.size(), Modules().size());
  EXPECT_EQ(starts.front(), "start os version");
  std::vector<std::string> expected = starts;
  expected.push_back("InitScene");
  expected.push_back("frame");
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    expected.push_back("finish " + it->substr(6));
  }
  EXPECT_EQ(log, expected);
}

TEST(Program, AWindowOrContextThatCannotBeMadeSkipsTheSceneButTheModulesStillFinish) {
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  for (const char* failing :
       {"RegisterWindowClass", "CreateWindow", "GetDC", "CreateContext", "MakeCurrent"}) {
    SCOPED_TRACE(failing);
    int exit_code = -1;
    const std::vector<std::string> log = RunProcess(failing, exit_code);
    EXPECT_EQ(exit_code, 0);
    const std::vector<std::string> starts = Starts(log);
    ASSERT_EQ(starts.size(), Modules().size());
    std::vector<std::string> expected = starts;
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
      expected.push_back("finish " + it->substr(6));
    }
    EXPECT_EQ(log, expected) << "neither InitScene nor a frame";
  }
}

// Each module's service, as a test can see it; null for a module that only finishes.
struct ModuleProbe {
  const char* name;
  bool (*up)();
};
const ModuleProbe kProbes[] = {
    {"os version", [] { return OSVersionRecorded(); }},
    {"folders", [] { return ProgramFoldersChosen(); }},
    {"log", [] { return LogIsOpen(); }},
    {"cache", [] { return CacheManager() != nullptr; }},
    {"archives", [] { return ArchiveList() != nullptr; }},
    {"image decoders", [] { return FormatByExtension("jpg") != nullptr; }},
    {"materials", [] { return TexturesList() != nullptr; }},
    {"tree shaders", [] { return ProgramFiles != nullptr; }},
    {"tree generator", [] { return TreeTextureNames != nullptr; }},
    {"planetary trees", nullptr},
    {"worker pool", [] { return SharedWorkerPool() != nullptr; }},
};

// What is up, module by module, as "1" or "0" (or "-" for a module with nothing to see).
std::string ServicesUp() {
  std::string up;
  for (const ModuleProbe& probe : kProbes) {
    up += probe.up == nullptr ? '-' : probe.up() ? '1' : '0';
  }
  return up;
}

TEST(Program, EachModuleStartsWithEveryEarlierOneUpAndFinishesWithThemStillUp) {
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  std::vector<std::string> steps;
  std::vector<std::string> up;
  const StartUpRecorder record = [&](std::string_view step) {
    steps.emplace_back(step);
    up.push_back(ServicesUp());
  };
  InitializeModules(record);
  FinalizeModules(record);

  std::vector<std::string> expected_steps;
  std::vector<std::string> expected_up;
  const size_t n = std::size(kProbes);
  // Starting module i: the ones before it are up, it and the later ones are not.
  for (size_t i = 0; i < n; ++i) {
    expected_steps.push_back(std::string("start ") + kProbes[i].name);
    std::string state;
    for (size_t j = 0; j < n; ++j) {
      state += kProbes[j].up == nullptr ? '-' : j < i ? '1' : '0';
    }
    expected_up.push_back(state);
  }
  // Finishing module i, last first: it and the ones before it are still up.
  for (size_t i = n; i-- > 0;) {
    expected_steps.push_back(std::string("finish ") + kProbes[i].name);
    std::string state;
    for (size_t j = 0; j < n; ++j) {
      state += kProbes[j].up == nullptr ? '-' : j <= i ? '1' : '0';
    }
    expected_up.push_back(state);
  }
  EXPECT_EQ(steps, expected_steps);
  EXPECT_EQ(up, expected_up);
  EXPECT_EQ(ServicesUp(), std::string("000000000-0"));
}

TEST(Program, CommandLine) {
  using Action = ProgramCommand::Action;
  const char* const bad_seed = "--seed needs a whole number from -2147483648 to 2147483647";
  const struct {
    std::vector<std::string> args;
    Action action;
    const char* error;
    int32_t seed;
  } cases[] = {
      {{}, Action::kRun, "", 500},
      {{"--help"}, Action::kHelp, "", 500},
      {{"-h"}, Action::kHelp, "", 500},
      {{"--version"}, Action::kVersion, "", 500},
      {{"--versio"}, Action::kBadUsage, "unknown option --versio", 500},
      {{"--version", "--fullscreen"}, Action::kBadUsage, "unknown option --fullscreen", 500},
      {{"world.dat"}, Action::kBadUsage, "unexpected argument world.dat", 500},
      {{""}, Action::kBadUsage, "unexpected argument ", 500},
      {{"--seed", "7"}, Action::kRun, "", 7},
      {{"--seed", "-2147483648"}, Action::kRun, "", INT32_MIN},
      {{"--seed", "2147483647", "--seed", "0"}, Action::kRun, "", 0},
      {{"--seed", "2147483648"}, Action::kBadUsage, bad_seed, 500},
      {{"--seed", "99999999999"}, Action::kBadUsage, bad_seed, 500},
      {{"--seed", "x"}, Action::kBadUsage, bad_seed, 500},
      {{"--seed", "7x"}, Action::kBadUsage, bad_seed, 500},
      {{"--seed", " 7"}, Action::kBadUsage, bad_seed, 500},
      {{"--seed", "+7"}, Action::kBadUsage, bad_seed, 500},
      {{"--seed", ""}, Action::kBadUsage, bad_seed, 500},
      {{"--seed"}, Action::kBadUsage, bad_seed, 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const ProgramCommand command = ParseProgramArguments(c.args);
    EXPECT_EQ(command.action, c.action);
    EXPECT_EQ(command.error, c.error);
    EXPECT_EQ(command.seed, c.seed);
  }
  // Answered before anything starts: no module, no window, no file.
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  EXPECT_EQ(RunProgram(ProgramVariant::kStandard, {"--version"}), 0);
  EXPECT_EQ(RunProgram(ProgramVariant::kDetail, {"--help"}), 0);
  EXPECT_EQ(RunProgram(ProgramVariant::kStandard, {"--bogus"}), 2);
  EXPECT_EQ(RunProgram(ProgramVariant::kStandard, {"--seed", "x"}), 2);
  EXPECT_EQ(RunProgram(ProgramVariant::kDetail, {"--seed", "99999999999"}), 2);
  EXPECT_FALSE(ProgramFoldersChosen());
  EXPECT_EQ(CurrentPlanetSeed(), kPlanetSeed);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  // The world is chosen before anything else happens.
  EXPECT_EQ(RunProgram(ProgramVariant::kStandard, {"--seed", "-12", "--version"}), 0);
  EXPECT_EQ(CurrentPlanetSeed(), -12);
  SetPlanetSeed(kPlanetSeed);
  const std::string usage = ProgramUsage("meridia", ProgramVariant::kStandard);
  EXPECT_EQ(usage.substr(0, usage.find('\n')), "usage: meridia [--seed N] [--help] [--version]");
  EXPECT_NE(ProgramUsage("meridia-detail", ProgramVariant::kDetail), usage);
}

TEST(Program, WithoutADataFolderItSaysWhereItLooked) {
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  InitializeModules();
  testing::FakePlatform platform;
  EXPECT_FALSE(DataFolderFound(platform));
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0], "Error: " + MissingDataMessage(CurrentProgramFolders()));
  EXPECT_NE(platform.boxes[0].find(folder / "base"), std::string::npos);
  FinalizeModules();

  std::filesystem::create_directory("base");
  InitializeModules();
  EXPECT_TRUE(DataFolderFound(platform));
  EXPECT_EQ(platform.boxes.size(), 1u);
  FinalizeModules();
}

} // namespace
} // namespace meridia
