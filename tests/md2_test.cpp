// MD2 models: the loader's decoding rules, refusal of every kind of bad file
// without reading outside it or building a partial model, frame names into
// animations, smooth normals and the corner weld; real files checked against
// values worked out here straight from their bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>

#include "io/file_name.h"
#include "model/corner_weld.h"
#include "model/md2_model.h"
#include "model/normals.h"
#include "session/messages.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"

namespace meshara {
namespace {

using fixtures::Md2Source, fixtures::PatchS32, fixtures::PatchU16, fixtures::WriteMd2;
namespace field = fixtures::md2field;
using Bytes = std::vector<uint8_t>;

Result<std::shared_ptr<Md2Model>> Parse(const Bytes& bytes) { return ParseMd2Model(bytes, "test.md2"); }
std::array<double, 3> Xyz(const Vec3d& v) { return {v.x, v.y, v.z}; }
constexpr size_t kQuadTriangles = 68 + 4 * 4;  // SmallQuad: after the header and four texture coordinates

using Change = std::function<void(Bytes&)>;
Change Set(std::vector<std::pair<size_t, int32_t>> fields) {
    return [=](Bytes& b) { for (auto [at, v] : fields) PatchS32(b, at, v); };
}
Change Set(size_t at, int32_t v) { return Set({{at, v}}); }
Change Index(size_t at, uint16_t v) { return [=](Bytes& b) { PatchU16(b, kQuadTriangles + at, v); }; }

TEST(Md2Decode, VerticesAndTriangleCornersFollowTheFileRules) {
    Md2Source s;
    s.skinWidth = 256;
    s.skinHeight = 128;
    s.texCoords = {{0, 0}, {128, 64}, {256, 0}, {-64, 128}};
    s.triangles = {{{4, 5, 6}, {1, 2, 3}}};
    Md2Source::Frame& f = s.frames.emplace_back();
    f.scale[0] = f.scale[1] = f.scale[2] = 0.5f;
    std::ranges::copy(std::array{-10.0f, -20.0f, -30.0f}, f.translate);
    f.vertices.assign(7, {30, 60, 100, 7});
    auto r = Parse(WriteMd2(s));
    ASSERT_TRUE(r) << r.Detail();
    // byte * scale + translate, and y negated after the translate.
    EXPECT_EQ(Xyz(VertexPosition(r.Value()->frames[0], 6)), (std::array{5.0, -10.0, 20.0}));
    // Corners 1 and 2 swap, each keeping its texture coordinate.
    const Md2Triangle& t = r.Value()->triangles[0];
    EXPECT_EQ((std::array{t.vertex[0], t.vertex[1], t.vertex[2]}), (std::array<uint16_t, 3>{4, 6, 5}));
    // Entries 1, 3, 2 divided by the skin size (256 x 128); t is not flipped.
    const double want[3][2] = {{0.5, 0.5}, {-0.25, 1.0}, {1.0, 0.0}};
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 2; ++k) EXPECT_EQ(t.texCoord[c][k], want[c][k]) << "corner " << c << " axis " << k;
}

TEST(Md2Decode, WhatTheLoaderDoesNotUseMayHoldAnything) {
    const struct { const char* why; Change change; int frames, triangles; } cases[] = {
        {"version 0", Set(field::kVersion, 0), 2, 2},
        {"version -1", Set(field::kVersion, -1), 2, 2},
        {"version 1234567", Set(field::kVersion, 1234567), 2, 2},
        {"frame size, skin count, GL commands and end offset are not trusted",
         Set({{field::kFrameSize, -9}, {field::kSkinCount, -9}, {field::kGlCommandCount, -9},
              {field::kSkinsOffset, -9}, {field::kGlCommandsOffset, -9}, {field::kEndOffset, -9}}), 2, 2},
        {"no frames is a model, not a damaged file", Set(field::kFrameCount, 0), 0, 2},
        // Limits in pairs with the refusals: the last valid index, a table ending exactly at the file's end.
        {"vertex index 3 of 4", Index(2, 3), 2, 2},
        {"texcoord index 3 of 4", Index(10, 3), 2, 2},
        {"frames end the file (GL terminator dropped)", [](Bytes& b) { b.resize(b.size() - 4); }, 2, 2},
        {"a negative skin size divides (mirrors) the coordinates", Set(field::kSkinHeight, -32), 2, 2},
        // The skin size only divides texture coordinates, which no triangle then uses.
        {"skin 0 x -5 without triangles",
         Set({{field::kTriangleCount, 0}, {field::kSkinWidth, 0}, {field::kSkinHeight, -5}}), 2, 0},
    };
    for (const auto& c : cases) {
        Bytes bytes = WriteMd2(testing::SmallQuad());
        c.change(bytes);
        auto r = Parse(bytes);
        ASSERT_TRUE(r) << c.why << ": " << r.Detail();
        EXPECT_EQ(r.Value()->FrameCount(), c.frames) << c.why;
        EXPECT_EQ(r.Value()->TriangleCount(), c.triangles) << c.why;
    }
}

TEST(Md2Refusal, EachDamageIsRefusedWithItsReason) {
    const struct { const char* why; Change damage; ErrorKind expected; } cases[] = {
        {"empty file", [](Bytes& b) { b.clear(); }, ErrorKind::NotMd2},
        {"three bytes of the magic", [](Bytes& b) { b.resize(3); }, ErrorKind::NotMd2},
        {"wrong magic", [](Bytes& b) { b[3] = '3'; }, ErrorKind::NotMd2},
        {"lower-case magic", [](Bytes& b) { b[0] = 'i'; }, ErrorKind::NotMd2},
        {"magic alone", [](Bytes& b) { b.resize(4); }, ErrorKind::DamagedMd2},
        {"header one byte short", [](Bytes& b) { b.resize(67); }, ErrorKind::DamagedMd2},
        {"frames one byte short", [](Bytes& b) { b.resize(b.size() - 5); }, ErrorKind::DamagedMd2},
        {"negative vertex count", Set(field::kVertexCount, -1), ErrorKind::DamagedMd2},
        {"negative texcoord count", Set(field::kTexCoordCount, -4), ErrorKind::DamagedMd2},
        {"negative triangle count", Set(field::kTriangleCount, -2), ErrorKind::DamagedMd2},
        {"negative frame count", Set(field::kFrameCount, INT32_MIN), ErrorKind::DamagedMd2},
        {"texcoord table past the end", Set(field::kTexCoordOffset, 1 << 20), ErrorKind::DamagedMd2},
        {"negative texcoord offset", Set(field::kTexCoordOffset, -4), ErrorKind::DamagedMd2},
        {"triangle table past the end", Set(field::kTrianglesOffset, INT32_MAX), ErrorKind::DamagedMd2},
        {"frame table past the end", Set(field::kFramesOffset, 1000), ErrorKind::DamagedMd2},
        {"two billion frames", Set(field::kFrameCount, 2000000000), ErrorKind::DamagedMd2},
        {"two billion vertices", Set(field::kVertexCount, 2000000000), ErrorKind::DamagedMd2},
        {"two billion triangles", Set(field::kTriangleCount, 2000000000), ErrorKind::DamagedMd2},
        {"vertex count larger than the frames hold", Set(field::kVertexCount, 5), ErrorKind::DamagedMd2},
        {"vertex index equal to the vertex count", Index(2, 4), ErrorKind::DamagedMd2},
        {"vertex index 65535", Index(12, 65535), ErrorKind::DamagedMd2},
        {"texcoord index equal to the texcoord count", Index(10, 4), ErrorKind::DamagedMd2},
        {"zero skin width with triangles", Set(field::kSkinWidth, 0), ErrorKind::DamagedMd2},
        {"zero skin height with triangles", Set(field::kSkinHeight, 0), ErrorKind::DamagedMd2},
    };
    for (const auto& c : cases) {
        Bytes bytes = WriteMd2(testing::SmallQuad());
        c.damage(bytes);
        auto r = Parse(bytes);
        EXPECT_FALSE(r) << c.why;
        EXPECT_EQ(r.Error(), c.expected) << c.why;
        EXPECT_FALSE(r.Detail().empty()) << c.why;
    }
    EXPECT_STREQ(UserMessage(FileKind::Model, ErrorKind::CannotOpen), "There was an error loading the specified file!");
    EXPECT_STREQ(UserMessage(FileKind::Model, ErrorKind::NotMd2), "This is not an MD2!");
    EXPECT_STREQ(UserMessage(FileKind::Model, ErrorKind::DamagedMd2), "This MD2 file is damaged or incomplete!");
}

TEST(Md2Refusal, EveryPrefixIsRefusedCleanly) {
    // The frame table is the last thing read; any shorter prefix lacks part of it.
    const auto bytes = WriteMd2(testing::SmallQuad());
    for (size_t n = 0; n < bytes.size() - 4; ++n) {
        auto r = Parse(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)));
        ASSERT_FALSE(r) << "prefix of " << n << " bytes";
        EXPECT_EQ(r.Error(), n < 4 ? ErrorKind::NotMd2 : ErrorKind::DamagedMd2) << n;
    }
}

TEST(Md2File, LoadsFromDiskNamedAfterTheFileEachFrameWithItsOwnScale) {
    testing::TempDir dir;
    const std::string path = dir.Write("tris.md2", WriteMd2(testing::SmallQuad())).string();
    auto r = LoadMd2Model(path);
    ASSERT_TRUE(r) << r.Detail();
    const Md2Model& m = *r.Value();
    EXPECT_EQ(m.name, "tris.md2");
    EXPECT_EQ((std::array{m.TriangleCount(), m.vertexCount, m.FrameCount()}), (std::array{2, 4, 2}));
    EXPECT_EQ(Xyz(VertexPosition(m.frames[1], 2)), (std::array{20.0, -20.0, 0.0})) << "frame 1 has scale 2";
    for (const std::string& p : {(dir.Path() / "absent.md2").string(), dir.Path().string()})
        EXPECT_EQ(LoadMd2Model(p).Error(), ErrorKind::CannotOpen) << p;
}

TEST(Md2Names, FrameAndSkinNamesAreKeptAndFramesRunIntoAnimations) {
    auto source = testing::SmallQuad();
    source.skins = {"models/quad/skin.pcx", std::string(64, 'x')};  // a name filling its field has no zero
    const char* names[] = {"pain101", "pain102", "pain201", "run", "run2", "", "7", "walk1", "pain3"};
    source.frames.resize(std::size(names), source.frames[0]);
    for (size_t i = 0; i < std::size(names); ++i) source.frames[i].name = names[i];
    auto r = Parse(WriteMd2(source));
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(r.Value()->skinNames, source.skins);
    EXPECT_EQ(r.Value()->frames[2].name, "pain201");
    std::string runs;
    for (const Md2Animation& a : r.Value()->animations)
        runs += a.name + ":" + std::to_string(a.first) + "-" + std::to_string(a.last) + " ";
    // Trailing digits go; a frame with no stem left joins its unnamed neighbours; a stem seen before but not
    // adjacent starts a new run.
    EXPECT_EQ(runs, "pain:0-2 run:3-4 :5-6 walk:7-7 pain:8-8 ");
    EXPECT_EQ(AnimationHolding(*r.Value(), 4)->name, "run");
    EXPECT_EQ(AnimationHolding(*r.Value(), 9), nullptr);
    // A skin table that does not fit the file is not read, and does not refuse the model.
    Bytes bytes = WriteMd2(source);
    fixtures::PatchS32(bytes, field::kSkinCount, 1 << 20);
    auto lenient = Parse(bytes);
    ASSERT_TRUE(lenient) << lenient.Detail();
    EXPECT_TRUE(lenient.Value()->skinNames.empty());
}

TEST(VertexNormals, EveryFaceCountsOnceReversedAndDegenerateOrCancellingFacesGiveNothing) {
    using Tris = std::vector<std::array<uint16_t, 3>>;
    const struct {
        const char* why;
        std::vector<Vec3d> p;
        Tris triangles;
        std::vector<std::pair<size_t, Vec3d>> want;  // vertex, normal
    } cases[] = {
        {"a lone triangle: its reversed face normal, exactly", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{0, 1, 2}},
         {{0, {0, 0, -1}}, {1, {0, 0, -1}}, {2, {0, 0, -1}}}},
        {"a tiny and a huge face weigh the same",
         {{0, 0, 0}, {0.01, 0, 0}, {0.01, 0.01, 0}, {0, 1000, 0}, {0, 1000, 1000}}, {{0, 1, 2}, {0, 3, 4}},
         {{0, {-0.70710678, 0, -0.70710678}}}},
        {"a repeated corner and a zero-area face add nothing",
         {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {5, 5, 5}, {5, 5, 5}}, {{0, 1, 2}, {0, 0, 3}, {3, 4, 1}},
         {{0, {0, 0, -1}}, {1, {0, 0, -1}}, {3, {0, 0, 0}}, {4, {0, 0, 0}}}},
        {"opposite faces cancel; an unused vertex gets nothing",
         {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {7, 7, 7}}, {{0, 1, 2}, {0, 1, 3}},
         {{0, {0, 0, 0}}, {4, {0, 0, 0}}, {2, {0, 0, -1}}}},
    };
    for (const auto& c : cases) {
        Md2Model m;
        m.vertexCount = static_cast<int32_t>(c.p.size());
        for (const auto& t : c.triangles) m.triangles.push_back(Md2Triangle{{t[0], t[1], t[2]}});
        const std::vector<Vec3d> n = VertexNormals(m, c.p);
        for (const auto& [v, want] : c.want)
            EXPECT_TRUE(std::abs(n[v].x - want.x) < 1e-7 && std::abs(n[v].y - want.y) < 1e-7 &&
                        std::abs(n[v].z - want.z) < 1e-7)
                << c.why << ": vertex " << v << " (" << n[v].x << ", " << n[v].y << ", " << n[v].z << ")";
    }
}

TEST(CornerWeld, CornersAreOneVertexOnlyWithTheSameVertexAndTextureCoordinate) {
    Md2Model m;
    const double a[2] = {0, 0}, b[2] = {1, 0}, c[2] = {1, 1}, d[2] = {0, 1};
    const auto tri = [](std::array<uint16_t, 3> v, std::array<const double*, 3> st) {
        Md2Triangle t{{v[0], v[1], v[2]}};
        for (int k = 0; k < 3; ++k) t.texCoord[k][0] = st[k][0], t.texCoord[k][1] = st[k][1];
        return t;
    };
    const double nearlyC[2] = {1 + 1e-12, 1};  // the same float: drawn alike, so one vertex
    const double seam[2] = {0.5, 0};           // vertex 0 again, across a texture seam
    m.triangles = {tri({0, 1, 2}, {a, b, c}), tri({0, 2, 3}, {a, nearlyC, d}), tri({0, 3, 1}, {seam, d, b})};
    const CornerWeld w = WeldCorners(m);
    EXPECT_EQ(w.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 4, 3, 1}));
    EXPECT_EQ(w.modelVertex, (std::vector<uint16_t>{0, 1, 2, 3, 0}));
    EXPECT_EQ(w.texCoords[4], (std::array<float, 2>{0.5f, 0}));
}

// ---- Real files ----

// A little-endian value of type T at byte offset at.
template <class T>
T At(const Bytes& b, size_t at) {
    T v;
    std::memcpy(&v, &b[at], sizeof v);
    return v;
}
size_t Offset(const Bytes& b, size_t field) { return static_cast<size_t>(At<int32_t>(b, field)); }
using Point = std::array<double, 3>;

// Position of vertex v in frame f by the file format's rules: byte * scale + translate, y negated.
Point RawPosition(const Bytes& b, int f, int v) {
    const size_t frame = Offset(b, 56) + static_cast<size_t>(f) * (40 + 4 * Offset(b, 24));
    const size_t entry = frame + 40 + 4 * static_cast<size_t>(v);
    Point p;
    for (size_t k = 0; k < 3; ++k)
        p[k] = b[entry + k] * double{At<float>(b, frame + 4 * k)} + At<float>(b, frame + 12 + 4 * k);
    p[1] = -p[1];
    return p;
}

// The smoothed normal of vertex v in frame f: the reversed direction of the sum
// of the unit face normals (reversed winding) of the triangles using it, once per use.
Point RawNormal(const Bytes& b, int f, int v) {
    Point sum{0, 0, 0};
    for (int32_t t = 0; t < At<int32_t>(b, 32); ++t) {
        const size_t e = Offset(b, 52) + 12 * static_cast<size_t>(t);
        const int corner[3] = {At<uint16_t>(b, e), At<uint16_t>(b, e + 4), At<uint16_t>(b, e + 2)};  // file 0, 2, 1
        const int uses = (corner[0] == v) + (corner[1] == v) + (corner[2] == v);
        Point p[3], u, w;
        for (int c = 0; c < 3; ++c) p[c] = RawPosition(b, f, corner[c]);
        for (int k = 0; k < 3; ++k) u[k] = p[1][k] - p[0][k], w[k] = p[2][k] - p[1][k];
        const Point n{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        const double len = std::hypot(n[0], n[1], n[2]);
        if (len == 0) continue;
        for (int k = 0; k < 3; ++k) sum[k] += uses * n[k] / len;
    }
    const double m = std::hypot(sum[0], sum[1], sum[2]);
    return m == 0 ? Point{0, 0, 0} : Point{-sum[0] / m, -sum[1] / m, -sum[2] / m};
}

TEST(Md2Corpus, EveryModelLoadsAsItsBytesSayWithItsAnimations) {
    MESHARA_REQUIRE_CORPUS();
    const std::string player = "stand 40 run 6 attack 8 pain 12 jump 6 flip 12 salute 11 taunt 17 wave 11 point 12 "
                               "crstnd 19 crwalk 6 crattak 9 crpain 4 ";
    const std::pair<const char*, std::string> models[] = {
        {"faerie", player + "crdeath 5 death 20 "}, {"sydney", player + "crdeth 5 death 20 "},
        {"dolphin", "glide 14 jump 45 "},          {"flag", "stand 10 "},
        {"horse", "stand 12 "},
    };
    for (const auto& [stem, animations] : models) {
        SCOPED_TRACE(stem);
        const auto path = testing::CorpusDir() / "md2" / (std::string(stem) + ".md2");
        const Bytes bytes = testing::ReadAll(path);
        auto r = LoadMd2Model(path.string());
        ASSERT_TRUE(r) << r.Detail();
        const Md2Model& m = *r.Value();
        EXPECT_EQ((std::array{m.vertexCount, m.TriangleCount(), m.FrameCount()}),
                  (std::array{At<int32_t>(bytes, 24), At<int32_t>(bytes, 32), At<int32_t>(bytes, 40)}));
        ASSERT_GT(m.FrameCount(), 0);
        // A spread of frames and vertices, first and last included.
        for (int f : {0, m.FrameCount() / 2, m.FrameCount() - 1}) {
            const std::vector<Vec3d> normals = FrameNormals(m, f);
            for (int v : {0, 1, m.vertexCount / 3, m.vertexCount / 2, m.vertexCount - 1}) {
                const Vec3d p = VertexPosition(m.frames[f], v), &n = normals[v];
                EXPECT_EQ((Point{p.x, p.y, p.z}), RawPosition(bytes, f, v)) << "frame " << f << " vertex " << v;
                const Point want = RawNormal(bytes, f, v);
                for (int k = 0; k < 3; ++k)
                    EXPECT_NEAR((Point{n.x, n.y, n.z}[k]), want[k], 1e-12) << "frame " << f << " vertex " << v;
            }
            for (const Vec3d& n : normals)  // a unit vector, or zero where no face reached it
                ASSERT_TRUE(std::hypot(n.x, n.y, n.z) == 0.0 || std::abs(std::hypot(n.x, n.y, n.z) - 1.0) < 1e-12);
        }
        // The first triangle's record corner 2 is file corner 1; s is divided by the skin width.
        const size_t st = Offset(bytes, 48) + 4 * At<uint16_t>(bytes, Offset(bytes, 52) + 6 + 2);
        EXPECT_EQ(m.triangles[0].texCoord[2][0], static_cast<double>(At<int16_t>(bytes, st)) / At<int32_t>(bytes, 8));
        // Every frame in one animation, back to back.
        std::string got;
        int32_t next = 0;
        for (const Md2Animation& a : m.animations) {
            EXPECT_EQ(a.first, next) << a.name;
            next = a.last + 1;
            got += a.name + " " + std::to_string(a.FrameCount()) + " ";
        }
        EXPECT_EQ(got, animations);
        EXPECT_EQ(next, m.FrameCount());
    }
}

TEST(Md2Corpus, TheBrokenModelAndEveryCutOfARealOneAreRefused) {
    MESHARA_REQUIRE_CORPUS();
    // Its one triangle names vertex 0 and texture coordinate 0 of a model
    // that has neither vertices nor texture coordinates.
    auto r = LoadMd2Model((testing::CorpusDir() / "md2" / "malformed_zero_numvertices.md2").string());
    EXPECT_EQ(r.Error(), ErrorKind::DamagedMd2);
    EXPECT_NE(r.Detail().find("vertex"), std::string::npos) << r.Detail();
    const Bytes bytes = testing::ReadAll(testing::CorpusDir() / "md2" / "flag.md2");
    const size_t framesEnd = Offset(bytes, 56) + Offset(bytes, 40) * (40 + 4 * Offset(bytes, 24));
    for (size_t n = 0; n < framesEnd; n += 7)
        ASSERT_FALSE(ParseMd2Model(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)), "f")) << n;
}

TEST(FileNameOfPath, TakesTextAfterTheLastSeparatorOfEitherKind) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\models\\tris.md2", "tris.md2"}, {"/home/me/models/tris.md2", "tris.md2"},
        {"a/b\\c/tris.md2", "tris.md2"},     {"a\\b/c\\d.md2", "d.md2"},
        {"tris.md2", "tris.md2"}, {"folder/", ""}, {"", ""},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(FileNameOfPath(path), name) << path;
}

}  // namespace
}  // namespace meshara
