#include "app/Program.h"

#include "FakePlatform.h"
#include "platform/Messages.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <algorithm>
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
  ASSERT_EQ(starts.size(), 9u);
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
    ASSERT_EQ(starts.size(), 9u);
    std::vector<std::string> expected = starts;
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
      expected.push_back("finish " + it->substr(6));
    }
    EXPECT_EQ(log, expected) << "neither InitScene nor a frame";
  }
}

} // namespace
} // namespace meridia
