// The MD2 loader: decoding rules, and refusal of every kind of bad file
// without reading outside it or building a partial model.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "model/md2_loader.h"
#include "resources/messages.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"

namespace meshara {
namespace {

using fixtures::Md2Source;
using fixtures::PatchS32;
using fixtures::WriteMd2;
namespace field = fixtures::md2field;

ModelResult Parse(const std::vector<uint8_t>& bytes) { return ParseMd2Model(bytes, "test.md2"); }

TEST(Md2Decode, VertexUsesScaleTranslateAndNegatesYAfterTranslate) {
    Md2Source s;
    Md2Source::Frame f;
    f.scale[0] = f.scale[1] = f.scale[2] = 0.5f;
    f.translate[0] = -10;
    f.translate[1] = -20;
    f.translate[2] = -30;
    f.vertices = {{30, 60, 100, 7}};
    s.frames = {f};
    auto r = Parse(WriteMd2(s));
    ASSERT_TRUE(r) << r.Detail();
    const Vec3d& v = r.Value()->frames[0].vertices[0];
    EXPECT_EQ(v.x, 5.0);
    EXPECT_EQ(v.y, -10.0);
    EXPECT_EQ(v.z, 20.0);
}

TEST(Md2Decode, TriangleCornersSwapSecondAndThirdWithTheirTexCoords) {
    Md2Source s;
    s.skinWidth = 256;
    s.skinHeight = 128;
    s.texCoords = {{0, 0}, {128, 64}, {256, 0}, {-64, 128}};
    s.triangles = {{{4, 5, 6}, {1, 2, 3}}};
    Md2Source::Frame f;
    f.vertices.assign(7, {1, 2, 3, 0});
    s.frames = {f};
    auto r = Parse(WriteMd2(s));
    ASSERT_TRUE(r) << r.Detail();
    const Md2Triangle& t = r.Value()->triangles[0];
    EXPECT_EQ(t.vertex[0], 4);
    EXPECT_EQ(t.vertex[1], 6);
    EXPECT_EQ(t.vertex[2], 5);
    // Entry 1 = (128, 64) becomes (0.5, 0.5); entries 3 and 2 follow; t is not flipped.
    EXPECT_EQ(t.texCoord[0][0], 0.5);
    EXPECT_EQ(t.texCoord[0][1], 0.5);
    EXPECT_EQ(t.texCoord[1][0], -0.25);
    EXPECT_EQ(t.texCoord[1][1], 1.0);
    EXPECT_EQ(t.texCoord[2][0], 1.0);
    EXPECT_EQ(t.texCoord[2][1], 0.0);
}

TEST(Md2Decode, RecordFieldsAfterLoading) {
    auto r = Parse(WriteMd2(testing::SmallQuad()));
    ASSERT_TRUE(r) << r.Detail();
    const Md2Model& m = *r.Value();
    EXPECT_EQ(m.name, "test.md2");
    EXPECT_EQ(m.triangleCount, 2);
    EXPECT_EQ(m.vertexCount, 4);
    EXPECT_EQ(m.FrameCount(), 2);
    EXPECT_EQ(m.visible, 1);
    EXPECT_EQ(m.textureMapOn + m.specularityMapOn + m.diffusionMapOn + m.glowMapOn, 4);
    EXPECT_EQ(m.environmentMapped, 0);
    EXPECT_EQ(m.currentLight, -1);
    EXPECT_TRUE(m.lights.empty());
    EXPECT_FALSE(m.textureMap || m.specularityMap || m.diffusionMap || m.glowMap);
    // Frame 1 has scale 2: every frame is decoded with its own scale.
    EXPECT_EQ(m.frames[1].vertices[2].x, 20.0);
    EXPECT_EQ(m.frames[1].vertices[2].y, -20.0);
}

TEST(Md2Decode, AnyVersionIsAccepted) {
    for (int32_t version : {8, 0, -1, 1234567}) {
        auto bytes = WriteMd2(testing::SmallQuad());
        PatchS32(bytes, field::kVersion, version);
        EXPECT_TRUE(Parse(bytes)) << "version " << version;
    }
}

TEST(Md2Decode, IgnoredHeaderFieldsPlayNoPart) {
    // Frame size, skin count, GL commands and the end offset are not trusted.
    auto bytes = WriteMd2(testing::SmallQuad());
    for (size_t f : {field::kFrameSize, field::kSkinCount, field::kGlCommandCount, field::kSkinsOffset,
                     field::kGlCommandsOffset, field::kEndOffset})
        PatchS32(bytes, f, -99999);
    auto r = Parse(bytes);
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(r.Value()->FrameCount(), 2);
}

TEST(Md2Decode, NoFramesIsAModelNotADamagedFile) {
    Md2Source s = testing::SmallQuad();
    s.frames.clear();
    s.vertexCount = 4;
    auto r = Parse(WriteMd2(s));
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(r.Value()->FrameCount(), 0);
    EXPECT_EQ(r.Value()->triangleCount, 2);
}

TEST(Md2Decode, SkinSizeMayBeZeroWhenNoTriangleUsesTexCoords) {
    Md2Source s = testing::SmallQuad();
    s.triangles.clear();
    s.skinWidth = 0;
    s.skinHeight = -5;
    EXPECT_TRUE(Parse(WriteMd2(s)));
}

struct BadFile {
    const char* why;
    std::function<void(std::vector<uint8_t>&)> damage;
    LoadError expected;
};

TEST(Md2Refusal, EachDamageIsRefusedWithItsReason) {
    const std::vector<uint8_t> good = WriteMd2(testing::SmallQuad());
    const auto set = [](size_t offset, int32_t value) {
        return [=](std::vector<uint8_t>& b) { PatchS32(b, offset, value); };
    };
    const size_t trianglesAt = 68 + 4 * 4;  // after header and four texture coordinates
    const BadFile cases[] = {
        {"empty file", [](auto& b) { b.clear(); }, LoadError::NotMd2},
        {"three bytes of the magic", [](auto& b) { b.resize(3); }, LoadError::NotMd2},
        {"wrong magic", [](auto& b) { b[3] = '3'; }, LoadError::NotMd2},
        {"lower-case magic", [](auto& b) { b[0] = 'i'; }, LoadError::NotMd2},
        {"magic alone", [](auto& b) { b.resize(4); }, LoadError::DamagedMd2},
        {"header one byte short", [](auto& b) { b.resize(67); }, LoadError::DamagedMd2},
        {"negative vertex count", set(field::kVertexCount, -1), LoadError::DamagedMd2},
        {"negative texcoord count", set(field::kTexCoordCount, -4), LoadError::DamagedMd2},
        {"negative triangle count", set(field::kTriangleCount, -2), LoadError::DamagedMd2},
        {"negative frame count", set(field::kFrameCount, INT32_MIN), LoadError::DamagedMd2},
        {"texcoord table past the end", set(field::kTexCoordOffset, 1 << 20), LoadError::DamagedMd2},
        {"negative texcoord offset", set(field::kTexCoordOffset, -4), LoadError::DamagedMd2},
        {"triangle table past the end", set(field::kTrianglesOffset, INT32_MAX), LoadError::DamagedMd2},
        {"frame table past the end", set(field::kFramesOffset, 1000), LoadError::DamagedMd2},
        {"two billion frames", set(field::kFrameCount, 2000000000), LoadError::DamagedMd2},
        {"two billion vertices", set(field::kVertexCount, 2000000000), LoadError::DamagedMd2},
        {"two billion triangles", set(field::kTriangleCount, 2000000000), LoadError::DamagedMd2},
        {"vertex count larger than the frames hold", set(field::kVertexCount, 5), LoadError::DamagedMd2},
        {"vertex index equal to the vertex count",
         [=](auto& b) { fixtures::PatchU16(b, trianglesAt + 2, 4); }, LoadError::DamagedMd2},
        {"vertex index 65535", [=](auto& b) { fixtures::PatchU16(b, trianglesAt + 12, 65535); },
         LoadError::DamagedMd2},
        {"texcoord index equal to the texcoord count",
         [=](auto& b) { fixtures::PatchU16(b, trianglesAt + 10, 4); }, LoadError::DamagedMd2},
        {"zero skin width with triangles", set(field::kSkinWidth, 0), LoadError::DamagedMd2},
        {"negative skin height with triangles", set(field::kSkinHeight, -32), LoadError::DamagedMd2},
    };
    for (const BadFile& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        auto r = Parse(bytes);
        EXPECT_FALSE(r) << c.why;
        EXPECT_EQ(r.Error(), c.expected) << c.why;
        EXPECT_FALSE(r.Detail().empty()) << c.why;
    }
}

TEST(Md2Refusal, LastValidIndexAcceptedFirstInvalidRefused) {
    // Limits in pairs: index 3 of 4 vertices loads, 4 does not; same for texcoords.
    const size_t trianglesAt = 68 + 4 * 4;
    for (auto [offset, last] : {std::pair<size_t, uint16_t>{trianglesAt + 4, 3}, {trianglesAt + 8, 3}}) {
        auto bytes = WriteMd2(testing::SmallQuad());
        fixtures::PatchU16(bytes, offset, last);
        EXPECT_TRUE(Parse(bytes)) << "offset " << offset;
        fixtures::PatchU16(bytes, offset, static_cast<uint16_t>(last + 1));
        EXPECT_FALSE(Parse(bytes)) << "offset " << offset;
    }
}

TEST(Md2Refusal, TableEndingExactlyAtEndOfFileIsInside) {
    Md2Source s = testing::SmallQuad();
    auto bytes = WriteMd2(s);
    bytes.resize(bytes.size() - 4);  // drop the GL command terminator: frames now end the file
    EXPECT_TRUE(Parse(bytes));
    bytes.pop_back();
    EXPECT_EQ(Parse(bytes).Error(), LoadError::DamagedMd2);
}

TEST(Md2Refusal, EveryPrefixIsRefusedCleanly) {
    // The frame table is the last thing read; any shorter prefix lacks part of it.
    const auto bytes = WriteMd2(testing::SmallQuad());
    const size_t framesEnd = bytes.size() - 4;
    for (size_t n = 0; n < framesEnd; ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        auto r = Parse(prefix);
        ASSERT_FALSE(r) << "prefix of " << n << " bytes";
        EXPECT_EQ(r.Error(), n < 4 ? LoadError::NotMd2 : LoadError::DamagedMd2) << n;
    }
}

TEST(Md2Refusal, ReasonsMapToTheFixedMessages) {
    EXPECT_STREQ(UserMessage(FileKind::Model, LoadError::CannotOpen), "There was an error loading the specified file!");
    EXPECT_STREQ(UserMessage(FileKind::Model, LoadError::NotMd2), "This is not an MD2!");
    EXPECT_STREQ(UserMessage(FileKind::Model, LoadError::DamagedMd2), "This MD2 file is damaged or incomplete!");
}

TEST(Md2File, LoadsFromDiskAndNamesTheModelAfterTheFile) {
    testing::TempDir dir;
    auto path = dir.Write("tris.md2", WriteMd2(testing::SmallQuad()));
    auto r = LoadMd2Model(path.string());
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(r.Value()->name, "tris.md2");
}

TEST(Md2File, MissingFileOrFolderCannotBeOpened) {
    testing::TempDir dir;
    for (const std::string& path : {(dir.Path() / "absent.md2").string(), dir.Path().string()}) {
        auto r = LoadMd2Model(path);
        EXPECT_FALSE(r) << path;
        EXPECT_EQ(r.Error(), LoadError::CannotOpen) << path;
    }
}

TEST(Md2File, OpeningTheSameFileTwiceGivesIndependentModels) {
    testing::TempDir dir;
    auto path = dir.Write("a.md2", WriteMd2(testing::SmallQuad())).string();
    auto first = LoadMd2Model(path);
    auto second = LoadMd2Model(path);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first.Value()->name, second.Value()->name);
    first.Value()->frames[0].vertices[0].x = 99;
    EXPECT_NE(second.Value()->frames[0].vertices[0].x, 99);
}

TEST(FileNameOfPath, TakesTextAfterTheLastSeparatorOfEitherKind) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\models\\tris.md2", "tris.md2"},
        {"/home/me/models/tris.md2", "tris.md2"},
        {"a/b\\c/tris.md2", "tris.md2"},
        {"a\\b/c\\d.md2", "d.md2"},
        {"tris.md2", "tris.md2"},
        {"folder/", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FileNameOfPath(c.path), c.name) << c.path;
}

}  // namespace
}  // namespace meshara
