// The OpenGL side of the galaxy sky: painting the card once through the back buffer, and the
// frame's one drawing step. Each sets and restores everything it touches.
#include "backdrop/GalaxySky.h"

#include "backdrop/GalaxyTextures.h"
#include "gl/GLEntryPoints.h"
#include "gl/GLHelpers.h"
#include "platform/GLContext.h"

#include <algorithm>
#include <cstddef>

namespace meridia {
namespace {

// The billboards lie between about 5 and 15 units out.
constexpr double kPaintNear = 1.0;
constexpr double kPaintFar = 100.0;

const void* Offset(size_t bytes) {
  return reinterpret_cast<const void*>(bytes);
}

// Looking from the viewer at the card's centre, Up up.
Matrix4f CardView(const TSkyCard& card) {
  Matrix4f view;
  const Vector3f columns[3] = {
      card.Across, card.Up, {-card.Centre.x, -card.Centre.y, -card.Centre.z}};
  for (int column = 0; column < 3; ++column) {
    view.m[0][column] = columns[column].x;
    view.m[1][column] = columns[column].y;
    view.m[2][column] = columns[column].z;
  }
  return view;
}

// The largest power of two that fits the viewport both ways, at most the card's side.
int32_t TileTexels() {
  int32_t viewport[4] = {0, 0, 0, 0};
  GetViewport(viewport);
  const int32_t fits = std::min(viewport[2], viewport[3]);
  int32_t tile = TGalaxySky::kCardTexels;
  while (tile > fits) {
    tile /= 2;
  }
  return tile;
}

void DrawBillboards(const TGalaxySky& sky) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(TSkyVertex), &sky.Vertices[0].x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(TSkyVertex), &sky.Vertices[0].u);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(TSkyVertex), &sky.Vertices[0].red);
  for (const TSkyBatch& batch : sky.Batches) {
    const uint32_t texture = GalaxyTextures[static_cast<size_t>(batch.TextureSlot)];
    // Without its picture a batch would be solid squares.
    if (texture == 0) {
      continue;
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    glDrawArrays(GL_QUADS, batch.First, batch.Count);
  }
}

// Textured drawing added onto what is there (source times `source_factor`), outside the depth
// buffer, both where the card is painted and where it is drawn.
void TexturedAddingState(GLenum source_factor) {
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_VERTEX_PROGRAM_ARB);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_BLEND);
  glBlendFunc(source_factor, GL_ONE);
}

} // namespace

TGalaxySky::~TGalaxySky() {
  if (!platform::HasCurrentGLContext()) {
    return;
  }
  if (Texture != 0) {
    glDeleteTextures(1, &Texture);
  }
  if (CardBuffer != 0 && glDeleteBuffersARB != nullptr) {
    glDeleteBuffersARB(1, &CardBuffer);
  }
}

bool TGalaxySky::Paint() {
  paint_tried_ = true;
  const int32_t tile = TileTexels();
  if (tile < 16 || Vertices.empty() || CardVertices.empty()) {
    return false;
  }
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_TEXTURE_BIT |
               GL_SCISSOR_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  if (Texture == 0) {
    glGenTextures(1, &Texture);
  }
  glBindTexture(GL_TEXTURE_2D, Texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kCardTexels, kCardTexels, 0, GL_RGB, GL_UNSIGNED_BYTE,
               nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

  TexturedAddingState(GL_SRC_ALPHA);
  glClearColor(0, 0, 0, 0);
  // Only the tile's corner of the back buffer is read back, so only it is cleared.
  glViewport(0, 0, tile, tile);
  glScissor(0, 0, tile, tile);
  glEnable(GL_SCISSOR_TEST);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadMatrixf(CardView(Card).Data());

  const int32_t tiles = kCardTexels / tile;
  const double span = 2.0 * Card.HalfWidth / tiles;
  for (int32_t row = 0; row < tiles; ++row) {
    for (int32_t column = 0; column < tiles; ++column) {
      // The tile's part of the card, one unit out, scaled to the near plane.
      const double left = -Card.HalfWidth + span * column;
      const double bottom = -Card.HalfWidth + span * row;
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      glFrustum(left * kPaintNear, (left + span) * kPaintNear, bottom * kPaintNear,
                (bottom + span) * kPaintNear, kPaintNear, kPaintFar);
      glMatrixMode(GL_MODELVIEW);
      glClear(GL_COLOR_BUFFER_BIT);
      DrawBillboards(*this);
      glBindTexture(GL_TEXTURE_2D, Texture);
      glCopyTexSubImage2D(GL_TEXTURE_2D, 0, column * tile, row * tile, 0, 0, tile, tile);
    }
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();

  FillBuffer(GL_ARRAY_BUFFER_ARB, CardBuffer, CardVertices.data(),
             CardVertices.size() * sizeof(TCardVertex), GL_STATIC_DRAW_ARB);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glPopClientAttrib();
  glPopAttrib();
  return true;
}

void TGalaxySky::Render(const Matrix4f& camera_view, float visibility,
                        const TSkyOccluder& occluder) {
  if (!(visibility > 0.0f)) {
    return;
  }
  if (Texture == 0 && !paint_tried_ && Paint()) {
    // The tiles went through the back buffer: the frame starts again from its clear colour.
    glClear(GL_COLOR_BUFFER_BIT);
  }
  if (Texture == 0 || CardBuffer == 0) {
    return;
  }
  drawn_.clear();
  VisibleCardCells(CardVertices, occluder, drawn_);
  if (drawn_.empty()) {
    return;
  }
  Matrix4f projection;
  GetProjectionMatrix(projection);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadMatrixf(SkyProjection(projection).Data());
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadMatrixf(SkyView(camera_view).Data());

  // Added onto the cleared frame, out of the depth buffer, so that whatever is drawn later is
  // in front of it.
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_TEXTURE_BIT |
               GL_CURRENT_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  TexturedAddingState(GL_ONE);
  glColor4f(visibility, visibility, visibility, 1.0f);
  glBindTexture(GL_TEXTURE_2D, Texture);

  glBindBufferARB(GL_ARRAY_BUFFER_ARB, CardBuffer);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(TCardVertex), Offset(offsetof(TCardVertex, x)));
  glTexCoordPointer(2, GL_FLOAT, sizeof(TCardVertex), Offset(offsetof(TCardVertex, u)));
  glDrawElements(GL_QUADS, static_cast<GLsizei>(drawn_.size()), GL_UNSIGNED_INT, drawn_.data());
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);

  glPopClientAttrib();
  glPopAttrib();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

} // namespace meridia
