// Vector, matrix and quaternion arithmetic. Each result is computed in double and rounded to
// float once, when it is stored; a formula that names another operation of this file uses that
// operation's (already rounded) result.
//
// Sources: determinants and the adjugate follow R. Carling, "Matrix Inversion", Graphics Gems
// (1990); MatrixRotationAngles is the rotation step of S. W. Thomas, "Decomposing a Matrix into
// Simple Transformations" ("unmatrix"), Graphics Gems II (1991).
#include "engine/VectorGeometry.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

#include "engine/Random.h"

namespace meridia {
namespace {

constexpr double kDegreesToRadians = 0.017453292;
constexpr double kRadiansToDegrees = 57.29578;

struct Vector3d {
  double x, y, z;
};

Vector3d Wide(const Vector3f& v) {
  return {v.x, v.y, v.z};
}

Vector3f Narrow(double x, double y, double z) {
  return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

double SquaredSum(const Vector3d& v) {
  return v.x * v.x + v.y * v.y + v.z * v.z;
}

// The 3 x 3 minor of m without row `row` and column `column`, as Det3 takes it: the letter of a
// parameter names the minor's column, the digit its row.
double Minor(const Matrix4f& m, int row, int column) {
  int rows[3];
  int columns[3];
  for (int i = 0, r = 0, c = 0; i < 4; ++i) {
    if (i != row) {
      rows[r++] = i;
    }
    if (i != column) {
      columns[c++] = i;
    }
  }
  const auto at = [&](int r, int c) -> double { return m.m[rows[r]][columns[c]]; };
  return Det3(at(0, 0), at(1, 0), at(2, 0), at(0, 1), at(1, 1), at(2, 1), at(0, 2), at(1, 2),
              at(2, 2));
}

} // namespace

// --- Scalars ---------------------------------------------------------------------------------

float LargerFloat(float a, float b) {
  return a > b ? a : b;
}

float SmallerFloat(float a, float b) {
  return a < b ? a : b;
}

int LargerInt(int a, int b) {
  return a > b ? a : b;
}

int SmallerInt(int a, int b) {
  return a < b ? a : b;
}

float InvSqrt(float x) {
  return static_cast<float>(1.0 / std::sqrt(static_cast<double>(x)));
}

float RoundToIntegral(float x) {
  return std::nearbyint(x);
}

float PowerByInt(float base, int n) {
  // The magnitude of INT_MIN does not fit an int.
  uint32_t remaining = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  double square = base;
  double result = 1.0;
  while (remaining != 0) {
    if (remaining & 1u) {
      result *= square;
    }
    square *= square;
    remaining >>= 1;
  }
  if (n < 0) {
    result = 1.0 / result;
  }
  return static_cast<float>(result);
}

float PowerFloat(float base, float exponent) {
  if (exponent == 0.0f) {
    return 1.0f;
  }
  if (base == 0.0f && exponent > 0.0f) {
    return 0.0f;
  }
  // An integral exponent too large for an int takes the logarithm path instead of overflowing.
  const double limit = static_cast<double>(std::numeric_limits<int>::max());
  if (std::trunc(exponent) == exponent && std::fabs(static_cast<double>(exponent)) <= limit) {
    return PowerByInt(base, static_cast<int>(std::nearbyint(static_cast<double>(exponent))));
  }
  return static_cast<float>(
      std::exp(static_cast<double>(exponent) * std::log(static_cast<double>(base))));
}

int FloorInt(double x) {
  return static_cast<int>(std::floor(x));
}

double ArcCosExt(double x) {
  return std::atan2(std::sqrt(1.0 - x * x), x);
}

double ArcSinExt(double x) {
  return std::atan2(x, std::sqrt(1.0 - x * x));
}

float ArcCosFloat(float x) {
  return static_cast<float>(ArcCosExt(x));
}

double ArcTan2Ext(double y, double x) {
  return std::atan2(y, x);
}

float ArcTan2Float(float y, float x) {
  return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

float FloatMod(float value, float modulus) {
  const double v = value;
  const double m = modulus;
  return static_cast<float>(v - std::trunc(v / m) * m);
}

float WrapDegrees(float a) {
  const double d = a;
  double r = d - std::trunc(d / 360.0) * 360.0;
  if (r > 180.0) {
    r -= 360.0;
  } else if (r < -180.0) {
    r += 360.0;
  }
  return static_cast<float>(r);
}

Vector3f RandomVector3() {
  // Three statements: the draw order is part of every generated shape.
  Vector3f v;
  v.x = static_cast<float>(RandomReal() - 0.5);
  v.y = static_cast<float>(RandomReal() - 0.5);
  v.z = static_cast<float>(RandomReal() - 0.5);
  return v;
}

// --- Vectors ---------------------------------------------------------------------------------

void ZeroVector2(Vector2f& v) {
  v = {0.0f, 0.0f};
}

void ZeroVector3(Vector3f& v) {
  v = {0.0f, 0.0f, 0.0f};
}

void ZeroVector4(Vector4f& v) {
  v = {0.0f, 0.0f, 0.0f, 0.0f};
}

bool IsNearZero3(const Vector3f& v) {
  const auto near_zero = [](float c) { return -TinyValue < c && c < TinyValue; };
  return near_zero(v.x) && near_zero(v.y) && near_zero(v.z);
}

Vector3f& AddInPlace3(Vector3f& v, const Vector3f& w) {
  v = Add3(v, w);
  return v;
}

Vector3f Add3(const Vector3f& a, const Vector3f& b) {
  const Vector3d p = Wide(a);
  const Vector3d q = Wide(b);
  return Narrow(p.x + q.x, p.y + q.y, p.z + q.z);
}

Vector3f Sub3(const Vector3f& a, const Vector3f& b) {
  const Vector3d p = Wide(a);
  const Vector3d q = Wide(b);
  return Narrow(p.x - q.x, p.y - q.y, p.z - q.z);
}

Vector3f& ScaleInPlace3(Vector3f& v, float s) {
  v = Scale3(v, s);
  return v;
}

Vector4f& ScaleInPlace4(Vector4f& v, float s) {
  const double f = s;
  v.x = static_cast<float>(v.x * f);
  v.y = static_cast<float>(v.y * f);
  v.z = static_cast<float>(v.z * f);
  v.w = static_cast<float>(v.w * f);
  return v;
}

Vector3f& MulInPlace3(Vector3f& v, const Vector3f& w) {
  const Vector3d p = Wide(v);
  const Vector3d q = Wide(w);
  v = Narrow(p.x * q.x, p.y * q.y, p.z * q.z);
  return v;
}

Vector3f Scale3(const Vector3f& v, float s) {
  const Vector3d p = Wide(v);
  const double f = s;
  return Narrow(p.x * f, p.y * f, p.z * f);
}

Vector3f& AddScaledInPlace3(Vector3f& v, const Vector3f& w, float s) {
  const Vector3d p = Wide(v);
  const Vector3d q = Wide(w);
  const double f = s;
  v = Narrow(p.x + q.x * f, p.y + q.y * f, p.z + q.z * f);
  return v;
}

Vector3f Clamp3(const Vector3f& v, float min, float max) {
  const auto clamp = [&](float c) { return c < min ? min : (c > max ? max : c); };
  return {clamp(v.x), clamp(v.y), clamp(v.z)};
}

float Dot3(const Vector3f& a, const Vector3f& b) {
  const Vector3d p = Wide(a);
  const Vector3d q = Wide(b);
  return static_cast<float>(p.x * q.x + p.y * q.y + p.z * q.z);
}

Vector3f Cross3(const Vector3f& a, const Vector3f& b) {
  const Vector3d p = Wide(a);
  const Vector3d q = Wide(b);
  return Narrow(p.y * q.z - p.z * q.y, p.z * q.x - p.x * q.z, p.x * q.y - p.y * q.x);
}

float SqrLength3(const Vector3f& v) {
  return static_cast<float>(SquaredSum(Wide(v)));
}

float Length3(const Vector3f& v) {
  return static_cast<float>(std::sqrt(SquaredSum(Wide(v))));
}

Vector3f Normalized3(const Vector3f& v) {
  const Vector3d p = Wide(v);
  const double length = std::sqrt(SquaredSum(p));
  return Narrow(p.x / length, p.y / length, p.z / length);
}

float Distance3(const Vector3f& a, const Vector3f& b) {
  const Vector3d p = Wide(a);
  const Vector3d q = Wide(b);
  const Vector3d d{q.x - p.x, q.y - p.y, q.z - p.z};
  return static_cast<float>(std::sqrt(SquaredSum(d)));
}

float CosAngle3(const Vector3f& a, const Vector3f& b) {
  const Vector3d p = Wide(a);
  const Vector3d q = Wide(b);
  const double dot = p.x * q.x + p.y * q.y + p.z * q.z;
  return static_cast<float>(dot / std::sqrt(SquaredSum(p) * SquaredSum(q)));
}

float HeadingDegrees(const Vector3f& v) {
  const float h =
      static_cast<float>(static_cast<double>(ArcCosFloat(CosAngle3(ZAxis, v))) * 180.0 / kPi);
  if (CosAngle3(XAxis, v) >= 0.0f) {
    return h;
  }
  return static_cast<float>(360.0 - h);
}

Vector3f RotateAroundX(const Vector3f& v, float angle) {
  const double s = static_cast<float>(std::sin(static_cast<double>(angle)));
  const double c = static_cast<float>(std::cos(static_cast<double>(angle)));
  const Vector3d p = Wide(v);
  return Narrow(p.x, s * p.z + c * p.y, c * p.z - s * p.y);
}

Vector3f RotateAroundY(const Vector3f& v, float angle) {
  const double s = static_cast<float>(std::sin(static_cast<double>(angle)));
  const double c = static_cast<float>(std::cos(static_cast<double>(angle)));
  const Vector3d p = Wide(v);
  return Narrow(s * p.z + c * p.x, p.y, c * p.z - s * p.x);
}

Vector3f RotateAroundZ(const Vector3f& v, float angle) {
  const double s = static_cast<float>(std::sin(static_cast<double>(angle)));
  const double c = static_cast<float>(std::cos(static_cast<double>(angle)));
  const Vector3d p = Wide(v);
  return Narrow(s * p.y + c * p.x, c * p.y - s * p.x, p.z);
}

float PlaneSide(const Vector4f& plane, const Vector3f& v) {
  const Vector3d p = Wide(v);
  return static_cast<float>(static_cast<double>(plane.x) * p.x +
                            static_cast<double>(plane.y) * p.y +
                            static_cast<double>(plane.z) * p.z + plane.w);
}

// --- Matrices --------------------------------------------------------------------------------

Matrix4f MulMatrix(const Matrix4f& a, const Matrix4f& b) {
  Matrix4f out;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) {
        sum += static_cast<double>(a.m[i][k]) * b.m[k][j];
      }
      out.m[i][j] = static_cast<float>(sum);
    }
  }
  return out;
}

Vector4f Vector4TimesMatrix(const Vector4f& v, const Matrix4f& m) {
  const double x = v.x, y = v.y, z = v.z, w = v.w;
  float out[4];
  for (int j = 0; j < 4; ++j) {
    out[j] = static_cast<float>(x * m.m[0][j] + y * m.m[1][j] + z * m.m[2][j] + w * m.m[3][j]);
  }
  return {out[0], out[1], out[2], out[3]};
}

Vector3f TransformPoint(const Vector3f& p, const Matrix4f& m) {
  const Vector3d q = Wide(p);
  double out[3];
  for (int j = 0; j < 3; ++j) {
    out[j] = q.x * m.m[0][j] + q.y * m.m[1][j] + q.z * m.m[2][j] + m.m[3][j];
  }
  return Narrow(out[0], out[1], out[2]);
}

Vector3f TransformDirection(const Vector3f& d, const Matrix4f& m) {
  const Vector3d q = Wide(d);
  double out[3];
  for (int j = 0; j < 3; ++j) {
    out[j] = q.x * m.m[0][j] + q.y * m.m[1][j] + q.z * m.m[2][j];
  }
  return Narrow(out[0], out[1], out[2]);
}

void SetTranslation(Matrix4f& m, float x, float y, float z) {
  m.m[3][0] = x;
  m.m[3][1] = y;
  m.m[3][2] = z;
}

void ScaleAllElements(Matrix4f& m, float s) {
  for (auto& row : m.m) {
    for (float& e : row) {
      e = static_cast<float>(static_cast<double>(e) * s);
    }
  }
}

void TransposeInPlace(Matrix4f& m) {
  for (int i = 0; i < 4; ++i) {
    for (int j = i + 1; j < 4; ++j) {
      std::swap(m.m[i][j], m.m[j][i]);
    }
  }
}

// Row one of the 3 x 3 matrix is (a1, b1, c1): the letters are columns.
double Det3(double a1, double a2, double a3, double b1, double b2, double b3, double c1, double c2,
            double c3) {
  return a1 * (b2 * c3 - b3 * c2) - b1 * (a2 * c3 - a3 * c2) + c1 * (a2 * b3 - a3 * b2);
}

double Det4(const Matrix4f& m) {
  return m.m[0][0] * Minor(m, 0, 0) - m.m[0][1] * Minor(m, 0, 1) + m.m[0][2] * Minor(m, 0, 2) -
         m.m[0][3] * Minor(m, 0, 3);
}

void AdjointInPlace(Matrix4f& m) {
  const Matrix4f in = m;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      const double cofactor = ((i + j) % 2 == 0 ? 1.0 : -1.0) * Minor(in, i, j);
      m.m[j][i] = static_cast<float>(cofactor);
    }
  }
}

void InvertInPlace(Matrix4f& m) {
  const double d = Det4(m);
  if (std::fabs(d) < TinyValue) {
    m = IdentityMatrix;
    return;
  }
  AdjointInPlace(m);
  const double inverse_d = 1.0 / d;
  for (auto& row : m.m) {
    for (float& e : row) {
      e = static_cast<float>(e * inverse_d);
    }
  }
}

Matrix4f InvertGeneral(const Matrix4f& m) {
  double a[4][8];
  double scale[4];
  for (int r = 0; r < 4; ++r) {
    scale[r] = 0.0;
    for (int c = 0; c < 4; ++c) {
      a[r][c] = m.m[r][c];
      a[r][4 + c] = r == c ? 1.0 : 0.0;
      scale[r] = std::fmax(scale[r], std::fabs(a[r][c]));
    }
    if (scale[r] == 0.0) {
      return IdentityMatrix;
    }
  }

  for (int k = 0; k < 4; ++k) {
    int pivot = k;
    double best = std::fabs(a[k][k]) / scale[k];
    for (int r = k + 1; r < 4; ++r) {
      const double candidate = std::fabs(a[r][k]) / scale[r];
      if (candidate > best) {
        best = candidate;
        pivot = r;
      }
    }
    if (pivot != k) {
      std::swap(a[pivot], a[k]);
      std::swap(scale[pivot], scale[k]);
    }
    // A zero pivot means the whole column is zero from here down: the matrix is singular, and
    // dividing by it would only spread NaNs.
    if (a[k][k] == 0.0) {
      return IdentityMatrix;
    }
    for (int r = k + 1; r < 4; ++r) {
      const double f = a[r][k] / a[k][k];
      for (int c = k + 1; c < 8; ++c) {
        a[r][c] -= f * a[k][c];
      }
      a[r][k] = 0.0;
    }
  }

  for (int k = 3; k >= 1; --k) {
    for (int r = 0; r < k; ++r) {
      const double f = a[r][k] / a[k][k];
      for (int c = k + 1; c < 8; ++c) {
        a[r][c] -= f * a[k][c];
      }
      a[r][k] = 0.0;
    }
  }

  Matrix4f out;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      out.m[r][c] = static_cast<float>(a[r][4 + c] / a[r][r]);
    }
  }
  return out;
}

Vector3f MatrixRotationAngles(const Matrix4f& m) {
  Matrix4f n = m;
  const float w = n.m[3][3];
  if (w == 0.0f) {
    return {};
  }
  for (auto& row : n.m) {
    for (float& e : row) {
      e = static_cast<float>(static_cast<double>(e) / w);
    }
  }

  // Perspective must not make the upper part singular; it is otherwise ignored.
  Matrix4f p = n;
  p.m[0][3] = p.m[1][3] = p.m[2][3] = 0.0f;
  p.m[3][3] = 1.0f;
  if (Det4(p) == 0.0) {
    return {};
  }

  Vector3f r0{n.m[0][0], n.m[0][1], n.m[0][2]};
  Vector3f r1{n.m[1][0], n.m[1][1], n.m[1][2]};
  Vector3f r2{n.m[2][0], n.m[2][1], n.m[2][2]};

  // Gram-Schmidt strips scale and shear, leaving an orthonormal rotation.
  ScaleInPlace3(r0, InvSqrt(SqrLength3(r0)));
  AddScaledInPlace3(r1, r0, -Dot3(r0, r1));
  ScaleInPlace3(r1, InvSqrt(SqrLength3(r1)));
  AddScaledInPlace3(r2, r0, -Dot3(r0, r2));
  AddScaledInPlace3(r2, r1, -Dot3(r1, r2));
  ScaleInPlace3(r2, InvSqrt(SqrLength3(r2)));

  // A mirrored frame is read as the rotation of its negation.
  if (Dot3(r0, Cross3(r1, r2)) < 0.0f) {
    ScaleInPlace3(r0, -1.0f);
    ScaleInPlace3(r1, -1.0f);
    ScaleInPlace3(r2, -1.0f);
  }

  // cos ry is never exactly zero for a double ry, so in practice the first branch always runs,
  // even at gimbal lock; the second is kept from the published decomposition.
  const double ry = ArcSinExt(-static_cast<double>(r0.z));
  Vector3f angles;
  angles.y = static_cast<float>(ry);
  if (std::cos(ry) != 0.0) {
    angles.x = ArcTan2Float(r1.z, r2.z);
    angles.z = ArcTan2Float(r0.y, r0.x);
  } else {
    angles.x = ArcTan2Float(r1.x, r1.y);
    angles.z = 0.0f;
  }
  return angles;
}

// --- Quaternions -----------------------------------------------------------------------------

Quaternion QuatFromAxisRadians(const Vector3f& axis, float angle) {
  const double half = static_cast<double>(angle) / 2.0;
  const double s = std::sin(half);
  const Vector3d a = Wide(axis);
  return {static_cast<float>(a.x * s), static_cast<float>(a.y * s), static_cast<float>(a.z * s),
          static_cast<float>(std::cos(half))};
}

Quaternion QuatFromAxisDegrees(const Vector3f& axis, float degrees) {
  // t is used where a half-angle belongs: the turn is 2 t, three times the degrees asked.
  const double t = static_cast<double>(degrees) * QuatDegreeFactor * kDegreesToRadians;
  const Vector3d a = Wide(axis);
  const double length = std::sqrt(SquaredSum(a));
  if (length == 0.0) {
    std::fputs("Quaternion : axis length = 0\n", stdout);
    return {0.0f, 0.0f, 0.0f, 0.0f};
  }
  const double s = std::sin(t);
  return {static_cast<float>(a.x * s / length), static_cast<float>(a.y * s / length),
          static_cast<float>(a.z * s / length), static_cast<float>(std::cos(t))};
}

namespace {

double QuatLengthWide(const Quaternion& q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  return std::sqrt(x * x + y * y + z * z + w * w);
}

} // namespace

float QuatLength(const Quaternion& q) {
  return static_cast<float>(QuatLengthWide(q));
}

void QuatNormalizeInPlace(Quaternion& q) {
  const double length = QuatLengthWide(q);
  if (length > SmallValue) {
    q.x = static_cast<float>(q.x / length);
    q.y = static_cast<float>(q.y / length);
    q.z = static_cast<float>(q.z / length);
    q.w = static_cast<float>(q.w / length);
  } else {
    q = IdentityQuaternion;
  }
}

Quaternion QuatMul(const Quaternion& a, const Quaternion& b) {
  const double ax = a.x, ay = a.y, az = a.z, aw = a.w;
  const double bx = b.x, by = b.y, bz = b.z, bw = b.w;
  Quaternion out;
  out.w = static_cast<float>(aw * bw - ax * bx - ay * by - az * bz);
  out.x = static_cast<float>(ax * bw + aw * bx + ay * bz - az * by);
  out.y = static_cast<float>(ay * bw + aw * by + az * bx - ax * bz);
  out.z = static_cast<float>(az * bw + aw * bz + ax * by - ay * bx);
  return out;
}

Matrix4f QuatToMatrix(const Quaternion& q) {
  Quaternion n = q;
  QuatNormalizeInPlace(n);
  const double x = n.x, y = n.y, z = n.z, w = n.w;
  const auto f = [](double v) { return static_cast<float>(v); };
  Matrix4f m;
  m.m[0][0] = f(1.0 - 2.0 * (y * y + z * z));
  m.m[0][1] = f(2.0 * (x * y + z * w));
  m.m[0][2] = f(2.0 * (x * z - y * w));
  m.m[1][0] = f(2.0 * (x * y - z * w));
  m.m[1][1] = f(1.0 - 2.0 * (x * x + z * z));
  m.m[1][2] = f(2.0 * (y * z + x * w));
  m.m[2][0] = f(2.0 * (x * z + y * w));
  m.m[2][1] = f(2.0 * (y * z - x * w));
  m.m[2][2] = f(1.0 - 2.0 * (x * x + y * y));
  return m; // row and column 3 keep the identity's values
}

Quaternion QuatSlerp(const Quaternion& a, const Quaternion& b, float t) {
  const double ax = a.x, ay = a.y, az = a.z, aw = a.w;
  double bx = b.x, by = b.y, bz = b.z, bw = b.w;
  double k = ax * bx + ay * by + az * bz + aw * bw;
  // Take the shorter of the two arcs between q and -q.
  if (k < 0.0) {
    bx = -bx;
    by = -by;
    bz = -bz;
    bw = -bw;
    k = -k;
  }
  double s0 = 1.0 - t;
  double s1 = t;
  if (1.0 - k > SmallValue) {
    const double omega = ArcCosExt(k);
    const double sin_omega = std::sin(omega);
    s0 = std::sin((1.0 - t) * omega) / sin_omega;
    s1 = std::sin(t * omega) / sin_omega;
  }
  Quaternion out{static_cast<float>(s0 * ax + s1 * bx), static_cast<float>(s0 * ay + s1 * by),
                 static_cast<float>(s0 * az + s1 * bz), static_cast<float>(s0 * aw + s1 * bw)};
  QuatNormalizeInPlace(out);
  return out;
}

Vector3f QuatToEulerDegrees(const Quaternion& q) {
  const Vector3f radians = MatrixRotationAngles(QuatToMatrix(q));
  const Vector3d r = Wide(radians);
  return Narrow(r.x * kRadiansToDegrees, r.y * kRadiansToDegrees, r.z * kRadiansToDegrees);
}

Quaternion QuatFromYTo(const Vector3f& v) {
  const Vector3f axis = Cross3(YAxis, v);
  const double w = std::sqrt(static_cast<double>(Length3(YAxis)) * Length3(v)) + Dot3(YAxis, v);
  return {axis.x, axis.y, axis.z, static_cast<float>(w)};
}

Matrix4f MatrixFromYTo(const Vector3f& v) {
  return QuatToMatrix(QuatFromYTo(v));
}

} // namespace meridia
