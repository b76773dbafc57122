#include "view/vecmath.h"

#include <algorithm>
#include <cmath>

namespace meshara {

namespace {
constexpr float kTrackballRadius = 0.8f;
}  // namespace

void VecSub(const Vec3& a, const Vec3& b, Vec3& out) {
    out = Vec3{static_cast<float>(double{a.x} - b.x), static_cast<float>(double{a.y} - b.y),
               static_cast<float>(double{a.z} - b.z)};
}

void VecAdd(const Vec3& a, const Vec3& b, Vec3& out) {
    out = Vec3{static_cast<float>(double{a.x} + b.x), static_cast<float>(double{a.y} + b.y),
               static_cast<float>(double{a.z} + b.z)};
}

float VecLength(const Vec3& v) {
    const double x = v.x, y = v.y, z = v.z;
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

void VecScale(Vec3& v, float s) {
    v = Vec3{static_cast<float>(double{v.x} * s), static_cast<float>(double{v.y} * s),
             static_cast<float>(double{v.z} * s)};
}

void VecNormalize(Vec3& v) {
    const float len = VecLength(v);
    if (len == 0.0f || std::isnan(len)) return;
    // The reciprocal stays in double: for a tiny vector it overflows a float.
    const double inv = 1.0 / len;
    v = Vec3{static_cast<float>(v.x * inv), static_cast<float>(v.y * inv), static_cast<float>(v.z * inv)};
}

float VecDot(const Vec3& a, const Vec3& b) {
    return static_cast<float>(double{a.x} * b.x + double{a.y} * b.y + double{a.z} * b.z);
}

void VecCross(const Vec3& a, const Vec3& b, Vec3& out) {
    const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z;
    out = Vec3{static_cast<float>(ay * bz - az * by), static_cast<float>(az * bx - ax * bz),
               static_cast<float>(ax * by - ay * bx)};
}

Vec3 VecPart(const Quat& q) { return Vec3{q.x, q.y, q.z}; }

float ProjectToTrackball(float r, float x, float y) {
    const double d = std::sqrt(double{x} * x + double{y} * y);
    if (d < r * 0.7071067811865476) return static_cast<float>(std::sqrt(double{r} * r - d * d));
    const double t = r * 0.7071067811865475;
    return static_cast<float>(t * t / d);
}

void TrackballQuat(Quat& q, float p1x, float p1y, float p2x, float p2y) {
    if (p1x == p2x && p1y == p2y) {
        q = Quat{};
        return;
    }
    const Vec3 p1{p1x, p1y, ProjectToTrackball(kTrackballRadius, p1x, p1y)};
    const Vec3 p2{p2x, p2y, ProjectToTrackball(kTrackballRadius, p2x, p2y)};
    Vec3 axis;
    VecCross(p2, p1, axis);  // second point first: see the header
    Vec3 d;
    VecSub(p1, p2, d);
    // 0.625 is 1 / (2 x 0.8) written out: dividing by twice the float 0.8
    // (0.800000011920929) lands a few units in the last place off.
    double t = VecLength(d) * 0.625;
    if (t > 1.0) t = 1.0;
    const float phi = static_cast<float>(2.0 * std::asin(t));
    AxisAngleToQuat(axis, phi, q);
}

void AxisAngleToQuat(Vec3& axis, float phi, Quat& q) {
    VecNormalize(axis);
    if (axis.x == 0.0f && axis.y == 0.0f && axis.z == 0.0f) {
        // Two points on one ray from the centre: no axis to turn about.
        q = Quat{};
        return;
    }
    const double half = phi * 0.5;
    Vec3 v = axis;
    VecScale(v, static_cast<float>(std::sin(half)));
    q = Quat{v.x, v.y, v.z, static_cast<float>(std::cos(half))};
}

void ComposeQuats(const Quat& q1, const Quat& q2, Quat& dest) {
    Vec3 t1 = VecPart(q1);
    VecScale(t1, q2.w);
    Vec3 t2 = VecPart(q2);
    VecScale(t2, q1.w);
    Vec3 t3;
    VecCross(VecPart(q2), VecPart(q1), t3);  // q2 first: see the header
    Vec3 sum;
    VecAdd(t1, t2, sum);
    VecAdd(t3, sum, sum);
    const float w = static_cast<float>(double{q1.w} * q2.w - VecDot(VecPart(q1), VecPart(q2)));
    dest = Quat{sum.x, sum.y, sum.z, w};
}

void RenormalizeQuat(Quat& q) {
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    const double m = x * x + y * y + z * z + w * w;
    if (m == 0.0) return;  // nothing sensible to scale
    q = Quat{static_cast<float>(x / m), static_cast<float>(y / m), static_cast<float>(z / m),
             static_cast<float>(w / m)};
}

void QuatToMatrix(float m[16], const Quat& q) {
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    const double v[16] = {
        1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (z * x + y * w),     0,
        2 * (x * y + z * w),     1 - 2 * (z * z + x * x), 2 * (y * z - x * w),     0,
        2 * (z * x - y * w),     2 * (y * z + x * w),     1 - 2 * (y * y + x * x), 0,
        0,                       0,                       0,                       1,
    };
    for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(v[i]);
}

Mat4d MultiplyMatrices(const Mat4d& a, const Mat4d& b) {
    Mat4d r{};
    for (size_t c = 0; c < 4; ++c)
        for (size_t row = 0; row < 4; ++row) {
            double s = 0;
            for (size_t k = 0; k < 4; ++k) s += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = s;
        }
    return r;
}

Vec3d TransformPoint(const Mat4d& m, const Vec3d& p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

Quatd NormalizeQuat(const Quatd& q) {
    const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!(n > 0)) return q;
    return {q.x / n, q.y / n, q.z / n, q.w / n};
}

Mat4d ComposeTransform(const Vec3d& t, const Quatd& r, const Vec3d& s) {
    const Quatd q = NormalizeQuat(r);
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    Mat4d m = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),     0,
               2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),     0,
               2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y), 0,
               t.x,                     t.y,                     t.z,                     1};
    const double scale[3] = {s.x, s.y, s.z};
    for (size_t c = 0; c < 3; ++c)
        for (size_t row = 0; row < 3; ++row) m[c * 4 + row] *= scale[c];
    return m;
}

Quatd SlerpQuats(const Quatd& a, const Quatd& b, double u) {
    Quatd to = b;
    double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (d < 0) {
        to = {-b.x, -b.y, -b.z, -b.w};
        d = -d;
    }
    double wa = 1 - u, wb = u;
    if (d < 0.9995) {
        const double theta = std::acos(std::min(d, 1.0));
        wa = std::sin((1 - u) * theta) / std::sin(theta);
        wb = std::sin(u * theta) / std::sin(theta);
    }
    return {wa * a.x + wb * to.x, wa * a.y + wb * to.y, wa * a.z + wb * to.z, wa * a.w + wb * to.w};
}

}  // namespace meshara
