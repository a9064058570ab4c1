#include "terrain/PlanetStructureFactory.h"

#include "engine/Random.h"
#include "engine/VectorGeometry.h"

#include <cmath>

namespace meridia {

void TPlanetPolygon::SetCount(int32_t count) {
  Count = count < 0 ? 0 : count;
  Points.resize(static_cast<size_t>(Count));
}

void TFactory_Planet::Init(int32_t seed) {
  SetRandSeed(static_cast<uint32_t>(seed));
  Polygon.SetCount(4000);
  for (int32_t i = 0; i < Polygon.Count; ++i) {
    const double angle = i * (kPi / 180.0);
    const double scale = i / 4000.0;
    Polygon.Points[static_cast<size_t>(i)] = {static_cast<float>(std::sin(angle) * scale),
                                              static_cast<float>(std::cos(angle) * scale)};
  }
  Polygon.Points[0] = {0.0f, 0.0f};
}

} // namespace meridia
