// What the planet pass and its quadtree nodes share within a process: the camera position of the
// last refinement trigger and the horizon it gave, and the patches waiting for a texture in the
// frame being drawn. One instance; only the planet and its nodes write it.
#pragma once

#include "engine/VectorTypes.h"
#include "planet/PlanetCounters.h"
#include "view/RenderOrigin.h"

#include <array>
#include <cstdint>

namespace meridia {

class TNode;

// Nodes of this level or deeper are never split, so CurrentLevel stays at or below 20.
inline constexpr int32_t MaxNodeLevel = 21;

// Patches seen this frame without a texture, one bounded list per node level.
struct TGenerationQueue {
  static constexpr int32_t kLevels = 31;
  static constexpr int32_t kCapacity = 50;

  std::array<std::array<TNode*, kCapacity>, kLevels> Nodes{};
  std::array<int32_t, kLevels> Count{};

  void Clear() { Count.fill(0); }
  // A full list drops the node for this frame; it is queued again when seen again.
  void Add(TNode* node, int32_t level) {
    if (level < 0 || level >= kLevels || Count[static_cast<size_t>(level)] >= kCapacity) {
      return;
    }
    Nodes[static_cast<size_t>(level)][static_cast<size_t>(Count[static_cast<size_t>(level)]++)] =
        node;
  }
  // A node leaving the tree leaves its list too, keeping the others in order: whatever runs
  // between drawing and building, the queue never holds a freed node.
  void Remove(const TNode* node, int32_t level) {
    if (level < 0 || level >= kLevels) {
      return;
    }
    auto& list = Nodes[static_cast<size_t>(level)];
    int32_t& count = Count[static_cast<size_t>(level)];
    int32_t kept = 0;
    for (int32_t k = 0; k < count; ++k) {
      if (list[static_cast<size_t>(k)] != node) {
        list[static_cast<size_t>(kept++)] = list[static_cast<size_t>(k)];
      }
    }
    count = kept;
  }
};

// Set when the camera moved at least the level's step; cleared by the next refinement pass.
inline bool RefinePending = false;
// Far from any camera, so the first trigger always refines.
inline Vector3f ReferencePosition{-999999, -99999, -99999};
inline double ReferenceDistance = 0;
inline float HorizonDistance = 0;
inline int32_t GenerationsThisFrame = 0;
// This frame's time building patch textures on the processor and handing them to the atlas, for
// the statistics.
inline double GenerationMsThisFrame = 0;
inline double UploadMsThisFrame = 0;
// 50 on the first frame, which builds the coarse levels; 15 afterwards.
inline int32_t GenerationBudget = 50;
inline TGenerationQueue GenerationQueue;

// The state of a fresh process, for a planet built again within one (tests). The counters of
// live nodes and vertices are left alone: they count objects, not frames. A new planet is drawn
// from its centre until a viewer lands on it.
inline void ResetPlanetState() {
  RefinePending = false;
  ReferencePosition = {-999999, -99999, -99999};
  ReferenceDistance = 0;
  HorizonDistance = 0;
  GenerationsThisFrame = 0;
  GenerationMsThisFrame = 0;
  UploadMsThisFrame = 0;
  GenerationBudget = 50;
  GenerationQueue.Clear();
  CurrentLevel = 0;
  NodesDrawn = 0;
  SetRenderOrigin({0, 0, 0});
}

} // namespace meridia
