// A planet without files or OpenGL: an in-memory erosion map and a one-colour colour map behind
// the height-map factory, an atlas without a texture, and walks over the quadtrees.
#pragma once

#include "engine/VectorGeometry.h"
#include "planet/Node.h"
#include "planet/PatchDrawing.h"
#include "planet/PlanetObject.h"
#include "planet/PlanetState.h"
#include "terrain/HeightMapFactory.h"
#include "terrain/TextureBuffer.h"
#include "view/PlanetaryCamera.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace meridia::testing {

inline std::unique_ptr<THeightMapFactory> SmallFactory() {
  auto erosion = std::make_unique<TPixelBuffer_d>();
  erosion->SetSize(64, 64);
  for (size_t i = 0; i < erosion->Data.size(); ++i) {
    erosion->Data[i] = static_cast<float>((i * 2654435761u % 1000u) / 1000.0);
  }
  TzoImage colors;
  colors.SetPixelFormat(24);
  colors.SetSize(4, 4);
  for (size_t i = 0; i < colors.Data.size(); i += 3) {
    colors.Data[i] = 40;      // blue
    colors.Data[i + 1] = 120; // green
    colors.Data[i + 2] = 200; // red
  }
  return std::make_unique<THeightMapFactory>(kPlanetSeed, std::move(erosion), std::move(colors));
}

inline void ForEachNode(TNode& node, const std::function<void(TNode&)>& visit) {
  visit(node);
  if (node.HasChildren) {
    for (auto& child : node.Child) {
      ForEachNode(*child, visit);
    }
  }
}

// Records what DrawPatch hands over.
struct RecordingSink final : PatchSink {
  struct Drawn {
    const TNode* node;
    TPatchFan fan;
    TPatchTexCoords coords;
  };
  std::vector<Drawn> fans;
  void DrawFan(const TNode& node, const TPatchFan& fan, const TPatchTexCoords& coords) override {
    fans.push_back({&node, fan, coords});
  }
};

class PlanetTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetPlanetState();
    camera_.SetPosition(TPlanetary_Camera::kViewPosition, {0, 0, 1000});
    planet_ = std::make_unique<TPlanetObject>(
        camera_, SmallFactory(),
        std::make_unique<TTextureBuffer>(kAtlasSize, kAtlasTileSize,
                                         TTextureBuffer::WithoutTexture{}));
  }
  void TearDown() override {
    planet_.reset();
    ResetPlanetState();
  }

  // One refinement pass from p, as the frame after the camera reached p runs it.
  void RefineFrom(const Vector3f& p) {
    UpdateReference(p);
    planet_->RefineIfPending();
  }

  // A point height units above the terrain in the given direction.
  static Vector3f Above(const Vector3f& direction, float height) {
    const Vector3f d = Normalized3(direction);
    const float r = GroundRadius(d) + height;
    return {d.x * r, d.y * r, d.z * r};
  }

  std::vector<TNode*> Nodes() {
    std::vector<TNode*> nodes;
    for (auto& root : planet_->Roots) {
      ForEachNode(*root, [&](TNode& n) { nodes.push_back(&n); });
    }
    return nodes;
  }

  TPlanetary_Camera camera_;
  std::unique_ptr<TPlanetObject> planet_;
};

} // namespace meridia::testing
