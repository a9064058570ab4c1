// What a video costs a flight: the orbit flown by the real flight tool with no output and into an
// H.264 video, wall time and the processor time of the whole process, and where the video's time
// went as the tool logs it (read-back and waiting on the loop's thread, colour conversion and
// encoding on the writer's). Run the two side by side, e.g.
//   video_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
// MERIDIA_BENCH_FLIGHT_OPTIONS adds options to both flights (a window size, say).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace meridia {
namespace {

double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The last "Video ..." line of the tool's log: milliseconds a frame for each part.
void AddVideoTimings(benchmark::State& state) {
  std::ifstream log(std::string(MERIDIA_RUN_DIR) + "/meridia-flight.zolog");
  std::string line, last;
  while (std::getline(log, line)) {
    if (line.find("] Video ") != std::string::npos) {
      last = line;
    }
  }
  double read = 0, wait = 0, convert = 0, encode = 0;
  const size_t at = last.find("a frame: ");
  if (at != std::string::npos &&
      std::sscanf(last.c_str() + at,
                  "a frame: read-back %lf ms, waiting for the encoder %lf ms; on the encoder's "
                  "thread: colour conversion %lf ms, encoding %lf ms",
                  &read, &wait, &convert, &encode) == 4) {
    state.counters["read_ms"] = read;
    state.counters["wait_ms"] = wait;
    state.counters["convert_ms"] = convert;
    state.counters["encode_ms"] = encode;
  } else {
    state.SkipWithError("no video timings in the log");
  }
}

void BM_OrbitFlight(benchmark::State& state) {
  const bool video = state.range(0) != 0;
  const char* extra = std::getenv("MERIDIA_BENCH_FLIGHT_OPTIONS");
  const std::string command = std::string("cd '") + MERIDIA_RUN_DIR +
                              "' && SDL_VIDEODRIVER=offscreen ./meridia-flight --script '" +
                              MERIDIA_FLIGHTS_DIR + "/orbit.flight' " +
                              (video ? "--video /tmp/meridia-video-bench.mp4 " : "") +
                              (extra != nullptr ? extra : "") + " > /dev/null 2>&1";
  for (auto _ : state) {
    const double cpu_start = ChildrenCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the flight failed");
      break;
    }
    state.SetIterationTime(wall.count());
    state.counters["cpu_s"] = ChildrenCpuSeconds() - cpu_start;
  }
  if (video) {
    AddVideoTimings(state);
    std::remove("/tmp/meridia-video-bench.mp4");
  }
}
BENCHMARK(BM_OrbitFlight)
    ->ArgName("video")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace
} // namespace meridia
