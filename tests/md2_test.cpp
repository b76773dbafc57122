// MD2 models: the loader's decoding rules, refusal of every bad file, frame names into animations, smooth
// normals and the corner weld; real files checked against values worked out here straight from their bytes.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

#include "io/file_name.h"
#include "model/animations.h"
#include "model/corner_weld.h"
#include "model/md2_model.h"
#include "model/normals.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"

namespace meshara {
namespace {

using fixtures::Md2Source, fixtures::PatchS32, fixtures::PatchU16, fixtures::WriteMd2;
using namespace fixtures::md2field;
using Bytes = std::vector<uint8_t>;
using Point = std::array<double, 3>;
using enum ErrorKind;

Result<std::shared_ptr<Md2Model>> Parse(const Bytes& bytes) { return ParseMd2Model(bytes, "test.md2"); }
Point Xyz(const Vec3d& v) { return {v.x, v.y, v.z}; }
Bytes Prefix(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)); }

using Change = std::function<void(Bytes&)>;
Change Set(std::vector<std::pair<size_t, int32_t>> fields) {
    return [=](Bytes& b) { for (auto [at, v] : fields) PatchS32(b, at, v); };
}
Change Set(size_t at, int32_t v) { return Set({{at, v}}); }
// An entry of SmallQuad's triangle table, which follows the header and four texture coordinates.
Change Index(size_t at, uint16_t v) { return [=](Bytes& b) { PatchU16(b, 68 + 4 * 4 + at, v); }; }

TEST(Md2Decode, VerticesAndTriangleCornersFollowTheFileRulesEachFrameItsOwnScaleTheModelNamedAfterItsFile) {
    Md2Source s{.skinWidth = 256, .skinHeight = 128, .skins = {},
                .texCoords = {{0, 0}, {128, 64}, {256, 0}, {-64, 128}}, .triangles = {{{4, 5, 6}, {1, 2, 3}}},
                .frames = {{.scale = {0.5f, 0.5f, 0.5f}, .translate = {-10, -20, -30},
                            .vertices = std::vector<std::array<uint8_t, 4>>(7, {30, 60, 100, 7})}}};
    s.frames.push_back(s.frames[0]);
    s.frames[1].scale[1] = 2;
    testing::TempDir dir;
    auto r = LoadMd2Model(dir.Write("tris.md2", WriteMd2(s)));
    ASSERT_TRUE(r) << r.Detail();
    const Md2Model& m = *r.Value();
    EXPECT_EQ(m.name, "tris.md2");
    EXPECT_EQ((std::array{m.TriangleCount(), m.vertexCount, m.FrameCount()}), (std::array{1, 7, 2}));
    // byte * scale + translate, and y negated after the translate.
    EXPECT_EQ(Xyz(VertexPosition(m.frames[0], 6)), (Point{5.0, -10.0, 20.0}));
    EXPECT_EQ(Xyz(VertexPosition(m.frames[1], 6)), (Point{5.0, -100.0, 20.0}));
    // Corners 1 and 2 swap with their texture coordinates: entries 1, 3, 2 over 256 x 128; t is not flipped.
    const Md2Triangle& t = m.triangles[0];
    EXPECT_EQ((std::array{t.vertex[0], t.vertex[1], t.vertex[2]}), (std::array<uint16_t, 3>{4, 6, 5}));
    EXPECT_EQ((std::bit_cast<std::array<double, 6>>(t.texCoord)), (std::array{0.5, 0.5, -0.25, 1.0, 1.0, 0.0}));
    for (const auto& p : {dir.Path() / "absent.md2", dir.Path()}) EXPECT_EQ(LoadMd2Model(p).Error(), CannotOpen) << p;
    // The name is what follows the last separator of either kind.
    const std::pair<const char*, const char*> paths[] = {
        {"C:\\models\\tris.md2", "tris.md2"}, {"/home/me/models/tris.md2", "tris.md2"}, {"a/b\\c/tris.md2", "tris.md2"},
        {"a\\b/c\\d.md2", "d.md2"}, {"tris.md2", "tris.md2"}, {"folder/", ""}, {"", ""}, };
    for (const auto& [path, name] : paths) EXPECT_EQ(FileNameOfPath(path), name) << path;
}

// What the loader makes of changed bytes: a model of so many frames and triangles, or a refusal with a reason.
TEST(Md2Load, WhatTheLoaderDoesNotUseMayHoldAnythingAndEachDamageIsRefusedWithItsReason) {
    struct Case {
        std::string why;
        Change change;
        std::optional<ErrorKind> refused = {};
        int frames = 2, triangles = 2, cornersWithoutTexCoord = 0;
    };
    std::vector<Case> cases = {
        {"version 0", Set(kVersion, 0)}, {"version -1", Set(kVersion, -1)}, {"version 1234567", Set(kVersion, 1234567)},
        {"frame size, skin count, GL commands and end offset are not trusted",
         Set({{kFrameSize, -9}, {kSkinCount, -9}, {kGlCommandCount, -9}, {kSkinsOffset, -9}, {kGlCommandsOffset, -9},
              {kEndOffset, -9}})}, {"no frames is a model, not a damaged file", Set(kFrameCount, 0), {}, 0},
        {"frames end the file (GL terminator dropped)", [](Bytes& b) { b.resize(b.size() - 4); }},
        {"a negative skin size divides (mirrors) the coordinates", Set(kSkinHeight, -32)},
        // The skin size only divides texture coordinates, which no triangle then uses.
        {"skin 0 x -5 without triangles", Set({{kTriangleCount, 0}, {kSkinWidth, 0}, {kSkinHeight, -5}}), {}, 2, 0},
        {"wrong magic", [](Bytes& b) { b[3] = '3'; }, NotThisFormat}, {"lower-case magic", [](Bytes& b) { b[0] = 'i'; }, NotThisFormat},
        // Limits in pairs: the last valid index loads, the first past it is refused.
        {"vertex index 3 of 4", Index(2, 3)}, {"vertex index 4 of 4", Index(2, 4), Damaged},
        // Texture coordinates past the table, as games shipped them: the corner takes (0, 0) and is counted.
        {"texcoord index 3 of 4", Index(10, 3)}, {"texcoord index 4 of 4", Index(10, 4), {}, 2, 2, 1},
        {"texcoord 65535 at every corner",
         [](Bytes& b) { for (size_t at : {6, 8, 10}) Index(at, 65535)(b); }, {}, 2, 2, 3},
        {"vertex index 65535", Index(12, 65535), Damaged},
        // Layouts other than the usual: frames that overlap the header, or lie before the other tables.
        {"frames overlapping the header", Set(kFramesOffset, 0)},
        {"frames overlapping the header, no other table",
         Set({{kFramesOffset, 0}, {kTriangleCount, 0}, {kTexCoordCount, 0}}), {}, 2, 0},
        {"frames before the triangles", Set(kFramesOffset, 68)}, };
    // Negative counts, tables past the end or before the start, counts far beyond the file, more vertices than
    // the frames hold, a zero skin side that the triangles' coordinates would divide by.
    for (auto [at, v] : {std::pair<size_t, int32_t>{kVertexCount, -1}, {kTexCoordCount, -4}, {kTriangleCount, -2},
                         {kFrameCount, INT32_MIN}, {kTexCoordOffset, 1 << 20}, {kTexCoordOffset, -4},
                         {kTrianglesOffset, INT32_MAX}, {kFramesOffset, 1000}, {kFrameCount, 2000000000},
                         {kVertexCount, 2000000000}, {kTriangleCount, 2000000000}, {kVertexCount, 5}, {kSkinWidth, 0},
                         {kSkinHeight, 0}})
        cases.push_back({"header field at " + std::to_string(at) + " = " + std::to_string(v), Set(at, v), Damaged});
    testing::TempDir dir;
    for (const auto& c : cases) {
        Bytes bytes = WriteMd2(testing::SmallQuad());
        c.change(bytes);
        auto r = Parse(bytes);
        // Read from a file (the frames in pieces when they come last), the same model or the same refusal.
        auto read = LoadMd2Model(dir.Write("m.md2", bytes));
        EXPECT_EQ(read.Error(), r ? CannotOpen : r.Error()) << c.why;
        if (r && read) {
            for (int32_t f = 0; f < r.Value()->FrameCount(); ++f) {
                const auto& a = r.Value()->frames[size_t(f)].vertices;
                const auto& b = read.Value()->frames[size_t(f)].vertices;
                EXPECT_TRUE(a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0)
                    << c.why << ", frame " << f;
            }
        }
        if (c.refused) {
            // A loaded model's kind is CannotOpen, so the kind alone shows a refusal; its reason is given.
            EXPECT_EQ((std::pair{r.Error(), r.Detail().empty()}), (std::pair{*c.refused, false})) << c.why;
            continue;
        }
        ASSERT_TRUE(r) << c.why << ": " << r.Detail();
        const Md2Model& m = *r.Value();
        EXPECT_EQ((std::array{m.FrameCount(), m.TriangleCount(), m.cornersWithoutTexCoord}),
                  (std::array{c.frames, c.triangles, c.cornersWithoutTexCoord})) << c.why;
        if (c.cornersWithoutTexCoord == 3) {
            EXPECT_EQ((std::bit_cast<std::array<double, 6>>(m.triangles[0].texCoord)), (std::array<double, 6>{}));
        }
    }
    // Every prefix (magic short or alone, header or frames a byte short): frames come last, so each lacks some.
    const auto bytes = WriteMd2(testing::SmallQuad());
    for (size_t n = 0; n < bytes.size() - 4; ++n) {
        auto r = Parse(Prefix(bytes, n));
        ASSERT_EQ(r.Error(), n < 4 ? NotThisFormat : Damaged) << "prefix of " << n << " bytes";
        EXPECT_FALSE(r.Detail().empty()) << n;
    }
}

// The engine's own 198 player frames group into its 20 animations, however their numbers are written; numbers
// that only count on (frame001...frame198, "Frame 1"...) make one animation.
TEST(Md2Names, TheEnginesPlayerFramesGroupIntoItsTwentyAnimations) {
    // Each animation of the player table: its stem, its frame count, how its numbers are written. The
    // parts of pain and death are numbered by hundreds (pain101...pain104, pain201...).
    struct Part { const char* stem; int frames; int width; int hundreds = 0; };
    const Part table[] = {
        {"stand", 40, 2}, {"run", 6, 1}, {"attack", 8, 1}, {"pain", 4, 2, 1}, {"pain", 4, 2, 2}, {"pain", 4, 2, 3},
        {"jump", 6, 1}, {"flip", 12, 2}, {"salute", 11, 2}, {"taunt", 17, 2}, {"wave", 11, 2}, {"point", 12, 2},
        {"crstnd", 19, 2}, {"crwalk", 6, 1}, {"crattak", 9, 1}, {"crpain", 4, 1}, {"crdeath", 5, 1},
        {"death", 6, 2, 1}, {"death", 6, 2, 2}, {"death", 8, 2, 3}};
    const char* expected =
        "stand 0-39, run 40-45, attack 46-53, pain1 54-57, pain2 58-61, pain3 62-65, jump 66-71, flip 72-83, "
        "salute 84-94, taunt 95-111, wave 112-122, point 123-134, crstnd 135-153, crwalk 154-159, crattak 160-168, "
        "crpain 169-172, crdeath 173-177, death1 178-183, death2 184-189, death3 190-197";
    const auto grouped = [](const std::vector<std::string>& names) {
        std::string out;
        for (const Md2Animation& a : FindAnimations(names))
            out += (out.empty() ? "" : ", ") + a.name + " " + std::to_string(a.first) + "-" + std::to_string(a.last);
        return out;
    };
    // As the engine writes them, then as community files do: every number two digits, or none padded, with
    // trailing spaces.
    for (const auto& [padding, tail] : {std::pair(0, ""), std::pair(2, ""), std::pair(1, " ")}) {
        std::vector<std::string> names;
        for (const Part& p : table)
            for (int i = 1; i <= p.frames; ++i) {
                std::string n = std::to_string(p.hundreds * 100 + i);
                const size_t width = p.hundreds ? 3 : padding == 0 ? size_t(p.width) : size_t(padding);
                if (n.size() < width) n.insert(0, width - n.size(), '0');
                names.push_back(p.stem + n + tail);
            }
        ASSERT_EQ(names.size(), 198u);
        EXPECT_EQ(grouped(names), expected) << padding;
    }
    std::vector<std::string> counting, spaced;
    for (int i = 1; i <= 198; ++i) {
        counting.push_back("frame" + std::string(i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i));
        spaced.push_back("Frame " + std::to_string(i));
    }
    // The table the checks hold a player's body to is the engine's, as written here.
    std::vector<std::string> engine;
    for (const Part& p : table)
        for (int i = 1; i <= p.frames; ++i) {
            std::string n = std::to_string(p.hundreds * 100 + i);
            if (n.size() < size_t(p.width)) n.insert(0, size_t(p.width) - n.size(), '0');
            engine.push_back(p.stem + n);
        }
    EXPECT_EQ(PlayerFrameNames(), engine);
    EXPECT_EQ(grouped(counting), "frame 0-197");
    EXPECT_EQ(grouped(spaced), "Frame 0-197");
    // A jump to a hundred and one from its hundred counts on; from elsewhere it starts a part.
    EXPECT_EQ(grouped({"a199", "a200", "a201", "a301"}), "a1 0-2, a3 3-3");
}

TEST(Md2Names, FrameAndSkinNamesAreKeptAndFramesRunIntoAnimations) {
    auto source = testing::SmallQuad();
    source.skins = {"models/quad/skin.pcx", std::string(64, 'x')};  // a name filling its field has no zero
    // Names as exporters write them: trailing spaces, the modeller's file extension, separators before the number.
    const char* names[] = {"pain101", "pain102", "pain201", "run", "run2", "", "7", "walk1", "pain3", "stand01 ",
                           " stand02", "jump1.lwo", "jump2.LWO", "crattak_03", "crattak-04", "crattak.05", "b.x9"};
    source.frames.resize(std::size(names), source.frames[0]);
    for (size_t i = 0; i < std::size(names); ++i) source.frames[i].name = names[i];
    Bytes bytes = WriteMd2(source);
    auto r = Parse(bytes);
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(r.Value()->skinNames, source.skins);
    EXPECT_EQ(r.Value()->frames[2].name, "pain201");
    std::string runs;
    for (const Md2Animation& a : r.Value()->animations)
        runs += a.name + ":" + std::to_string(a.first) + "-" + std::to_string(a.last) + " ";
    // Spaces, then an extension of letters, then trailing digits and separators go; a frame with no stem left
    // joins its unnamed neighbours; a stem seen before but not adjacent starts a new run.
    EXPECT_EQ(runs, "pain1:0-1 pain2:2-2 run:3-4 :5-6 walk:7-7 pain:8-8 stand:9-10 jump:11-12 crattak:13-15 b.x:16-16 ");
    EXPECT_EQ(AnimationHolding(*r.Value(), 4)->name, "run");
    EXPECT_EQ(AnimationHolding(*r.Value(), 17), nullptr);
    // A skin table that does not fit the file is not read, and does not refuse the model.
    PatchS32(bytes, kSkinCount, 1 << 20);
    r = Parse(bytes);
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_TRUE(r.Value()->skinNames.empty());
}

// The GL commands against the triangles: strips and fans as the game walks them, compared as corner sets.
TEST(Md2Layout, GlCommandsAreWalkedAsTheGameWalksThemAndComparedWithTheTriangles) {
    Md2Source quad = testing::SmallQuad();  // triangles (0 1 2) and (0 2 3)
    const Bytes plain = WriteMd2(quad);
    const auto with = [&](std::vector<int32_t> words) {
        Bytes b = plain;
        b.resize(b.size() - 4);  // the writer's lone zero
        PatchS32(b, kGlCommandCount, static_cast<int32_t>(words.size()));
        for (int32_t w : words)
            for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * k)));
        return b;
    };
    const auto corners = [](std::vector<int32_t> vertices) {  // s, t as zero, then the vertex
        std::vector<int32_t> out;
        for (int32_t v : vertices) out.insert(out.end(), {0, 0, v});
        return out;
    };
    const auto command = [&](int32_t count, std::vector<int32_t> vertices) {
        std::vector<int32_t> out = {count};
        for (int32_t w : corners(vertices)) out.push_back(w);
        return out;
    };
    const auto join = [](std::vector<std::vector<int32_t>> parts) {
        std::vector<int32_t> out;
        for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const struct {
        const char* what;
        Bytes bytes;
        int32_t drawn, missing, extra;
        const char* problem;
    } cases[] = {
        {"a strip of both", with(join({command(4, {1, 2, 0, 3}), {0}})), 2, 0, 0, ""},
        {"a fan of both", with(join({command(-4, {0, 1, 2, 3}), {0}})), 2, 0, 0, ""},
        {"one left out", with(join({command(3, {2, 1, 0}), {0}})), 1, 1, 0, ""},
        {"one drawn twice, one not in the table", with(join({command(3, {0, 1, 2}), command(3, {0, 1, 2}), command(3, {1, 2, 3}), {0}})), 3, 1, 2, ""},
        {"only the zero", plain, 0, 2, 0, "the GL commands draw no triangle"},
        {"no zero at the end", with(command(3, {0, 1, 2})), 1, 1, 0, "the GL commands do not end with a zero"},
        {"past the table", with({5, 0, 0, 1}), 0, 2, 0, "a GL command runs past the end of the table"},
        {"a vertex the model lacks", with(join({command(3, {0, 1, 9}), {0}})), 0, 2, 0, "a GL command uses vertex 9, the model has 4"},
        {"two corners", with(join({command(2, {0, 1}), {0}})), 0, 2, 0, "a GL command of 2 corners draws nothing"},
    };
    for (const auto& c : cases) {
        auto layout = ReadMd2Layout(c.bytes);
        ASSERT_TRUE(layout) << c.what << ": " << layout.Detail();
        EXPECT_EQ(layout.Value().glTriangles, c.drawn) << c.what;
        EXPECT_EQ(layout.Value().trianglesNotInGlCommands, c.missing) << c.what;
        EXPECT_EQ(layout.Value().glTrianglesNotInTable, c.extra) << c.what;
        EXPECT_EQ(layout.Value().glCommandsProblem, c.problem) << c.what;
    }
    // The header's numbers as declared, and skin names that fill their field.
    quad.skins = {"a.pcx", std::string(64, 'x'), std::string(63, 'y')};
    auto layout = ReadMd2Layout(WriteMd2(quad));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout.Value().unterminatedSkinNames, 1);
    EXPECT_EQ(layout.Value().declared.skins, 3);
    EXPECT_EQ(layout.Value().skinWidth, 64);
    EXPECT_EQ(layout.Value().skinHeight, 32);
    EXPECT_EQ(layout.Value().texCoords, 4);
    EXPECT_FALSE(ReadMd2Layout(Bytes(plain.begin(), plain.begin() + 40)));
}

TEST(VertexNormals, EveryFaceCountsOnceReversedAndDegenerateOrCancellingFacesGiveNothing) {
    // Positions, triangles, and the normals wanted at some vertices.
    const struct { const char* why; std::vector<Vec3d> p; std::vector<Md2Triangle> triangles;
                   std::vector<std::pair<size_t, Vec3d>> want; } cases[] = {
        {"a lone triangle: its reversed face normal, exactly", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{{0, 1, 2}}},
         {{0, {0, 0, -1}}, {1, {0, 0, -1}}, {2, {0, 0, -1}}}}, {"a tiny and a huge face weigh the same",
         {{0, 0, 0}, {0.01, 0, 0}, {0.01, 0.01, 0}, {0, 1000, 0}, {0, 1000, 1000}}, {{{0, 1, 2}}, {{0, 3, 4}}},
         {{0, {-0.70710678, 0, -0.70710678}}}}, {"a repeated corner and a zero-area face add nothing",
         {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {5, 5, 5}, {5, 5, 5}}, {{{0, 1, 2}}, {{0, 0, 3}}, {{3, 4, 1}}},
         {{0, {0, 0, -1}}, {1, {0, 0, -1}}, {3, {0, 0, 0}}, {4, {0, 0, 0}}}},
        {"opposite faces cancel; an unused vertex gets nothing",
         {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {7, 7, 7}}, {{{0, 1, 2}}, {{0, 1, 3}}},
         {{0, {0, 0, 0}}, {4, {0, 0, 0}}, {2, {0, 0, -1}}}}, };
    for (const auto& c : cases) {
        Md2Model m;
        m.vertexCount = static_cast<int32_t>(c.p.size()), m.triangles = c.triangles;
        const std::vector<Vec3d> n = VertexNormals(m, c.p);
        for (const auto& [v, want] : c.want)
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(Xyz(n[v])[k], Xyz(want)[k], 1e-7) << c.why << ": vertex " << v;
    }
}

TEST(CornerWeld, CornersAreOneVertexOnlyWithTheSameVertexAndTextureCoordinate) {
    // The second triangle's middle corner is 1e-12 off the first's last, the same float, so drawn alike and one
    // vertex; the third triangle meets vertex 0 again across a texture seam.
    Md2Model m;
    m.triangles = {{{0, 1, 2}, {{0, 0}, {1, 0}, {1, 1}}}, {{0, 2, 3}, {{0, 0}, {1 + 1e-12, 1}, {0, 1}}},
                   {{0, 3, 1}, {{0.5, 0}, {0, 1}, {1, 0}}}};
    const CornerWeld w = WeldCorners(m);
    EXPECT_EQ(w.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 4, 3, 1}));
    EXPECT_EQ(w.modelVertex, (std::vector<uint16_t>{0, 1, 2, 3, 0}));
    EXPECT_EQ(w.texCoords[4], (std::array<float, 2>{0.5f, 0}));
}

// ---- Real files, against the file format's rules applied here to their bytes ----

// A little-endian value of type T at byte offset at.
template <class T>
T At(const Bytes& b, size_t at) {
    T v;
    std::memcpy(&v, &b[at], sizeof v);
    return v;
}
size_t Offset(const Bytes& b, size_t field) { return static_cast<size_t>(At<int32_t>(b, field)); }

// Position of vertex v in frame f: byte * scale + translate, y negated.
Point RawPosition(const Bytes& b, int f, int v) {
    const size_t frame = Offset(b, kFramesOffset) + static_cast<size_t>(f) * (40 + 4 * Offset(b, kVertexCount));
    const size_t entry = frame + 40 + 4 * static_cast<size_t>(v);
    Point p;
    for (size_t k = 0; k < 3; ++k)
        p[k] = b[entry + k] * double{At<float>(b, frame + 4 * k)} + At<float>(b, frame + 12 + 4 * k);
    p[1] = -p[1];
    return p;
}

// The smoothed normal of vertex v in frame f: the reversed direction of the sum of the unit face normals
// (reversed winding) of the triangles using it, once per use.
Point RawNormal(const Bytes& b, int f, int v) {
    Point sum{0, 0, 0};
    for (int32_t t = 0; t < At<int32_t>(b, kTriangleCount); ++t) {
        const size_t e = Offset(b, kTrianglesOffset) + 12 * static_cast<size_t>(t);
        const int corner[3] = {At<uint16_t>(b, e), At<uint16_t>(b, e + 4), At<uint16_t>(b, e + 2)};  // file 0, 2, 1
        const int uses = (corner[0] == v) + (corner[1] == v) + (corner[2] == v);
        Point p[3], u, w;
        for (int c = 0; c < 3; ++c) p[c] = RawPosition(b, f, corner[c]);
        for (int k = 0; k < 3; ++k) u[k] = p[1][k] - p[0][k], w[k] = p[2][k] - p[1][k];
        const Point n{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        const double len = std::hypot(n[0], n[1], n[2]);
        for (int k = 0; k < 3 && len > 0; ++k) sum[k] += uses * n[k] / len;
    }
    const double m = std::hypot(sum[0], sum[1], sum[2]);
    return m == 0 ? Point{0, 0, 0} : Point{-sum[0] / m, -sum[1] / m, -sum[2] / m};
}

TEST(Md2Corpus, EveryModelLoadsAsItsBytesSayTheBrokenOneAndEveryCutOfARealOneAreRefused) {
    MESHARA_REQUIRE_CORPUS();
    // faerie numbers its frames as the engine does (pain101...); sydney counts on (pain1...pain12).
    const std::string moves = "jump 6 flip 12 salute 11 taunt 17 wave 11 point 12 crstnd 19 crwalk 6 crattak 9 crpain 4 ";
    const std::pair<const char*, std::string> models[] = {
        {"faerie", "stand 40 run 6 attack 8 pain1 4 pain2 4 pain3 4 " + moves + "crdeath 5 death1 6 death2 6 death3 8 "},
        {"sydney", "stand 40 run 6 attack 8 pain 12 " + moves + "crdeth 5 death 20 "},
        {"dolphin", "glide 14 jump 45 "}, {"flag", "stand 10 "}, {"horse", "stand 12 "}, };
    for (const auto& [stem, animations] : models) {
        SCOPED_TRACE(stem);
        const auto path = testing::CorpusDir() / "md2" / (std::string(stem) + ".md2");
        const Bytes b = testing::ReadAll(path);
        auto r = LoadMd2Model(path);
        ASSERT_TRUE(r) << r.Detail();
        const Md2Model& m = *r.Value();
        EXPECT_EQ((std::array{m.vertexCount, m.TriangleCount(), m.FrameCount()}),
                  (std::array{At<int32_t>(b, kVertexCount), At<int32_t>(b, kTriangleCount), At<int32_t>(b, kFrameCount)}));
        ASSERT_GT(m.FrameCount(), 0);
        // Every vertex of every frame, bit for bit, decoded from the frames as kept and as a whole frame.
        int mismatches = 0;
        for (int f = 0; f < m.FrameCount(); ++f) {
            const std::vector<Vec3d> whole = FramePositions(m, f);
            for (int v = 0; v < m.vertexCount; ++v) {
                const Point raw = RawPosition(b, f, v);
                const Point kept = Xyz(VertexPosition(m.frames[f], v)), fromWhole = Xyz(whole[v]);
                mismatches += std::memcmp(&kept, &raw, sizeof raw) != 0 || std::memcmp(&fromWhole, &raw, sizeof raw) != 0;
            }
        }
        EXPECT_EQ(mismatches, 0);
        // A spread of frames and vertices for the normals, first and last included.
        for (int f : {0, m.FrameCount() / 2, m.FrameCount() - 1}) {
            const std::vector<Vec3d> normals = FrameNormals(m, f);
            for (int v : {0, 1, m.vertexCount / 3, m.vertexCount / 2, m.vertexCount - 1})
                for (int k = 0; k < 3; ++k) EXPECT_NEAR(Xyz(normals[v])[k], RawNormal(b, f, v)[k], 1e-12) << f << ", " << v;
            for (const Vec3d& n : normals)  // a unit vector, or zero where no face reached it
                ASSERT_TRUE(std::hypot(n.x, n.y, n.z) == 0.0 || std::abs(std::hypot(n.x, n.y, n.z) - 1.0) < 1e-12);
        }
        // The first triangle's record corner 2 is file corner 1; s is divided by the skin width.
        const size_t st = Offset(b, kTexCoordOffset) + 4 * At<uint16_t>(b, Offset(b, kTrianglesOffset) + 6 + 2);
        EXPECT_EQ(m.triangles[0].texCoord[2][0], static_cast<double>(At<int16_t>(b, st)) / At<int32_t>(b, kSkinWidth));
        std::string got;  // every frame in one animation, back to back
        int32_t next = 0;
        for (const Md2Animation& a : m.animations) {
            EXPECT_EQ(a.first, std::exchange(next, a.last + 1)) << a.name;
            got += a.name + " " + std::to_string(a.FrameCount()) + " ";
        }
        EXPECT_EQ(got, animations);
        EXPECT_EQ(next, m.FrameCount());
    }
    // Its one triangle names vertex 0 and texture coordinate 0 of a model that has neither.
    auto r = LoadMd2Model(testing::CorpusDir() / "md2" / "malformed_zero_numvertices.md2");
    EXPECT_EQ(r.Error(), Damaged);
    EXPECT_NE(r.Detail().find("vertex"), std::string::npos) << r.Detail();
    const Bytes b = testing::ReadAll(testing::CorpusDir() / "md2" / "flag.md2");
    const size_t framesEnd = Offset(b, kFramesOffset) + Offset(b, kFrameCount) * (40 + 4 * Offset(b, kVertexCount));
    for (size_t n = 0; n < framesEnd; n += 7) ASSERT_FALSE(Parse(Prefix(b, n))) << n;
}

}  // namespace
}  // namespace meshara
