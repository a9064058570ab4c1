#include "vegetation/Wind.h"

#include "engine/VectorGeometry.h"

#include <cmath>

namespace meridia {

float WindTime = 0;

namespace {

// One slow wave of period p; the reduction only keeps the sine's argument small.
double Wave(double t, double p) {
  return std::sin(2.0 * kPi * FloatMod(static_cast<float>(t), static_cast<float>(p)) / p);
}

double Gust(double t, double p) {
  return 0.5 + 0.5 * Wave(t, p);
}

} // namespace

void SetWindTime(int64_t ms) {
  WindTime = static_cast<float>(static_cast<double>(ms) / 1000.0);
}

Vector3f WindVector(float x, float z) {
  const double t = static_cast<double>(WindTime) + 0.05 * x + 0.05 * z;
  const double angle = 0.6283185307 * (Wave(t, 3.43) + Wave(t, 6.73) + Wave(t, 8.71) +
                                       Wave(t, 10.23) + Wave(t, 15.13));
  const double strength = 1.5 * (0.2 * Gust(t, 1.53) + 0.3 * Gust(t, 2.73) + 0.5 * Gust(t, 4.89) +
                                 0.6 * Gust(t, 5.37) + 0.7 * Gust(t, 6.79) + 0.8 * Gust(t, 9.79));
  return {static_cast<float>(std::cos(angle) * strength), 0.0f,
          static_cast<float>(std::sin(angle) * strength)};
}

} // namespace meridia
