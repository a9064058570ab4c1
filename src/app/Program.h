// The program from process start to end: module start-up, the main routine (the window and its
// loop), module shut-down. Both program variants run this; they differ only in the variant they
// set.
#pragma once

#include "app/SceneHooks.h"
#include "app/StartUpRecorder.h"
#include "engine/ProgramVariant.h"
#include "platform/Platform.h"

#include <functional>

namespace meridia {

int RunProgram(ProgramVariant variant);

// Starts the modules, runs the main routine and finishes the modules whatever it returned; its
// objects (platform, scene) are to live and die inside it, while the modules are up.
int RunWithModules(const std::function<int()>& main_routine, const StartUpRecorder& record = {});

// The window and the context, InitScene and the loop, and their release; neither InitScene nor
// the loop runs when the window or the context cannot be made. The shell's exit code.
int RunMainRoutine(platform::Platform& platform, SceneHooks& scene,
                   LoopObserver* observer = nullptr);

} // namespace meridia
