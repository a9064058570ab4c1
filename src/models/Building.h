// The buildings of one quadtree node, and the catalogue of building models they are drawn from.
// A node's buildings are placed once, on its first visible decoration pass, and drawn on every
// later one; the catalogue is loaded at start-up and kept to the end.
#pragma once

#include "engine/VectorTypes.h"
#include "models/Model.h"
#include "models/ModelInstance.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace meridia {

struct TzoFrustum;

// Buildings planted on a node.
inline constexpr int32_t kBuildingsPerNode = 5;

class TBuilding {
public:
  // Count places; places past a smaller count are freed.
  void SetCount(int32_t n);
  // A new instance at index, turned by one draw of the shared generator, upright on the
  // planet at position, of the catalogue model kind mod the catalogue's size. An index outside
  // the count is ignored (and draws nothing).
  void AddBuilding(int32_t index, int32_t kind, const Vector3f& position);
  // Each instance whose base point is inside the frustum (radius 0), in order; their triangle
  // counts go to TrisCount. Needs a current context.
  void Render(const TzoFrustum& frustum) const;

  int32_t Count = 0;
  bool Planted = false;
  std::vector<std::unique_ptr<TModelInstance>> Instances;
};

// The building catalogue: filled by InitCity, cleared at exit.
std::vector<std::unique_ptr<TModel>>& BuildingModels();

// Appends the model "base\models\city\<name>\Bld_<name>.obj" turned Z-up to Y-up and scaled;
// it stays in the catalogue, empty, when the file is missing.
void LoadBuildingModel(std::string_view name, float scale);

// The catalogue of the city: model "47" at scale 0.1. Needs a current context.
void InitCity();

} // namespace meridia
