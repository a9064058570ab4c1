// Start-up on a driver that lacks an extension the program cannot run without. Mesa hides an
// extension when MESA_EXTENSION_OVERRIDE names it with a minus; it reads the variable once, when
// the process makes its first context, so this executable holds these cases alone.
#include "app/Shell.h"
#include "app/Viewer.h"
#include "storage/Log.h"

#include "app/FakePlatform.h"
#include "support/OffscreenGLContext.h"
#include "support/TemporaryFolder.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace meridia {
namespace {

constexpr const char* kHidden = "-GL_ARB_vertex_program";
constexpr const char* kMessage = "Required OpenGL extension missing: GL_ARB_vertex_program";

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(StartUpGL, TheSceneNamesTheMissingExtensionAndTheShellReleasesEverything) {
  setenv("MESA_EXTENSION_OVERRIDE", kHidden, 1);
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  ASSERT_TRUE(LogStart(folder / "run.zolog"));
  {
    // The driver's real context, current before the shell asks the fake window system for
    // one; the fake records the message box.
    testing::OffscreenGLContext context(64, 64);
    ASSERT_TRUE(context.Ready()) << SDL_GetError();
    testing::FakePlatform platform;
    Viewer viewer;
    Shell shell(platform, viewer);
    shell.RunMainLoop();
    EXPECT_EQ(platform.boxes, std::vector<std::string>{std::string("Error: ") + kMessage});
    EXPECT_NE(shell.ExitCode, 0);
    EXPECT_EQ(shell.FramesDrawn, 0);
    EXPECT_EQ(viewer.PlanetControl, nullptr);
    ASSERT_FALSE(platform.calls.empty());
    EXPECT_EQ(platform.calls.back(), "FreeGLLibraries");
  }
  LogFinish();
  EXPECT_NE(ReadText(folder / "run.zolog").find(std::string(" ") + kMessage + "\n"),
            std::string::npos);
}

TEST(StartUpGL, TheProgramEndsWithAFailureCodeAndSaysWhy) {
  testing::TemporaryFolder folder;
  const std::filesystem::path program = folder.path() / "meridia";
  std::filesystem::copy_file(std::filesystem::path(MERIDIA_RUN_DIR) / "meridia", program);
  // A data folder, empty: the program gets as far as the context before it stops.
  std::filesystem::create_directory(folder.path() / "base");
  const std::string command = "cd '" + folder.path().string() +
                              "' && SDL_VIDEODRIVER=offscreen MESA_EXTENSION_OVERRIDE=" + kHidden +
                              " ./meridia > out.txt 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  // Without a display the box cannot be shown: its text goes to the error output and the log.
  EXPECT_NE(ReadText(folder.path() / "out.txt").find(kMessage), std::string::npos);
  const std::string log = ReadText(folder.path() / "meridia.zolog");
  EXPECT_NE(log.find(std::string(" ") + kMessage + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Log Finished"), std::string::npos) << log;
}

} // namespace
} // namespace meridia
