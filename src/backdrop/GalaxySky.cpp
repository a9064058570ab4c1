#include "backdrop/GalaxySky.h"

#include "engine/VectorGeometry.h"

#include <algorithm>
#include <cmath>

namespace meridia {
namespace {

// The stars lie within 50 galaxy units of the centre (a radius of 25 under the scale of 2).
constexpr double kGalaxyRim = 50.0;

// The galaxy's centre lies this far out, its picture flat across the line of sight.
constexpr double kGalaxyDistance = 10.0;

// A frame draws the card, one to about one and a half units out; these planes hold it with room.
constexpr double kSkyNear = 0.05;
constexpr double kSkyFar = 20.0;

// Texture slots, as GalaxyTextures holds them.
constexpr int32_t kFrame1 = 0; // white: the nucleus
constexpr int32_t kFrame2 = 1; // blue: the disc's glow
constexpr int32_t kFrame3 = 2; // warm: the bulge
constexpr int32_t kFrame4 = 3; // violet: bright knots along the arms
constexpr int32_t kStar1 = 4;
constexpr int32_t kSmoke = 8;

// Stars from the faintest quarter to the brightest, by how their pictures glow: the warm tight
// core, the reddish one, the white one, the blue-white wide one.
constexpr int32_t kStarSlots[4] = {kStar1 + 2, kStar1 + 3, kStar1, kStar1 + 1};
// Half widths of a star's billboard in radians, faintest to brightest: about 3 to 8 pixels
// across in a 40 degree view 600 pixels high.
constexpr double kStarSmall = 0.0018;
constexpr double kStarLarge = 0.0048;
constexpr double kStarWeight = 0.85;

// A particle's size C (2 at the rim to 4 at the centre) in galaxy units, halved: soft puffs a
// few percent of the disc wide that build into the arms' haze where they crowd.
constexpr double kSmokeSize = 0.5;
constexpr double kSmokeWeight = 0.07;
// One particle in kKnotEvery outside the bulge also carries a knot, three particles wide.
constexpr size_t kKnotEvery = 40;
constexpr double kKnotSize = 1.5;
constexpr double kKnotWeight = 0.2;
constexpr double kBulgeOut = 10.0;

constexpr double kDiscGlowWeight = 0.22;
constexpr double kBulgeRadius = 14.0;
constexpr double kBulgeWeight = 0.3;
constexpr double kNucleusRadius = 3.5;
constexpr double kNucleusWeight = 0.6;

// Under a sky this bright overhead the backdrop is gone; under one this dark it is all there.
// On the ground the sky overhead is about 0.29 at noon, 0.14 with the sun 45 degrees up and
// 0.05 as it sets; 0.01 soon after, or at noon some 170 km up.
constexpr double kBrightSky = 0.06;
constexpr double kDarkSky = 0.01;

uint8_t Byte(double unit) {
  return static_cast<uint8_t>(std::lround(std::clamp(unit, 0.0, 1.0) * 255.0));
}

struct Weighted {
  double red = 1, green = 1, blue = 1, weight = 1;
};

Vector3f Along(const Vector3f& v, double s) {
  return {static_cast<float>(v.x * s), static_cast<float>(v.y * s), static_cast<float>(v.z * s)};
}

Vector3f Plus(const Vector3f& a, const Vector3f& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}

class QuadWriter {
public:
  QuadWriter(std::vector<TSkyVertex>& vertices, std::vector<TSkyBatch>& batches)
      : vertices_(vertices), batches_(batches) {}

  void Begin(int32_t slot) {
    batches_.push_back({slot, static_cast<int32_t>(vertices_.size()), 0});
  }

  // The square from centre - (a + b) half to centre + (a + b) half.
  void Quad(const Vector3f& centre, const Vector3f& a, const Vector3f& b, double half,
            const Weighted& colour) {
    static constexpr float kCorners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& corner : kCorners) {
      const Vector3f p = Plus(centre, Plus(Along(a, corner[0] * half), Along(b, corner[1] * half)));
      TSkyVertex v;
      v.x = p.x;
      v.y = p.y;
      v.z = p.z;
      v.u = (corner[0] + 1) / 2;
      v.v = (corner[1] + 1) / 2;
      v.red = Byte(colour.red);
      v.green = Byte(colour.green);
      v.blue = Byte(colour.blue);
      v.alpha = Byte(colour.weight);
      vertices_.push_back(v);
    }
    batches_.back().Count += 4;
  }

  // A billboard facing the viewer at the sky's origin.
  void Facing(const Vector3f& centre, double half, const Weighted& colour) {
    const Vector3f toward = Normalized3(centre);
    Vector3f a = Cross3(toward, YAxis);
    if (Length3(a) < 1e-3f) {
      a = Cross3(toward, XAxis);
    }
    a = Normalized3(a);
    Quad(centre, a, Cross3(toward, a), half, colour);
  }

private:
  std::vector<TSkyVertex>& vertices_;
  std::vector<TSkyBatch>& batches_;
};

// Where the circle a quad is drawn around lies on the card: every picture is black outside it.
// Seen through the card the square is a parallelogram and the circle the ellipse within it:
// centre + Across cos t + Along sin t, touching the edges at their middles.
struct Ellipse {
  double x = 0, y = 0;
  double across_x = 0, across_y = 0; // to the middle of the +a edge
  double along_x = 0, along_y = 0;   // to the middle of the +b edge

  // Half the width and height of the box around it.
  double Width() const { return std::hypot(across_x, along_x); }
  double Height() const { return std::hypot(across_y, along_y); }
};

std::vector<Ellipse> QuadEllipses(const TSkyCard& card, const std::vector<TSkyVertex>& vertices) {
  std::vector<Ellipse> ellipses;
  ellipses.reserve(vertices.size() / 4);
  for (size_t first = 0; first + 3 < vertices.size(); first += 4) {
    Vector2f c[4];
    for (size_t k = 0; k < 4; ++k) {
      const TSkyVertex& v = vertices[first + k];
      c[k] = OnCard(card, {v.x, v.y, v.z});
    }
    Ellipse e;
    e.x = (static_cast<double>(c[0].x) + c[1].x + c[2].x + c[3].x) / 4.0;
    e.y = (static_cast<double>(c[0].y) + c[1].y + c[2].y + c[3].y) / 4.0;
    e.across_x = (static_cast<double>(c[1].x) + c[2].x) / 2.0 - e.x;
    e.across_y = (static_cast<double>(c[1].y) + c[2].y) / 2.0 - e.y;
    e.along_x = (static_cast<double>(c[2].x) + c[3].x) / 2.0 - e.x;
    e.along_y = (static_cast<double>(c[2].y) + c[3].y) / 2.0 - e.y;
    ellipses.push_back(e);
  }
  return ellipses;
}

Vector3f Row(const Matrix4f& m, int row) {
  return {m.m[row][0], m.m[row][1], m.m[row][2]};
}

} // namespace

TGalaxyPlacement DefaultGalaxyPlacement() {
  // The orbit starts looking down -z with +y up: the centre sits 22 degrees left and 4 down,
  // just beyond the limb of the planet (about 16 degrees in radius from there), and comes behind
  // it as the orbit turns.
  const double left = 22.0 * kPi / 180.0, up = -4.0 * kPi / 180.0;
  TGalaxyPlacement placement;
  placement.Direction = {static_cast<float>(-std::sin(left) * std::cos(up)),
                         static_cast<float>(std::sin(up)),
                         static_cast<float>(-std::cos(left) * std::cos(up))};
  const Vector3f across = Normalized3(Cross3(placement.Direction, YAxis));
  const Vector3f above = Cross3(across, placement.Direction);
  // The long axis slants 25 degrees up from the horizontal.
  const double slant = 25.0 * kPi / 180.0;
  placement.MajorAxis =
      Normalized3(Plus(Along(across, std::cos(slant)), Along(above, std::sin(slant))));
  // The disc turned 62 degrees about its long axis from facing the viewer: an ellipse about
  // half as tall as it is long, arms still open.
  const double tilt = 62.0 * kPi / 180.0;
  const Vector3f minor = Cross3(placement.Direction, placement.MajorAxis);
  placement.Normal =
      Normalized3(Plus(Along(placement.Direction, -std::cos(tilt)), Along(minor, std::sin(tilt))));
  placement.AngularRadius = static_cast<float>(24.0 * kPi / 180.0);
  return placement;
}

Matrix4f GalaxyToSky(const TGalaxyPlacement& placement) {
  const double unit =
      std::tan(static_cast<double>(placement.AngularRadius)) * kGalaxyDistance / kGalaxyRim;
  // Each axis loses its part along the line of sight: a galaxy this wide in the sky would have
  // a near side bigger than its far side, which a galaxy far away never shows.
  const Vector3f& f = placement.Direction;
  auto across = [&](const Vector3f& axis) {
    return Along(Plus(axis, Along(f, -static_cast<double>(Dot3(axis, f)))), unit);
  };
  const Vector3f rows[4] = {across(placement.MajorAxis), across(placement.Normal),
                            across(Cross3(placement.MajorAxis, placement.Normal)),
                            Along(f, kGalaxyDistance)};
  Matrix4f m;
  for (int row = 0; row < 4; ++row) {
    m.m[row][0] = rows[row].x;
    m.m[row][1] = rows[row].y;
    m.m[row][2] = rows[row].z;
  }
  return m;
}

Vector2f OnCard(const TSkyCard& card, const Vector3f& p) {
  const double depth = static_cast<double>(Dot3(p, card.Centre));
  return {static_cast<float>(Dot3(p, card.Across) / depth),
          static_cast<float>(Dot3(p, card.Up) / depth)};
}

void VisibleCardCells(const std::vector<TCardVertex>& card, const TSkyOccluder& occluder,
                      std::vector<uint32_t>& indices) {
  const double distance = Length3(occluder.Centre);
  // Inside it, or with nothing to hide, every cell is drawn.
  const bool hides = occluder.Radius > 0 && distance > occluder.Radius;
  // Seen from the viewer the sphere covers the directions within this angle of its centre's, a
  // cap less than a hemisphere: convex, so a cell whose four corners it covers it covers whole.
  const double cos_cap =
      hides ? std::sqrt(1.0 - (occluder.Radius / distance) * (occluder.Radius / distance)) : 0.0;
  for (size_t first = 0; first + 3 < card.size(); first += 4) {
    bool behind = hides;
    for (size_t k = first; behind && k < first + 4; ++k) {
      const Vector3f corner{card[k].x, card[k].y, card[k].z};
      behind = Dot3(corner, occluder.Centre) >= cos_cap * Length3(corner) * distance;
    }
    if (!behind) {
      for (size_t k = first; k < first + 4; ++k) {
        indices.push_back(static_cast<uint32_t>(k));
      }
    }
  }
}

Matrix4f SkyView(const Matrix4f& camera_view) {
  Matrix4f view = camera_view;
  view.m[3][0] = view.m[3][1] = view.m[3][2] = 0;
  return view;
}

Matrix4f SkyProjection(const Matrix4f& projection) {
  if (projection.m[2][3] != -1.0f || projection.m[3][3] != 0.0f) {
    return projection;
  }
  Matrix4f sky = projection;
  sky.m[2][2] = static_cast<float>((kSkyFar + kSkyNear) / (kSkyNear - kSkyFar));
  sky.m[3][2] = static_cast<float>(2.0 * kSkyFar * kSkyNear / (kSkyNear - kSkyFar));
  return sky;
}

float BackdropVisibility(float sky_brightness) {
  const double t = std::clamp((kBrightSky - sky_brightness) / (kBrightSky - kDarkSky), 0.0, 1.0);
  return static_cast<float>(t * t * (3.0 - 2.0 * t));
}

void TGalaxySky::Build(const TGalaxyRender& galaxy, const TGalaxyPlacement& placement) {
  Vertices.clear();
  Batches.clear();
  const Matrix4f to_sky = GalaxyToSky(placement);
  const double unit = Length3(Row(to_sky, 0)); // the long axis keeps its length
  const Vector3f centre = Row(to_sky, 3);
  QuadWriter out(Vertices, Batches);

  // The disc's glow lies in the disc, so it foreshortens with it.
  out.Begin(kFrame2);
  out.Quad(centre, Row(to_sky, 0), Row(to_sky, 2), kGalaxyRim, {0.8, 0.9, 1.0, kDiscGlowWeight});
  out.Begin(kFrame3);
  out.Facing(centre, kBulgeRadius * unit, {1, 1, 1, kBulgeWeight});

  const std::vector<TSmokeParticle> none;
  const std::vector<TSmokeParticle>& smoke = galaxy.Smoke ? galaxy.Smoke->Particles : none;
  out.Begin(kSmoke);
  for (const TSmokeParticle& particle : smoke) {
    out.Facing(
        TransformPoint(particle.Position, to_sky), particle.C * kSmokeSize * unit,
        {particle.Color.x, particle.Color.y, particle.Color.z, kSmokeWeight * particle.Color.w});
  }
  out.Begin(kFrame4);
  for (size_t i = 0; i < smoke.size(); i += kKnotEvery) {
    const TSmokeParticle& particle = smoke[i];
    if (std::hypot(particle.Position.x, particle.Position.z) > kBulgeOut) {
      out.Facing(TransformPoint(particle.Position, to_sky), particle.C * kKnotSize * unit,
                 {1, 1, 1, kKnotWeight});
    }
  }

  // Stars by brightness quarter, each quarter one texture.
  const size_t stars = std::min(galaxy.StarPositions.size(), galaxy.StarColors.size());
  std::vector<int> quarter(stars);
  std::vector<double> brightness(stars);
  for (size_t i = 0; i < stars; ++i) {
    const Vector3f& c = galaxy.StarColors[i];
    const double grey = (static_cast<double>(c.x) + c.y + c.z) / 3.0;
    brightness[i] = std::clamp((grey - 0.5) / 0.5, 0.0, 1.0);
    quarter[i] = std::min(3, static_cast<int>(brightness[i] * 4.0));
  }
  for (int q = 0; q < 4; ++q) {
    out.Begin(kStarSlots[q]);
    for (size_t i = 0; i < stars; ++i) {
      if (quarter[i] != q) {
        continue;
      }
      const Vector3f at = TransformPoint(galaxy.StarPositions[i], to_sky);
      const double half = (kStarSmall + (kStarLarge - kStarSmall) * brightness[i]) * Length3(at);
      const Vector3f& c = galaxy.StarColors[i];
      out.Facing(at, half, {c.x, c.y, c.z, kStarWeight});
    }
  }

  out.Begin(kFrame1);
  out.Facing(centre, kNucleusRadius * unit, {1, 1, 1, kNucleusWeight});

  // A texture nothing uses keeps no empty batch.
  Batches.erase(std::remove_if(Batches.begin(), Batches.end(),
                               [](const TSkyBatch& batch) { return batch.Count == 0; }),
                Batches.end());
  BuildCard(placement);
}

void TGalaxySky::BuildCard(const TGalaxyPlacement& placement) {
  Card = TSkyCard{};
  Card.Centre = placement.Direction;
  // Any direction but straight up or down: the card's own turn does not matter.
  Card.Across = Cross3(placement.Direction, YAxis);
  Card.Across =
      Normalized3(Length3(Card.Across) > 1e-3f ? Card.Across : Cross3(placement.Direction, XAxis));
  Card.Up = Cross3(Card.Across, placement.Direction);
  const std::vector<Ellipse> ellipses = QuadEllipses(Card, Vertices);
  double reach = 0;
  for (const Ellipse& e : ellipses) {
    reach = std::max({reach, std::fabs(e.x) + e.Width(), std::fabs(e.y) + e.Height()});
  }
  // Two texels of room, so that the outermost glows keep their faded edges.
  Card.HalfWidth = static_cast<float>(reach * (1.0 + 2.0 / kCardTexels));

  constexpr int32_t n = TSkyCard::kCells;
  Card.Used.assign(static_cast<size_t>(n * n), 0);
  CardVertices.clear();
  if (!(Card.HalfWidth > 0)) {
    return;
  }
  const double cell = 2.0 * Card.HalfWidth / n;
  auto index = [&](double along) {
    return std::clamp(static_cast<int32_t>(std::floor((along + Card.HalfWidth) / cell)), 0, n - 1);
  };
  for (const Ellipse& e : ellipses) {
    // A small one marks every cell its box reaches; a large one, such as the disc's glow, the
    // cells of points laid over it half a cell apart, so that the corners of its box stay empty.
    // An even count, so that the points where it touches its quad's edges are among them.
    int32_t steps = std::max(
        2, static_cast<int32_t>(std::ceil(2.0 * std::max(e.Width(), e.Height()) / (cell / 2))));
    steps += steps % 2;
    const double grown = (1.0 + 2.0 / steps) * (1.0 + 2.0 / steps);
    for (int32_t i = 0; i <= steps; ++i) {
      const double s = -1.0 + 2.0 * i / steps;
      for (int32_t j = 0; j <= steps; ++j) {
        const double t = -1.0 + 2.0 * j / steps;
        if (steps > 2 && s * s + t * t > grown) {
          continue;
        }
        const double x = e.x + e.across_x * s + e.along_x * t;
        const double y = e.y + e.across_y * s + e.along_y * t;
        Card.Used[static_cast<size_t>(index(y) * n + index(x))] = 1;
      }
    }
  }

  for (int32_t row = 0; row < n; ++row) {
    for (int32_t column = 0; column < n; ++column) {
      if (Card.Used[static_cast<size_t>(row * n + column)] == 0) {
        continue;
      }
      static constexpr int32_t kCorners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
      for (const auto& corner : kCorners) {
        const double u = static_cast<double>(column + corner[0]) / n;
        const double v = static_cast<double>(row + corner[1]) / n;
        const Vector3f p = Plus(Card.Centre, Plus(Along(Card.Across, (2 * u - 1) * Card.HalfWidth),
                                                  Along(Card.Up, (2 * v - 1) * Card.HalfWidth)));
        CardVertices.push_back({p.x, p.y, p.z, static_cast<float>(u), static_cast<float>(v)});
      }
    }
  }
}

} // namespace meridia
