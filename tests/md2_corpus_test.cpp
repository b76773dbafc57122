// Real models written by other tools: every one loads, and what the loader
// makes matches values worked out here straight from the file's bytes.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "model/md2_loader.h"
#include "tests/test_support.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;

int32_t I32(const std::vector<uint8_t>& b, size_t at) {
    int32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
float F32(const std::vector<uint8_t>& b, size_t at) {
    float v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

// Position of vertex v in frame f, decoded from the raw bytes by the file format's rules.
std::array<double, 3> RawPosition(const std::vector<uint8_t>& b, int f, int v) {
    const int32_t vertexCount = I32(b, 24);
    const size_t frame = static_cast<size_t>(I32(b, 56)) + static_cast<size_t>(f) * (40 + 4 * vertexCount);
    const size_t entry = frame + 40 + 4 * static_cast<size_t>(v);
    return {b[entry] * double{F32(b, frame)} + F32(b, frame + 12),
            -(b[entry + 1] * double{F32(b, frame + 4)} + F32(b, frame + 16)),
            b[entry + 2] * double{F32(b, frame + 8)} + F32(b, frame + 20)};
}

// The smoothed normal of vertex v in frame f: reversed mean of the unit face
// normals of the triangles (in reversed winding) that use it.
std::array<double, 3> RawNormal(const std::vector<uint8_t>& b, int f, int v) {
    const int32_t triangles = I32(b, 32);
    const size_t at = static_cast<size_t>(I32(b, 52));
    double sum[3] = {0, 0, 0};
    int count = 0;
    for (int32_t t = 0; t < triangles; ++t) {
        const size_t e = at + 12 * static_cast<size_t>(t);
        const int corner[3] = {U16(b, e), U16(b, e + 4), U16(b, e + 2)};  // file corners 0, 2, 1
        if (corner[0] != v && corner[1] != v && corner[2] != v) continue;
        const auto p0 = RawPosition(b, f, corner[0]), p1 = RawPosition(b, f, corner[1]),
                   p2 = RawPosition(b, f, corner[2]);
        const double u[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const double w[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
        const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (len == 0) continue;
        for (int c = 0; c < 3; ++c)
            if (corner[c] == v)
                for (int k = 0; k < 3; ++k) sum[k] += n[k] / len;
        for (int c = 0; c < 3; ++c) count += corner[c] == v;
    }
    if (count == 0) return {0, 0, 0};
    const double m = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]) / count;
    if (m == 0) return {0, 0, 0};
    return {-sum[0] / count / m, -sum[1] / count / m, -sum[2] / count / m};
}

class Md2Corpus : public ::testing::TestWithParam<const char*> {};

TEST_P(Md2Corpus, LoadsAndMatchesTheRawBytes) {
    MESHARA_REQUIRE_CORPUS();
    const fs::path path = testing::CorpusDir() / "md2" / GetParam();
    const auto bytes = testing::ReadAll(path);
    auto r = LoadMd2Model(path.string());
    ASSERT_TRUE(r) << r.Detail();
    const Md2Model& m = *r.Value();

    EXPECT_EQ(m.name, GetParam());
    EXPECT_EQ(m.vertexCount, I32(bytes, 24));
    EXPECT_EQ(m.triangleCount, I32(bytes, 32));
    EXPECT_EQ(m.FrameCount(), I32(bytes, 40));
    ASSERT_GT(m.FrameCount(), 0);

    // A spread of frames and vertices, first and last included.
    const int frames[] = {0, m.FrameCount() / 2, m.FrameCount() - 1};
    const int vertices[] = {0, 1, m.vertexCount / 3, m.vertexCount / 2, m.vertexCount - 1};
    for (int f : frames)
        for (int v : vertices) {
            const auto p = RawPosition(bytes, f, v);
            const Vec3d& got = m.frames[f].vertices[v];
            EXPECT_EQ(got.x, p[0]) << "frame " << f << " vertex " << v;
            EXPECT_EQ(got.y, p[1]) << "frame " << f << " vertex " << v;
            EXPECT_EQ(got.z, p[2]) << "frame " << f << " vertex " << v;
            const auto n = RawNormal(bytes, f, v);
            const Vec3d& gn = m.frames[f].normals[v];
            EXPECT_NEAR(gn.x, n[0], 1e-12) << "frame " << f << " vertex " << v;
            EXPECT_NEAR(gn.y, n[1], 1e-12) << "frame " << f << " vertex " << v;
            EXPECT_NEAR(gn.z, n[2], 1e-12) << "frame " << f << " vertex " << v;
        }

    // Every normal is a unit vector, or zero where no face reached it.
    for (const Md2Frame& frame : m.frames)
        for (const Vec3d& n : frame.normals) {
            const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            ASSERT_TRUE(len == 0.0 || std::abs(len - 1.0) < 1e-12) << len;
        }

    // Texture coordinates: one checked corner against its raw entry.
    const size_t tri = static_cast<size_t>(I32(bytes, 52));
    const size_t st = static_cast<size_t>(I32(bytes, 48)) + 4 * U16(bytes, tri + 6 + 2);  // file corner 1
    const int16_t s = static_cast<int16_t>(U16(bytes, st));
    EXPECT_EQ(m.triangles[0].texCoord[2][0], static_cast<double>(s) / I32(bytes, 8));
}

INSTANTIATE_TEST_SUITE_P(RealFiles, Md2Corpus,
                         ::testing::Values("dolphin.md2", "faerie.md2", "flag.md2", "horse.md2", "sydney.md2"),
                         [](const auto& info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.'));
                         });

TEST(Md2CorpusMalformed, ZeroVerticesWithATriangleIsRefusedAsDamaged) {
    MESHARA_REQUIRE_CORPUS();
    // Its one triangle names vertex 0 and texture coordinate 0 of a model
    // that has neither vertices nor texture coordinates.
    auto r = LoadMd2Model((testing::CorpusDir() / "md2" / "malformed_zero_numvertices.md2").string());
    EXPECT_FALSE(r);
    EXPECT_EQ(r.Error(), LoadError::DamagedMd2);
    EXPECT_NE(r.Detail().find("vertex"), std::string::npos) << r.Detail();
}

TEST(Md2CorpusMalformed, EveryTruncationOfARealModelIsRefused) {
    MESHARA_REQUIRE_CORPUS();
    const auto bytes = testing::ReadAll(testing::CorpusDir() / "md2" / "flag.md2");
    const size_t framesEnd = static_cast<size_t>(I32(bytes, 56)) +
                             static_cast<size_t>(I32(bytes, 40)) * (40 + 4 * static_cast<size_t>(I32(bytes, 24)));
    for (size_t n = 0; n < framesEnd; n += 7) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ASSERT_FALSE(ParseMd2Model(prefix, "flag.md2")) << n;
    }
}

}  // namespace
}  // namespace meshara
