// meshara-cli fix: a model built with every fault fix mends, read back here
// table by table (not through Meshara's reader), checked again; clean files
// untouched; outputs that are the input refused; every edit at and past its limits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/md2_writer.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using fixtures::Md2Source;
using testing::Quote;
using testing::RunCli;

// The tables of an MD2 file, read straight from its bytes.
struct Raw {
    int32_t skinWidth = 0, skinHeight = 0, vertexCount = 0;
    std::vector<std::string> skins;
    std::vector<std::array<int16_t, 2>> texCoords;
    struct Triangle { std::array<uint16_t, 3> vertex, texCoord; };
    std::vector<Triangle> triangles;
    std::vector<Md2Source::Frame> frames;
    std::vector<uint32_t> gl;
};

Raw Read(const Bytes& b) {
    const auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, &b.at(at + 3) - 3, 4); return v; };
    const auto u16 = [&](size_t at) { return uint16_t(b.at(at) | b.at(at + 1) << 8); };
    const auto text = [&](size_t at, size_t n) { std::string s(b.begin() + long(at), b.begin() + long(at + n)); return s.substr(0, s.find('\0')); };
    Raw r;
    r.skinWidth = int32_t(u32(8)), r.skinHeight = int32_t(u32(12)), r.vertexCount = int32_t(u32(24));
    for (uint32_t i = 0; i < u32(20); ++i) r.skins.push_back(text(u32(44) + 64 * i, 64));
    for (uint32_t i = 0; i < u32(28); ++i) r.texCoords.push_back({int16_t(u16(u32(48) + 4 * i)), int16_t(u16(u32(48) + 4 * i + 2))});
    for (uint32_t i = 0; i < u32(32); ++i) {
        const size_t at = u32(52) + 12 * i;
        r.triangles.push_back({{u16(at), u16(at + 2), u16(at + 4)}, {u16(at + 6), u16(at + 8), u16(at + 10)}});
    }
    for (uint32_t f = 0; f < u32(40); ++f) {
        const size_t at = u32(56) + u32(16) * f;
        Md2Source::Frame frame;
        std::memcpy(frame.scale, &b.at(at), 12);
        std::memcpy(frame.translate, &b.at(at + 12), 12);
        frame.name = text(at + 24, 16);
        for (int32_t v = 0; v < r.vertexCount; ++v) frame.vertices.push_back({b.at(at + 40 + 4 * size_t(v)), b.at(at + 41 + 4 * size_t(v)), b.at(at + 42 + 4 * size_t(v)), b.at(at + 43 + 4 * size_t(v))});
        r.frames.push_back(frame);
    }
    for (uint32_t i = 0; i < u32(36); ++i) r.gl.push_back(u32(u32(60) + 4 * i));
    return r;
}

// A drawn triangle: its corners as (vertex, s, t) in skin pixels, started from the least, winding kept.
using Drawn = std::array<std::array<int32_t, 3>, 3>;
Drawn Turned(Drawn d) {
    std::rotate(d.begin(), std::min_element(d.begin(), d.end()), d.end());
    return d;
}

std::multiset<Drawn> TableTriangles(const Raw& r) {
    std::multiset<Drawn> out;
    for (const auto& t : r.triangles) {
        Drawn d;
        for (size_t c = 0; c < 3; ++c) {
            const auto st = t.texCoord[c] < r.texCoords.size() ? r.texCoords[t.texCoord[c]] : std::array<int16_t, 2>{0, 0};
            d[c] = {t.vertex[c], st[0], st[1]};
        }
        out.insert(Turned(d));
    }
    return out;
}

// The triangles the GL commands draw, as GL winds strips (every other one turned) and fans.
std::multiset<Drawn> GlTriangles(const Raw& r) {
    std::multiset<Drawn> out;
    size_t at = 0;
    for (int32_t n; (n = int32_t(r.gl.at(at++))) != 0;) {
        std::vector<std::array<int32_t, 3>> c;
        for (int32_t k = 0; k < std::abs(n); ++k, at += 3) {
            float s, t;
            std::memcpy(&s, &r.gl.at(at), 4), std::memcpy(&t, &r.gl.at(at + 1), 4);
            c.push_back({int32_t(r.gl.at(at + 2)), int32_t(std::lround(s * float(r.skinWidth))), int32_t(std::lround(t * float(r.skinHeight)))});
        }
        for (size_t i = 2; i < c.size(); ++i)
            out.insert(Turned(n < 0 ? Drawn{c[0], c[i - 1], c[i]} : i % 2 ? Drawn{c[i - 1], c[i - 2], c[i]} : Drawn{c[i - 2], c[i - 1], c[i]}));
    }
    EXPECT_EQ(at, r.gl.size()) << "the zero ends the commands";
    return out;
}

std::set<std::string> Codes(const std::string& out) {
    std::set<std::string> codes;
    for (size_t at = 0; (at = out.find(" [", at)) != std::string::npos; ++at) codes.insert(out.substr(at + 2, out.find(']', at) - at - 2));
    return codes;
}

struct Fix : ::testing::Test {
    testing::TempDir dir;
    fs::path Put(const std::string& name, const Bytes& bytes) const { return dir.Write(name, bytes); }
};

const std::vector<std::string> kMended = {"texcoord-index-past-table", "degenerate-triangles", "duplicate-triangles",
                                          "unused-vertices", "skin-letter-case", "skin-not-at-game-path", "skin-size-differs"};

// Every mendable fault in one model; which triangles stay is known by construction.
struct Faulty {
    Md2Source s = testing::Tetrahedron(2);
    std::vector<bool> keep = {true, true, true, true, false, false, false, true};
    Faulty() {
        for (auto& f : s.frames)  // 4 used by nothing, 5 only by a folded triangle, 6 and 7 on a line with 0
            for (std::array<uint8_t, 4> v : {std::array<uint8_t, 4>{9, 9, 9, 7}, {1, 2, 3, 4}, {50, 0, 0, 1}, {100, 0, 0, 2}})
                f.vertices.push_back(v);
        s.frames[1].scale[1] = 2, s.frames[1].translate[2] = -5;
        s.triangles[2].texCoord[1] = 65535;             // past the table
        s.triangles.push_back({{0, 5, 5}, {0, 1, 2}});  // a repeated vertex
        s.triangles.push_back({{0, 6, 7}, {0, 1, 2}});  // no area in any frame
        s.triangles.push_back({{1, 2, 0}, {1, 2, 0}});  // triangle 0 again, turned
        s.triangles.push_back({{0, 2, 1}, {0, 2, 1}});  // triangle 0 reversed: its back face, kept
        s.skins = {"models/Faulty/Skin.PCX", "C:/art/other.pcx"};
    }
};

TEST_F(Fix, MendsEveryFaultAndKeepsTheRestExactly) {
    const Faulty faulty;
    const Md2Source& s = faulty.s;
    const std::vector<bool>& keep = faulty.keep;
    const fs::path in = Put("baseq2/models/faulty/tris.md2", fixtures::WriteMd2(s));
    Put("baseq2/models/faulty/skin.pcx", testing::Pcx(64, 48));
    Put("baseq2/models/faulty/other.pcx", testing::Pcx(64, 48));
    const fs::path out = dir.Path() / "baseq2/models/faulty/mended.md2";

    // The check finds every fault, fix says it mended each, and the check finds none of them after.
    const auto before = RunCli("check " + Quote(in));
    // The check counts what fix drops: a flat triangle as well as a folded one.
    EXPECT_NE(before.out.find("2 triangles have no area in any frame: 1 with a vertex used twice, 1 with their corners"),
              std::string::npos) << before.out;
    const auto r = RunCli("fix " + Quote(in) + " -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto again = RunCli("check " + Quote(out));
    for (const std::string& code : kMended)
        EXPECT_EQ(std::tuple(Codes(before.out).contains(code), Codes(r.out).contains(code), Codes(again.out).contains(code)),
                  std::tuple(true, true, false)) << code << before.out << r.out << again.out;
    EXPECT_FALSE(Codes(again.out).contains("glcmds-differ")) << again.out;
    for (const char* line : {"mended 2: 2 triangles with no area dropped [degenerate-triangles]",
                             "mended 4: 4 unused vertices dropped, the other 4 renumbered [unused-vertices]"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    const Raw original = Read(fixtures::WriteMd2(s)), mended = Read(testing::ReadAll(out));
    // Expected: the kept triangles, their corner past the table at (0, 0), coordinates scaled to 64 x 48.
    std::multiset<Drawn> expected;
    for (size_t t = 0; t < s.triangles.size(); ++t) {
        if (!keep[t]) continue;
        Drawn d;
        for (size_t c = 0; c < 3; ++c) {
            const uint16_t st = s.triangles[t].texCoord[c];
            const auto at = st < s.texCoords.size() ? s.texCoords[st] : std::array<int16_t, 2>{0, 0};
            d[c] = {s.triangles[t].vertex[c], at[0] * 2, at[1] * 3 / 2};
        }
        expected.insert(Turned(d));
    }
    EXPECT_EQ(TableTriangles(mended), expected);
    EXPECT_EQ(GlTriangles(mended), expected);
    EXPECT_EQ(std::tuple(mended.vertexCount, mended.skinWidth, mended.skinHeight), std::tuple(4, 64, 48));
    EXPECT_EQ(mended.skins, (std::vector<std::string>{"models/faulty/skin.pcx", "models/faulty/other.pcx"}));
    ASSERT_EQ(mended.frames.size(), original.frames.size());
    for (size_t f = 0; f < original.frames.size(); ++f) {
        const auto &a = original.frames[f], &b = mended.frames[f];
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(std::vector<float>(b.scale, b.scale + 3), std::vector<float>(a.scale, a.scale + 3));
        EXPECT_EQ(std::vector<float>(b.translate, b.translate + 3), std::vector<float>(a.translate, a.translate + 3));
        const std::vector<std::array<uint8_t, 4>> kept(a.vertices.begin(), a.vertices.begin() + 4);
        EXPECT_EQ(b.vertices, kept) << f;
    }
}

// GL commands that do not draw the triangles: the geometry stays unless asked; --only mends only its codes.
TEST_F(Fix, GlCommandsThatDifferAndOnlyChooseWhatIsMended) {
    Md2Source s = testing::Tetrahedron(1);
    s.triangles.push_back({{0, 0, 1}, {0, 1, 2}});
    s.triangles[0].texCoord[0] = 9;
    s.glCommands = false;
    const Bytes bytes = fixtures::WriteMd2(s);
    const fs::path in = Put("m.md2", bytes), out = dir.Path() / "out.md2";
    const struct {
        std::string args;
        size_t triangles, texCoords;
        bool glRebuilt, leftAlone;
    } cases[] = {
        {"", 5, 5, false, true},
        {"--glcmds-from-triangles", 4, 5, true, false},
        {"--glcmds-from-triangles --only degenerate-triangles,glcmds-differ", 4, 4, true, false},
        {"--only texcoord-index-past-table", 5, 5, false, false},
        {"--only degenerate-triangles", 5, 4, false, true},
    };
    for (const auto& c : cases) {
        const auto r = RunCli("fix " + Quote(in) + " -o " + Quote(out) + " " + c.args);
        ASSERT_EQ(r.exitCode, 0) << c.args << r.err;
        const Raw m = Read(testing::ReadAll(out));
        EXPECT_EQ(m.triangles.size(), c.triangles) << c.args;
        EXPECT_EQ(m.texCoords.size(), c.texCoords) << c.args;
        if (c.glRebuilt) {
            EXPECT_EQ(GlTriangles(m), TableTriangles(m)) << c.args;
        } else {
            EXPECT_EQ(m.gl, std::vector<uint32_t>(1, 0)) << c.args;
        }
        if (c.triangles == 5 && c.texCoords == 4) {
            EXPECT_EQ(testing::ReadAll(out), bytes) << c.args << ": nothing mended, the same file";
        }
        EXPECT_EQ(r.out.find("left alone") != std::string::npos, c.leftAlone) << c.args << r.out;
    }
}

// The header takes the picture's size within the engine's height, coordinates rounded to its pixels.
TEST_F(Fix, SkinSizeFollowsThePictureUpToTheEnginesHeight) {
    const struct {
        int width, height;
        int32_t header;    // the header's width after
        int16_t s;         // texture coordinate 1's s after (32 before)
        const char* said;  // in the output
    } cases[] = {
        {64, 64, 64, 64, "skin size 32 x 32 made 64 x 64"},
        {20, 20, 20, 20, "moved by more than half a pixel of the old 32 x 32 size"},
        {20, 481, 32, 32, "taller than the 480 the engine takes"},
        {20, 480, 20, 20, "skin size 32 x 32 made 20 x 480"},
    };
    for (const auto& c : cases) {
        Md2Source s = testing::Tetrahedron(1);
        s.texCoords.push_back({1, 1});
        s.triangles[0].texCoord[0] = 4;
        s.skins = {"models/m/skin.pcx"};
        const fs::path in = Put("baseq2/models/m/tris.md2", fixtures::WriteMd2(s)), out = dir.Path() / "out.md2";
        Put("baseq2/models/m/skin.pcx", testing::Pcx(c.width, c.height));
        const auto r = RunCli("fix " + Quote(in) + " -o " + Quote(out));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Raw m = Read(testing::ReadAll(out));
        EXPECT_EQ(m.skinWidth, c.header) << c.said;
        EXPECT_EQ(m.texCoords[1][0], c.s) << c.said;
        EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
    }
}

// A clean model comes out byte for byte; the output may not be the input by any road, and nothing then changes.
TEST_F(Fix, CleanFilesStayAndTheInputIsNeverTheOutputUnlessInPlace) {
    Md2Source s = testing::Tetrahedron(3);
    s.skins = {"models/clean/skin.pcx"};
    const Bytes clean = fixtures::WriteMd2(s);
    const fs::path in = Put("baseq2/models/clean/tris.md2", clean);
    Put("baseq2/models/clean/skin.pcx", testing::Pcx(32, 32));
    for (const fs::path& model : {in, testing::SamplesDir() / "knot.md2"}) {
        const auto r = RunCli("fix " + Quote(model) + " -o " + Quote(dir.Path() / "same.md2"));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(testing::ReadAll(dir.Path() / "same.md2"), testing::ReadAll(model)) << model;
    }

    Md2Source faulty = testing::Tetrahedron(1);
    faulty.triangles.push_back({{0, 0, 1}, {0, 1, 2}});
    const Bytes bad = fixtures::WriteMd2(faulty);
    const fs::path model = Put("loose/bad.md2", bad);
    fs::create_symlink(model, dir.Path() / "loose/link.md2");
    const fs::path pak = Put("loose/pak0.pak", fixtures::WritePak({{"models/bad.md2", bad}}));
    const std::set<std::string> names = testing::FileNames(dir.Path() / "loose");
    for (const std::string& args : {Quote(model) + " -o " + Quote(model), Quote(model) + " -o " + Quote(dir.Path() / "loose/link.md2"),
                                    Quote(model) + " -o " + Quote(dir.Path() / "loose/./bad.md2"),
                                    Quote(pak / "models/bad.md2") + " -o " + Quote(pak),
                                    Quote(pak / "models/bad.md2") + " --in-place"}) {
        const auto r = RunCli("fix " + args);
        EXPECT_EQ(r.exitCode, 1) << args;
        EXPECT_FALSE(r.err.empty()) << args;
        EXPECT_EQ(testing::ReadAll(model), bad) << args;
        EXPECT_EQ(testing::FileNames(dir.Path() / "loose"), names) << args;
    }
    // In place it is replaced whole: a second name of the old file keeps the old bytes.
    fs::create_hard_link(model, dir.Path() / "old.md2");
    const auto r = RunCli("fix --in-place " + Quote(model));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Read(testing::ReadAll(model)).triangles.size(), 4u);
    EXPECT_EQ(testing::ReadAll(dir.Path() / "old.md2"), bad);
    EXPECT_EQ(testing::FileNames(dir.Path() / "loose"), names);
}

// Every edit at its limit and one past it: past it, refused with a reason and nothing written.
TEST_F(Fix, EditsHoldToTheirLimits) {
    const auto model = [](int frames, size_t skins, const std::string& stem = "") {
        Md2Source s = testing::Tetrahedron(frames);
        for (size_t i = 0; i < skins; ++i) s.skins.push_back("models/s" + std::to_string(i) + ".pcx");
        if (!stem.empty())
            for (size_t f = 0; f < s.frames.size(); ++f) s.frames[f].name = stem + std::to_string(f + 1);
        return fixtures::WriteMd2(s);
    };
    using Check = std::function<void(const Raw&)>;
    const Check none = [](const Raw&) {};
    const std::string name63 = "models/" + std::string(52, 'a') + ".pcx", name64 = name63 + "x";
    const struct {
        Bytes in;
        std::string args;
        int exit;
        Check check;
    } cases[] = {
        {model(1, 2), "--set-skin 1=models/x.pcx", 0, [](const Raw& r) { EXPECT_EQ(r.skins[1], "models/x.pcx"); }},
        {model(1, 2), "--set-skin 2=models/x.pcx", 1, none},
        {model(1, 1), "--set-skin 0=" + name63, 0, [&](const Raw& r) { EXPECT_EQ(r.skins[0], name63); }},
        {model(1, 1), "--set-skin 0=" + name64, 1, none},
        {model(1, 1), "--set-skin 0=../x.pcx", 1, none},
        {model(1, 1), "--set-skin 0='models\\x.pcx'", 1, none},
        {model(1, 1), "--set-skin x.pcx", 2, none},
        {model(1, 31), "--add-skin models/new.pcx", 0, [](const Raw& r) { EXPECT_EQ(r.skins.size(), 32u); EXPECT_EQ(r.skins[31], "models/new.pcx"); }},
        {model(1, 32), "--add-skin models/new.pcx", 1, none},
        {model(1, 3), "--remove-skin 0 --remove-skin 2", 0, [](const Raw& r) { EXPECT_EQ(r.skins, std::vector<std::string>{"models/s1.pcx"}); }},
        {model(1, 3), "--remove-skin 3", 1, none},
        {model(1, 3), "--remove-skin 1 --remove-skin 1", 1, none},
        {model(198, 0), "--rename-animation pain2=hurt", 0, [](const Raw& r) {
             EXPECT_EQ(r.frames[57].name, "pain104");
             EXPECT_EQ(r.frames[62].name, "pain301");
             for (int i = 0; i < 4; ++i) EXPECT_EQ(r.frames[size_t(58 + i)].name, "hurt0" + std::to_string(i + 1));
         }},
        {model(198, 0), "--rename-animation stand=thirteenchars", 0, [](const Raw& r) { EXPECT_EQ(r.frames[39].name, "thirteenchars40"); }},
        {model(198, 0), "--rename-animation stand=abcdefghijklmn", 1, none},
        {model(198, 0), "--rename-animation stand=hurt_", 1, none},
        {model(198, 0), "--rename-animation stand=hurt2", 1, none},
        {model(198, 0), "--rename-animation walk=hurt", 1, none},
        {model(198, 0), "--rename-animation run=stand", 1, none},
        {model(99, 0, "walk"), "--rename-animation walk=go", 0, [](const Raw& r) { EXPECT_EQ(r.frames[98].name, "go99"); }},
        {model(100, 0, "walk"), "--rename-animation walk=go", 1, none},
        {model(198, 0, "f"), "--player-names", 0, [](const Raw& r) { EXPECT_EQ(r.frames[197].name, "death308"); }},
        {model(197, 0), "--player-names", 1, none},
        {model(2, 0), "--scale 2.5 --translate 1,-2,0.5", 0, [](const Raw& r) {
             // Each position within one step of the exact result.
             const Raw was = Read(fixtures::WriteMd2(testing::Tetrahedron(2)));
             for (size_t f = 0; f < 2; ++f)
                 for (size_t v = 0; v < 4; ++v)
                     for (size_t a = 0; a < 3; ++a) {
                         const double exact = 2.5 * (was.frames[f].vertices[v][a] * was.frames[f].scale[a] + was.frames[f].translate[a]) +
                                              std::array<double, 3>{1, -2, 0.5}[a];
                         const double got = r.frames[f].vertices[v][a] * r.frames[f].scale[a] + r.frames[f].translate[a];
                         EXPECT_LE(std::abs(got - exact), r.frames[f].scale[a]);
                     }
         }},
        {model(1, 0), "--scale 0", 2, none},
        {model(1, 0), "--scale -1", 2, none},
        {model(1, 0), "--scale 1e10", 2, none},
        {model(1, 0), "--translate 1,2", 2, none},
        {model(1, 0), "--translate 1e39,0,0", 1, none},
        {[&] { Bytes b = model(3, 0); b.resize(b.size() / 2); return b; }(), "", 1, none},  // cut short
        {Bytes{'I', 'D', 'P', '3'}, "", 1, none},
    };
    for (const auto& c : cases) {
        const fs::path in = Put("in.md2", c.in), out = dir.Path() / "out.md2";
        fs::remove(out);
        const auto r = RunCli("fix " + Quote(in) + " -o " + Quote(out) + " " + c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.args << "\n" << r.err;
        EXPECT_EQ(fs::exists(out), c.exit == 0) << c.args;
        if (c.exit != 0) {
            EXPECT_NE(r.err.find("meshara-cli"), std::string::npos) << c.args;
        } else {
            c.check(Read(testing::ReadAll(out)));
        }
    }
}

// Readers that share nothing with Meshara take the mended file: Assimp's MD2 importer and three.js's MD2Loader.
TEST_F(Fix, AssimpAndThreeJsReadTheMendedFile) {
    const fs::path in = Put("m/tris.md2", fixtures::WriteMd2(Faulty().s)), out = dir.Path() / "m/mended.md2";
    ASSERT_EQ(RunCli("fix " + Quote(in) + " -o " + Quote(out)).exitCode, 0);
    const Bytes bytes = testing::ReadAll(out);
    Assimp::Importer assimp;
    const aiScene* scene = assimp.ReadFileFromMemory(bytes.data(), bytes.size(), 0, "md2");
    ASSERT_TRUE(scene && scene->mNumMeshes == 1) << assimp.GetErrorString();
    EXPECT_EQ(scene->mMeshes[0]->mNumFaces, 5u);

    const fs::path node = MESHARA_NODE_DIR;
    if (!fs::exists(node / "node_modules/three"))
        if (std::system(("'" NPM "' install --silent --prefix " + Quote(node) + " three@0.187.0 >/dev/null 2>&1").c_str()) != 0)
            GTEST_SKIP() << "three could not be installed from npm into " << node;
    fs::copy_file(MESHARA_THREE_SCRIPT, node / "md2_three.mjs", fs::copy_options::overwrite_existing);
    const fs::path said = dir.Path() / "three.json";
    ASSERT_EQ(std::system(("'" NODE "' " + Quote(node / "md2_three.mjs") + " " + Quote(out) + " >" + Quote(said)).c_str()), 0);
    const Bytes json = testing::ReadAll(said);
    EXPECT_EQ(std::string(json.begin(), json.end()), "{\"triangles\":5,\"frames\":2,\"clips\":[\"stand\"],\"finite\":true}\n");
}

}  // namespace
}  // namespace meshara
