#include "view/RenderOrigin.h"

namespace meridia {
namespace {

Vector3f origin{0, 0, 0};

} // namespace

const Vector3f& RenderOrigin() {
  return origin;
}

void SetRenderOrigin(const Vector3f& p) {
  origin = p;
}

Vector3f FromRenderOrigin(const Vector3f& p) {
  return {p.x - origin.x, p.y - origin.y, p.z - origin.z};
}

} // namespace meridia
