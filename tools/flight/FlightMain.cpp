// meridia-flight: runs the viewer's own start-up and loop for a fixed number of frames, with a
// stepped clock and scripted input, and records screenshots, per-frame statistics and videos.
// The tool for end-to-end tests, benchmarks, pictures and films; the program itself takes no
// options.
#include "FlightProgress.h"
#include "FlightScript.h"

#include "app/FrameCapture.h"
#include "app/Modules.h"
#include "app/Program.h"
#include "app/Shell.h"
#include "app/Viewer.h"
#include "engine/FrameCounters.h"
#include "engine/FrameTimer.h"
#include "engine/PlanetSeed.h"
#include "engine/ProgramVariant.h"
#include "engine/StartUpTrace.h"
#include "planet/PlanetCounters.h"
#include "planet/PlanetObject.h"
#include "planet/PlanetState.h"
#include "platform/Clock.h"
#include "platform/SdlPlatform.h"
#include "storage/Log.h"
#include "storage/ProgramFolders.h"
#include "terrain/TextureBuffer.h"
#include "video/VideoWriter.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <numeric>
#include <sstream>

namespace meridia::flight {
namespace {

platform::Clock* g_clock = nullptr;

// SIGINT or SIGTERM during a video flight: the flight ends after the frame being drawn, so that
// the frames so far still make a whole video.
volatile sig_atomic_t g_stop_signal = 0;

void StopOnSignal(int signal) {
  g_stop_signal = signal;
}

void StopOnSignals() {
  struct sigaction action {};
  action.sa_handler = &StopOnSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

double CpuMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

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
  double SecondsRunning() const { return MsSince(wall_start_) / 1000.0; }
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
};

// Every frame into the video, with the overlay on it as on screen, at the loop clock's time from
// the first frame. A frame's read is queued before its swap and collected after the next, once
// the loop has waited for the driver to draw it.
class VideoRecorder {
public:
  explicit VideoRecorder(video::VideoWriter& writer) : writer_(writer) {}

  // The frame is drawn, not yet swapped.
  bool Read(int frame) {
    const auto start = std::chrono::steady_clock::now();
    const uint32_t now = g_clock->GetTickCount();
    if (frame == 1) {
      start_ms_ = now;
    }
    if (!read_back_.Queue()) {
      return false;
    }
    times_.push_back(static_cast<double>(now - start_ms_));
    read_ms_ += MsSince(start);
    return true;
  }

  // Hands the encoder every frame read but the latest, or all of them at the end.
  bool Send(bool all) {
    while (read_back_.Pending() > (all ? 0u : 1u)) {
      const auto start = std::chrono::steady_clock::now();
      video::VideoFrame picture = writer_.TakeFrame();
      if (!read_back_.Collect(picture.pixels, picture.width, picture.height)) {
        return false;
      }
      picture.time_ms = times_.front();
      times_.pop_front();
      const auto queue_start = std::chrono::steady_clock::now();
      read_ms_ += MsSince(start);
      const bool queued = writer_.Queue(std::move(picture));
      wait_ms_ += MsSince(queue_start);
      ++frames_;
      if (!queued) {
        return false;
      }
    }
    return true;
  }

  // Where a video flight's time went, for the log.
  std::string Timings() const {
    const video::VideoTimings worker = writer_.Timings();
    char line[256];
    std::snprintf(line, sizeof(line),
                  "Video %dx%d: %d frames; a frame: read-back %.2f ms, waiting for the encoder "
                  "%.2f ms; on the encoder's thread: colour conversion %.2f ms, encoding %.2f ms",
                  writer_.Width(), writer_.Height(), frames_, read_ms_ / std::max(frames_, 1),
                  wait_ms_ / std::max(frames_, 1), worker.convert_ms / std::max(worker.frames, 1),
                  worker.encode_ms / std::max(worker.frames, 1));
    return line;
  }

private:
  video::VideoWriter& writer_;
  FrameReadBack read_back_;
  std::deque<double> times_; // of the frames read and not yet sent
  uint32_t start_ms_ = 0;
  int frames_ = 0;
  double read_ms_ = 0;
  double wait_ms_ = 0;
};

class FlightRecorder final : public LoopObserver {
public:
  FlightRecorder(const FlightOptions& options, Viewer& viewer, ScriptedInput& input,
                 std::FILE* stats, StartUpTimes& times, Recording* recording, ClientSize start,
                 platform::FrameLatchedClock* latched, VideoRecorder* video)
      : progress(stderr, isatty(STDERR_FILENO) != 0, options.frames), options_(options),
        viewer_(viewer), input_(input), stats_(stats), times_(times), recording_(recording),
        size_(start), latched_(latched), video_(video) {}

  bool scene_ready = false;
  bool failed = false;
  FlightProgress progress;

  void SceneReady() override {
    scene_ready = true;
    viewer_.Control.Backdrop = options_.galaxy;
    if (options_.position) {
      viewer_.Camera.SetPosition(TPlanetary_Camera::kViewPosition, *options_.position);
    }
    if (recording_ != nullptr) {
      recording_->script.position = viewer_.Camera.Positions[TPlanetary_Camera::kViewPosition];
      recording_->script.galaxy = options_.galaxy;
    }
    if (latched_ != nullptr) {
      // The loop reads its start next: the frames' steps count from here.
      latched_->Start();
    }
    flight_start_ = std::chrono::steady_clock::now();
    frame_cpu_start_ = CpuMs(CLOCK_THREAD_CPUTIME_ID);
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
    case platform::WM_COMMAND:
      recording_->script.events.push_back({frame, {message, wParam, lParam}});
      break;
    case platform::WM_SIZE: {
      // Only changes: the window system repeats a size now and then.
      const ClientSize size{platform::LowWord(lParam), platform::HighWord(lParam)};
      if (size != size_) {
        recording_->script.events.push_back({frame, {message, wParam, lParam}});
        size_ = size;
      }
      break;
    }
    default:
      break; // the window procedure does nothing with the rest that changes a picture
    }
  }

  void FrameRendered(int frame) override {
    if (frame == 1) {
      times_.Mark("first frame");
    }
    if (video_ != nullptr && !failed && !video_->Read(frame)) {
      std::fprintf(stderr, "meridia-flight: frame %d has no pixels to read for the video\n", frame);
      failed = true;
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

  bool StopAfter(int frame) override {
    return frame >= options_.frames || failed || g_stop_signal != 0;
  }

  void StepFinished(int frame, const StepTimes& step) override {
    if (video_ != nullptr && !failed && !video_->Send(false)) {
      failed = true;
    }
    progress.FrameDone(frame, times_.SecondsRunning(), MsSince(flight_start_) / 1000.0);
    // The main thread's processor time from the end of the previous frame, its messages
    // included: what the frame costs whatever the driver, the rasterizer's threads left out.
    const double cpu_now = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    const double cpu_ms = cpu_now - frame_cpu_start_;
    frame_cpu_start_ = cpu_now;
    if (stats_ == nullptr) {
      return;
    }
    const TTextureBuffer* atlas = TextureAtlas();
    const int tiles_in_use = atlas != nullptr ? atlas->TilesInUse : 0;
    const TPlanetObject* planet = CurrentPlanet();
    const double height_km = planet != nullptr ? planet->HeightAboveGround() : 0.0;
    const int generations = GenerationsThisFrame;
    std::fprintf(stats_, "%d,%.4f,%.4f,%d,%d,%d,%d,%d,%d,%d,%.6f,%.4f,%.4f,%.4f,%d,%d,%d,%.4f\n",
                 frame, step.render_ms, step.step_ms, TrisCount, CurrentLevel, NodesDrawn,
                 NodeCount, VertexCount, tiles_in_use, generations, height_km,
                 GenerationMsThisFrame, UploadMsThisFrame, step.swap_ms, TreesDrawn,
                 TreeImpostorsDrawn, BuildingsDrawn, cpu_ms);
  }

  void LoopEnded() override {
    if (video_ != nullptr && !failed && !video_->Send(true)) {
      failed = true;
    }
  }

private:
  const FlightOptions& options_;
  Viewer& viewer_;
  ScriptedInput& input_;
  std::FILE* stats_;
  StartUpTimes& times_;
  Recording* recording_;
  ClientSize size_; // the client area as the window procedure last heard it
  platform::FrameLatchedClock* latched_;
  VideoRecorder* video_;
  std::chrono::steady_clock::time_point flight_start_;
  double frame_cpu_start_ = 0;
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

// The video's rate: --fps, or the stepped clock's own when every frame has the same step. Real
// time and frames of their own steps keep their times to the millisecond.
video::VideoSettings VideoSettingsFor(const FlightOptions& options, const FlightScript& script) {
  video::VideoSettings settings;
  settings.path = options.video_path;
  settings.quality = options.quality;
  if (options.fps) {
    settings.rate_num = *options.fps;
    settings.exact_rate = true;
  } else if (options.step_ms > 0 && script.steps.empty()) {
    const int divisor = std::gcd(1000, options.step_ms);
    settings.rate_num = 1000 / divisor;
    settings.rate_den = options.step_ms / divisor;
    settings.exact_rate = true;
  }
  return settings;
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
  if (options.fps) {
    ApplyFrameRate(*options.fps, options, script);
  }

  // A folder given on the command line is the person's, taken from the current folder; it never
  // goes through the viewer's own names.
  if (options.shots_dir_given) {
    options.shots_dir = std::filesystem::absolute(options.shots_dir).string();
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

  std::unique_ptr<video::VideoWriter> video;
  if (!options.video_path.empty()) {
    StopOnSignals();
    video = video::VideoWriter::Create(VideoSettingsFor(options, script), error);
    if (!video) {
      std::fprintf(stderr, "meridia-flight: %s\n", error.c_str());
      return 1;
    }
  }

  ChooseVideoDriver();
  SetProgramVariant(options.detail ? ProgramVariant::kDetail : ProgramVariant::kStandard);
  SetPlanetSeed(options.seed.value_or(kPlanetSeed));
  std::unique_ptr<platform::Clock> clock;
  if (options.step_ms > 0 || !script.steps.empty()) {
    clock = std::make_unique<platform::SteppedClock>(static_cast<uint32_t>(options.step_ms), 0,
                                                     script.steps);
  } else {
    clock = std::make_unique<platform::SystemClock>();
  }
  // A recorded flight reads the time once a frame, so that a stepped replay sees the same; so
  // does a video, whose frame times are the loop's.
  std::unique_ptr<platform::FrameLatchedClock> latched;
  std::unique_ptr<Recording> recording;
  if (!options.record_path.empty() || video) {
    latched = std::make_unique<platform::FrameLatchedClock>(*clock);
  }
  if (!options.record_path.empty()) {
    recording = std::make_unique<Recording>();
  }
  platform::Clock& loop_clock = latched ? *latched : *clock;
  g_clock = &loop_clock;
  SetFrameTimeSource(&LoopClockNow);

  // The program's window is 800 by 600 outside; headless, or with a size of the flight's own,
  // that is the client area.
  const ClientSize start = options.size.value_or(ClientSize{800, 600});
  if (recording) {
    recording->script.size = options.size;
  }

  InitializeModules(times.Recorder());
  bool has_data = true;
  {
    platform::SdlPlatform platform(loop_clock);
    has_data = DataFolderFound(platform);
  }
  if (!has_data) {
    FinalizeModules();
    SetFrameTimeSource(nullptr);
    g_clock = nullptr;
    return 1;
  }
  if (!options.shots_dir_given) {
    options.shots_dir = CurrentProgramFolders().screens;
  }
  SetStartUpTrace(times.Recorder());
  bool ok = false;
  int frames_drawn = 0;
  {
    ScriptedInput input(script.events);
    platform::SdlPlatform platform(loop_clock);
    platform.AddEventSource(&input);
    if (options.size || !options.script_path.empty()) {
      platform.SetClientSize(start.width, start.height);
    }
    // A replay sizes the window as its script says, the same on any display or none; the
    // window system's own sizes, full screen's among them, would differ from one to the next.
    if (!options.script_path.empty()) {
      platform.HoldWindowSize();
    }
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
    std::unique_ptr<VideoRecorder> video_recorder;
    if (video) {
      video_recorder = std::make_unique<VideoRecorder>(*video);
    }
    FlightRecorder recorder(options, viewer, input, stats.get(), times, recording.get(), start,
                            latched.get(), video_recorder.get());
    shell.SetObserver(&recorder);
    shell.RunMainLoop();
    recorder.progress.Finish();
    ok = recorder.scene_ready && !recorder.failed;
    frames_drawn = shell.FramesDrawn;
    if (ok && video) {
      ok = video->Finish(error);
      LogWrite(video_recorder->Timings());
    } else if (video) {
      error = video->Error();
    }
  }
  SetStartUpTrace(nullptr);
  FinalizeModules();
  SetFrameTimeSource(nullptr);
  g_clock = nullptr;

  if (!ok) {
    std::fprintf(stderr, "meridia-flight: %s\n",
                 !error.empty() ? error.c_str()
                                : "the run failed (see the messages above and the log)");
    return 1;
  }
  if (recording) {
    recording->script.frames = frames_drawn;
    recording->script.seed = CurrentPlanetSeed();
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
  if (!options.shots.empty()) {
    std::printf("meridia-flight: shots in %s\n", options.shots_dir.c_str());
  }
  std::printf("meridia-flight: %d frames\n", frames_drawn);
  if (g_stop_signal != 0) {
    std::fflush(stdout);
    std::fprintf(
        stderr, "meridia-flight: stopped by %s after frame %d; %s holds every frame flown\n",
        g_stop_signal == SIGINT ? "SIGINT" : "SIGTERM", frames_drawn, options.video_path.c_str());
    return 128 + g_stop_signal;
  }
  return 0;
}

} // namespace
} // namespace meridia::flight

int main(int argc, char** argv) {
  return meridia::flight::Run(std::vector<std::string>(argv + 1, argv + argc));
}
