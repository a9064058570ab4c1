// The OpenGL side of TTree: static buffers, the impostor atlas and the per-frame draws. What is
// drawn at a distance value is decided by TTree::PlanDraw; this file only issues it.
#include "gl/GLEntryPoints.h"
#include "gl/GLHelpers.h"
#include "platform/GLContext.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/Tree.h"
#include "vegetation/TreeShaders.h"
#include "vegetation/TreeTextures.h"
#include "vegetation/Wind.h"

#include "engine/FrameCounters.h"
#include "engine/VectorGeometry.h"

#include <GL/gl.h>

#include <algorithm>

namespace meridia {
namespace {

constexpr int32_t kAtlasColumns = 4;
constexpr int32_t kAtlasTiles = 16;

void BindProgramSlot(int32_t slot) {
  // An emptied slot holds -1, which names no program: drawing with it fails in the driver.
  const GLuint id = slot >= 0 && static_cast<size_t>(slot) < ProgramIds.size()
                        ? static_cast<GLuint>(ProgramIds[static_cast<size_t>(slot)])
                        : 0;
  glBindProgramARB(GL_VERTEX_PROGRAM_ARB, id);
}

void BindTreeTexture(int32_t slot) {
  const GLuint id = slot >= 0 && static_cast<size_t>(slot) < TreeTextureIds.size()
                        ? TreeTextureIds[static_cast<size_t>(slot)]
                        : 0;
  glBindTexture(GL_TEXTURE_2D, id);
}

const GLvoid* Offset(size_t bytes) {
  return reinterpret_cast<const GLvoid*>(bytes);
}

void DrawRange(GLenum mode, int32_t last, int32_t count, GLenum type) {
  if (glDrawRangeElementsEXT != nullptr) {
    glDrawRangeElementsEXT(mode, 0, static_cast<GLuint>(last), count, type, Offset(0));
  } else {
    glDrawRangeElements(mode, 0, static_cast<GLuint>(last), count, type, Offset(0));
  }
}

// Corner position and texture coordinates of an impostor quad.
struct TImpostorCorner {
  float Position[3];
  float Tex[3];
};

// The placement of a planted tree under the current modelview, made by the same calls in the
// same order wherever a tree is drawn: the driver's matrix products round in their own way, and
// a product made here would move some vertices by a bit.
void PlaceTree(const Vector3f& at, const Matrix4f& orientation) {
  glTranslatef(at.x, at.y, at.z);
  glMultMatrixf(orientation.Data());
  glScalef(kTreeScale, kTreeScale, kTreeScale);
}

void LoadProgramTurn(const Matrix4f& turn) {
  glMatrixMode(GL_MATRIX0_ARB);
  glLoadMatrixf(turn.Data());
  glMatrixMode(GL_MODELVIEW);
}

Matrix4f TurnAboutY(double radians) {
  return QuatToMatrix(QuatFromAxisRadians(YAxis, static_cast<float>(radians)));
}

} // namespace

void TTree::UploadBuffers() {
  FillBuffer(GL_ARRAY_BUFFER_ARB, StemBuffer, StemVertices.data(),
             StemVertices.size() * sizeof(TStemVertex), GL_STATIC_DRAW_ARB);
  if (StemVertices.size() < 65536) {
    // Half the index bytes the driver fetches per vertex.
    const std::vector<uint16_t> narrow(StemIndices.begin(), StemIndices.end());
    StemIndexType = GL_UNSIGNED_SHORT;
    FillBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, StemIndexBuffer, narrow.data(),
               narrow.size() * sizeof(uint16_t), GL_STATIC_DRAW_ARB);
  } else {
    StemIndexType = GL_UNSIGNED_INT;
    FillBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, StemIndexBuffer, StemIndices.data(),
               StemIndices.size() * sizeof(int32_t), GL_STATIC_DRAW_ARB);
  }
  if (!LeafVertices.empty()) {
    FillBuffer(GL_ARRAY_BUFFER_ARB, LeafBuffer, LeafVertices.data(),
               LeafVertices.size() * sizeof(TLeafVertex), GL_STATIC_DRAW_ARB);
  }
  // Tile t's quad is vertices 4t .. 4t + 3, the corners DrawImpostor gives it.
  std::vector<TImpostorCorner> corners;
  corners.reserve(4 * kAtlasTiles);
  const float r = BoundRadius;
  const float h = BoundHeight;
  for (int32_t tile = 0; tile < kAtlasTiles; ++tile) {
    const float c = static_cast<float>(tile % kAtlasColumns);
    const float row = static_cast<float>(tile / kAtlasColumns);
    corners.push_back({{-r, 0, 0}, {(c + 1) / 4, row / 4, 0}});
    corners.push_back({{r, 0, 0}, {c / 4, row / 4, 0}});
    corners.push_back({{r, h, 0}, {c / 4, (row + 1) / 4, 0}});
    corners.push_back({{-r, h, 0}, {(c + 1) / 4, (row + 1) / 4, 0}});
  }
  FillBuffer(GL_ARRAY_BUFFER_ARB, ImpostorBuffer, corners.data(),
             corners.size() * sizeof(TImpostorCorner), GL_STATIC_DRAW_ARB);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

void TTree::ReleaseGL() {
  // A tree outliving its context has nothing left to delete.
  if (!platform::HasCurrentGLContext()) {
    ImpostorTexture = LeafBuffer = StemBuffer = StemIndexBuffer = ImpostorBuffer = 0;
    return;
  }
  if (ImpostorTexture != 0) {
    glDeleteTextures(1, &ImpostorTexture);
    ImpostorTexture = 0;
  }
  for (uint32_t* buffer : {&LeafBuffer, &StemBuffer, &StemIndexBuffer, &ImpostorBuffer}) {
    if (*buffer != 0 && glDeleteBuffersARB != nullptr) {
      glDeleteBuffersARB(1, buffer);
    }
    *buffer = 0;
  }
}

void TTree::Generate(const TTreeShaders& shaders, int32_t kind, int32_t atlas_size) {
  Shaders = &shaders;
  Grow(kind, atlas_size, LoadTreeTexture);
  UploadBuffers();
  RenderImpostorAtlas();
}

void TTree::RenderImpostorAtlas() {
  const bool mipmaps = glGenerateMipmapEXT != nullptr;
  if (ImpostorTexture == 0) {
    glGenTextures(1, &ImpostorTexture);
    glBindTexture(GL_TEXTURE_2D, ImpostorTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, AtlasWidth, AtlasHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (mipmaps) {
      glGenerateMipmapEXT(GL_TEXTURE_2D);
    }
  }
  const int32_t tile_width = AtlasWidth / kAtlasColumns;
  const int32_t tile_height = AtlasHeight / kAtlasColumns;

  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  glViewport(0, 0, tile_width, tile_height);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(-BoundRadius, BoundRadius, 0, BoundHeight, -BoundRadius, BoundRadius);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();

  glClearColor(0.5f, 0.5f, 0.5f, 0.0f);
  // Only the tile's corner of the back buffer is read back: clearing the rest every tile was a
  // good part of the atlas's cost on a software rasterizer.
  glScissor(0, 0, tile_width, tile_height);
  glEnable(GL_SCISSOR_TEST);
  glEnable(GL_VERTEX_PROGRAM_ARB);
  for (int32_t i = 0; i < kAtlasTiles; ++i) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const Matrix4f view = TurnAboutY(i * 2.0 * kPi / kAtlasTiles);
    glLoadMatrixf(view.Data());
    DrawStemsStatic();
    DrawLeavesStatic();
    glBindTexture(GL_TEXTURE_2D, ImpostorTexture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, tile_width * (i % kAtlasColumns),
                        tile_height * (i / kAtlasColumns), 0, 0, tile_width, tile_height);
  }
  glDisable(GL_VERTEX_PROGRAM_ARB);
  glDisable(GL_SCISSOR_TEST);
  glBindTexture(GL_TEXTURE_2D, ImpostorTexture);
  if (mipmaps) {
    glGenerateMipmapEXT(GL_TEXTURE_2D);
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}

void TTree::Render(const Vector3f& position, const Vector3f& camera, float lod, float turn) {
  TrianglesDrawn = 0;
  if (lod > 0.8f) {
    DrawImpostor(position, camera, turn);
    TreeImpostorsDrawn += 1;
  }
  if (lod >= 1.0f) {
    return;
  }
  // The programs turn the tree; the impostor tiles show it unturned.
  LoadProgramTurn(TreeTurn(turn));
  const Vector3f wind = WindVector(position.x, position.z);
  glEnable(GL_VERTEX_PROGRAM_ARB);
  DrawStems(wind, lod);
  DrawLeaves(wind, lod);
  glDisable(GL_VERTEX_PROGRAM_ARB);
}

void TTree::DrawImpostor(const Vector3f& position, const Vector3f& camera, float turn) {
  const TImpostorView view = ImpostorView(position, camera, turn);
  // The facing turn stays with the quad: geometry drawn after it in the same pass keeps the
  // instance's own modelview.
  glPushMatrix();
  glMultMatrixf(TreeTurn(view.Heading).Data());
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glBindTexture(GL_TEXTURE_2D, ImpostorTexture);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  const float r = BoundRadius;
  const float h = BoundHeight;
  const float c = static_cast<float>(view.Column);
  const float row = static_cast<float>(view.Row);
  glBegin(GL_QUADS);
  glTexCoord3f((c + 1) / 4, row / 4, 0);
  glVertex3f(-r, 0, 0);
  glTexCoord3f(c / 4, row / 4, 0);
  glVertex3f(r, 0, 0);
  glTexCoord3f(c / 4, (row + 1) / 4, 0);
  glVertex3f(r, h, 0);
  glTexCoord3f((c + 1) / 4, (row + 1) / 4, 0);
  glVertex3f(-r, h, 0);
  glEnd();
  glDisable(GL_ALPHA_TEST);
  glPopMatrix();
  TrianglesDrawn += 2;
}

void TTree::BindStemArrays() {
  BindTreeTexture(BarkTexture);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, StemBuffer);
  glVertexPointer(3, GL_FLOAT, sizeof(TStemVertex), Offset(0));
  glNormalPointer(GL_FLOAT, sizeof(TStemVertex), Offset(12));
  glTexCoordPointer(3, GL_FLOAT, sizeof(TStemVertex), Offset(24));
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, StemIndexBuffer);
}

void TTree::DrawStemsStatic() {
  if (Shaders != nullptr) {
    BindProgramSlot(Shaders->TreeStaticProgram);
  }
  BindStemArrays();
  DrawRange(GL_TRIANGLE_STRIP, static_cast<int32_t>(StemVertices.size()) - 1,
            static_cast<int32_t>(StemIndices.size()), StemIndexType);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

void TTree::DrawStems(const Vector3f& wind, float lod) {
  int32_t count = 0;
  int32_t last = 0;
  StemDrawRange(lod, count, last);
  if (Shaders != nullptr) {
    BindProgramSlot(Shaders->TreeProgram);
  }
  glProgramLocalParameter4fARB(GL_VERTEX_PROGRAM_ARB, 0, wind.x, wind.y, wind.z, 0);
  glEnable(GL_CULL_FACE);
  BindStemArrays();
  DrawRange(GL_TRIANGLE_STRIP, last, count, StemIndexType);
  TrianglesDrawn += std::max(0, static_cast<int32_t>(StemIndices.size()) - 2);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

void TTree::BindLeafArrays() {
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glEnable(GL_TEXTURE_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  BindTreeTexture(LeafTexture);
  glColor4f(1, 1, 1, 1);
  glDisable(GL_CULL_FACE);
}

void TTree::UnbindLeafArrays() {
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glClientActiveTextureARB(GL_TEXTURE1_ARB);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
}

namespace {

void LeafPointers(GLuint buffer) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glClientActiveTextureARB(GL_TEXTURE1_ARB);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
  glVertexPointer(3, GL_FLOAT, sizeof(TLeafVertex), Offset(0));
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(TLeafVertex), Offset(36));
  glClientActiveTextureARB(GL_TEXTURE1_ARB);
  glTexCoordPointer(3, GL_FLOAT, sizeof(TLeafVertex), Offset(24));
  glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glTexCoordPointer(3, GL_FLOAT, sizeof(TLeafVertex), Offset(12));
}

} // namespace

void TTree::DrawLeavesStatic() {
  BindLeafArrays();
  if (Shaders != nullptr) {
    BindProgramSlot(Shaders->LeafStaticProgram);
  }
  LeafPointers(LeafBuffer);
  if (LeafBuffer != 0) {
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(LeafVertices.size()));
  }
  UnbindLeafArrays();
}

void TTree::DrawLeaves(const Vector3f& wind, float lod) {
  const int32_t count = LeafDrawCount(lod);
  BindLeafArrays();
  if (Shaders != nullptr) {
    BindProgramSlot(Shaders->LeafProgram);
  }
  glProgramLocalParameter4fARB(GL_VERTEX_PROGRAM_ARB, 0, wind.x, wind.y, wind.z, 0);
  LeafPointers(LeafBuffer);
  // Without a leaf buffer the pointers would be client addresses: nothing is drawn then.
  if (LeafBuffer != 0 && count > 0) {
    glDrawArrays(GL_QUADS, 0, count);
  }
  TrianglesDrawn += count / 2;
  UnbindLeafArrays();
}

namespace {

// What the draw before left set up: nothing of the trees' own, an impostor quad, a stem strip or
// a leaf array, each of one kind.
enum class TTreePass { kNone, kImpostor, kStems, kLeaves };

} // namespace

void TTree::DrawInOrder(const std::vector<TTreeDraw>& draws) {
  TTreePass pass = TTreePass::kNone;
  TTree* tree = nullptr;
  // Leaves what every lone draw leaves behind.
  const auto leave = [&] {
    switch (pass) {
    case TTreePass::kNone:
      break;
    case TTreePass::kImpostor:
      glDisableClientState(GL_VERTEX_ARRAY);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
      glDisable(GL_ALPHA_TEST);
      break;
    case TTreePass::kStems:
      glDisableClientState(GL_VERTEX_ARRAY);
      glDisableClientState(GL_NORMAL_ARRAY);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
      glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
      glDisable(GL_VERTEX_PROGRAM_ARB);
      break;
    case TTreePass::kLeaves:
      tree->UnbindLeafArrays();
      glDisable(GL_VERTEX_PROGRAM_ARB);
      break;
    }
    pass = TTreePass::kNone;
  };
  const auto enter = [&](TTreePass next, TTree& kind) {
    if (pass == next && tree == &kind) {
      return;
    }
    if (pass == TTreePass::kImpostor && next == TTreePass::kImpostor) {
      // Another kind's atlas and quads; the rest stays.
      glBindTexture(GL_TEXTURE_2D, kind.ImpostorTexture);
      glBindBufferARB(GL_ARRAY_BUFFER_ARB, kind.ImpostorBuffer);
      glVertexPointer(3, GL_FLOAT, sizeof(TImpostorCorner), Offset(0));
      glTexCoordPointer(3, GL_FLOAT, sizeof(TImpostorCorner), Offset(12));
      tree = &kind;
      return;
    }
    leave();
    tree = &kind;
    pass = next;
    switch (next) {
    case TTreePass::kNone:
      break;
    case TTreePass::kImpostor:
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GREATER, 0.5f);
      glBindTexture(GL_TEXTURE_2D, kind.ImpostorTexture);
      glEnable(GL_TEXTURE_2D);
      glColor4f(1, 1, 1, 1);
      glEnableClientState(GL_VERTEX_ARRAY);
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glBindBufferARB(GL_ARRAY_BUFFER_ARB, kind.ImpostorBuffer);
      glVertexPointer(3, GL_FLOAT, sizeof(TImpostorCorner), Offset(0));
      glTexCoordPointer(3, GL_FLOAT, sizeof(TImpostorCorner), Offset(12));
      break;
    case TTreePass::kStems:
      glEnable(GL_VERTEX_PROGRAM_ARB);
      if (kind.Shaders != nullptr) {
        BindProgramSlot(kind.Shaders->TreeProgram);
      }
      glEnable(GL_CULL_FACE);
      kind.BindStemArrays();
      break;
    case TTreePass::kLeaves:
      glEnable(GL_VERTEX_PROGRAM_ARB);
      kind.BindLeafArrays();
      if (kind.Shaders != nullptr) {
        BindProgramSlot(kind.Shaders->LeafProgram);
      }
      LeafPointers(kind.LeafBuffer);
      break;
    }
  };

  for (const TTreeDraw& draw : draws) {
    if (draw.Tree == nullptr) {
      continue;
    }
    TTree& kind = *draw.Tree;
    const TTreeDrawPlan& plan = draw.Plan;
    glPushMatrix();
    PlaceTree(draw.At, draw.Orientation);
    if (plan.Impostor) {
      enter(TTreePass::kImpostor, kind);
      // The facing turn stays with the quad when geometry follows.
      if (plan.Geometry) {
        glPushMatrix();
      }
      glMultMatrixf(draw.Facing.Data());
      glDrawArrays(GL_QUADS, 4 * std::clamp(draw.Tile, 0, kAtlasTiles - 1), 4);
      if (plan.Geometry) {
        glPopMatrix();
      }
    }
    if (plan.Geometry) {
      LoadProgramTurn(draw.Turn);
      enter(TTreePass::kStems, kind);
      glProgramLocalParameter4fARB(GL_VERTEX_PROGRAM_ARB, 0, draw.Wind.x, draw.Wind.y, draw.Wind.z,
                                   0);
      DrawRange(GL_TRIANGLE_STRIP, plan.StemLastVertex, plan.StemIndexCount, kind.StemIndexType);
      enter(TTreePass::kLeaves, kind);
      glProgramLocalParameter4fARB(GL_VERTEX_PROGRAM_ARB, 0, draw.Wind.x, draw.Wind.y, draw.Wind.z,
                                   0);
      // Without a leaf buffer the pointers would be client addresses: nothing is drawn then.
      if (kind.LeafBuffer != 0 && plan.LeafVertexCount > 0) {
        glDrawArrays(GL_QUADS, 0, plan.LeafVertexCount);
      }
    }
    glPopMatrix();
  }
  leave();
}

} // namespace meridia
