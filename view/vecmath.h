#pragma once
// Vectors and quaternions for the virtual trackball. Every operation works in
// double precision and stores 32-bit floats. The argument orders of the
// cross products in TrackballQuat and ComposeQuats, together with the
// transposed layout of QuatToMatrix, decide which way a drag turns the
// model: change one and the others must follow.
//
// Below them, the same in doubles throughout for placing scenes read from
// other formats (convert/): rotations, 4x4 matrices and points.

#include <array>
#include <cstdint>

#include "model/geometry.h"

namespace meshara {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct Quat {
    float x = 0, y = 0, z = 0, w = 1;  // (x, y, z) vector part, w scalar; default is the identity
};

void VecSub(const Vec3& a, const Vec3& b, Vec3& out);
void VecAdd(const Vec3& a, const Vec3& b, Vec3& out);
float VecLength(const Vec3& v);
void VecScale(Vec3& v, float s);
// Scales to unit length; a zero vector has no direction and stays zero.
void VecNormalize(Vec3& v);
float VecDot(const Vec3& a, const Vec3& b);
// out = a x b; out may alias a or b.
void VecCross(const Vec3& a, const Vec3& b, Vec3& out);
Vec3 VecPart(const Quat& q);

// Height of the trackball surface of radius r over (x, y): a sphere near
// the centre, a hyperbolic sheet beyond r / sqrt(2).
float ProjectToTrackball(float r, float x, float y);
// Rotation that drags p1 to p2, points in [-1, 1] window coordinates. Equal
// points, or points on one ray from the centre (no axis), give the identity.
void TrackballQuat(Quat& q, float p1x, float p1y, float p2x, float p2y);
// Rotation by phi radians about axis (normalised in place). A zero axis gives the identity.
void AxisAngleToQuat(Vec3& axis, float phi, Quat& q);
// dest = combined rotation of q1 and q2; dest may alias either input. The
// result drifts from unit length over many compositions: callers that
// compose without end renormalise now and then (view/camera.h).
void ComposeQuats(const Quat& q1, const Quat& q2, Quat& dest);
// Divides by the squared length, which pulls a nearly unit quaternion back toward length 1.
void RenormalizeQuat(Quat& q);
// Column-major matrix as glMultMatrixf reads it (the rotation of q's conjugate).
void QuatToMatrix(float m[16], const Quat& q);

struct Quatd {
    double x = 0, y = 0, z = 0, w = 1;  // as Quat
};

// Column-major, as glTF and GL store matrices: element (row, column) at [column * 4 + row].
using Mat4d = std::array<double, 16>;
inline constexpr Mat4d kIdentityMat4d = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// a times b: b's transform first, then a's.
Mat4d MultiplyMatrices(const Mat4d& a, const Mat4d& b);
// The point p carried by m (its last row taken as 0 0 0 1).
Vec3d TransformPoint(const Mat4d& m, const Vec3d& p);
// Scaled to unit length; a zero quaternion stays zero.
Quatd NormalizeQuat(const Quatd& q);
// Scale s, then rotation r (normalised first; a zero r turns nothing), then translation t.
Mat4d ComposeTransform(const Vec3d& t, const Quatd& r, const Vec3d& s);
// From a (u = 0) to b (u = 1) the shorter way round at an even pace; rotations
// less than about 3.6 degrees apart are blended straight. Not normalised.
Quatd SlerpQuats(const Quatd& a, const Quatd& b, double u);

}  // namespace meshara
