#include "models/Building.h"

#include "engine/Random.h"
#include "engine/VectorGeometry.h"

#include <string>

namespace meridia {

void TBuilding::SetCount(int32_t n) {
  Count = n < 0 ? 0 : n;
  Instances.resize(static_cast<size_t>(Count));
}

void TBuilding::AddBuilding(int32_t index, int32_t kind, const Vector3f& position) {
  // The turn is drawn even where nothing is placed, so that later draws stay in step.
  const float turn = static_cast<float>(360.0 * RandomReal());
  if (index < 0 || index >= Count) {
    return;
  }
  const std::vector<std::unique_ptr<TModel>>& models = BuildingModels();
  TModel* model = nullptr;
  if (!models.empty()) {
    const int64_t n = static_cast<int64_t>(models.size());
    model = models[static_cast<size_t>((kind % n + n) % n)].get();
  }
  auto instance = std::make_unique<TModelInstance>();
  Vector3f up = position;
  if (!IsNearZero3(up)) {
    up = Normalized3(up);
  }
  instance->Setup(model, position, up, turn);
  Instances[static_cast<size_t>(index)] = std::move(instance);
}

std::vector<std::unique_ptr<TModel>>& BuildingModels() {
  static std::vector<std::unique_ptr<TModel>> models;
  return models;
}

void LoadBuildingModel(std::string_view name, float scale) {
  std::string path = "base\\models\\city\\";
  path.append(name).append("\\Bld_").append(name).append(".obj");
  TModel* model = BuildingModels().emplace_back(std::make_unique<TModel>()).get();
  model->Load(path, true, scale);
}

void InitCity() {
  LoadBuildingModel("47", 0.1f);
}

} // namespace meridia
