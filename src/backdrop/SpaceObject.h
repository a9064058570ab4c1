// Something placed in space around the planet: a position and a per-axis scale that its own
// points are multiplied by. Items of a quick list, so that several could be kept in one.
#pragma once

#include "engine/QuickList.h"
#include "engine/VectorTypes.h"

namespace meridia {

class TSpaceObject : public TzoQuickListItem {
public:
  Vector3f Position{0, 0, 0};
  Vector3f Scale{2, 2, 2};
};

} // namespace meridia
