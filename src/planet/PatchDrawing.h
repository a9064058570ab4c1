// A leaf patch as plain data: the grid vertices of its triangle fan in drawing order and where
// each samples the texture atlas, with an untextured patch showing its part of the nearest
// textured ancestor's tile. DrawPatch hands fans to a PatchSink; the program's sink submits them
// to OpenGL in immediate mode.
#pragma once

#include "engine/VectorTypes.h"
#include "terrain/PatchTexels.h"

#include <array>
#include <cstdint>
#include <vector>

namespace meridia {

class TNode;

// The atlas the planet creates: 2048 texels square, tiles of 16, 128 tiles a row.
inline constexpr int32_t kAtlasSize = 2048;
inline constexpr int32_t kAtlasTileSize = 16;
inline constexpr int32_t kAtlasTilesPerRow = kAtlasSize / kAtlasTileSize;

// The hub 4, the ring of corners and present edge midpoints, closed on corner 0: 6 to 10
// entries.
struct TPatchFan {
  int32_t Count = 0;
  std::array<uint8_t, 10> Index{};
};

// Atlas coordinates (s, t) of each of the nine grid indices.
using TPatchTexCoords = std::array<Vector2f, 9>;

// Counter-clockwise seen from outside the planet on every face: faces 1, 2 and 5 list their
// grid the other way round, so their ring runs reversed.
TPatchFan BuildPatchFan(const TNode& node);
void PatchTexCoords(const TNode& node, TPatchTexCoords& coords);

// All that a patch's texels depend on besides the height-map factory: its face and the lattice
// coordinates of its first and last grid vertex. Equal places give the same texels, whichever
// node holds them and whenever they are built.
struct TPatchPlace {
  int32_t Face = 0;
  double U0 = 0, V0 = 0, U1 = 0, V1 = 0;
  bool operator==(const TPatchPlace&) const = default;
};
TPatchPlace PatchPlace(const TNode& node);

// The 18 by 18 samples of a patch (GeneratePatch's first half).
void SamplePatch(const TPatchPlace& place, TPatchSamples& samples);
void SamplePatch(const TNode& node, TPatchSamples& samples);
// The patch's texels. Reads only the place and the height-map factory, so patches can be built
// at the same time on several threads, and ahead of the frame that needs them.
void BuildPatch(const TPatchPlace& place, TPatchTexels& texels);
void BuildPatch(const TNode& node, TPatchTexels& texels);

class PatchSink {
public:
  virtual ~PatchSink() = default;
  virtual void DrawFan(const TNode& node, const TPatchFan& fan, const TPatchTexCoords& coords) = 0;
};

// glBegin(GL_TRIANGLE_FAN), a texture coordinate and a vertex per entry, glEnd; no colour or
// normal. The atlas is bound and culling is on (the planet pass sees to both).
PatchSink& ImmediateModePatchSink();

// One vertex of a fan as OpenGL receives it: the atlas coordinates, then the position less the
// render origin.
struct TPatchVertex {
  Vector2f TexCoord;
  Vector3f Position;
};

// A frame's fans gathered in drawing order: the vertices the immediate-mode sink would send,
// one after the other, and where each fan starts and how many it has.
class TPatchBatch final : public PatchSink {
public:
  void DrawFan(const TNode& node, const TPatchFan& fan, const TPatchTexCoords& coords) override;
  void Clear();

  std::vector<TPatchVertex> Vertices;
  std::vector<int32_t> First;
  std::vector<int32_t> Count;
};

// Draws the batch's fans in its order with the same vertices, as few calls as the driver allows,
// through client arrays that it disables again; the current texture coordinate ends as the last
// vertex's, as the immediate-mode sink leaves it. Then empties the batch.
void DrawPatchBatch(TPatchBatch& batch);

} // namespace meridia
