// The OpenGL side of static models: textures, buffers and the draws of models, instances and a
// node's buildings.
#include "gl/GLEntryPoints.h"
#include "gl/GLHelpers.h"
#include "models/Building.h"
#include "models/Material.h"
#include "models/Model.h"
#include "models/ModelInstance.h"
#include "view/Frustum.h"
#include "view/RenderOrigin.h"

#include "engine/FrameCounters.h"

#include <GL/gl.h>

#include <cstddef>

namespace meridia {

void TModel::LoadTextures() {
  for (TShape& shape : Shapes) {
    shape.Texture = 0;
    if (!shape.TextureFile.empty() && !LoadTexture(shape.TextureFile, shape.Texture)) {
      shape.Texture = 0;
    }
  }
}

void TModel::CreateBuffers() {
  for (TShape& shape : Shapes) {
    FillBuffer(GL_ARRAY_BUFFER_ARB, shape.Buffer, shape.Vertices.data(),
               shape.Vertices.size() * sizeof(TModelVertex), GL_STATIC_DRAW_ARB);
  }
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

void TModel::Draw() const {
  if (Shapes.empty()) {
    return; // a model whose file was missing: no buffers, and no state to touch
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  constexpr GLsizei kStride = sizeof(TModelVertex);
  for (const TShape& shape : Shapes) {
    glBindTexture(GL_TEXTURE_2D, shape.Texture);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, shape.Buffer);
    glVertexPointer(3, GL_FLOAT, kStride,
                    reinterpret_cast<const void*>(offsetof(TModelVertex, Position)));
    glNormalPointer(GL_FLOAT, kStride,
                    reinterpret_cast<const void*>(offsetof(TModelVertex, Normal)));
    glTexCoordPointer(3, GL_FLOAT, kStride,
                      reinterpret_cast<const void*>(offsetof(TModelVertex, TexCoord)));
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(shape.Vertices.size()));
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

void TModelInstance::Render() const {
  if (Model == nullptr) {
    return;
  }
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_COLOR_MATERIAL);
  glPushMatrix();
  const Vector3f at = FromRenderOrigin(Position);
  glTranslatef(at.x, at.y, at.z);
  glMultMatrixf(Orientation.Data());
  glScalef(0.0001f, 0.0001f, 0.0001f);
  Model->Draw();
  glPopMatrix();
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
}

void TBuilding::Render(const TzoFrustum& frustum) const {
  for (const auto& instance : Instances) {
    if (instance != nullptr && frustum.SphereVisible(instance->Position, 0)) {
      instance->Render();
      TrisCount += instance->TriangleCount;
      BuildingsDrawn += 1;
    }
  }
}

} // namespace meridia
