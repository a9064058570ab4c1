// The galaxy as a sky at infinity. Its stars, smoke and glows become billboards around a viewer
// at the origin of a sky space that turns with the camera and never moves with it, so flying
// never brings the galaxy nearer. Since the viewer never leaves that origin, what the billboards
// show is one fixed picture on a card across the line of sight, whatever the camera's turn: they
// are painted onto the card's texture once, and a frame draws only the card's cells that hold
// something. The OpenGL side is GalaxySkyRender.cpp.
#pragma once

#include "backdrop/GalaxyRender.h"
#include "engine/VectorTypes.h"

#include <cstdint>
#include <vector>

namespace meridia {

// 24 bytes: position, texture coordinates, colour with the blend's weight in alpha.
struct TSkyVertex {
  float x = 0, y = 0, z = 0;
  float u = 0, v = 0;
  uint8_t red = 0, green = 0, blue = 0, alpha = 0;
};
static_assert(sizeof(TSkyVertex) == 24);

// Quads drawn with one backdrop texture (a slot of GalaxyTextures): Count vertices from First.
struct TSkyBatch {
  int32_t TextureSlot = 0;
  int32_t First = 0;
  int32_t Count = 0;
};

// Where the galaxy hangs, in world directions (the sky keeps the world's axes).
struct TGalaxyPlacement {
  Vector3f Direction;      // from the viewer to the galaxy's centre
  Vector3f Normal;         // of the disc
  Vector3f MajorAxis;      // in the disc, across the line of sight
  float AngularRadius = 0; // radians, out to the disc's rim
};

// Just left of the planet as the orbit begins, 48 degrees across (a good part of a 40 degree
// view), its disc turned 62 degrees from the line of sight and slanted.
TGalaxyPlacement DefaultGalaxyPlacement();

// Galaxy coordinates (a disc of radius 50 in x and z) to sky space: the disc turned as placed,
// pressed flat across the line of sight, its centre ten units from the viewer.
Matrix4f GalaxyToSky(const TGalaxyPlacement& placement);

// The square across the line of sight, one unit out, that holds the galaxy's picture: a grid of
// Cells by Cells, of which Used marks those something was painted on (row by row, from the
// corner at -Across, -Up).
struct TSkyCard {
  static constexpr int32_t kCells = 32;
  Vector3f Centre; // the placement's direction
  Vector3f Across;
  Vector3f Up;
  float HalfWidth = 0; // along both axes
  std::vector<uint8_t> Used;
};

// Where the line of sight through p meets the card, in units along Across and Up from its
// centre. p must lie in front of the viewer.
Vector2f OnCard(const TSkyCard& card, const Vector3f& p);

// 20 bytes: a corner of a card cell in sky space and its place in the card's texture.
struct TCardVertex {
  float x = 0, y = 0, z = 0;
  float u = 0, v = 0;
};
static_assert(sizeof(TCardVertex) == 20);

// A sphere in front of the sky, its centre relative to the viewer: a cell wholly behind it is
// left out, since what is drawn later covers it. A radius of 0 hides nothing.
struct TSkyOccluder {
  Vector3f Centre;
  float Radius = 0;
};

// Appends the CardVertices indices of the cells not wholly behind the occluder, four a cell.
void VisibleCardCells(const std::vector<TCardVertex>& card, const TSkyOccluder& occluder,
                      std::vector<uint32_t>& indices);

// The camera's view with its translation dropped: only the camera's turn reaches the sky.
Matrix4f SkyView(const Matrix4f& camera_view);

// The frame's projection with its angles kept and its depth range moved to hold the sky, which
// lies within a few units of the viewer whatever planes the frame uses. Anything but a
// perspective projection comes back as it was.
Matrix4f SkyProjection(const Matrix4f& projection);

// How much of the backdrop shows through a sky of the given brightness overhead (its brightest
// channel, 0 to 1): all of it under a black sky, none under a daylight one.
float BackdropVisibility(float sky_brightness);

class TGalaxySky {
public:
  // Texels along a side of the card's texture: about a pixel each at the middle of a 40 degree
  // view 600 pixels high.
  static constexpr int32_t kCardTexels = 1024;

  TGalaxySky() = default;
  TGalaxySky(const TGalaxySky&) = delete;
  TGalaxySky& operator=(const TGalaxySky&) = delete;
  // Deletes the texture and the buffer while their context is current.
  ~TGalaxySky();

  // Billboards of every star, every smoke particle and the frames' glows in sky space, the card
  // that holds them all with the cells they reach, and those cells' corners.
  void Build(const TGalaxyRender& galaxy, const TGalaxyPlacement& placement);

  std::vector<TSkyVertex> Vertices;
  std::vector<TSkyBatch> Batches;
  TSkyCard Card;
  std::vector<TCardVertex> CardVertices;

  // OpenGL. Paints the billboards onto the card's texture tile by tile through the back buffer
  // (whose contents it leaves undefined) and keeps the card's cells in a static buffer object;
  // every other state is left as it was. False when the viewport is too small to paint through.
  // Render calls it the first time; about a tenth of a second on a software rasterizer, which a
  // start-up that never shows the galaxy need not pay.
  bool Paint();
  // Adds the card's cells in view of the occluder onto the frame without depth, under SkyView
  // of the camera's view and SkyProjection of the current projection, scaled by visibility;
  // nothing at all at visibility 0. Meant to be drawn first: the first call paints the card and
  // then clears the colour buffer again. Leaves every state as it found it.
  void Render(const Matrix4f& camera_view, float visibility, const TSkyOccluder& occluder = {});

  uint32_t Texture = 0;
  uint32_t CardBuffer = 0;

private:
  void BuildCard(const TGalaxyPlacement& placement);

  bool paint_tried_ = false;
  std::vector<uint32_t> drawn_; // the frame's cells, kept to spare an allocation
};

} // namespace meridia
