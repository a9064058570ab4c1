// The overlay's per-frame cost: the five machine texts, queried afresh every frame, the line
// texts, their glyph layout, and the whole overlay drawn in an offscreen context.
#include "ShellContext.h"

#include "app/Overlay.h"
#include "app/SystemInfo.h"
#include "imaging/GuiFont.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace meridia {
namespace {

// One 800 by 600 offscreen context with the overlay's font, made on first use and kept for the
// whole run.
struct Context : bench::ShellContext {
  Context() {
    if (ready) {
      glViewport(0, 0, 800, 600);
      font.SetFont("Arial", 8);
    }
  }
  Tgui_font font;
};

Context& GL() {
  static Context* context = new Context; // outlives every benchmark; never torn down
  return *context;
}

OverlayValues MachineValues() {
  OverlayValues v;
  v.OSName = GetOSName();
  v.OSBuild = GetOSBuild();
  v.ProcessorName = GetProcessorName();
  v.MemoryText = GetMemoryText();
  v.VideoText = "llvmpipe (LLVM 15.0.6, 256 bits) (driver 4.5 (Compatibility Profile) Mesa 22.3.6)";
  v.TrisCount = 123456;
  v.MoveSpeed = 50;
  v.CameraMode = 3;
  return v;
}

void BM_GetProcessorName(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetProcessorName());
  }
}
BENCHMARK(BM_GetProcessorName);

// What reading all of /proc/cpuinfo would cost instead of its first block.
void BM_ReadWholeCpuInfo(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in("/proc/cpuinfo");
    std::ostringstream text;
    text << in.rdbuf();
    benchmark::DoNotOptimize(ProcessorNameFromCpuInfo(text.str()));
  }
}
BENCHMARK(BM_ReadWholeCpuInfo);

void BM_GetMemoryText(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetMemoryText());
  }
}
BENCHMARK(BM_GetMemoryText);

void BM_GetOSName(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetOSName());
  }
}
BENCHMARK(BM_GetOSName);

void BM_GetOSBuild(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetOSBuild());
  }
}
BENCHMARK(BM_GetOSBuild);

void BM_GetVideoText(benchmark::State& state) {
  if (!GL().ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetVideoText());
  }
}
BENCHMARK(BM_GetVideoText);

// The five texts together: what every frame pays for the machine lines.
void BM_AllMachineTexts(benchmark::State& state) {
  if (!GL().ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetOSName());
    benchmark::DoNotOptimize(GetOSBuild());
    benchmark::DoNotOptimize(GetVideoText());
    benchmark::DoNotOptimize(GetProcessorName());
    benchmark::DoNotOptimize(GetMemoryText());
  }
}
BENCHMARK(BM_AllMachineTexts);

void BM_OverlayLines(benchmark::State& state) {
  const OverlayValues values = MachineValues();
  for (auto _ : state) {
    benchmark::DoNotOptimize(OverlayLines(values, 600));
  }
}
BENCHMARK(BM_OverlayLines);

void BM_LayoutOverlayLines(benchmark::State& state) {
  Tgui_font font;
  font.BuildAtlas("Arial", 8);
  const auto lines = OverlayLines(MachineValues(), 600);
  std::vector<PrintCommand> commands;
  size_t quads = 0;
  for (auto _ : state) {
    quads = 0;
    for (const OverlayLine& line : lines) {
      font.LayoutPrint(line.Text, line.X, line.Y, commands);
      quads += commands.size();
    }
    benchmark::DoNotOptimize(commands.data());
  }
  state.counters["quads"] = static_cast<double>(quads);
}
BENCHMARK(BM_LayoutOverlayLines);

// DrawOverlay with its values already gathered, finished on the GPU (llvmpipe: the CPU).
void BM_DrawOverlay(benchmark::State& state) {
  if (!GL().ready) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  const OverlayValues values = MachineValues();
  for (auto _ : state) {
    DrawOverlay(GL().font, values);
    glFinish();
  }
}
BENCHMARK(BM_DrawOverlay)->Unit(benchmark::kMicrosecond);

// Building the font: what start-up pays once.
void BM_BuildFontAtlas(benchmark::State& state) {
  for (auto _ : state) {
    Tgui_font font;
    benchmark::DoNotOptimize(font.BuildAtlas("Arial", 8));
  }
}
BENCHMARK(BM_BuildFontAtlas)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
