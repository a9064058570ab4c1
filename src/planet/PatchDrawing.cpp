// Drawing a quadtree's visible leaves, building patch textures, and the walk over the visible
// tree for what is planted on patches. The only OpenGL here is the immediate-mode sink.
#include "planet/PatchDrawing.h"

#include "engine/FrameCounters.h"
#include "engine/Random.h"
#include "gl/GLEntryPoints.h"
#include "models/Building.h"
#include "planet/Node.h"
#include "planet/PlanetCounters.h"
#include "planet/PlanetObject.h"
#include "planet/PlanetState.h"
#include "terrain/HeightMapFactory.h"
#include "terrain/TextureBuffer.h"
#include "vegetation/PlanetaryTrees.h"
#include "view/Frustum.h"
#include "view/RenderOrigin.h"

#include <GL/gl.h>

#include <chrono>
#include <cmath>

namespace meridia {
namespace {

class ImmediateMode final : public PatchSink {
public:
  void DrawFan(const TNode& node, const TPatchFan& fan, const TPatchTexCoords& coords) override {
    glBegin(GL_TRIANGLE_FAN);
    for (int32_t k = 0; k < fan.Count; ++k) {
      const size_t i = fan.Index[static_cast<size_t>(k)];
      glTexCoord2fv(&coords[i].x);
      const Vector3f p = FromRenderOrigin(*node.Vertex[i]->Position);
      glVertex3fv(&p.x);
    }
    glEnd();
  }
};

// Corner 0, then in ring order each edge's midpoint (when flagged) and the next corner.
struct RingStep {
  uint8_t midpoint;
  uint8_t edge;
  uint8_t corner;
};
constexpr RingStep kRingForward[4] = {{1, 0, 2}, {5, 1, 8}, {7, 2, 6}, {3, 3, 0}};
constexpr RingStep kRingReversed[4] = {{3, 3, 6}, {7, 2, 8}, {5, 1, 2}, {1, 0, 0}};

double TexelCoordinate(int32_t tile_column, double offset, double grid, double scale) {
  return (kAtlasTileSize * tile_column + 0.5 + (kAtlasTileSize - 1) * offset +
          (kAtlasTileSize - 1) * grid * scale) /
         kAtlasSize;
}

} // namespace

TPatchFan BuildPatchFan(const TNode& node) {
  const bool reversed = node.Face == 1 || node.Face == 2 || node.Face == 5;
  const RingStep* ring = reversed ? kRingReversed : kRingForward;
  TPatchFan fan;
  fan.Index[0] = 4;
  fan.Index[1] = 0;
  fan.Count = 2;
  for (int k = 0; k < 4; ++k) {
    if (node.EdgeMidpoint[ring[k].edge]) {
      fan.Index[static_cast<size_t>(fan.Count++)] = ring[k].midpoint;
    }
    fan.Index[static_cast<size_t>(fan.Count++)] = ring[k].corner;
  }
  return fan;
}

void PatchTexCoords(const TNode& node, TPatchTexCoords& coords) {
  // The nearest ancestor with a tile (or the root); the quadrants on the way down from it place
  // the node's square within that tile.
  const TNode* a = &node;
  int32_t path[32];
  int32_t depth = 0;
  while (a->Tile == -1 && a->Quadrant != -1 && a->Parent != nullptr && depth < 32) {
    path[depth++] = a->Quadrant;
    a = a->Parent;
  }
  // Halving steps and the 2^-depth scale are exact in double.
  double ou = 0, ov = 0, step = 0.5;
  for (int32_t k = depth - 1; k >= 0; --k, step *= 0.5) {
    if (path[k] == 1 || path[k] == 3) {
      ou += step;
    }
    if (path[k] == 2 || path[k] == 3) {
      ov += step;
    }
  }
  const double scale = step * 2;
  // Truncating division: a root without a tile reads column -1 of row 0, outside the atlas,
  // where the clamped edge shows until the root's own tile is built.
  const int32_t column = a->Tile % kAtlasTilesPerRow;
  const int32_t row = a->Tile / kAtlasTilesPerRow;
  // The grid's U and V take three values each: 0, 0.5 and 1.
  float s[3], t[3];
  for (int k = 0; k < 3; ++k) {
    s[k] = static_cast<float>(TexelCoordinate(column, ou, GridUV[k][0], scale));
    t[k] = static_cast<float>(TexelCoordinate(row, ov, GridUV[3 * k][1], scale));
  }
  for (int i = 0; i < 9; ++i) {
    coords[static_cast<size_t>(i)] = {s[i % 3], t[i / 3]};
  }
}

TPatchPlace PatchPlace(const TNode& node) {
  const TNodeVertex& first = *node.Vertex[0];
  const TNodeVertex& last = *node.Vertex[8];
  return {node.Face, first.U, first.V, last.U, last.V};
}

void SamplePatch(const TNode& node, TPatchSamples& samples) {
  SamplePatch(PatchPlace(node), samples);
}

void SamplePatch(const TPatchPlace& place, TPatchSamples& samples) {
  samples.du = (place.U1 - place.U0) / 15;
  samples.dv = (place.V1 - place.V0) / 15;
  const THeightMapFactory* factory = HeightMapFactory();
  for (int j = -1; j <= 16; ++j) {
    const double b = (j * samples.dv + place.V0) * 2 - 1;
    for (int i = -1; i <= 16; ++i) {
      const double a = (i * samples.du + place.U0) * 2 - 1;
      Vector3f point;
      CubeFacePoint(place.Face, a, b, point);
      const double length = std::sqrt(a * a + b * b + 1);
      samples.Directions[j + 1][i + 1] = {static_cast<float>(point.x / length),
                                          static_cast<float>(point.y / length),
                                          static_cast<float>(point.z / length)};
      samples.Heights[j + 1][i + 1] =
          factory != nullptr ? factory->HeightOnFace(place.Face, a, b) : 0.0;
    }
  }
}

PatchSink& ImmediateModePatchSink() {
  static ImmediateMode sink;
  return sink;
}

void TPatchBatch::DrawFan(const TNode& node, const TPatchFan& fan, const TPatchTexCoords& coords) {
  First.push_back(static_cast<int32_t>(Vertices.size()));
  Count.push_back(fan.Count);
  // FromRenderOrigin's subtraction, here where it inlines.
  const Vector3f& origin = RenderOrigin();
  for (int32_t k = 0; k < fan.Count; ++k) {
    const size_t i = fan.Index[static_cast<size_t>(k)];
    const Vector3f& p = *node.Vertex[i]->Position;
    Vertices.push_back({coords[i], {p.x - origin.x, p.y - origin.y, p.z - origin.z}});
  }
}

void TPatchBatch::Clear() {
  Vertices.clear();
  First.clear();
  Count.clear();
}

void DrawPatchBatch(TPatchBatch& batch) {
  if (batch.Vertices.empty()) {
    batch.Clear();
    return;
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, sizeof(TPatchVertex), &batch.Vertices[0].TexCoord.x);
  glVertexPointer(3, GL_FLOAT, sizeof(TPatchVertex), &batch.Vertices[0].Position.x);
  const auto fans = static_cast<GLsizei>(batch.First.size());
  if (glMultiDrawArraysEXT != nullptr) {
    glMultiDrawArraysEXT(GL_TRIANGLE_FAN, batch.First.data(), batch.Count.data(), fans);
  } else {
    for (GLsizei k = 0; k < fans; ++k) {
      glDrawArrays(GL_TRIANGLE_FAN, batch.First[static_cast<size_t>(k)],
                   batch.Count[static_cast<size_t>(k)]);
    }
  }
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glTexCoord2fv(&batch.Vertices.back().TexCoord.x);
  batch.Clear();
}

void TNode::DrawPatch(const TzoFrustum& frustum, PatchSink& sink) {
  if (BeyondHorizon || !frustum.SphereVisible(*Vertex[4]->Position, Size)) {
    return;
  }
  if (!Generated) {
    GenerationQueue.Add(this, Level);
  }
  if (HasChildren) {
    for (const int32_t k : ChildOrder) {
      Child[static_cast<size_t>(k)]->DrawPatch(frustum, sink);
    }
    return;
  }
  ++NodesDrawn;
  const TPatchFan fan = BuildPatchFan(*this);
  TPatchTexCoords coords;
  PatchTexCoords(*this, coords);
  sink.DrawFan(*this, fan, coords);
  TrisCount += fan.Count;
}

bool TNode::ClaimPatchTile() {
  TTextureBuffer* atlas = TextureAtlas();
  if (atlas == nullptr) {
    Generated = true; // nowhere to put a texture, now or later
    return false;
  }
  // With the atlas full the patch keeps borrowing its ancestor's tile and stays ungenerated, so
  // it is queued again and built once a tile comes back.
  if (atlas->TilesInUse >= atlas->TileCount) {
    return false;
  }
  Generated = true;
  Tile = atlas->AcquireTile();
  return true;
}

void BuildPatch(const TPatchPlace& place, TPatchTexels& texels) {
  TPatchSamples samples;
  SamplePatch(place, samples);
  BuildPatchTexels(samples, texels);
}

void BuildPatch(const TNode& node, TPatchTexels& texels) {
  BuildPatch(PatchPlace(node), texels);
}

void TNode::GeneratePatch() {
  if (!ClaimPatchTile()) {
    return;
  }
  TPatchTexels texels;
  const auto start = std::chrono::steady_clock::now();
  BuildPatch(*this, texels);
  const auto built = std::chrono::steady_clock::now();
  TextureAtlas()->UploadTile(Tile, texels.data());
  const auto uploaded = std::chrono::steady_clock::now();
  GenerationMsThisFrame += std::chrono::duration<double, std::milli>(built - start).count();
  UploadMsThisFrame += std::chrono::duration<double, std::milli>(uploaded - built).count();
}

namespace {

// Each building takes a scattered ground point (three draws), then its kind (one draw), then its
// turn (one draw, in AddBuilding).
void PlantBuildings(TBuilding& buildings, const Vector3f& centre) {
  buildings.Planted = true;
  buildings.SetCount(kBuildingsPerNode);
  for (int32_t k = 0; k < kBuildingsPerNode; ++k) {
    const Vector3f position = ScatteredGroundPoint(centre, GroundRadius);
    const int32_t kind = Random(2147483647);
    buildings.AddBuilding(k, kind, position);
  }
}

} // namespace

void TNode::DrawDecorations(const TzoFrustum& frustum, const Vector3f& camera) {
  // The horizon is not tested here: trees and buildings stand above the patch.
  if (!frustum.SphereVisible(*Vertex[4]->Position, Size)) {
    return;
  }
  // Only nodes of the planting level hold decorations: the finer levels below it, most of the
  // tree near the ground, have nothing to plant or draw.
  if (HasChildren && Level < kPlantingLevel) {
    for (auto& child : Child) {
      child->DrawDecorations(frustum, camera);
    }
  }
  // Buildings come before trees: both draw from the shared generator when first planted.
  if (Buildings != nullptr) {
    if (!Buildings->Planted) {
      PlantBuildings(*Buildings, *Vertex[4]->Position);
    }
    // The trees met so far draw before these buildings, as the walk meets them: where a tree
    // and a building meet at one depth, the later drawn shows.
    DrawPlantedTrees();
    Buildings->Render(frustum);
  }
  if (Trees != nullptr) {
    if (!Trees->Planted) {
      Trees->Plant(GroundRadius);
    }
    Trees->Render(frustum, camera);
  }
}

} // namespace meridia
