// The spiral galaxy around the planet as plain data: star positions and colours along a few
// twisted arms, and with seed 0 the smoke particles along the same arms. Built once at the end of
// start-up; building reseeds the shared generator, which is what fixes every later draw.
#pragma once

#include "backdrop/SmokeParticleManager.h"
#include "backdrop/SpaceObject.h"
#include "engine/VectorTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace meridia {

struct TGalaxyArmRecord {
  float Size = 0;      // 0.3·ρ
  int32_t Variant = 0; // Random(20)
};

// The arm settings one build draws, read by every GalaxyPoint of that build.
struct TGalaxyArms {
  float MaxRadius = 25;
  int32_t Arms = 2;
  float ArmStep = 180;  // degrees between arms
  float ArmSpread = 45; // degrees; the jitter lies in [0, 2·ArmSpread)
  float Twist = 2;      // degrees per unit of radius
};

// A point of the unscaled galaxy: four draws (radius, arm, jitter, height). Also gives the
// radius r in [0, MaxRadius) and the thinning d = 1/(r/4 + 1) in (0, 1] it used.
Vector3f GalaxyPoint(const TGalaxyArms& arms, float& r, float& d);

class TGalaxyRender : public TSpaceObject {
public:
  static constexpr int32_t kArmRecordCount = 20;
  static constexpr int32_t kStarsPerArmRecord = 600;

  // Position 0, scale (2, 2, 2), and 20 arm records of two draws each.
  TGalaxyRender();

  // Seed 0 is the galaxy of start-up: smoke, no turn, no stretch. Any other seed turns and
  // stretches the stars and makes no smoke.
  void BuildGalaxy(int32_t seed);

  std::vector<Vector3f> StarPositions;
  std::vector<Vector3f> StarColors;
  std::vector<TGalaxyArmRecord> ArmRecords;
  std::unique_ptr<TSmoke_ParticleManager> Smoke;
  // The settings of the last build.
  TGalaxyArms ArmSettings;
};

} // namespace meridia
