// A TTree is one tree kind: a skeleton of stems grown from a table of per-level parameters (the
// Weber-Penn parametric model without splitting or lobes, with linear taper), meshed into one
// indexed triangle strip ordered by level, and leaves kept as quads in random order. Every random
// number comes from the shared generator in a fixed order, so a kind has the same shape in every
// run. Growth and meshing are plain data (Grow); Generate adds the textures, the buffers and the
// impostor atlas, which need a current OpenGL context.
#pragma once

#include "engine/Object.h"
#include "engine/VectorTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace meridia {

class TTreeShaders;

// One stem level (level 0 is the trunk); angles in degrees.
struct TTreeLevel {
  float Length = 0;  // level 0: trunk length; other levels: child length factor
  float LengthV = 0; // variation of Length (not read at level 0)
  float Radius = 0;  // trunk radius (read at level 0 only)
  float Flare = 0;   // widening of the stem base
  int32_t Segments = 1;
  int32_t Sides = 3;
  int32_t Branches = 0; // nominal number of children of a stem of this level
  float BaseSize = 0;   // fraction of a stem, from its base, that bears no children
  float DownAngle = 0;
  float DownAngleV = 0; // negative: the tilt follows the position along the parent
  float Rotate = 0;
  float RotateV = 0;
  float Curve = 0;
  float CurveV = 0;
  float CurveBack = 0; // any value but 0 switches bending and upward attraction off
  float TipSway = 0;
};
static_assert(sizeof(TTreeLevel) == 64);

// Position, normal, and (u, v, sway weight); the layout of the stem buffer.
struct TStemVertex {
  float Position[3] = {0, 0, 0};
  float Normal[3] = {0, 0, 0};
  float Tex[3] = {0, 0, 0};
};
static_assert(sizeof(TStemVertex) == 36);

// A leaf corner: its offset in the billboard plane (z = 0), (u, v, sway weight), the leaf centre
// in tree space and the colour; four consecutive vertices per leaf.
struct TLeafVertex {
  float Offset[3] = {0, 0, 0};
  float Tex[3] = {0, 0, 0};
  float Centre[3] = {0, 0, 0};
  uint8_t Color[4] = {0, 0, 0, 0};
};
static_assert(sizeof(TLeafVertex) == 40);

class TBranch : public TObject {
public:
  float Length = 0;
  float Radius = 0; // at the base
  int32_t ChildCount = 0;
  int32_t Level = 0;
  float BaseSway = 0;
  float TipSway = 0;
  // Stem-local to tree space, origin at the stem base.
  Matrix4f Frame;
  std::vector<std::unique_ptr<TBranch>> Children;
  // Segments rings of Sides + 1 vertices, then the tip.
  std::vector<TStemVertex> Vertices;
};

struct TLeaf {
  int32_t Index = 0; // in the tree's leaf list
  Matrix4f Frame;    // only the translation, the leaf centre, is read
  float Sway = 0;
};

// What one draw of a tree at a distance value issues (see TTree::PlanDraw).
struct TTreeDrawPlan {
  bool Impostor = false;
  bool Geometry = false;
  int32_t StemIndexCount = 0; // leading indices of the strip drawn
  int32_t StemLastVertex = 0; // the highest vertex they reference
  int32_t LeafVertexCount = 0;
  int32_t Triangles = 0;
};

// The impostor tile facing a camera: the heading of the camera seen from the tree, in degrees,
// and the tile 0 .. 15 with its column and row in the 4 by 4 atlas.
struct TImpostorView {
  float Heading = 0;
  int32_t Tile = 0;
  int32_t Column = 0;
  int32_t Row = 0;
};
TImpostorView ImpostorView(const Vector3f& position, const Vector3f& camera, float turn);

// The rotation of degrees about the tree's +Y.
Matrix4f TreeTurn(float degrees);

// One planted tree waiting to be drawn: its kind, its placement under the modelview (translation
// from the render origin, orientation, then the tree scale), the turn the programs apply, and
// what of it the distance value asked for.
class TTree;
struct TTreeDraw {
  TTree* Tree = nullptr;
  Vector3f At;
  Matrix4f Orientation;
  Matrix4f Turn;
  Vector3f Wind;
  Matrix4f Facing; // the impostor's turn toward the camera
  int32_t Tile = 0;
  TTreeDrawPlan Plan;
};

// Gives the texture slot of a picture name (LoadTreeTexture in the program).
using TreeTextureLoader = std::function<int32_t(const std::string& name)>;

class TTree {
public:
  TTree();
  // Frees the stems, then the GL objects.
  ~TTree();
  TTree(const TTree&) = delete;
  TTree& operator=(const TTree&) = delete;

  uint32_t ImpostorTexture = 0;
  int32_t BarkTexture = 0; // slots in TreeTextureIds
  int32_t LeafTexture = 0;
  int32_t TrianglesDrawn = 0;
  int32_t AtlasWidth = 0;
  int32_t AtlasHeight = 0;
  float BarkTexScale = 1; // bark repeats per unit of circumference
  float BoundHeight = 0;
  float BoundRadius = 0;
  Vector3f Centroid;
  float SphereRadius = 0;
  std::unique_ptr<TBranch> Trunk;
  std::vector<TLeaf> LeafList;
  std::vector<TLeafVertex> LeafVertices;
  uint32_t LeafBuffer = 0;
  std::vector<TStemVertex> StemVertices;
  uint32_t StemBuffer = 0;
  uint32_t StemIndexBuffer = 0;
  // 16-bit in the index buffer whenever the vertices allow it (GL_UNSIGNED_SHORT or _INT).
  uint32_t StemIndexType = 0;
  std::vector<int32_t> StemIndices;
  // The impostor quad of each atlas tile, four corners of position and texture coordinates.
  uint32_t ImpostorBuffer = 0;
  // Per level: indices before the level's first stem, and the last vertex of the level.
  std::vector<int32_t> LevelIndexStart;
  std::vector<int32_t> LevelLastVertex;
  int32_t TopLevel = 0;
  // Per level, shared by all stems of the level in generation order.
  std::vector<float> ChildCarry;
  std::vector<float> RotateAccum;
  float RatioPower = 0;
  int32_t Shape = 0;
  float LeavesFactor = 0;
  float LeafQuality = 0;
  float LeafSizeFactor = 0;
  float LeafKeepChance = 0;
  float LeafScale = 0;
  int32_t HideLeafTwigs = 0;
  float AttractionUp = 0;
  int32_t Levels = 0;
  std::vector<TTreeLevel> LevelParams;
  const TTreeShaders* Shaders = nullptr; // not owned

  // Builds everything: growth, mesh, buffers, atlas. Needs a current context.
  void Generate(const TTreeShaders& shaders, int32_t kind, int32_t atlas_size);
  // The plain-data part of Generate: presets (textures through load_texture), growth, mesh,
  // bounds, leaf colours, order and turns, and the atlas size.
  void Grow(int32_t kind, int32_t atlas_size, const TreeTextureLoader& load_texture);

  // Kind 0, or kind 1 for any other value.
  void SetSpecies(int32_t kind, const TreeTextureLoader& load_texture);
  void GrowStem(TBranch& b, int32_t q);
  void BuildStemMesh();
  void AppendStem(TBranch& b, int32_t q, std::vector<TBranch*>& next);
  void ComputeBounds();
  void ColorLeaves();
  void ShuffleLeaves();
  // The stem's radius at t in [0, 1] along it: linear taper, widened near the base by the
  // level's flare.
  float StemRadius(const TBranch& stem, float t) const;

  // What Render issues at this distance value: the impostor beyond 0.8, geometry below 1, the
  // finest meshed level dropped from 0.5, leaves thinned as lod grows.
  TTreeDrawPlan PlanDraw(float lod) const;
  // The leading indices of the strip drawn at lod (a negative lod counts as 0) and the highest
  // vertex they reference.
  void StemDrawRange(float lod, int32_t& count, int32_t& last) const;
  // The leading leaf vertices drawn at lod: all at 0 or less, then fewer as lod grows, whole
  // quads only.
  int32_t LeafDrawCount(float lod) const;

  // --- OpenGL (TreeRender.cpp) ---
  // Creates and fills the stem, index and leaf buffers.
  void UploadBuffers();
  // Deletes the atlas and the buffers that exist and zeroes their ids.
  void ReleaseGL();
  // The 16 side views into the 4 by 4 atlas.
  void RenderImpostorAtlas();
  // The modelview holds the instance's placement; position is the tree base and camera the eye,
  // both in planet space; turn in degrees.
  void Render(const Vector3f& position, const Vector3f& camera, float lod, float turn);
  void DrawImpostor(const Vector3f& position, const Vector3f& camera, float turn);
  void DrawStems(const Vector3f& wind, float lod);
  void DrawLeaves(const Vector3f& wind, float lod);
  void DrawStemsStatic();
  void DrawLeavesStatic();
  // Draws planted trees of any kinds in the order given, each exactly as Render draws it alone
  // under its placement (the same pixels, ties in depth included), setting the state a run of
  // alike draws shares only once.
  static void DrawInOrder(const std::vector<TTreeDraw>& draws);

private:
  void PlaceChild(TBranch& b, int32_t q, int32_t s, int32_t k, int32_t n, float seg_len,
                  const Matrix4f& frame, float dist);
  void BindStemArrays();
  void BindLeafArrays();
  void UnbindLeafArrays();
};

// The length profile of first-level branches by shape index; 1 for 3, 8 and any unknown index.
float ShapeRatio(int32_t shape, float r);

} // namespace meridia
