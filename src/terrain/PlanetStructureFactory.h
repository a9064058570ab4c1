// The planet structure factory. Its initialisation reseeds the shared random generator with the
// planet seed, which is what fixes every draw after the height-map factory is built; the spiral
// it makes is read by nothing else. It lives with the terrain, whose factory owns it.
#pragma once

#include "engine/Object.h"
#include "engine/VectorTypes.h"

#include <cstdint>
#include <vector>

namespace meridia {

class TPlanetPolygon : public TObject {
public:
  int32_t Count = 0;
  std::vector<Vector2f> Points;

  void SetCount(int32_t count);
};

class TFactory_Planet : public TObject {
public:
  TPlanetPolygon Polygon;

  void Init(int32_t seed);
};

} // namespace meridia
