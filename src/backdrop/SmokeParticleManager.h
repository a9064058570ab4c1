// The smoke that goes with the galaxy: Count + 1 particle records (the last one spare), all
// reset and marked live at creation. Every value is drawn from the shared generator in a fixed
// order, so creating a manager advances it by exactly kDrawsPerReset draws a record.
#pragma once

#include "engine/VectorTypes.h"

#include <cstdint>
#include <vector>

namespace meridia {

// 56 bytes, the layout the particle records have always had. A to E and After belong to a
// smoke animation that is not there yet; only their initial values are defined.
struct TSmokeParticle {
  Vector3f Position;
  float A = 0;
  float B = 0;
  float C = 0;
  float D = 0;
  float E = 0;
  Vector4f Color;
  float After = 0;
  int32_t Flag = 0;
};
static_assert(sizeof(TSmokeParticle) == 56);

// Scales E of every reset; set to 1 when a manager is created.
inline float SmokeFactor = 1.0f;

class TSmoke_ParticleManager {
public:
  static constexpr int32_t kCount = 2000;
  // Three for the position, then E, A, D and C.
  static constexpr int kDrawsPerReset = 7;

  // Count 2000, Count + 1 records, each reset and then flagged 1; LiveCount ends at Count.
  TSmoke_ParticleManager();

  // A fresh particle somewhere in the 100 by 2 by 100 box around the centre, white, flag 0;
  // takes one off LiveCount.
  void ResetParticle(TSmokeParticle& particle);

  int32_t Count = kCount;
  int32_t LiveCount = 0;
  std::vector<TSmokeParticle> Particles;
};

} // namespace meridia
