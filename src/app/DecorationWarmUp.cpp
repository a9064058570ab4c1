#include "app/DecorationWarmUp.h"

#include "engine/FrameCounters.h"
#include "gl/GLEntryPoints.h"
#include "models/Building.h"
#include "models/ModelInstance.h"
#include "vegetation/PlanetaryTrees.h"
#include "view/RenderOrigin.h"

#include <GL/gl.h>

#include <array>

namespace meridia {

void WarmUpDecorations() {
  const int32_t tris = TrisCount;
  const int32_t trees = TreesDrawn;
  const int32_t impostors = TreeImpostorsDrawn;
  const int32_t buildings = BuildingsDrawn;

  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glFrustum(-0.001, 0.001, -0.00075, 0.00075, 0.001, 100.0);
  glMatrixMode(GL_MATRIX0_ARB);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();

  // What the planet pass leaves for its decorations: the sky has turned culling off.
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  // The driver prepares what a draw needs whatever it covers: a few pixels in the middle of the
  // view, where every kind stands, spare start-up the filling of whole trees and buildings.
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  glEnable(GL_SCISSOR_TEST);
  glScissor(viewport[0] + viewport[2] / 2 - 8, viewport[1] + viewport[3] / 2 - 8, 16, 16);
  // Whatever start-up left in the depth buffer would hide part of what is drawn.
  glClear(GL_DEPTH_BUFFER_BIT);

  // Geometry alone, geometry with the impostor over it, the impostor alone.
  constexpr std::array<float, 3> kLods{0.0f, 0.9f, 1.5f};
  for (const auto& tree : TreeKinds) {
    if (tree == nullptr) {
      continue;
    }
    for (const float lod : kLods) {
      glLoadIdentity();
      // A tree in tree units, a little in front of the eye and in full view.
      glTranslatef(0.0f, -0.5f * tree->BoundHeight * kTreeScale,
                   -2.0f * (tree->BoundHeight + tree->BoundRadius) * kTreeScale);
      glScalef(kTreeScale, kTreeScale, kTreeScale);
      tree->Render({0, 0, 0}, {0, 0, 1000}, lod, 0.0f);
    }
  }
  for (const auto& model : BuildingModels()) {
    if (model == nullptr) {
      continue;
    }
    // The instance draws relative to the render origin; the modelview puts that back.
    const Vector3f& origin = RenderOrigin();
    glLoadIdentity();
    glTranslatef(origin.x, origin.y, origin.z);
    TModelInstance building;
    building.Setup(model.get(), {origin.x, origin.y - 0.001f, origin.z - 0.005f}, {0, 1, 0}, 0);
    building.Render();
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_MATRIX0_ARB);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();

  TrisCount = tris;
  TreesDrawn = trees;
  TreeImpostorsDrawn = impostors;
  BuildingsDrawn = buildings;
}

} // namespace meridia
