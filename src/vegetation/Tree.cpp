// Growth follows J. Weber and J. Penn, "Creation and Rendering of Realistic Trees", SIGGRAPH 1995,
// reduced to what the kinds here use: no stem splitting, no lobes, linear taper.
#include "vegetation/Tree.h"

#include "engine/Random.h"
#include "engine/VectorGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace meridia {
namespace {

constexpr double kDegrees = 0.017453292;
constexpr double kTwoPi = 2.0 * kPi;

// pow as the growth rules define it: 1 for exponent 0, 0 for a non-positive base.
double Pow(double x, double e) {
  if (e == 0.0) {
    return 1.0;
  }
  if (x <= 0.0) {
    return 0.0;
  }
  return std::exp(e * std::log(x));
}

// Truncation toward zero of x + 0.5.
int32_t Round(double x) {
  return static_cast<int32_t>(std::trunc(x + 0.5));
}

// One fresh draw in [-1, 1).
double Spread() {
  return 2.0 * RandomReal() - 1.0;
}

Matrix4f Rz(double degrees) {
  return QuatToMatrix(QuatFromAxisRadians(ZAxis, static_cast<float>(degrees * kDegrees)));
}

Matrix4f RzRadians(double radians) {
  return QuatToMatrix(QuatFromAxisRadians(ZAxis, static_cast<float>(radians)));
}

Matrix4f Ry(double degrees) {
  return QuatToMatrix(QuatFromAxisRadians(YAxis, static_cast<float>(degrees * kDegrees)));
}

Matrix4f T(float x, float y, float z) {
  Matrix4f m;
  SetTranslation(m, x, y, z);
  return m;
}

float Element(const Matrix4f& m, int i) {
  return m.Data()[i];
}

// The point as a homogeneous row vector through m, divided by its w.
Vector3f ProjectPoint(const Vector3f& p, const Matrix4f& m) {
  const Vector4f h = Vector4TimesMatrix({p.x, p.y, p.z, 1.0f}, m);
  if (h.w == 0.0f || h.w == 1.0f) {
    return {h.x, h.y, h.z};
  }
  const double w = h.w;
  return {static_cast<float>(h.x / w), static_cast<float>(h.y / w), static_cast<float>(h.z / w)};
}

void Put(float (&out)[3], const Vector3f& v) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = v.z;
}

struct TLevelRow {
  float length, length_v, radius, flare;
  int32_t segments, sides, branches;
  float base_size, down_angle, down_angle_v, rotate, rotate_v, curve, curve_v, curve_back, tip_sway;
};

// Levels 3 and 4 take their TipSway from level 2 (see SetSpecies).
constexpr TLevelRow kKind0[5] = {
    {15, 0, 0, 1, 40, 12, 20, 0.2f, 0, 0, 0, 0, 0, 180, 0, 0},
    {0.7f, 0.2f, 0, 0, 12, 7, 10, 0, 30, -30, 80, 0, 40, 150, 0, 0.2f},
    {0.5f, 0.05f, 0, 0, 8, 5, 24, 0, 45, 10, 140, 0, 40, 130, 0, 0.4f},
    {0.6f, 0, 0, 0, 1, 3, 0, 0, 45, 10, 140, 0, 0, 0, 0, 0},
    {0.4f, 0, 0, 0, 1, 3, 0, 0, 45, 10, 140, 0, 0, 0, 0, 0},
};
constexpr TLevelRow kKind1[5] = {
    {23, 0, 0, 1, 40, 12, 50, 0.2f, 0, 0, 0, 0, 0, 50, 0, 0.2f},
    {0.3f, 0.05f, 0, 0, 10, 5, 25, 0, 60, -40, 140, 0, 0, 90, 0, 0.5f},
    {0.6f, 0.1f, 0, 0, 8, 3, 12, 0, 30, 10, 140, 0, -10, 150, 0, 0.55f},
    {0.4f, 0, 0, 0, 1, 3, 0, 0, 45, 10, 140, 0, 0, 0, 0, 0},
    {0.4f, 0, 0, 0, 1, 3, 0, 0, 45, 10, 140, 0, 0, 0, 0, 0},
};

TTreeLevel LevelFrom(const TLevelRow& r) {
  TTreeLevel l;
  l.Length = r.length;
  l.LengthV = r.length_v;
  l.Radius = r.radius;
  l.Flare = r.flare;
  l.Segments = r.segments;
  l.Sides = r.sides;
  l.Branches = r.branches;
  l.BaseSize = r.base_size;
  l.DownAngle = r.down_angle;
  l.DownAngleV = r.down_angle_v;
  l.Rotate = r.rotate;
  l.RotateV = r.rotate_v;
  l.Curve = r.curve;
  l.CurveV = r.curve_v;
  l.CurveBack = r.curve_back;
  l.TipSway = r.tip_sway;
  return l;
}

} // namespace

float ShapeRatio(int32_t shape, float r) {
  const double x = r;
  double v = 1.0;
  switch (shape) {
  case 0:
    v = 0.2 + 0.8 * x;
    break;
  case 1:
    v = 0.2 + 0.8 * std::sin(kPi * x);
    break;
  case 2:
    v = 0.2 + 0.8 * std::sin(kPi / 2.0 * x);
    break;
  case 4:
    v = 0.5 + 0.5 * x;
    break;
  case 5:
    v = x <= 0.7 ? x / 0.7 : (1.0 - x) / 0.3;
    break;
  case 6:
    v = 1.0 - 0.8 * x;
    break;
  case 7:
    v = x <= 0.7 ? 0.5 + 0.5 * x / 0.7 : 0.5 + 0.5 * (1.0 - x) / 0.3;
    break;
  default: // 3, 8 and any other index
    v = 1.0;
    break;
  }
  return static_cast<float>(v);
}

Matrix4f TreeTurn(float degrees) {
  return Ry(static_cast<double>(degrees));
}

TImpostorView ImpostorView(const Vector3f& position, const Vector3f& camera, float turn) {
  TImpostorView view;
  view.Heading = HeadingDegrees(Sub3(camera, position));
  const double a = static_cast<double>(WrapDegrees(static_cast<float>(
                       360.0 - (static_cast<double>(view.Heading) + static_cast<double>(turn))))) +
                   180.0;
  // a reaches 360 exactly when the wrap gives 180; that view is tile 0's, not a 17th tile
  // below the atlas.
  view.Tile = static_cast<int32_t>(std::trunc(a * 16.0 / 360.0)) % 16;
  if (view.Tile < 0) {
    view.Tile = 0; // a non-finite heading
  }
  view.Column = view.Tile % 4;
  view.Row = view.Tile / 4;
  return view;
}

TTree::TTree() : Trunk(std::make_unique<TBranch>()) {}

TTree::~TTree() {
  Trunk.reset();
  ReleaseGL();
}

void TTree::SetSpecies(int32_t kind, const TreeTextureLoader& load_texture) {
  const bool first = kind == 0;
  BarkTexScale = 1;
  Levels = 5;
  LevelParams.assign(5, TTreeLevel{});
  ChildCarry.assign(5, 0.0f);
  RotateAccum.assign(5, 0.0f);
  RatioPower = 1.3f;
  Shape = 2;
  LeavesFactor = 1;
  LeafQuality = 1;
  LeafSizeFactor = static_cast<float>(1.0 / std::sqrt(static_cast<double>(LeafQuality)));
  HideLeafTwigs = 1;
  if (load_texture) {
    BarkTexture = load_texture(first ? "trees\\2_bark" : "trees\\bt_bark");
    LeafTexture = load_texture(first ? "trees\\2_leaf" : "trees\\bt_leaf");
  }
  LeafKeepChance = first ? 0.3f : 0.15f;
  LeafScale = first ? 2.5f : 1.5f;
  AttractionUp = first ? 0.8f : 0.5f;
  const TLevelRow* rows = first ? kKind0 : kKind1;
  for (size_t i = 0; i < 5; ++i) {
    LevelParams[i] = LevelFrom(rows[i]);
  }
  LevelParams[0].Radius = static_cast<float>(first ? 15.0 * 0.05 : 23.0 * 0.015);
  LevelParams[3].TipSway = LevelParams[2].TipSway;
  LevelParams[4].TipSway = LevelParams[2].TipSway;
}

float TTree::StemRadius(const TBranch& stem, float t) const {
  const double x = t;
  double f = 1.0;
  const size_t level = static_cast<size_t>(std::max(stem.Level, 0));
  const double flare = level < LevelParams.size() ? LevelParams[level].Flare : 0.0;
  if (flare > 0.0) {
    f = 1.0 + flare * (Pow(100.0, std::max(1.0 - 8.0 * x, 0.0)) - 1.0) / 100.0;
  }
  return static_cast<float>(static_cast<double>(stem.Radius) * (1.0 - x) * f);
}

void TTree::Grow(int32_t kind, int32_t atlas_size, const TreeTextureLoader& load_texture) {
  SetSpecies(kind, load_texture);
  Trunk = std::make_unique<TBranch>();
  LeafList.clear();
  LeafVertices.clear();
  TBranch& trunk = *Trunk;
  const TTreeLevel& p = LevelParams[0];
  trunk.Frame = IdentityMatrix;
  trunk.Length = p.Length;
  trunk.Radius = p.Radius;
  trunk.ChildCount = p.Branches;
  trunk.BaseSway = 0;
  trunk.TipSway = p.TipSway;
  GrowStem(trunk, 0);
  BuildStemMesh();
  ComputeBounds();
  ColorLeaves();
  ShuffleLeaves();
  AtlasWidth = atlas_size;
  AtlasHeight = atlas_size;
}

void TTree::GrowStem(TBranch& b, int32_t q) {
  const TTreeLevel& p = LevelParams[static_cast<size_t>(q)];
  b.Level = q;
  const int32_t segments = std::max(p.Segments, 1);
  const int32_t sides = std::max(p.Sides, 1);
  const float seg_len = static_cast<float>(static_cast<double>(b.Length) / segments);
  const float step = static_cast<float>(kTwoPi / sides);
  const float per_seg = static_cast<float>(static_cast<double>(b.ChildCount) / segments);
  const size_t ring = static_cast<size_t>(sides) + 1;
  b.Vertices.assign(static_cast<size_t>(segments) * ring + 1, TStemVertex{});

  const double radius = b.Radius;
  const int32_t wraps = std::max(1, Round(kTwoPi * radius * BarkTexScale));
  const float u_scale = static_cast<float>(wraps / kTwoPi);
  // A stem without thickness has no circumference to wrap; its bark stays put along it.
  const float v_scale = radius > 0.0 ? static_cast<float>(wraps / (kTwoPi * radius)) : 0.0f;

  const bool has_children = q < Levels - 1;
  Matrix4f frame = b.Frame;
  float dist = 0;
  for (int32_t s = 0; s < segments; ++s) {
    const double t = static_cast<double>(s) / segments;
    const float sway =
        static_cast<float>((1.0 - t) * b.BaseSway + t * static_cast<double>(b.TipSway));
    const double r = StemRadius(b, static_cast<float>(t));

    // Sides + 1 angles from 0 to 2π: the last vertex repeats the first with u at the full wrap.
    float a = 0;
    for (size_t c = 0; c < ring; ++c) {
      const Vector3f local{static_cast<float>(r * std::cos(static_cast<double>(a))), 0.0f,
                           static_cast<float>(r * std::sin(static_cast<double>(a)))};
      Vector3f normal = local;
      if (Length3(normal) != 0.0f) {
        normal = Normalized3(normal);
      }
      TStemVertex& v = b.Vertices[static_cast<size_t>(s) * ring + c];
      Put(v.Position, ProjectPoint(local, frame));
      Put(v.Normal, TransformDirection(normal, frame));
      v.Tex[0] = static_cast<float>(static_cast<double>(a) * u_scale);
      v.Tex[1] = static_cast<float>(static_cast<double>(dist) * v_scale);
      v.Tex[2] = sway;
      a = static_cast<float>(static_cast<double>(a) + step);
    }

    const float carried = ChildCarry[static_cast<size_t>(q)];
    const int32_t n = Round(static_cast<double>(per_seg) + carried);
    ChildCarry[static_cast<size_t>(q)] =
        static_cast<float>(static_cast<double>(carried) + per_seg - n);
    if (n > 0 && has_children) {
      for (int32_t k = 0; k < n; ++k) {
        PlaceChild(b, q, s, k, n, seg_len, frame, dist);
      }
    }

    dist = static_cast<float>(static_cast<double>(dist) + seg_len);
    frame = MulMatrix(T(0, seg_len, 0), frame);
    if (p.CurveBack == 0.0f) {
      const double bend = (p.Curve + Spread() * p.CurveV) / segments;
      frame = MulMatrix(Rz(bend), frame);
      if (q >= 2) {
        // Rounding can leave the vertical element a hair above 1, where acos has no value.
        const double up = std::clamp(static_cast<double>(Element(frame, 5)), -1.0, 1.0);
        const double theta = AttractionUp * std::acos(up) *
                             std::cos(std::atan2(Element(frame, 9), Element(frame, 1))) / segments;
        frame = MulMatrix(RzRadians(-theta), frame);
      }
    }
  }

  TStemVertex& tip = b.Vertices.back();
  tip.Position[0] = frame.m[3][0];
  tip.Position[1] = frame.m[3][1];
  tip.Position[2] = frame.m[3][2];
  tip.Normal[0] = Element(frame, 1);
  tip.Normal[1] = Element(frame, 5);
  tip.Normal[2] = Element(frame, 9);
  tip.Tex[0] = 0;
  tip.Tex[1] = static_cast<float>(static_cast<double>(dist) * v_scale);
  tip.Tex[2] = b.TipSway;

  // Every stem of a level is finished, with all its children placed, before any child grows:
  // the per-level carry and azimuth run through the level in this order.
  if (has_children) {
    for (auto& child : b.Children) {
      GrowStem(*child, q + 1);
    }
  }
}

void TTree::PlaceChild(TBranch& b, int32_t q, int32_t s, int32_t k, int32_t n, float seg_len,
                       const Matrix4f& frame, float dist) {
  const TTreeLevel& p = LevelParams[static_cast<size_t>(q)];
  const TTreeLevel& c_params = LevelParams[static_cast<size_t>(q) + 1];
  const double length = b.Length;
  const float d =
      static_cast<float>(seg_len * (k + 0.2 + 0.8 * RandomReal()) / static_cast<double>(n));
  const double o = static_cast<double>(dist) + d;
  if (p.BaseSize * length > o) {
    return; // the bare base
  }
  const double along = o / length;
  const float sway = static_cast<float>((1.0 - along) * b.BaseSway + along * b.TipSway);

  if (LeavesFactor > 0.0f && q == Levels - 2) {
    if (RandomReal() > LeafKeepChance) {
      return;
    }
    TLeaf leaf;
    leaf.Index = static_cast<int32_t>(LeafList.size());
    const Vector3f centre = ProjectPoint({0.0f, d, 0.0f}, frame);
    SetTranslation(leaf.Frame, centre.x, centre.y, centre.z);
    leaf.Sway = sway;
    LeafList.push_back(leaf);
    const float h = static_cast<float>(0.5 * LeafScale * LeafSizeFactor);
    const float corners[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i) {
      TLeafVertex v;
      v.Offset[0] = corners[i][0];
      v.Offset[1] = corners[i][1];
      v.Tex[0] = uv[i][0];
      v.Tex[1] = uv[i][1];
      v.Tex[2] = sway;
      Put(v.Centre, centre);
      LeafVertices.push_back(v);
    }
    return;
  }

  auto child = std::make_unique<TBranch>();
  TBranch& c = *child;
  const double bare = length - p.BaseSize * length;
  double tilt = 0;
  if (c_params.DownAngleV >= 0.0f) {
    tilt = c_params.DownAngle + Spread() * c_params.DownAngleV;
  } else {
    tilt =
        c_params.DownAngle +
        c_params.DownAngleV * (1.0 - 2.0 * ShapeRatio(0, static_cast<float>((length - o) / bare)));
  }
  float& azimuth = RotateAccum[static_cast<size_t>(q) + 1];
  const double turned = azimuth + c_params.Rotate + Spread() * c_params.RotateV;
  azimuth = static_cast<float>(turned - 360.0 * std::trunc(turned / 360.0));
  c.Frame = MulMatrix(MulMatrix(MulMatrix(Rz(tilt), Ry(azimuth)), T(0, d, 0)), frame);

  if (q == 0) {
    const double shape = ShapeRatio(Shape, static_cast<float>((length - o) / bare));
    c.Length = static_cast<float>((c_params.Length + Spread() * c_params.LengthV) * length * shape);
  } else {
    c.Length =
        static_cast<float>((c_params.Length + Spread() * c_params.LengthV) * (length - 0.6 * o));
  }
  const double ratio = static_cast<double>(c.Length) / length;
  c.Radius = static_cast<float>(std::min(
      b.Radius * Pow(ratio, RatioPower),
      static_cast<double>(StemRadius(b, static_cast<float>(static_cast<double>(s) / p.Segments)))));
  if (q == 0) {
    c.ChildCount = Round((ratio * 0.8 / c_params.Length + 0.2) * c_params.Branches);
  } else if (LeavesFactor > 0.0f && q == Levels - 3) {
    c.ChildCount = Round(static_cast<double>(ShapeRatio(4, static_cast<float>(along))) *
                         LeavesFactor * LeafQuality);
  } else {
    c.ChildCount = Round((1.0 - 0.5 * along) * c_params.Branches);
  }
  c.BaseSway = sway;
  c.TipSway = c_params.TipSway;
  b.Children.push_back(std::move(child));
}

void TTree::BuildStemMesh() {
  StemVertices.clear();
  StemIndices.clear();
  LevelIndexStart.assign(static_cast<size_t>(std::max(Levels, 1)), 0);
  LevelLastVertex.assign(static_cast<size_t>(std::max(Levels, 1)), 0);
  TopLevel = 0;
  std::vector<TBranch*> current;
  std::vector<TBranch*> next;
  AppendStem(*Trunk, 0, current);
  LevelLastVertex[0] = static_cast<int32_t>(StemVertices.size()) - 1;
  for (int32_t i = 1; !current.empty() && i < Levels; ++i) {
    LevelIndexStart[static_cast<size_t>(i)] = static_cast<int32_t>(StemIndices.size());
    TopLevel = i;
    for (TBranch* stem : current) {
      AppendStem(*stem, i, next);
    }
    current.swap(next);
    next.clear();
    LevelLastVertex[static_cast<size_t>(i)] = static_cast<int32_t>(StemVertices.size()) - 1;
  }
}

void TTree::AppendStem(TBranch& b, int32_t q, std::vector<TBranch*>& next) {
  const TTreeLevel& p = LevelParams[static_cast<size_t>(q)];
  const int32_t segments = std::max(p.Segments, 1);
  const int32_t ring = std::max(p.Sides, 1) + 1;
  const int32_t base = static_cast<int32_t>(StemVertices.size());
  StemVertices.insert(StemVertices.end(), b.Vertices.begin(), b.Vertices.end());
  // Two repeated indices join this stem's strip to the one before with degenerate triangles;
  // every stem adds an even count, so all start with the same winding.
  if (!StemIndices.empty()) {
    const int32_t last = StemIndices.back();
    StemIndices.push_back(last);
    StemIndices.push_back(base);
  }
  for (int32_t s = 0; s + 1 < segments; ++s) {
    for (int32_t c = 0; c < ring; ++c) {
      StemIndices.push_back(base + s * ring + c);
      StemIndices.push_back(base + (s + 1) * ring + c);
    }
    StemIndices.push_back(base + (s + 1) * ring + ring - 1);
    StemIndices.push_back(base + (s + 1) * ring);
  }
  const int32_t tip = base + segments * ring;
  for (int32_t c = 0; c < ring; ++c) {
    StemIndices.push_back(base + (segments - 1) * ring + c);
    StemIndices.push_back(tip);
  }
  const bool last_level = q >= Levels - 1;
  const bool hidden_twigs = HideLeafTwigs != 0 && LeavesFactor != 0.0f && q == Levels - 3;
  const bool leaf_bearer = LeavesFactor != 0.0f && q == Levels - 2;
  if (!last_level && !hidden_twigs && !leaf_bearer) {
    for (auto& child : b.Children) {
      next.push_back(child.get());
    }
  }
}

void TTree::ComputeBounds() {
  double top = 0;
  double spread = 0;
  double sum[3] = {0, 0, 0};
  for (const TStemVertex& v : StemVertices) {
    top = std::max(top, static_cast<double>(v.Position[1]));
    const double x = v.Position[0];
    const double z = v.Position[2];
    spread = std::max(spread, x * x + z * z);
    for (int i = 0; i < 3; ++i) {
      sum[i] += v.Position[i];
    }
  }
  const double count = StemVertices.empty() ? 1.0 : static_cast<double>(StemVertices.size());
  Centroid = {static_cast<float>(sum[0] / count), static_cast<float>(sum[1] / count),
              static_cast<float>(sum[2] / count)};
  double reach = 0;
  for (const TStemVertex& v : StemVertices) {
    const double dx = static_cast<double>(v.Position[0]) - Centroid.x;
    const double dy = static_cast<double>(v.Position[1]) - Centroid.y;
    const double dz = static_cast<double>(v.Position[2]) - Centroid.z;
    reach = std::max(reach, dx * dx + dy * dy + dz * dz);
  }
  BoundRadius = static_cast<float>(std::sqrt(spread) * 1.05);
  BoundHeight = static_cast<float>(static_cast<double>(static_cast<float>(top)) * 1.05);
  SphereRadius = static_cast<float>(std::sqrt(reach) * 1.05);
}

void TTree::ColorLeaves() {
  for (size_t quad = 0; quad + 3 < LeafVertices.size(); quad += 4) {
    const float* c = LeafVertices[quad].Centre;
    const double out =
        std::sqrt(static_cast<double>(c[0]) * c[0] + static_cast<double>(c[2]) * c[2]);
    double k = 0.2;
    // A term that cannot be evaluated (a bound of 0) is left out.
    const double radial = 0.8 * Pow(out / BoundRadius, 1.5);
    if (std::isfinite(radial)) {
      k += radial;
    }
    const double height = 0.8 * Pow(static_cast<double>(c[1]) / BoundHeight, 1.5);
    if (std::isfinite(height)) {
      k += height;
    }
    k = std::min(1.0, k);
    const double red = std::trunc(255.0 - 75.0 * RandomReal());
    const double green = std::trunc(255.0 - 60.0 * RandomReal());
    const double blue = std::trunc(255.0 - 60.0 * RandomReal());
    for (size_t i = quad; i < quad + 4; ++i) {
      TLeafVertex& v = LeafVertices[i];
      v.Color[0] = static_cast<uint8_t>(std::trunc(red * k));
      v.Color[1] = static_cast<uint8_t>(std::trunc(green * k));
      v.Color[2] = static_cast<uint8_t>(std::trunc(blue * k));
      v.Color[3] = 255;
    }
  }
}

void TTree::ShuffleLeaves() {
  const size_t n = LeafVertices.size() / 4;
  if (n == 0) {
    return;
  }
  std::vector<size_t> perm(n);
  for (size_t i = 0; i < n; ++i) {
    perm[i] = i;
  }
  for (size_t i = 0; i < n; ++i) {
    const size_t j = std::min(n - 1, static_cast<size_t>(std::trunc(RandomReal() * n)));
    std::swap(perm[i], perm[j]);
  }
  std::vector<TLeafVertex> shuffled(n * 4);
  for (size_t i = 0; i < n; ++i) {
    for (size_t corner = 0; corner < 4; ++corner) {
      shuffled[i * 4 + corner] = LeafVertices[perm[i] * 4 + corner];
    }
    const float theta = static_cast<float>(kTwoPi * RandomReal());
    for (size_t corner = 0; corner < 4; ++corner) {
      TLeafVertex& v = shuffled[i * 4 + corner];
      const Vector3f turned = RotateAroundZ({v.Offset[0], v.Offset[1], v.Offset[2]}, theta);
      Put(v.Offset, turned);
    }
  }
  LeafVertices.swap(shuffled);
}

void TTree::StemDrawRange(float lod, int32_t& count, int32_t& last) const {
  count = static_cast<int32_t>(StemIndices.size());
  last = static_cast<int32_t>(StemVertices.size()) - 1;
  const double level_lod = std::max(0.0, static_cast<double>(lod));
  const int32_t m = static_cast<int32_t>(std::trunc(level_lod + 0.5));
  if (m > 0 && !LevelIndexStart.empty()) {
    const size_t top = LevelIndexStart.size() - 1;
    const size_t k = static_cast<size_t>(std::max(0, TopLevel - m));
    count = LevelIndexStart[std::min(k + 1, top)];
    last = LevelLastVertex[std::min(k, top)];
  }
}

int32_t TTree::LeafDrawCount(float lod) const {
  int32_t n = 4 * static_cast<int32_t>(LeafList.size());
  if (lod > 0.0f) {
    n = static_cast<int32_t>(std::trunc((2.0 - lod) * n * 0.5));
    n = std::max(0, n - n % 4);
  }
  return n;
}

TTreeDrawPlan TTree::PlanDraw(float lod) const {
  TTreeDrawPlan plan;
  if (lod > 0.8f) {
    plan.Impostor = true;
    plan.Triangles += 2;
  }
  if (lod >= 1.0f) {
    return plan;
  }
  plan.Geometry = true;
  StemDrawRange(lod, plan.StemIndexCount, plan.StemLastVertex);
  // The whole mesh is counted whatever part of it is drawn.
  plan.Triangles += std::max(0, static_cast<int32_t>(StemIndices.size()) - 2);
  plan.LeafVertexCount = LeafDrawCount(lod);
  plan.Triangles += plan.LeafVertexCount / 2;
  return plan;
}

} // namespace meridia
