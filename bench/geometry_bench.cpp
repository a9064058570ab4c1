// The per-frame maths of the camera: the view matrix is inverted every frame and turns are
// multiplied in on every mouse move.
#include "engine/VectorGeometry.h"
#include "view/PlanetaryCamera.h"

#include <benchmark/benchmark.h>

namespace meridia {
namespace {

void BM_InvertGeneral(benchmark::State& state) {
  TPlanetary_Camera camera;
  camera.Turn({0.3f, 1.0f, 0.2f}, 17.0f);
  Matrix4f m = QuatToMatrix(camera.Orientation);
  SetTranslation(m, 100.0f, -50.0f, 1000.0f);
  for (auto _ : state) {
    benchmark::DoNotOptimize(m);
    Matrix4f inverse = InvertGeneral(m);
    benchmark::DoNotOptimize(inverse);
  }
}
BENCHMARK(BM_InvertGeneral);

void BM_CameraTurnAndView(benchmark::State& state) {
  TPlanetary_Camera camera;
  camera.SetPosition(3, {0, 0, 1000});
  for (auto _ : state) {
    camera.Turn(camera.RightAxis(), 0.04f);
    camera.Turn(camera.UpAxis(), -0.04f);
    Matrix4f view = camera.ViewMatrix();
    benchmark::DoNotOptimize(view);
  }
}
BENCHMARK(BM_CameraTurnAndView);

void BM_QuatSlerp(benchmark::State& state) {
  const Quaternion a = QuatFromAxisDegrees({1, 0, 0}, 10);
  const Quaternion b = QuatFromAxisDegrees({0, 1, 1}, 25);
  float t = 0.0f;
  for (auto _ : state) {
    t = t > 1.0f ? 0.0f : t + 0.001f;
    Quaternion q = QuatSlerp(a, b, t);
    benchmark::DoNotOptimize(q);
  }
}
BENCHMARK(BM_QuatSlerp);

} // namespace
} // namespace meridia
