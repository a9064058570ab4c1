// A static mesh made from an OBJ file: one shape per material, each a list of plain triangles
// with one texture, in one static vertex buffer. Building the shapes is plain C++; only the
// textures, the buffers and Draw need a rendering context.
#pragma once

#include "engine/VectorTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

class TOBJModel;

struct TModelVertex {
  Vector3f Position;
  Vector3f Normal;
  Vector3f TexCoord;
};
static_assert(sizeof(TModelVertex) == 36, "the buffers hold 36-byte vertices");

struct TShape {
  uint32_t Texture = 0; // 0: none
  std::string Name;     // the material's
  uint32_t Buffer = 0;  // 0 until created
  std::vector<TModelVertex> Vertices;
  // Where the material's diffuse map was looked for: the name handed to the texture loader;
  // empty when the material names no map.
  std::string TextureFile;
};

class TModel {
public:
  // False when the file does not exist. Otherwise the shapes of BuildShapes, their textures
  // loaded (0 where that fails) and their buffers filled. Needs a current context.
  bool Load(std::string_view file_name, bool turn_up, float scale);

  // The shapes without OpenGL: every face fanned into triangles (corners 0, k - 1, k), a new
  // shape whenever a material first appears and the old one again when it comes back, scaled,
  // turned from Z-up to Y-up when turn_up, then lifted so that the lowest vertex is at y = 0.
  // False, with no shapes, when the file does not exist.
  bool BuildShapes(std::string_view file_name, bool turn_up, float scale);
  // The same from a model already read; folder is the model file's, where textures are also
  // searched.
  void BuildShapes(const TOBJModel& obj, std::string_view folder, bool turn_up, float scale);
  // Needs a current context: Texture of every shape from its TextureFile, then every buffer.
  void LoadTextures();
  void CreateBuffers();

  // Every shape as triangles with its texture, then the arrays disabled and the buffers unbound;
  // nothing at all without shapes.
  void Draw() const;

  int32_t VertexCount() const;

  std::vector<TShape> Shapes;
  int32_t TriangleCount = 0;
};

} // namespace meridia
