// Picture decoding and texture upload as start-up pays for them: a 1024 by 1024 picture in the
// formats the data files use, decoded from memory, and LoadTexture of it with and without
// compression on the current driver (llvmpipe headless).
#include "decoders/ImageDecoders.h"
#include "gl/GLImplementation.h"
#include "models/Material.h"

#include <benchmark/benchmark.h>

#include "support/OffscreenGLContext.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace meridia {
namespace {

constexpr int kSide = 1024;

// Smooth shapes with some noise, so that neither format meets a trivial picture.
SDL_Surface* Picture(bool alpha) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(
      0, kSide, kSide, 32, alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_RGB888);
  uint32_t noise = 12345;
  for (int y = 0; y < kSide; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < kSide; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const uint32_t r = (x * 255 / kSide) ^ (noise >> 29);
      const uint32_t g = ((x + y) * 127 / kSide) & 0xFF;
      const uint32_t b = (y * 255 / kSide) ^ (noise >> 30);
      row[x] = uint32_t(alpha ? (x ^ y) & 0xFF : 255) << 24 | r << 16 | g << 8 | b;
    }
  }
  return s;
}

// The pictures are written by SDL_image and read back: a scratch file in the system's
// temporary folder.
std::vector<uint8_t> Encoded(const char* name) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("meridia-bench-" + std::to_string(getpid()) + "-" + name))
                               .string();
  const bool png = std::string(name).ends_with(".png");
  SDL_Surface* s = Picture(png);
  if (png) {
    IMG_SavePNG(s, path.c_str());
  } else {
    IMG_SaveJPG(s, path.c_str(), 90);
  }
  SDL_FreeSurface(s);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::filesystem::remove(path);
  return bytes;
}

void BM_Decode(benchmark::State& state, const char* name) {
  RegisterImageDecoders();
  const std::vector<uint8_t> bytes = Encoded(name);
  for (auto _ : state) {
    TDecodeResult result;
    if (!DecodeImage(bytes, name, result)) {
      state.SkipWithError(result.Error.c_str());
      break;
    }
    benchmark::DoNotOptimize(result.Bitmap.Pixels.data());
  }
  state.counters["file_kb"] = static_cast<double>(bytes.size()) / 1024;
}
BENCHMARK_CAPTURE(BM_Decode, jpeg, "picture.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, png_rgba, "picture.png")->Unit(benchmark::kMillisecond);

// The whole of LoadTexture: reading the file, decoding, reordering rows and the mipmap upload.
void BM_LoadTexture(benchmark::State& state, bool compress) {
  testing::OffscreenGLContext context(64, 64);
  if (!context.Ready()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  RegisterImageDecoders();
  const std::vector<uint8_t> bytes = Encoded("picture.jpg");
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("meridia-bench-" + std::to_string(getpid()) + "-load.jpg"))
                               .string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  TextureCompressionAvailable = compress;
  for (auto _ : state) {
    uint32_t id = 0;
    LoadTexture(path, id);
    glFinish();
    const GLuint name = id;
    glDeleteTextures(1, &name);
  }
  TextureCompressionAvailable = false;
  std::filesystem::remove(path);
}
BENCHMARK_CAPTURE(BM_LoadTexture, plain, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadTexture, compressed, true)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace meridia
