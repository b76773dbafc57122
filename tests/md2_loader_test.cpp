// The MD2 loader: decoding rules, and refusal of every kind of bad file
// without reading outside it or building a partial model.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

#include "io/file_name.h"
#include "model/animations.h"
#include "model/md2_loader.h"
#include "resources/messages.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"

namespace meshara {
namespace {

using fixtures::Md2Source, fixtures::PatchS32, fixtures::PatchU16, fixtures::WriteMd2;
namespace field = fixtures::md2field;
using Bytes = std::vector<uint8_t>;

ModelResult Parse(const Bytes& bytes) { return ParseMd2Model(bytes, "test.md2"); }
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
    EXPECT_EQ(Xyz(r.Value()->frames[0].vertices[6]), (std::array{5.0, -10.0, 20.0}));
    // Corners 1 and 2 swap, each keeping its texture coordinate.
    const Md2Triangle& t = r.Value()->triangles[0];
    EXPECT_EQ((std::array{t.vertex[0], t.vertex[1], t.vertex[2]}), (std::array<uint16_t, 3>{4, 6, 5}));
    // Entries 1, 3, 2 divided by the skin size (256 x 128); t is not flipped.
    const double want[3][2] = {{0.5, 0.5}, {-0.25, 1.0}, {1.0, 0.0}};
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 2; ++k) EXPECT_EQ(t.texCoord[c][k], want[c][k]) << "corner " << c << " axis " << k;
}

TEST(Md2Decode, RecordFieldsAfterLoading) {
    auto r = Parse(WriteMd2(testing::SmallQuad()));
    ASSERT_TRUE(r) << r.Detail();
    const Md2Model& m = *r.Value();
    EXPECT_EQ(m.name, "test.md2");
    EXPECT_EQ((std::array{m.triangleCount, m.vertexCount, m.FrameCount()}), (std::array{2, 4, 2}));
    EXPECT_EQ((std::array{m.visible, m.textureMapOn, m.specularityMapOn, m.diffusionMapOn, m.glowMapOn,
                          m.environmentMapped, m.currentLight}),
              (std::array{1, 1, 1, 1, 1, 0, -1}));
    EXPECT_TRUE(m.lights.empty());
    EXPECT_FALSE(m.textureMap || m.specularityMap || m.diffusionMap || m.glowMap);
    // Frame 1 has scale 2: every frame is decoded with its own scale.
    EXPECT_EQ(Xyz(m.frames[1].vertices[2]), (std::array{20.0, -20.0, 0.0}));
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
        EXPECT_EQ(r.Value()->triangleCount, c.triangles) << c.why;
    }
}

TEST(Md2Refusal, EachDamageIsRefusedWithItsReason) {
    const struct { const char* why; Change damage; LoadError expected; } cases[] = {
        {"empty file", [](Bytes& b) { b.clear(); }, LoadError::NotMd2},
        {"three bytes of the magic", [](Bytes& b) { b.resize(3); }, LoadError::NotMd2},
        {"wrong magic", [](Bytes& b) { b[3] = '3'; }, LoadError::NotMd2},
        {"lower-case magic", [](Bytes& b) { b[0] = 'i'; }, LoadError::NotMd2},
        {"magic alone", [](Bytes& b) { b.resize(4); }, LoadError::DamagedMd2},
        {"header one byte short", [](Bytes& b) { b.resize(67); }, LoadError::DamagedMd2},
        {"frames one byte short", [](Bytes& b) { b.resize(b.size() - 5); }, LoadError::DamagedMd2},
        {"negative vertex count", Set(field::kVertexCount, -1), LoadError::DamagedMd2},
        {"negative texcoord count", Set(field::kTexCoordCount, -4), LoadError::DamagedMd2},
        {"negative triangle count", Set(field::kTriangleCount, -2), LoadError::DamagedMd2},
        {"negative frame count", Set(field::kFrameCount, INT32_MIN), LoadError::DamagedMd2},
        {"texcoord table past the end", Set(field::kTexCoordOffset, 1 << 20), LoadError::DamagedMd2},
        {"negative texcoord offset", Set(field::kTexCoordOffset, -4), LoadError::DamagedMd2},
        {"triangle table past the end", Set(field::kTrianglesOffset, INT32_MAX), LoadError::DamagedMd2},
        {"frame table past the end", Set(field::kFramesOffset, 1000), LoadError::DamagedMd2},
        {"two billion frames", Set(field::kFrameCount, 2000000000), LoadError::DamagedMd2},
        {"two billion vertices", Set(field::kVertexCount, 2000000000), LoadError::DamagedMd2},
        {"two billion triangles", Set(field::kTriangleCount, 2000000000), LoadError::DamagedMd2},
        {"vertex count larger than the frames hold", Set(field::kVertexCount, 5), LoadError::DamagedMd2},
        {"vertex index equal to the vertex count", Index(2, 4), LoadError::DamagedMd2},
        {"vertex index 65535", Index(12, 65535), LoadError::DamagedMd2},
        {"texcoord index equal to the texcoord count", Index(10, 4), LoadError::DamagedMd2},
        {"zero skin width with triangles", Set(field::kSkinWidth, 0), LoadError::DamagedMd2},
        {"zero skin height with triangles", Set(field::kSkinHeight, 0), LoadError::DamagedMd2},
    };
    for (const auto& c : cases) {
        Bytes bytes = WriteMd2(testing::SmallQuad());
        c.damage(bytes);
        auto r = Parse(bytes);
        EXPECT_FALSE(r) << c.why;
        EXPECT_EQ(r.Error(), c.expected) << c.why;
        EXPECT_FALSE(r.Detail().empty()) << c.why;
    }
    EXPECT_STREQ(UserMessage(FileKind::Model, LoadError::CannotOpen), "There was an error loading the specified file!");
    EXPECT_STREQ(UserMessage(FileKind::Model, LoadError::NotMd2), "This is not an MD2!");
    EXPECT_STREQ(UserMessage(FileKind::Model, LoadError::DamagedMd2), "This MD2 file is damaged or incomplete!");
}

TEST(Md2Refusal, EveryPrefixIsRefusedCleanly) {
    // The frame table is the last thing read; any shorter prefix lacks part of it.
    const auto bytes = WriteMd2(testing::SmallQuad());
    for (size_t n = 0; n < bytes.size() - 4; ++n) {
        auto r = Parse(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)));
        ASSERT_FALSE(r) << "prefix of " << n << " bytes";
        EXPECT_EQ(r.Error(), n < 4 ? LoadError::NotMd2 : LoadError::DamagedMd2) << n;
    }
}

TEST(Md2File, LoadsFromDiskNamedAfterTheFileEachOpenIndependent) {
    testing::TempDir dir;
    const std::string path = dir.Write("tris.md2", WriteMd2(testing::SmallQuad())).string();
    auto first = LoadMd2Model(path), second = LoadMd2Model(path);
    ASSERT_TRUE(first && second) << first.Detail();
    EXPECT_EQ(first.Value()->name, "tris.md2");
    first.Value()->frames[0].vertices[0].x = 99;  // nothing is shared between two opens of one file
    EXPECT_NE(second.Value()->frames[0].vertices[0].x, 99);
    for (const std::string& p : {(dir.Path() / "absent.md2").string(), dir.Path().string()})
        EXPECT_EQ(LoadMd2Model(p).Error(), LoadError::CannotOpen) << p;
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
    for (const Md2Animation& a : FindAnimations(*r.Value()))
        runs += a.name + ":" + std::to_string(a.first) + "-" + std::to_string(a.last) + " ";
    // Trailing digits go; a frame with no stem left joins its unnamed neighbours; a stem seen before but not
    // adjacent starts a new run.
    EXPECT_EQ(runs, "pain:0-2 run:3-4 :5-6 walk:7-7 pain:8-8 ");
    EXPECT_EQ(AnimationOfFrame(FindAnimations(*r.Value()), 4), 1);
    // A skin table that does not fit the file is not read, and does not refuse the model.
    Bytes bytes = WriteMd2(source);
    fixtures::PatchS32(bytes, field::kSkinCount, 1 << 20);
    auto lenient = Parse(bytes);
    ASSERT_TRUE(lenient) << lenient.Detail();
    EXPECT_TRUE(lenient.Value()->skinNames.empty());
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
