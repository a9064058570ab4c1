#include "engine/VectorGeometry.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "engine/Random.h"

namespace meridia {
namespace {

constexpr float kPi = 3.14159265f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void ExpectNear3(const Vector3f& actual, const Vector3f& expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectNearQuat(const Quaternion& actual, const Quaternion& expected, float tolerance) {
  ExpectNear3({actual.x, actual.y, actual.z}, {expected.x, expected.y, expected.z}, tolerance);
  EXPECT_NEAR(actual.w, expected.w, tolerance);
}

void ExpectNearMatrix(const Matrix4f& actual, const Matrix4f& expected, float tolerance) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(actual.m[i / 4][i % 4], expected.m[i / 4][i % 4], tolerance) << "element " << i;
  }
}

// Row-vector rotation that turns by ax about X, then ay about Y, then az about Z.
Matrix4f RotationXYZ(float ax, float ay, float az) {
  return MulMatrix(MulMatrix(QuatToMatrix(QuatFromAxisRadians(XAxis, ax)),
                             QuatToMatrix(QuatFromAxisRadians(YAxis, ay))),
                   QuatToMatrix(QuatFromAxisRadians(ZAxis, az)));
}

TEST(VectorGeometryScalars, LargerAndSmallerReturnSecondOnTieOrNaN) {
  EXPECT_EQ(LargerFloat(3.0f, 2.0f) - SmallerFloat(3.0f, 2.0f), 1.0f);
  // Signed zeros compare equal, so the sign shows which argument came back.
  EXPECT_TRUE(std::signbit(LargerFloat(0.0f, -0.0f)));
  EXPECT_FALSE(std::signbit(SmallerFloat(-0.0f, 0.0f)));
  EXPECT_EQ(LargerFloat(kNaN, 1.0f), 1.0f);
  EXPECT_TRUE(std::isnan(LargerFloat(1.0f, kNaN)));
  EXPECT_EQ(SmallerFloat(kNaN, 1.0f), 1.0f);
  EXPECT_TRUE(std::isnan(SmallerFloat(1.0f, kNaN)));
}

TEST(VectorGeometryScalars, WrapModAndRound) {
  const struct {
    float in, expected;
  } wraps[] = {{190, -170}, {-540, -180}, {180, 180}, {-180, -180}, {540, 180},
               {725, 5},    {-190, 170},  {359, -1},  {0, 0}};
  for (const auto& c : wraps) {
    EXPECT_EQ(WrapDegrees(c.in), c.expected) << c.in;
  }
  EXPECT_EQ(FloatMod(-7.0f, 3.0f), -1.0f);
  EXPECT_EQ(FloatMod(7.0f, -3.0f), 1.0f);
  EXPECT_EQ(FloatMod(7.5f, 2.0f), 1.5f);
  // Halves go to even.
  EXPECT_EQ(RoundToIntegral(2.5f), 2.0f);
  EXPECT_EQ(RoundToIntegral(-2.5f), -2.0f);
  EXPECT_EQ(RoundToIntegral(3.5f), 4.0f);
  EXPECT_EQ(RoundToIntegral(0.49999997f), 0.0f);
  EXPECT_EQ(FloorInt(-0.5), -1);
  EXPECT_NEAR(ArcCosExt(-1.0), M_PI, 1e-12);
  EXPECT_NEAR(ArcSinExt(-0.6), std::asin(-0.6), 1e-12);
}

TEST(VectorGeometryScalars, PowerBranches) {
  // A logarithm of a negative base would give NaN: only the integral branch gets those.
  const struct {
    const char* name;
    float base, exponent, expected;
  } powers[] = {
      {"zero exponent wins over zero base", 0.0f, 0.0f, 1.0f},
      {"zero base", 0.0f, 2.5f, 0.0f},
      {"negative integral", 2.0f, -2.0f, 0.25f},
      {"negative base, odd", -2.0f, 3.0f, -8.0f},
      {"negative base, even", -3.0f, 2.0f, 9.0f},
      {"fractional negative", 8.0f, -1.0f / 3.0f, 0.5f},
  };
  for (const auto& c : powers) {
    EXPECT_NEAR(PowerFloat(c.base, c.exponent), c.expected, 1e-6f * std::fabs(c.expected))
        << c.name;
  }
  EXPECT_TRUE(std::isnan(PowerFloat(-8.0f, 1.0f / 3.0f)));
  // Repeated multiplication would keep the sign of a negative zero.
  EXPECT_FALSE(std::signbit(PowerFloat(-0.0f, 3.0f)));
  EXPECT_TRUE(std::isinf(PowerFloat(0.0f, -1.0f)));

  EXPECT_EQ(PowerByInt(-1.5f, 3), -3.375f);
  EXPECT_EQ(PowerByInt(2.0f, -3), 0.125f);
  EXPECT_EQ(PowerByInt(7.0f, 0), 1.0f);
  EXPECT_EQ(PowerByInt(1.0f, std::numeric_limits<int>::min()), 1.0f);
  EXPECT_EQ(PowerByInt(2.0f, std::numeric_limits<int>::min()), 0.0f);
}

TEST(VectorGeometryVectors, SmallVectorOperations) {
  SetRandSeed(20240611u);
  const double r[3] = {RandomReal(), RandomReal(), RandomReal()};
  const uint32_t seed_after = RandSeed();
  SetRandSeed(20240611u);
  // X, then Y, then Z, each from one draw.
  ExpectNear3(RandomVector3(), {float(r[0] - 0.5), float(r[1] - 0.5), float(r[2] - 0.5)}, 0.0f);
  EXPECT_EQ(RandSeed(), seed_after);

  // The near-zero bound is the subnormal TinyValue.
  EXPECT_TRUE(IsNearZero3({1e-41f, -1e-41f, -0.0f}));
  EXPECT_FALSE(IsNearZero3({0.0f, 0.0f, TinyValue}));
  EXPECT_FALSE(IsNearZero3({-1e-39f, 0.0f, 0.0f}));

  ExpectNear3(Cross3(ZAxis, XAxis), YAxis, 0.0f);
  EXPECT_EQ(Distance3({1, 1, 1}, {4, 5, 13}), 13.0f);
  EXPECT_FLOAT_EQ(CosAngle3({2, 0, 0}, {0.5f, 0.5f, 0}), std::sqrt(0.5f));
  ExpectNear3(Clamp3({-3, 0.5f, 9}, 0, 1), {0, 0.5f, 1}, 0.0f);
  EXPECT_EQ(PlaneSide({0, 0, 1, -2}, {5, 5, 3}), 1.0f);

  // Headings are measured from Z toward X.
  const struct {
    Vector3f v;
    float expected;
  } headings[] = {{{0, 0, 1}, 0},  {{1, 0, 0}, 90}, {{0, 0, -1}, 180}, {{-1, 0, 0}, 270},
                  {{1, 0, 1}, 45}, {{0, 1, 0}, 90}, {{-1, 0, 1}, 315}};
  for (const auto& c : headings) {
    EXPECT_NEAR(HeadingDegrees(c.v), c.expected, 1e-4f) << c.v.x << "," << c.v.y << "," << c.v.z;
  }
}

TEST(VectorGeometryVectors, AxisRotationsMatchQuaternionTurns) {
  // Around X and Z the turn goes against the right-hand rule, around Y with it.
  const struct {
    Vector3f (*rotate)(const Vector3f&, float);
    Vector3f axis;
    float sense;
  } rotations[] = {
      {RotateAroundX, XAxis, -1}, {RotateAroundY, YAxis, 1}, {RotateAroundZ, ZAxis, -1}};
  for (const auto& c : rotations) {
    for (float angle : {0.4f, -1.2f, 2.9f}) {
      const Matrix4f turn = QuatToMatrix(QuatFromAxisRadians(c.axis, c.sense * angle));
      for (const Vector3f& p : {XAxis, YAxis, ZAxis, Vector3f{0.3f, -2, 1.5f}}) {
        ExpectNear3(c.rotate(p, angle), TransformDirection(p, turn), 1e-5f);
      }
    }
  }
}

TEST(VectorGeometryMatrices, TransformsUseRowVectorsAndRowThreeTranslation) {
  const Matrix4f m{{{2, 3, 5, 0}, {7, 11, 13, 0}, {17, 19, 23, 0}, {29, 31, 37, 1}}};
  ExpectNear3(TransformPoint({1, 0, 0}, m), {31, 34, 42}, 0.0f);
  ExpectNear3(TransformDirection({1, 0, 0}, m), {2, 3, 5}, 0.0f);
  // A product applies its left factor first.
  Matrix4f translate;
  SetTranslation(translate, 1, 2, 3);
  Matrix4f scale;
  scale.m[0][0] = scale.m[1][1] = scale.m[2][2] = 10;
  ExpectNear3(TransformPoint({1, 1, 1}, MulMatrix(translate, scale)), {20, 30, 40}, 0.0f);
  ExpectNear3(TransformPoint({1, 1, 1}, MulMatrix(scale, translate)), {11, 12, 13}, 0.0f);
}

const Matrix4f kInvertible[] = {
    // rotation, non-uniform scale and translation
    MulMatrix(Matrix4f{{{2, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 3, 0}, {4, -5, 6, 1}}},
              RotationXYZ(0.3f, -0.7f, 1.1f)),
    // a perspective projection: column 3 is not (0, 0, 0, 1)
    Matrix4f{{{1.5f, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, -1.01f, -1}, {0, 0, -0.2f, 0}}},
    // zero on the diagonal: needs row exchanges
    Matrix4f{{{0, 2, 1, 0}, {3, 0, 0, 1}, {0, 0, 0, 4}, {1, 1, 5, 0}}},
    // rows of very different magnitude
    Matrix4f{{{1e-3f, 2e-3f, 0, 1e-3f}, {400, 100, 300, 0}, {1, 0, 2, 1}, {0, 1, 0, 3}}},
};

float MaxAbs(const Matrix4f& m) {
  float largest = 0;
  for (const auto& row : m.m) {
    for (float e : row) {
      largest = std::fmax(largest, std::fabs(e));
    }
  }
  return largest;
}

TEST(VectorGeometryMatrices, Inversion) {
  for (const Matrix4f& m : kInvertible) {
    const Matrix4f inverse = InvertGeneral(m);
    // Rounding the inverse to float alone costs about this much in the product.
    const float tolerance = 1e-6f * MaxAbs(m) * MaxAbs(inverse);
    ExpectNearMatrix(MulMatrix(m, inverse), IdentityMatrix, tolerance);
    ExpectNearMatrix(MulMatrix(inverse, m), IdentityMatrix, tolerance);
    Matrix4f in_place = m;
    InvertInPlace(in_place);
    ExpectNearMatrix(in_place, inverse, 1e-6f * MaxAbs(inverse));
    // The adjugate times the matrix is the determinant times the identity.
    const double det = Det4(m);
    Matrix4f adjugate = m;
    AdjointInPlace(adjugate);
    Matrix4f scaled_identity;
    ScaleAllElements(scaled_identity, static_cast<float>(det));
    ExpectNearMatrix(MulMatrix(m, adjugate), scaled_identity, 1e-4f * std::fabs(det));
  }
  EXPECT_EQ(Det4(Matrix4f{{{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}), -1.0);
  EXPECT_EQ(Det3(1, 2, 3, 4, 5, 6, 7, 8, 10), -3.0);
  Matrix4f transposed = kInvertible[2];
  TransposeInPlace(transposed);
  EXPECT_TRUE(transposed.m[0][1] == 3 && transposed.m[1][0] == 2);

  // Singular matrices (dependent rows, a zero row, a zero column) invert to the identity.
  for (Matrix4f m : {Matrix4f{{{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 1}, {5, 0, 1, 0}}},
                     Matrix4f{{{1, 2, 3, 4}, {0, 0, 0, 0}, {0, 1, 0, 1}, {5, 0, 1, 0}}},
                     Matrix4f{{{0, 2, 3, 4}, {0, 1, 6, 8}, {0, 1, 0, 1}, {0, 0, 1, 0}}}}) {
    ExpectNearMatrix(InvertGeneral(m), IdentityMatrix, 0);
    InvertInPlace(m);
    ExpectNearMatrix(m, IdentityMatrix, 0);
  }

  // Pivots are scaled by row magnitude: pivoting on the raw 1 of the top row would cancel the
  // top-left entry of the inverse to 0.
  const double b = 1e17f, det = 1 - b * 0.5;
  const Matrix4f inverse =
      InvertGeneral({{{1, 1e17f, 0, 0}, {0.5f, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}});
  const double expected[2][2] = {{1 / det, -b / det}, {-0.5 / det, 1 / det}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(inverse.m[i / 2][i % 2], expected[i / 2][i % 2],
                1e-6 * std::fabs(expected[i / 2][i % 2]))
        << i;
  }
}

TEST(VectorGeometryMatrices, RotationAngles) {
  const Vector3f angles[] = {
      {0.3f, -0.7f, 1.1f}, {-2.5f, 1.2f, -0.4f}, {1.0f, 0, 3.0f}, {0, -1.5f, 0.2f}};
  for (const Vector3f& a : angles) {
    const Matrix4f rotation = RotationXYZ(a.x, a.y, a.z);
    ExpectNear3(MatrixRotationAngles(rotation), a, 1e-4f);
    // Scale and shear before the turn (each row mixing only the rows above it, which is what
    // Gram-Schmidt undoes), translation after it and an overall w are all stripped.
    Matrix4f scaled = MulMatrix(
        Matrix4f{{{3, 0, 0, 0}, {0.5f, 0.2f, 0, 0}, {-1, 2, 7, 0}, {0, 0, 0, 1}}}, rotation);
    SetTranslation(scaled, 10, -20, 30);
    ScaleAllElements(scaled, 2);
    ExpectNear3(MatrixRotationAngles(scaled), a, 1e-4f);
    // A uniform mirror is read as the rotation itself.
    Matrix4f mirrored = rotation;
    ScaleAllElements(mirrored, -1);
    mirrored.m[3][3] = 1;
    ExpectNear3(MatrixRotationAngles(mirrored), a, 1e-4f);
    // The same turns as quaternions: the product applies its right factor first.
    const Quaternion q =
        QuatMul(QuatFromAxisRadians(ZAxis, a.z),
                QuatMul(QuatFromAxisRadians(YAxis, a.y), QuatFromAxisRadians(XAxis, a.x)));
    ExpectNear3(QuatToEulerDegrees(q), Scale3(a, 180 / kPi), 1e-2f);
  }
  // Gimbal lock, and matrices with no rotation to read.
  const Matrix4f up{{{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}};
  ExpectNear3(MatrixRotationAngles(up), {0, kPi / 2, 0}, 1e-6f);
  const Matrix4f down{{{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}}};
  ExpectNear3(MatrixRotationAngles(down), {0, -kPi / 2, 0}, 1e-6f);
  Matrix4f no_w = RotationXYZ(0.3f, 0.2f, 0.1f);
  no_w.m[3][3] = 0;
  ExpectNear3(MatrixRotationAngles(no_w), {0, 0, 0}, 0.0f);
  const Matrix4f flat{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}}};
  ExpectNear3(MatrixRotationAngles(flat), {0, 0, 0}, 0.0f);
}

TEST(VectorGeometryQuaternions, FromAxisNormalizeAndMul) {
  // The degree form turns three times the angle and normalises the axis.
  ExpectNearQuat(QuatFromAxisDegrees(ZAxis, 60), {0, 0, 1, 0}, 1e-6f);
  ExpectNearQuat(QuatFromAxisDegrees({0, 0, 2}, 60), {0, 0, 1, 0}, 1e-6f);
  ExpectNear3(TransformDirection(YAxis, QuatToMatrix(QuatFromAxisDegrees(XAxis, 30))), ZAxis,
              1e-6f);
  testing::internal::CaptureStdout();
  const Quaternion zero = QuatFromAxisDegrees({0, 0, 0}, 45);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Quaternion : axis length = 0\n");
  ExpectNearQuat(zero, {0, 0, 0, 0}, 0.0f);
  // The radian form keeps the axis length.
  ExpectNearQuat(QuatFromAxisRadians({0, 0, 2}, kPi), {0, 0, 2, 0}, 1e-6f);

  for (Quaternion q : {Quaternion{0, 0, 0, 0}, Quaternion{1e-31f, 0, 1e-31f, 0}}) {
    QuatNormalizeInPlace(q);
    ExpectNearQuat(q, IdentityQuaternion, 0.0f);
  }
  Quaternion q{0, 3, 0, -4};
  EXPECT_EQ(QuatLength(q), 5.0f);
  QuatNormalizeInPlace(q);
  ExpectNearQuat(q, {0, 0.6f, 0, -0.8f}, 1e-7f);

  // The Hamilton product.
  ExpectNearQuat(QuatMul({1, 0, 0, 0}, {0, 1, 0, 0}), {0, 0, 1, 0}, 0.0f);
  ExpectNearQuat(QuatMul({0, 1, 0, 0}, {1, 0, 0, 0}), {0, 0, -1, 0}, 0.0f);
  ExpectNearQuat(QuatMul({1, 0, 0, 0}, {1, 0, 0, 0}), {0, 0, 0, -1}, 0.0f);
}

TEST(VectorGeometryQuaternions, MatrixRotatesRowVectorsByTheRightHandRule) {
  const struct {
    Vector3f axis, from, to;
  } turns[] = {{ZAxis, XAxis, YAxis}, {XAxis, YAxis, ZAxis}, {YAxis, ZAxis, XAxis}};
  for (const auto& c : turns) {
    const Quaternion q = QuatFromAxisRadians(c.axis, kPi / 2);
    ExpectNear3(TransformDirection(c.from, QuatToMatrix(q)), c.to, 1e-6f);
    const Quaternion doubled{2 * q.x, 2 * q.y, 2 * q.z, 2 * q.w};
    ExpectNearMatrix(QuatToMatrix(doubled), QuatToMatrix(q), 1e-7f);
  }
  const Quaternion a = QuatFromAxisRadians(Normalized3({1, 2, 3}), 0.8f);
  const Quaternion b = QuatFromAxisRadians(Normalized3({-2, 0, 1}), 1.9f);
  ExpectNearMatrix(QuatToMatrix(QuatMul(a, b)), MulMatrix(QuatToMatrix(b), QuatToMatrix(a)), 1e-6f);
  // MatrixFromYTo turns Y onto the target; QuatFromYTo is left unnormalised (w = 1 + cos).
  for (const Vector3f& v : {YAxis, XAxis, Vector3f{0, 0, -1}, Normalized3({1, -2, 0.5f})}) {
    ExpectNear3(TransformDirection(YAxis, MatrixFromYTo(v)), v, 1e-6f);
    EXPECT_NEAR(QuatFromYTo(v).w, 1 + v.y, 1e-6f);
  }
}

TEST(VectorGeometryQuaternions, Slerp) {
  for (const Quaternion& q : {Quaternion{1, 2, 3, 4}, QuatFromAxisRadians(XAxis, 0.5f)}) {
    Quaternion normalized = q;
    QuatNormalizeInPlace(normalized);
    for (float t : {0.0f, 0.5f, 1.5f, -0.5f}) {
      ExpectNearQuat(QuatSlerp(q, q, t), normalized, 1e-6f);
    }
  }
  const Quaternion b = QuatFromAxisRadians(ZAxis, kPi / 2);
  for (float t : {0.25f, 0.5f, 1.0f}) {
    ExpectNearQuat(QuatSlerp(IdentityQuaternion, b, t), QuatFromAxisRadians(ZAxis, t * kPi / 2),
                   1e-6f);
  }
  // -b is the same turn; the shorter arc is taken either way.
  ExpectNearQuat(QuatSlerp(IdentityQuaternion, {-b.x, -b.y, -b.z, -b.w}, 0.3f),
                 QuatSlerp(IdentityQuaternion, b, 0.3f), 1e-6f);
}

} // namespace
} // namespace meridia
