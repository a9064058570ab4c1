// Free functions over the vector types. Stored values are 32-bit floats; every intermediate
// is computed in double and rounded once when stored, so results do not depend on how the
// compiler schedules float arithmetic.
#pragma once

#include "engine/VectorTypes.h"

namespace meridia {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr Vector3f XAxis{1, 0, 0};
inline constexpr Vector3f YAxis{0, 1, 0};
inline constexpr Vector3f ZAxis{0, 0, 1};
inline constexpr Quaternion IdentityQuaternion{0, 0, 0, 1};
inline constexpr Matrix4f IdentityMatrix{};
// A 32-bit subnormal: the near-zero test for vectors and determinants.
inline constexpr float TinyValue = 1e-40f;
inline constexpr float SmallValue = 1e-30f;
// Degrees are scaled by this factor and used as the half-angle, so every turn built from degrees
// is three times wider than asked; the camera relies on it.
inline constexpr float QuatDegreeFactor = 1.5f;

// --- Scalars ---------------------------------------------------------------------------------
float LargerFloat(float a, float b);
float SmallerFloat(float a, float b);
int LargerInt(int a, int b);
int SmallerInt(int a, int b);
float InvSqrt(float x);
float RoundToIntegral(float x);
float PowerByInt(float base, int n);
float PowerFloat(float base, float exponent);
int FloorInt(double x);
double ArcCosExt(double x);
double ArcSinExt(double x);
float ArcCosFloat(float x);
double ArcTan2Ext(double y, double x);
float ArcTan2Float(float y, float x);
float FloatMod(float value, float modulus);
float WrapDegrees(float a);
// Three draws of the shared generator, in the order x, y, z.
Vector3f RandomVector3();

// --- Vectors ---------------------------------------------------------------------------------
void ZeroVector2(Vector2f& v);
void ZeroVector3(Vector3f& v);
void ZeroVector4(Vector4f& v);
bool IsNearZero3(const Vector3f& v);
Vector3f& AddInPlace3(Vector3f& v, const Vector3f& w);
Vector3f Add3(const Vector3f& a, const Vector3f& b);
Vector3f Sub3(const Vector3f& a, const Vector3f& b);
Vector3f& ScaleInPlace3(Vector3f& v, float s);
Vector4f& ScaleInPlace4(Vector4f& v, float s);
Vector3f& MulInPlace3(Vector3f& v, const Vector3f& w);
Vector3f Scale3(const Vector3f& v, float s);
Vector3f& AddScaledInPlace3(Vector3f& v, const Vector3f& w, float s);
Vector3f Clamp3(const Vector3f& v, float min, float max);
float Dot3(const Vector3f& a, const Vector3f& b);
Vector3f Cross3(const Vector3f& a, const Vector3f& b);
float SqrLength3(const Vector3f& v);
float Length3(const Vector3f& v);
// No zero test: a zero vector gives non-finite components.
Vector3f Normalized3(const Vector3f& v);
float Distance3(const Vector3f& a, const Vector3f& b);
float CosAngle3(const Vector3f& a, const Vector3f& b);
float HeadingDegrees(const Vector3f& v);
Vector3f RotateAroundX(const Vector3f& v, float angle);
Vector3f RotateAroundY(const Vector3f& v, float angle);
Vector3f RotateAroundZ(const Vector3f& v, float angle);
float PlaneSide(const Vector4f& plane, const Vector3f& v);

// --- Matrices --------------------------------------------------------------------------------
Matrix4f MulMatrix(const Matrix4f& a, const Matrix4f& b);
Vector4f Vector4TimesMatrix(const Vector4f& v, const Matrix4f& m);
Vector3f TransformPoint(const Vector3f& p, const Matrix4f& m);
Vector3f TransformDirection(const Vector3f& d, const Matrix4f& m);
void SetTranslation(Matrix4f& m, float x, float y, float z);
void ScaleAllElements(Matrix4f& m, float s);
void TransposeInPlace(Matrix4f& m);
double Det3(double a1, double a2, double a3, double b1, double b2, double b3, double c1, double c2,
            double c3);
double Det4(const Matrix4f& m);
void AdjointInPlace(Matrix4f& m);
void InvertInPlace(Matrix4f& m);
// Gauss-Jordan with scaled partial pivoting in double; a singular matrix gives the identity.
Matrix4f InvertGeneral(const Matrix4f& m);
// Rotation angles (radians) about x, y, z of an affine matrix; (0, 0, 0) when it fails.
Vector3f MatrixRotationAngles(const Matrix4f& m);

// --- Quaternions -----------------------------------------------------------------------------
Quaternion QuatFromAxisRadians(const Vector3f& axis, float angle);
// A zero axis gives (0, 0, 0, 0) and a line on standard output.
Quaternion QuatFromAxisDegrees(const Vector3f& axis, float degrees);
float QuatLength(const Quaternion& q);
void QuatNormalizeInPlace(Quaternion& q);
Quaternion QuatMul(const Quaternion& a, const Quaternion& b);
Matrix4f QuatToMatrix(const Quaternion& q);
Quaternion QuatSlerp(const Quaternion& a, const Quaternion& b, float t);
Vector3f QuatToEulerDegrees(const Quaternion& q);
Quaternion QuatFromYTo(const Vector3f& v);
Matrix4f MatrixFromYTo(const Vector3f& v);

} // namespace meridia
