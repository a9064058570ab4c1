// The sky: a sphere slightly larger than the planet whose vertex colours come from a CPU model of
// single Rayleigh and Mie scattering, with a precomputed optical-depth table in place of the
// light-ray integral. Everything here is plain data except the two Render calls.
#pragma once

#include "engine/Object.h"
#include "engine/VectorTypes.h"
#include "terrain/PixelBuffer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace meridia {

// Model-space radius of the planet's surface, and the factor that maps world units into it.
inline constexpr float kScatterInnerRadius = 10.0f;
inline constexpr float kScatterWorldToModel = 0.0147492625f;

// 16 bytes, the layout handed to glVertex3fv and glColor4ubv.
struct TScatterVertex {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  uint8_t red = 0, green = 0, blue = 0, alpha = 0;
};
static_assert(sizeof(TScatterVertex) == 16);

// One triangle fan or strip of the sphere: Count entries of DrawIndices from First.
struct TScatterPrimitive {
  bool Fan = false;
  int32_t First = 0;
  int32_t Count = 0;
};

// A UV sphere: a pole, Stacks - 1 rings of Slices vertices, the other pole. Every triangle is
// wound clockwise seen from inside. VertexCount = (Stacks - 1) * Slices + 2 = Vertices.size().
class TScatterSphere : public TObject {
public:
  // Fewer than 3 slices or 2 stacks is a caller's error: it aborts in debug builds and otherwise
  // leaves the sphere without vertices.
  TScatterSphere(float radius, int32_t slices, int32_t stacks);

  float Radius = 0.0f;
  int32_t Slices = 0;
  int32_t Stacks = 0;
  std::vector<TScatterVertex> Vertices;
  int32_t VertexCount = 0;

  // The drawing order, built once: a fan round the first pole, one strip per band of rings,
  // a fan round the last pole.
  std::vector<TScatterPrimitive> Primitives;
  std::vector<int32_t> DrawIndices;

  // Colour then position per vertex, from buffer objects (client arrays where the entry points
  // are not loaded); leaves the current colour at the last vertex's, as drawing them one by one
  // would, no array enabled and no buffer bound. Needs the context it first drew in.
  void Render() const;
  ~TScatterSphere() override;

private:
  // The colours as OpenGL takes a byte colour in, 0 to 1.
  mutable std::vector<float> colours_;
  // What the buffers hold: the sphere is sent again only when a vertex has changed, which the
  // sky's colours do on refinement frames alone.
  mutable std::vector<TScatterVertex> sent_;
  mutable uint32_t vertex_buffer_ = 0;
  mutable uint32_t colour_buffer_ = 0;
  mutable uint32_t index_buffer_ = 0;
};

class TScatterRecolour;

// Element (row j = view angle, column k = altitude): Rayleigh density ratio, Rayleigh optical
// depth to the top of the atmosphere, Mie density ratio, Mie optical depth. Row j looks along
// cos a = 1 - 2j / 128 from the vertical; rows whose ray meets the planet fade the densities of
// the row before by 0.75.
void BuildOpticalDepthTable(CPixelBuffer& table, float mie_scale_depth, float rayleigh_scale_depth,
                            float outer_radius, float inner_radius);

// Empty base of the scattering implementations.
class TScatterClass : public TObject {};

class TScatter_CPU : public TScatterClass {
public:
  // Sets the constants, builds the table and the sphere; every vertex starts transparent black.
  TScatter_CPU();
  ~TScatter_CPU() override;
  TScatter_CPU(const TScatter_CPU&) = delete;
  TScatter_CPU& operator=(const TScatter_CPU&) = delete;

  Vector3f LightPosition{1000.0f, 1000.0f, 1000.0f};
  Vector3f LightDirection;
  int32_t Samples = 4;
  float Kr = 0.0025f;
  float Kr4Pi = 0.0f;
  float Km = 0.0015f;
  float Km4Pi = 0.0f;
  float ESun = 15.0f;
  float G = -0.85f;
  float InnerRadius = kScatterInnerRadius;
  float OuterRadius = 10.35f;
  float Scale = 0.0f;
  float Wavelength[3] = {0.65f, 0.57f, 0.475f};
  float Wavelength4[3] = {};
  float RayleighScaleDepth = 0.25f;
  float MieScaleDepth = 0.1f;
  TScatterSphere OuterSphere;
  CPixelBuffer OpticalDepth;
  Vector3f CameraPosition;

  // Maps the world camera position into the model and recolours the vertices on the camera's
  // side of the centre (CameraPosition . P > 0); the others keep their colours.
  void UpdateColors(const Vector3f& world_camera_position);
  // UpdateColors in two halves, so that the caller can go on with other work meanwhile: a helper
  // thread starts on the vertices, and FinishUpdateColors takes a share of what is left and
  // returns when every vertex has its colour. Until then nothing may read or change the
  // vertices; Render and a second BeginUpdateColors finish first.
  void BeginUpdateColors(const Vector3f& world_camera_position);
  void FinishUpdateColors();
  // Colours one vertex as seen from CameraPosition. A ray no longer than 1e-6 leaves it as it is;
  // a camera at the centre makes it opaque white.
  void VertexColor(TScatterVertex& vertex) const;
  // How bright the sky is straight above a world position: the brightest channel, 0 to 1, of the
  // colour a sky vertex overhead would get from there. 0 above the atmosphere, where nothing of
  // it lies overhead. Leaves the sky's own colours and camera alone.
  float BrightnessOverhead(const Vector3f& world_position) const;
  // Draws the sphere from inside with blending in whatever blend function is in force, depth
  // writes off and back faces culled, and restores that state. The caller scales it to world size.
  void Render();

private:
  std::unique_ptr<TScatterRecolour> recolour_;
};

} // namespace meridia
