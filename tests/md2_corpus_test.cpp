// Real models written by other tools: every one loads, and what the loader
// makes matches values worked out here straight from the file's bytes.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "model/animations.h"
#include "model/md2_loader.h"
#include "model/vertex_normals.h"
#include "tests/test_support.h"

namespace meshara {
namespace {

using Bytes = std::vector<uint8_t>;
using Xyz = std::array<double, 3>;

// A little-endian value of type T at byte offset at.
template <class T> T At(const Bytes& b, size_t at) { T v; std::memcpy(&v, &b[at], sizeof v); return v; }
size_t Offset(const Bytes& b, size_t field) { return static_cast<size_t>(At<int32_t>(b, field)); }

// Position of vertex v in frame f by the file format's rules: byte * scale + translate, y negated.
Xyz RawPosition(const Bytes& b, int f, int v) {
    const size_t frame = Offset(b, 56) + static_cast<size_t>(f) * (40 + 4 * Offset(b, 24));
    const size_t entry = frame + 40 + 4 * static_cast<size_t>(v);
    Xyz p;
    for (size_t k = 0; k < 3; ++k)
        p[k] = b[entry + k] * double{At<float>(b, frame + 4 * k)} + At<float>(b, frame + 12 + 4 * k);
    p[1] = -p[1];
    return p;
}

// The smoothed normal of vertex v in frame f: the reversed direction of the sum
// of the unit face normals (reversed winding) of the triangles using it, once per use.
Xyz RawNormal(const Bytes& b, int f, int v) {
    Xyz sum{0, 0, 0};
    for (int32_t t = 0; t < At<int32_t>(b, 32); ++t) {
        const size_t e = Offset(b, 52) + 12 * static_cast<size_t>(t);
        const int corner[3] = {At<uint16_t>(b, e), At<uint16_t>(b, e + 4), At<uint16_t>(b, e + 2)};  // file 0, 2, 1
        const int uses = (corner[0] == v) + (corner[1] == v) + (corner[2] == v);
        Xyz p[3], u, w;
        for (int c = 0; c < 3; ++c) p[c] = RawPosition(b, f, corner[c]);
        for (int k = 0; k < 3; ++k) u[k] = p[1][k] - p[0][k], w[k] = p[2][k] - p[1][k];
        const Xyz n{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        const double len = std::hypot(n[0], n[1], n[2]);
        if (len == 0) continue;
        for (int k = 0; k < 3; ++k) sum[k] += uses * n[k] / len;
    }
    const double m = std::hypot(sum[0], sum[1], sum[2]);
    return m == 0 ? Xyz{0, 0, 0} : Xyz{-sum[0] / m, -sum[1] / m, -sum[2] / m};
}

class Md2Corpus : public ::testing::TestWithParam<const char*> {};

TEST_P(Md2Corpus, LoadsAndMatchesTheRawBytes) {
    MESHARA_REQUIRE_CORPUS();
    const std::string name = std::string(GetParam()) + ".md2";
    const auto path = testing::CorpusDir() / "md2" / name;
    const Bytes bytes = testing::ReadAll(path);
    auto r = LoadMd2Model(path.string());
    ASSERT_TRUE(r) << r.Detail();
    const Md2Model& m = *r.Value();
    EXPECT_EQ(m.name, name);
    EXPECT_EQ((std::array{m.vertexCount, m.triangleCount, m.FrameCount()}),
              (std::array{At<int32_t>(bytes, 24), At<int32_t>(bytes, 32), At<int32_t>(bytes, 40)}));
    ASSERT_GT(m.FrameCount(), 0);

    // A spread of frames and vertices, first and last included.
    for (int f : {0, m.FrameCount() / 2, m.FrameCount() - 1})
        for (int v : {0, 1, m.vertexCount / 3, m.vertexCount / 2, m.vertexCount - 1}) {
            const Vec3d &p = m.frames[f].vertices[v], &n = FrameNormals(m, f)[v];
            EXPECT_EQ((Xyz{p.x, p.y, p.z}), RawPosition(bytes, f, v)) << "frame " << f << " vertex " << v;
            const Xyz got{n.x, n.y, n.z}, want = RawNormal(bytes, f, v);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 1e-12) << "frame " << f << " vertex " << v;
        }

    // Every normal is a unit vector, or zero where no face reached it.
    for (int32_t f = 0; f < m.FrameCount(); ++f)
        for (const Vec3d& n : FrameNormals(m, f))
            ASSERT_TRUE(std::hypot(n.x, n.y, n.z) == 0.0 || std::abs(std::hypot(n.x, n.y, n.z) - 1.0) < 1e-12);

    // The first triangle's record corner 2 is file corner 1; s is divided by the skin width.
    const size_t st = Offset(bytes, 48) + 4 * At<uint16_t>(bytes, Offset(bytes, 52) + 6 + 2);
    EXPECT_EQ(m.triangles[0].texCoord[2][0], static_cast<double>(At<int16_t>(bytes, st)) / At<int32_t>(bytes, 8));
}

TEST(Md2CorpusAnimations, RunsOfFrameNamesAreTheModelsAnimations) {
    MESHARA_REQUIRE_CORPUS();
    const std::string player = "stand 40 run 6 attack 8 pain 12 jump 6 flip 12 salute 11 taunt 17 wave 11 point 12 "
                               "crstnd 19 crwalk 6 crattak 9 crpain 4 ";
    const std::pair<const char*, std::string> models[] = {
        {"faerie", player + "crdeath 5 death 20 "}, {"sydney", player + "crdeth 5 death 20 "},
        {"dolphin", "glide 14 jump 45 "},          {"flag", "stand 10 "},
        {"horse", "stand 12 "},
    };
    for (const auto& [name, expected] : models) {
        auto r = LoadMd2Model((testing::CorpusDir() / "md2" / (std::string(name) + ".md2")).string());
        ASSERT_TRUE(r) << name;
        std::string got;
        int32_t next = 0;
        for (const Md2Animation& a : FindAnimations(*r.Value())) {
            EXPECT_EQ(a.first, next) << name << " " << a.name;  // back to back, every frame in one
            next = a.last + 1;
            got += a.name + " " + std::to_string(a.FrameCount()) + " ";
        }
        EXPECT_EQ(got, expected) << name;
        EXPECT_EQ(next, r.Value()->FrameCount()) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(RealFiles, Md2Corpus, ::testing::Values("dolphin", "faerie", "flag", "horse", "sydney"),
                         [](const auto& info) { return std::string(info.param); });

TEST(Md2CorpusMalformed, ZeroVerticesWithATriangleIsRefusedAsDamaged) {
    MESHARA_REQUIRE_CORPUS();
    // Its one triangle names vertex 0 and texture coordinate 0 of a model
    // that has neither vertices nor texture coordinates.
    auto r = LoadMd2Model((testing::CorpusDir() / "md2" / "malformed_zero_numvertices.md2").string());
    EXPECT_EQ(r.Error(), LoadError::DamagedMd2);
    EXPECT_NE(r.Detail().find("vertex"), std::string::npos) << r.Detail();
}

TEST(Md2CorpusMalformed, EveryTruncationOfARealModelIsRefused) {
    MESHARA_REQUIRE_CORPUS();
    const Bytes bytes = testing::ReadAll(testing::CorpusDir() / "md2" / "flag.md2");
    const size_t framesEnd = Offset(bytes, 56) + Offset(bytes, 40) * (40 + 4 * Offset(bytes, 24));
    for (size_t n = 0; n < framesEnd; n += 7)
        ASSERT_FALSE(ParseMd2Model(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)), "f")) << n;
}

}  // namespace
}  // namespace meshara
