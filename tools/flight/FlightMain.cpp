// meridia-flight: runs the viewer's own start-up and loop for a fixed number of frames, with a
// stepped clock and scripted input, and records screenshots and per-frame statistics. The tool
// for end-to-end tests, benchmarks and pictures; the program itself takes no options.
#include "FlightScript.h"

#include "app/FrameCapture.h"
#include "app/Modules.h"
#include "app/Shell.h"
#include "app/Viewer.h"
#include "engine/FrameCounters.h"
#include "engine/FrameTimer.h"
#include "engine/ProgramVariant.h"
#include "engine/StartUpTrace.h"
#include "planet/PlanetCounters.h"
#include "planet/PlanetObject.h"
#include "planet/PlanetState.h"
#include "platform/Clock.h"
#include "platform/SdlPlatform.h"
#include "terrain/TextureBuffer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>

namespace meridia::flight {
namespace {

platform::Clock* g_clock = nullptr;

// Start-up steps with their times from the tool's start: wall time, and the processor time of
// this thread and of the whole process (the rasterizer's threads included). On a busy machine
// the wall time measures the neighbours too; the processor times do not.
class StartUpTimes {
public:
  StartUpTimes()
      : wall_start_(std::chrono::steady_clock::now()),
        thread_start_(CpuMs(CLOCK_THREAD_CPUTIME_ID)),
        process_start_(CpuMs(CLOCK_PROCESS_CPUTIME_ID)) {}

  void Mark(std::string_view step) {
    const std::chrono::duration<double, std::milli> wall =
        std::chrono::steady_clock::now() - wall_start_;
    marks_.push_back({std::string(step), wall.count(),
                      CpuMs(CLOCK_THREAD_CPUTIME_ID) - thread_start_,
                      CpuMs(CLOCK_PROCESS_CPUTIME_ID) - process_start_});
  }
  StartUpRecorder Recorder() {
    return [this](std::string_view step) { Mark(step); };
  }
  bool Write(const std::string& path) const {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
      return false;
    }
    std::fprintf(out, "step,ms,thread_cpu_ms,process_cpu_ms\n");
    for (const Entry& mark : marks_) {
      std::fprintf(out, "%s,%.3f,%.3f,%.3f\n", mark.step.c_str(), mark.wall_ms, mark.thread_ms,
                   mark.process_ms);
    }
    return std::fclose(out) == 0;
  }

private:
  struct Entry {
    std::string step;
    double wall_ms;
    double thread_ms;
    double process_ms;
  };
  static double CpuMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
  }

  std::chrono::steady_clock::time_point wall_start_;
  double thread_start_;
  double process_start_;
  std::vector<Entry> marks_;
};

// The animation clock follows the loop's clock, so a stepped run is reproducible to the bit.
uint32_t LoopClockNow() {
  return g_clock->GetTickCount();
}

// Hands the script's events to the message queue when their frame comes up.
class ScriptedInput final : public platform::EventSource {
public:
  explicit ScriptedInput(std::vector<ScriptEvent> events) : events_(std::move(events)) {}

  void SetFrame(int frame) { frame_ = frame; }

  bool Poll(platform::Message& message) override {
    if (next_ < events_.size() && events_[next_].frame <= frame_) {
      message = events_[next_++].message;
      return true;
    }
    return false;
  }

private:
  std::vector<ScriptEvent> events_;
  size_t next_ = 0;
  int frame_ = 0;
};

// What the person did, as a script: the input as the window procedure receives it, with the
// start position and the clock, read off the loop.
struct Recording {
  FlightScript script;
  platform::FrameLatchedClock* clock = nullptr;
};

class FlightRecorder final : public LoopObserver {
public:
  FlightRecorder(const FlightOptions& options, Viewer& viewer, ScriptedInput& input,
                 std::FILE* stats, StartUpTimes& times, Recording* recording)
      : options_(options), viewer_(viewer), input_(input), stats_(stats), times_(times),
        recording_(recording) {}

  bool scene_ready = false;
  bool failed = false;

  void SceneReady() override {
    scene_ready = true;
    viewer_.Control.Backdrop = options_.galaxy;
    if (options_.position) {
      viewer_.Camera.SetPosition(TPlanetary_Camera::kViewPosition, *options_.position);
    }
    if (recording_ != nullptr) {
      recording_->script.position = viewer_.Camera.Positions[TPlanetary_Camera::kViewPosition];
      recording_->script.galaxy = options_.galaxy;
      // The loop reads its start next: the frames' steps count from here.
      recording_->clock->Start();
    }
  }

  void FrameStarting(int frame) override { input_.SetFrame(frame); }

  void MessageDispatched(int frame, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (recording_ == nullptr) {
      return;
    }
    switch (message) {
    case platform::WM_KEYDOWN:
    case platform::WM_KEYUP:
    case platform::WM_MOUSEMOVE:
    case platform::WM_LBUTTONDOWN:
    case platform::WM_LBUTTONUP:
      recording_->script.events.push_back({frame, {message, wParam, lParam}});
      break;
    default:
      break; // the window procedure does nothing with the rest that changes a picture
    }
  }

  void FrameRendered(int frame) override {
    if (frame == 1) {
      times_.Mark("first frame");
    }
    if (std::find(options_.shots.begin(), options_.shots.end(), frame) == options_.shots.end()) {
      return;
    }
    const std::string name = ShotFileName(options_.shots_dir, frame);
    std::error_code ec;
    std::filesystem::create_directories(options_.shots_dir, ec);
    if (!CaptureViewport().SaveToFile(name)) {
      std::fprintf(stderr, "meridia-flight: cannot write %s\n", name.c_str());
      failed = true;
    }
  }

  bool StopAfter(int frame) override { return frame >= options_.frames || failed; }

  void StepFinished(int frame, const StepTimes& step) override {
    if (stats_ == nullptr) {
      return;
    }
    const TTextureBuffer* atlas = TextureAtlas();
    const int tiles_in_use = atlas != nullptr ? atlas->TilesInUse : 0;
    const TPlanetObject* planet = CurrentPlanet();
    const double height_km = planet != nullptr ? planet->HeightAboveGround() : 0.0;
    const int generations = GenerationsThisFrame;
    std::fprintf(stats_, "%d,%.4f,%.4f,%d,%d,%d,%d,%d,%d,%d,%.6f,%.4f,%.4f,%.4f\n", frame,
                 step.render_ms, step.step_ms, TrisCount, CurrentLevel, NodesDrawn, NodeCount,
                 VertexCount, tiles_in_use, generations, height_km, GenerationMsThisFrame,
                 UploadMsThisFrame, step.swap_ms);
  }

private:
  const FlightOptions& options_;
  Viewer& viewer_;
  ScriptedInput& input_;
  std::FILE* stats_;
  StartUpTimes& times_;
  Recording* recording_;
};

// The clock of a flight that ran for `frames` frames: one step for all when every frame had the
// same, otherwise each frame's own.
void SetRecordedSteps(const std::vector<uint32_t>& steps, int frames, FlightScript& script) {
  // steps[i] is the advance before frame i + 2.
  const size_t count = std::min(steps.size(), static_cast<size_t>(std::max(frames - 1, 0)));
  if (count == 0) {
    return;
  }
  if (std::all_of(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(count),
                  [&](uint32_t step) { return step == steps[0]; }) &&
      steps[0] <= static_cast<uint32_t>(std::numeric_limits<int>::max())) {
    script.step_ms = static_cast<int>(steps[0]);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    script.steps[static_cast<int>(i) + 2] = steps[i];
  }
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

// Without a display the offscreen driver still gives a real OpenGL context.
void ChooseVideoDriver() {
  if (std::getenv("SDL_VIDEODRIVER") == nullptr && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
  }
}

int Run(const std::vector<std::string>& args) {
  StartUpTimes times;
  FlightOptions options;
  std::string error;
  if (!ParseFlightOptions(args, options, error)) {
    std::fprintf(stderr, "meridia-flight: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  FlightScript script;
  if (!options.script_path.empty()) {
    std::string text;
    if (!ReadFile(options.script_path, text)) {
      std::fprintf(stderr, "meridia-flight: cannot read %s\n", options.script_path.c_str());
      return 2;
    }
    if (!ParseFlightScript(text, script, error)) {
      std::fprintf(stderr, "meridia-flight: %s: %s\n", options.script_path.c_str(), error.c_str());
      return 2;
    }
    ApplyScriptDefaults(script, options);
  }

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stats(nullptr, &std::fclose);
  if (!options.stats_path.empty()) {
    stats.reset(std::fopen(options.stats_path.c_str(), "w"));
    if (!stats) {
      std::fprintf(stderr, "meridia-flight: cannot write %s\n", options.stats_path.c_str());
      return 2;
    }
    std::fprintf(stats.get(), "%s\n", kStatsHeader);
  }

  ChooseVideoDriver();
  SetProgramVariant(options.detail ? ProgramVariant::kDetail : ProgramVariant::kStandard);
  std::unique_ptr<platform::Clock> clock;
  if (options.step_ms > 0 || !script.steps.empty()) {
    clock = std::make_unique<platform::SteppedClock>(static_cast<uint32_t>(options.step_ms), 0,
                                                     script.steps);
  } else {
    clock = std::make_unique<platform::SystemClock>();
  }
  // A recorded flight reads the time once a frame, so that a stepped replay sees the same.
  std::unique_ptr<platform::FrameLatchedClock> latched;
  std::unique_ptr<Recording> recording;
  if (!options.record_path.empty()) {
    latched = std::make_unique<platform::FrameLatchedClock>(*clock);
    recording = std::make_unique<Recording>();
    recording->clock = latched.get();
  }
  platform::Clock& loop_clock = latched ? *latched : *clock;
  g_clock = &loop_clock;
  SetFrameTimeSource(&LoopClockNow);

  InitializeModules(times.Recorder());
  SetStartUpTrace(times.Recorder());
  bool ok = false;
  int frames_drawn = 0;
  {
    ScriptedInput input(script.events);
    platform::SdlPlatform platform(loop_clock);
    platform.AddEventSource(&input);
    Viewer viewer;
    viewer.StartUpSteps = times.Recorder();
    if (options.clock_seed) {
      viewer.ClockSeed = [seed = *options.clock_seed] { return seed; };
    }
    if (recording) {
      viewer.ClockSeed = [&options, &recording] {
        const uint32_t seed = options.clock_seed ? *options.clock_seed : FrameTimeNow();
        recording->script.clock_seed = seed;
        return seed;
      };
    }
    Shell shell(platform, viewer);
    FlightRecorder recorder(options, viewer, input, stats.get(), times, recording.get());
    shell.SetObserver(&recorder);
    shell.RunMainLoop();
    ok = recorder.scene_ready && !recorder.failed;
    frames_drawn = shell.FramesDrawn;
  }
  SetStartUpTrace(nullptr);
  FinalizeModules();
  SetFrameTimeSource(nullptr);
  g_clock = nullptr;

  if (!ok) {
    std::fprintf(stderr, "meridia-flight: the run failed (see the messages above and the log)\n");
    return 1;
  }
  if (recording) {
    recording->script.frames = frames_drawn;
    // What arrived after the last frame (with the window's closing) changed no frame.
    auto& events = recording->script.events;
    events.erase(
        std::remove_if(events.begin(), events.end(),
                       [&](const ScriptEvent& event) { return event.frame > frames_drawn; }),
        events.end());
    SetRecordedSteps(latched->Steps(), frames_drawn, recording->script);
    if (!WriteFile(options.record_path, FormatFlightScript(recording->script))) {
      std::fprintf(stderr, "meridia-flight: cannot write %s\n", options.record_path.c_str());
      return 1;
    }
  }
  if (!options.startup_path.empty() && !times.Write(options.startup_path)) {
    std::fprintf(stderr, "meridia-flight: cannot write %s\n", options.startup_path.c_str());
    return 1;
  }
  std::printf("meridia-flight: %d frames\n", frames_drawn);
  return 0;
}

} // namespace
} // namespace meridia::flight

int main(int argc, char** argv) {
  return meridia::flight::Run(std::vector<std::string>(argv + 1, argv + argc));
}
