#include "model/normals.h"

#include <cmath>

namespace meshara {

namespace {
struct Accumulator {
    double x, y, z, count;
};
}  // namespace

std::vector<Vec3d> VertexNormals(const Md2Model& model, std::span<const Vec3d> p) {
    const size_t vertexCount = p.size();
    std::vector<Vec3d> normals(vertexCount, Vec3d{0, 0, 0});
    std::vector<Accumulator> acc(vertexCount, Accumulator{0, 0, 0, 0});
    for (const Md2Triangle& tri : model.triangles) {
        if (tri.vertex[0] >= vertexCount || tri.vertex[1] >= vertexCount || tri.vertex[2] >= vertexCount) continue;
        const Vec3d& p0 = p[tri.vertex[0]];
        const Vec3d& p1 = p[tri.vertex[1]];
        const Vec3d& p2 = p[tri.vertex[2]];
        const double ux = p1.x - p0.x, uy = p1.y - p0.y, uz = p1.z - p0.z;
        const double vx = p2.x - p1.x, vy = p2.y - p1.y, vz = p2.z - p1.z;
        const double nx = uy * vz - uz * vy;
        const double ny = uz * vx - ux * vz;
        const double nz = ux * vy - uy * vx;
        const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
        // Degenerate faces (and NaN geometry) must not even count.
        if (len == 0.0 || std::isnan(len)) continue;
        const double inv = 1.0 / len;
        for (uint16_t v : tri.vertex) {
            Accumulator& a = acc[v];
            a.x += nx * inv;
            a.y += ny * inv;
            a.z += nz * inv;
            a.count += 1.0;
        }
    }

    for (size_t i = 0; i < vertexCount; ++i) {
        const Accumulator& a = acc[i];
        const double ax = a.x / a.count, ay = a.y / a.count, az = a.z / a.count;
        const double m = std::sqrt(ax * ax + ay * ay + az * az);
        if (m == 0.0 || std::isnan(m)) continue;
        // Reversed on purpose: together with the loader's winding swap and
        // negated y this is what points normals out of the model.
        const double f = -1.0 / m;
        normals[i] = Vec3d{ax * f, ay * f, az * f};
    }
    return normals;
}

std::vector<Vec3d> FrameNormals(const Md2Model& model, int32_t frame) {
    return VertexNormals(model, FramePositions(model, frame));
}

}  // namespace meshara
