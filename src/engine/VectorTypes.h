// Single-precision vector, matrix and quaternion value types shared by every subsystem.
// Matrices are in OpenGL memory order: row vectors multiplied on the left, translation in
// elements 12..14, so a Matrix4f goes to and from OpenGL without transposition.
#pragma once

namespace meridia {

struct Vector2f {
  float x = 0.0f, y = 0.0f;
};

struct Vector3f {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Vector4f {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

// (x, y, z) imaginary, w real; the identity is (0, 0, 0, 1).
struct Quaternion {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
};

// m[row][column], rows stored one after another.
struct Matrix4f {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

  float* Data() { return &m[0][0]; }
  const float* Data() const { return &m[0][0]; }
};

} // namespace meridia
