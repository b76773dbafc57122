// Vertex normals: equal weight per face, reversed average, nothing from
// degenerate faces, each frame on its own.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

#include "model/md2_loader.h"
#include "model/vertex_normals.h"
#include "tools/writers/md2_writer.h"

namespace meshara {
namespace {

// A one-frame model over the given positions and record-order triangles.
std::unique_ptr<Md2Model> MakeModel(std::vector<Vec3d> positions, std::vector<std::array<uint16_t, 3>> triangles) {
    auto model = std::make_unique<Md2Model>();
    Md2Model& m = *model;
    m.vertexCount = static_cast<int32_t>(positions.size());
    for (const auto& t : triangles) {
        Md2Triangle tri;
        for (int c = 0; c < 3; ++c) tri.vertex[c] = t[c];
        m.triangles.push_back(tri);
    }
    m.triangleCount = static_cast<int32_t>(m.triangles.size());
    Md2Frame f;
    f.vertices = std::move(positions);
    f.normals.resize(f.vertices.size(), Vec3d{9, 9, 9});  // garbage the computation must replace
    m.frames.push_back(std::move(f));
    return model;
}

void ExpectNormal(const Vec3d& n, double x, double y, double z, const char* what) {
    EXPECT_NEAR(n.x, x, 1e-4) << what;
    EXPECT_NEAR(n.y, y, 1e-4) << what;
    EXPECT_NEAR(n.z, z, 1e-4) << what;
}

TEST(VertexNormals, LoneTriangleGetsItsReversedFaceNormal) {
    auto m = MakeModel({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{0, 1, 2}});
    ComputeVertexNormals(m.get());
    for (const Vec3d& n : m->frames[0].normals) {
        EXPECT_EQ(n.x, 0.0);
        EXPECT_EQ(n.y, 0.0);
        EXPECT_EQ(n.z, -1.0);
    }
}

TEST(VertexNormals, FacesCountEquallyWhateverTheirArea) {
    // Vertex 0 is shared by a tiny face with normal (0, 0, 1) and a huge one with (1, 0, 0).
    for (double big : {1.0, 1000.0}) {
        auto m = MakeModel({{0, 0, 0}, {0.01, 0, 0}, {0.01, 0.01, 0}, {0, big, 0}, {0, big, big}},
                               {{0, 1, 2}, {0, 3, 4}});
        ComputeVertexNormals(m.get());
        ExpectNormal(m->frames[0].normals[0], -0.7071, 0, -0.7071, "shared vertex");
    }
}

TEST(VertexNormals, DegenerateFacesContributeNothing) {
    // Triangle 1 repeats a vertex, triangle 2 has two corners at one place.
    auto m = MakeModel({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {5, 5, 5}, {5, 5, 5}},
                           {{0, 1, 2}, {0, 0, 3}, {3, 4, 1}});
    ComputeVertexNormals(m.get());
    ExpectNormal(m->frames[0].normals[0], 0, 0, -1, "vertex 0 keeps the proper face only");
    ExpectNormal(m->frames[0].normals[1], 0, 0, -1, "vertex 1 keeps the proper face only");
    ExpectNormal(m->frames[0].normals[3], 0, 0, 0, "only degenerate faces: no normal");
    ExpectNormal(m->frames[0].normals[4], 0, 0, 0, "only degenerate faces: no normal");
}

TEST(VertexNormals, UnusedAndCancellingVerticesGetZero) {
    // Vertices 0 and 1 carry two faces with opposite normals; vertex 4 is unused.
    auto m = MakeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {7, 7, 7}}, {{0, 1, 2}, {0, 1, 3}});
    ComputeVertexNormals(m.get());
    ExpectNormal(m->frames[0].normals[0], 0, 0, 0, "cancelled");
    ExpectNormal(m->frames[0].normals[4], 0, 0, 0, "unused");
    ExpectNormal(m->frames[0].normals[2], 0, 0, -1, "single face");
}

TEST(VertexNormals, EachFrameUsesItsOwnPositions) {
    auto m = MakeModel({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{0, 1, 2}});
    Md2Frame second;
    second.vertices = {{0, 0, 0}, {0, 1, 0}, {0, 1, 1}};  // face normal (1, 0, 0)
    m->frames.push_back(second);
    ComputeVertexNormals(m.get());
    ExpectNormal(m->frames[0].normals[0], 0, 0, -1, "frame 0");
    ExpectNormal(m->frames[1].normals[0], -1, 0, 0, "frame 1");
    ASSERT_EQ(m->frames[1].normals.size(), 3u);
}

TEST(VertexNormals, OnlyTheFramesAskedForAreComputedAndTheyMatchTheFullComputation) {
    // Tens of thousands of frames over thousands of triangles: computing all
    // of them at load would cost frames x triangles.
    auto r = ParseMd2Model(fixtures::WriteOverlappingTables(3000, 20000), "many.md2");
    ASSERT_TRUE(r) << r.Detail();
    const Md2Model& m = *r.Value();
    ASSERT_EQ(m.FrameCount(), 20000);
    auto computed = [&] {
        std::vector<int32_t> out;
        for (int32_t f = 0; f < m.FrameCount(); ++f)
            if (m.frames[static_cast<size_t>(f)].normalsReady) out.push_back(f);
        return out;
    };
    EXPECT_TRUE(computed().empty()) << "none at load";
    for (int32_t f : {7, 19999, 7}) EXPECT_EQ(FrameNormals(m, f).size(), 1u);
    EXPECT_EQ(computed(), (std::vector<int32_t>{7, 19999}));

    // On demand or all at once, the values are the same.
    auto knot = LoadMd2Model(MESHARA_SAMPLES_DIR "/knot.md2"), all = LoadMd2Model(MESHARA_SAMPLES_DIR "/knot.md2");
    ASSERT_TRUE(knot && all);
    ComputeVertexNormals(all.Value().get());
    for (int32_t f : {11, 3}) {
        const auto& lazy = FrameNormals(*knot.Value(), f);
        const auto& eager = all.Value()->frames[static_cast<size_t>(f)].normals;
        ASSERT_EQ(lazy.size(), eager.size());
        for (size_t v = 0; v < lazy.size(); ++v)
            ASSERT_TRUE(lazy[v].x == eager[v].x && lazy[v].y == eager[v].y && lazy[v].z == eager[v].z) << v;
    }
}

TEST(VertexNormals, NoModelOrNoFramesIsHarmless) {
    ComputeVertexNormals(nullptr);
    Md2Model m;
    m.vertexCount = 3;
    ComputeVertexNormals(&m);
    EXPECT_TRUE(m.frames.empty());
}

}  // namespace
}  // namespace meshara
