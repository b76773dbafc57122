// meshara-cli convert and convert/: glTF and OBJ made into MD2, checked
// against the corpus through export and back, against skinning and morphing
// computed here, and against hostile files.

#include <gtest/gtest.h>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "convert/md2_build.h"
#include "convert/md2_normals.h"
#include "convert/model_import.h"
#include "export/gltf_export.h"
#include "formats/png_writer.h"
#include "formats/skin_decoder.h"
#include "formats/md2_writer.h"
#include "formats/pcx_writer.h"
#include "model/animations.h"
#include "model/md2_model.h"
#include "model/normals.h"
#include "session/messages.h"
#include "session/scene_setup.h"
#include "session/status_line.h"
#include "tests/cli_support.h"
#include "tests/gltf_fixture.h"
#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
namespace tg = tinygltf;
using testing::AddMesh;
using testing::Bytes;
using testing::GltfFixture;
using testing::Quote;
using testing::RunCli;
using testing::Tube;

// Directions spread evenly over the sphere.
Vec3d Spiral(int i, int count) {
    const double z = 1 - 2 * (i + 0.5) / count, r = std::sqrt(1 - z * z), phi = i * 2.399963229728653;
    return {r * std::cos(phi), r * std::sin(phi), z};
}

// The cosine of the widest angle between a direction and its nearest in the
// normal table (about 0.2 radians; measured over a fine sphere of directions).
const double kTableResolution = [] {
    double worst = 1;
    for (int i = 0; i < 20000; ++i) {
        const Vec3d d = Spiral(i, 20000);
        const auto& n = kMd2Normals[NearestMd2Normal(d.x, d.y, d.z)];
        worst = std::min(worst, n[0] * d.x + n[1] * d.y + n[2] * d.z);
    }
    return std::cos(std::acos(worst) + 0.01);  // the sampling's margin
}();

TEST(Md2Normals, TheQuickSearchFindsTheNearestOfAllTheTable) {
    for (int i = 0; i < 200000; ++i) {
        const Vec3d d = Spiral(i, 200000);
        double best = -1;
        for (const auto& n : kMd2Normals) best = std::max(best, n[0] * d.x + n[1] * d.y + n[2] * d.z);
        const auto& n = kMd2Normals[NearestMd2Normal(3 * d.x, 3 * d.y, 3 * d.z)];
        ASSERT_GT(n[0] * d.x + n[1] * d.y + n[2] * d.z, best - 1e-3) << i;
    }
    EXPECT_EQ(NearestMd2Normal(0, 0, 0), NearestMd2Normal(0, 0, 1));
}

uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// The triangles an MD2's GL commands draw, each as its corners' vertex
// indices in GL's winding (a strip's odd triangles turned back), rotated
// to start at the smallest; fails the test on a malformed list.
std::multiset<std::array<uint32_t, 3>> GlTriangles(const std::vector<uint8_t>& file) {
    std::multiset<std::array<uint32_t, 3>> out;
    const auto canonical = [](std::array<uint32_t, 3> t) {
        while (t[0] > t[1] || t[0] > t[2]) t = {t[1], t[2], t[0]};
        return t;
    };
    size_t at = Word(file, 60), end = at + 4 * size_t{Word(file, 36)};
    while (at + 4 <= end) {
        const int32_t n = static_cast<int32_t>(Word(file, at));
        at += 4;
        if (n == 0) return out;
        const size_t count = static_cast<size_t>(std::abs(n));
        std::vector<uint32_t> v;
        for (size_t i = 0; i < count; ++i, at += 12) v.push_back(Word(file, at + 8));
        for (size_t k = 0; k + 2 < count; ++k)
            out.insert(canonical(n < 0 ? std::array{v[0], v[k + 1], v[k + 2]}
                                 : k % 2 ? std::array{v[k + 1], v[k], v[k + 2]} : std::array{v[k], v[k + 1], v[k + 2]}));
    }
    ADD_FAILURE() << "GL commands do not end with a zero";
    return out;
}

std::multiset<std::array<uint32_t, 3>> FileTriangles(const std::vector<uint8_t>& file) {
    std::multiset<std::array<uint32_t, 3>> out;
    const size_t count = Word(file, 32), at = Word(file, 52);
    for (size_t t = 0; t < count; ++t) {
        std::array<uint32_t, 3> v;
        for (size_t c = 0; c < 3; ++c) v[c] = file[at + 12 * t + 2 * c] | file[at + 12 * t + 2 * c + 1] << 8;
        while (v[0] > v[1] || v[0] > v[2]) v = {v[1], v[2], v[0]};
        out.insert(v);
    }
    return out;
}

std::shared_ptr<Md2Model> Parse(const std::vector<uint8_t>& bytes) {
    auto model = ParseMd2Model(bytes, "converted.md2");
    EXPECT_TRUE(model) << model.Detail();
    return model ? model.Take() : nullptr;
}


// Each frame of the converted file against where the test puts every vertex
// at that frame's time (glTF axes), within half a step of the frame's own.
void ExpectFrames(const SourceMesh& source, const std::vector<std::pair<double, std::function<Vec3d(size_t, double)>>>& times) {
    auto built = BuildMd2(source, {});
    ASSERT_TRUE(built) << built.Detail();
    const Md2Output& out = built.Value().file;
    ASSERT_EQ(out.frames.size(), times.size());
    for (size_t f = 0; f < times.size(); ++f) {
        const Md2Frame& frame = out.frames[f];
        for (size_t v = 0; v < frame.vertices.size(); ++v) {
            const Vec3d g = times[f].second(v, times[f].first);
            const double want[3] = {g.z * 32, g.x * 32, g.y * 32};
            const uint8_t got[3] = {frame.vertices[v].x, frame.vertices[v].y, frame.vertices[v].z};
            for (int axis = 0; axis < 3; ++axis)
                ASSERT_NEAR(got[axis] * double{frame.scale[axis]} + frame.translate[axis], want[axis],
                            frame.scale[axis] * 0.501 + 1e-4)
                    << "frame " << f << " vertex " << v << " axis " << axis;
        }
    }
}

TEST(ConvertGltf, SkinnedTubeBendsAsLinearBlendSkinning) {
    const Tube tube;
    GltfFixture g;
    std::vector<float> joints, weights;
    for (size_t v = 0; v < tube.Count(); ++v) {
        const float w1 = std::clamp(static_cast<float>(tube.At(v).y) - 0.5f, 0.0f, 1.0f);
        joints.insert(joints.end(), {0, 1, 0, 0});
        weights.insert(weights.end(), {1 - w1, w1, 0, 0});
    }
    const int jointsAccessor = g.Floats(joints, TINYGLTF_TYPE_VEC4);
    const int mesh = AddMesh(g, tube, {{"JOINTS_0", jointsAccessor}, {"WEIGHTS_0", g.Floats(weights, TINYGLTF_TYPE_VEC4)}});
    tg::Node root, tip, body;
    root.children = {1};
    tip.translation = {0, 1, 0};
    body.mesh = mesh;
    body.skin = 0;
    g.m.nodes = {root, tip, body};
    g.m.scenes[0].nodes = {0, 2};
    tg::Skin skin;
    skin.joints = {0, 1};
    skin.inverseBindMatrices = g.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,  //
                                         1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1},
                                        TINYGLTF_TYPE_MAT4);
    g.m.skins.push_back(skin);
    const float h = static_cast<float>(std::sqrt(0.5));
    g.Animate("bend", 1, "rotation", {0, 1}, {0, 0, 0, 1, 0, 0, h, h}, TINYGLTF_TYPE_VEC4);
    const std::string text = g.Text();
    auto source = ReadGltf(Bytes(text), {});
    ASSERT_TRUE(source) << source.Detail();
    // Joint 1 turns a quarter about Z over the second, at an even pace.
    const auto skinned = [&](size_t v, double t) {
        const Vec3d p = tube.At(v);
        const double w1 = std::clamp(p.y - 0.5, 0.0, 1.0), a = M_PI / 2 * t;
        const Vec3d bent{std::cos(a) * p.x - std::sin(a) * (p.y - 1), std::sin(a) * p.x + std::cos(a) * (p.y - 1) + 1, p.z};
        return Vec3d{(1 - w1) * p.x + w1 * bent.x, (1 - w1) * p.y + w1 * bent.y, (1 - w1) * p.z + w1 * bent.z};
    };
    std::vector<std::pair<double, std::function<Vec3d(size_t, double)>>> frames;
    for (int i = 0; i <= 10; ++i) frames.emplace_back(i / 10.0, skinned);
    ExpectFrames(source.Value(), frames);
    EXPECT_EQ(source.Value().frameNames.front(), "bend01");
    EXPECT_EQ(source.Value().frameNames.back(), "bend11");
}

TEST(ConvertGltf, MorphTargetsUnderAMovedNodeAndClipsOfOtherWritersKeepEveryFrame) {
    const Tube tube;
    GltfFixture g;
    std::vector<float> bulge, lean;
    for (size_t v = 0; v < tube.Count(); ++v) {
        const Vec3d p = tube.At(v);
        bulge.insert(bulge.end(), {static_cast<float>(p.x), 0, static_cast<float>(p.z)});
        lean.insert(lean.end(), {static_cast<float>(0.3 * p.y), 0, 0});
    }
    const int mesh = AddMesh(g, tube);
    g.m.meshes[0].primitives[0].targets = {{{"POSITION", g.Floats(bulge, TINYGLTF_TYPE_VEC3)}},
                                           {{"POSITION", g.Floats(lean, TINYGLTF_TYPE_VEC3)}}};
    g.m.meshes[0].weights = {0, 0};
    tg::Node parent, body;
    parent.children = {1};
    parent.translation = {1, 2, 3};
    parent.scale = {2, 2, 2};
    body.mesh = mesh;
    g.m.nodes = {parent, body};
    g.m.scenes[0].nodes = {0};
    g.Animate("sway", 1, "weights", {0, 0.5f, 1}, {0, 0, 1, 0, 0, 1}, TINYGLTF_TYPE_SCALAR);
    g.Animate("pulse", 1, "weights", {0, 0.1f, 0.2f}, {0, 0, 1, 0, 0, 0}, TINYGLTF_TYPE_SCALAR);
    const std::string text = g.Text();
    auto source = ReadGltf(Bytes(text), {});
    ASSERT_TRUE(source) << source.Detail();
    const auto morphed = [&](double w0, double w1) {
        return [&tube, w0, w1](size_t v, double) {
            const Vec3d p = tube.At(v);
            const Vec3d q{p.x + w0 * p.x + w1 * 0.3 * p.y, p.y, p.z + w0 * p.z};
            return Vec3d{1 + 2 * q.x, 2 + 2 * q.y, 3 + 2 * q.z};
        };
    };
    std::vector<std::pair<double, std::function<Vec3d(size_t, double)>>> frames;
    for (int i = 0; i <= 10; ++i) {
        const double t = i / 10.0;
        frames.emplace_back(t, t <= 0.5 ? morphed(2 * t, 0) : morphed(2 - 2 * t, 2 * t - 1));
    }
    frames.emplace_back(0, morphed(0, 0));  // pulse ends where it starts, and that last key is a frame too
    frames.emplace_back(0, morphed(1, 0));
    frames.emplace_back(0, morphed(0, 0));
    ExpectFrames(source.Value(), frames);
    std::vector<std::string> names;
    for (const std::string& n : source.Value().frameNames) names.push_back(FrameStem(n));
    EXPECT_EQ(FindAnimations(names).size(), 2u);

    GltfReadOptions only;
    only.animations = {"pulse"};
    only.framesPerSecond = 20;
    auto pulse = ReadGltf(Bytes(text), only);
    ASSERT_TRUE(pulse) << pulse.Detail();
    EXPECT_EQ(pulse.Value().frameNames, (std::vector<std::string>{"pulse01", "pulse02", "pulse03", "pulse04", "pulse05"}));
}

// Export closes each looping clip with a key back at its first frame and marks it; convert drops that key and no
// other frame, also where a clip's last frame equals its first (a death lying down where it fell, a stand that
// sways back), and reads exports made before the mark by the rule they were made by.
TEST(ConvertGltf, AnExportConvertsBackWithEveryFrameWhereverItsClipsEnd) {
    fixtures::Md2Source m = testing::SmallQuad();
    m.frames.clear();
    const auto frame = [](const char* name, uint8_t lift) {
        return fixtures::Md2Source::Frame{.name = name, .vertices = {{0, 0, lift, 0}, {10, 0, 0, 0}, {10, 10, 0, 0}, {0, 10, 0, 0}}};
    };
    for (const auto& [name, lift] : {std::pair{"stand01", 0}, {"stand02", 4}, {"stand03", 0}, {"crdeath101", 1},
                                     {"crdeath102", 7}, {"crdeath103", 1}, {"run1", 2}})
        m.frames.push_back(frame(name, static_cast<uint8_t>(lift)));
    const auto model = ParseMd2Model(fixtures::WriteMd2(m), "m.md2").Take();
    const auto replaced = [](std::vector<uint8_t> bytes, const std::string& from, const std::string& to) {
        std::string text(bytes.begin(), bytes.end());  // same lengths: the binary file stays whole
        for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    const auto keep = [](std::vector<uint8_t> b) { return b; };
    const auto unmarked = [&](std::vector<uint8_t> b) { return replaced(b, "\"closingKey\":true", "\"closingKex\":true"); };
    const auto otherWriter = [&](std::vector<uint8_t> b) { return replaced(unmarked(b), "\"Meshara ", "\"Mexhara "); };
    const struct { bool loopAll; std::function<std::vector<uint8_t>(std::vector<uint8_t>)> edit; size_t frames; } cases[] = {
        {false, keep, 7}, {true, keep, 7},           // marked: only the closing keys go
        {false, unmarked, 7}, {true, unmarked, 8},   // before the mark: the deaths were not closed, read so
        {false, otherWriter, 8},                     // another writer's keys are all frames: stand's closing key too
    };
    for (const auto& c : cases) {
        GltfExportOptions options;
        options.animations = model->animations;
        options.oneShots = c.loopAll ? std::vector<std::string>{} : DefaultOneShots(*model);
        auto glb = ExportGltf(*model, options);
        ASSERT_TRUE(glb) << glb.Detail();
        auto source = ReadGltf(c.edit(glb.Value()), {});
        ASSERT_TRUE(source) << source.Detail();
        EXPECT_EQ(source.Value().frames.size(), c.frames) << c.loopAll << " " << c.frames;
        for (size_t f = 0; c.frames == 7 && f < 7; ++f) {
            EXPECT_EQ(FrameStem(source.Value().frameNames[f]), FrameStem(m.frames[f].name)) << f;
        }
    }
}

TEST(ConvertCorpus, ExportThenConvertGivesBackEveryModelInPlace) {
    MESHARA_REQUIRE_CORPUS();
    for (const char* name : {"faerie.md2", "sydney.md2", "dolphin.md2", "horse.md2", "flag.md2"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> originalBytes = testing::ReadAll(testing::CorpusDir() / "md2" / name);
        auto original = ParseMd2Model(originalBytes, name).Take();
        GltfExportOptions exportOptions;
        exportOptions.animations = original->animations;
        exportOptions.oneShots = DefaultOneShots(*original);
        auto glb = ExportGltf(*original, exportOptions);
        ASSERT_TRUE(glb) << glb.Detail();
        auto source = ReadGltf(glb.Value(), {});
        ASSERT_TRUE(source) << source.Detail();
        Md2BuildOptions options;
        options.skinWidth = static_cast<int32_t>(Word(originalBytes, 8));
        options.skinHeight = static_cast<int32_t>(Word(originalBytes, 12));
        auto built = BuildMd2(source.Value(), options);
        ASSERT_TRUE(built) << built.Detail();
        const std::vector<uint8_t> bytes = EncodeMd2(built.Value().file);
        auto back = Parse(bytes);
        ASSERT_TRUE(back);

        // An independent MD2 reader takes the file too: Assimp's, which reads frame 0.
        Assimp::Importer assimp;
        const aiScene* scene = assimp.ReadFileFromMemory(bytes.data(), bytes.size(), 0, "md2");
        ASSERT_TRUE(scene && scene->mNumMeshes == 1) << assimp.GetErrorString();
        EXPECT_EQ(scene->mMeshes[0]->mNumFaces, original->triangles.size());

        ASSERT_EQ(back->FrameCount(), original->FrameCount());
        ASSERT_EQ(back->animations.size(), original->animations.size());
        for (size_t a = 0; a < back->animations.size(); ++a) {
            EXPECT_EQ(back->animations[a].name, original->animations[a].name);
            EXPECT_EQ(back->animations[a].first, original->animations[a].first);
            EXPECT_EQ(back->animations[a].last, original->animations[a].last);
        }
        ASSERT_EQ(back->triangles.size(), original->triangles.size());
        EXPECT_EQ(GlTriangles(bytes), FileTriangles(bytes));
        // Vertices the conversion welded had no one normal in the original.
        std::map<uint16_t, std::set<uint16_t>> originalsOf;
        for (size_t t = 0; t < original->triangles.size(); ++t)
            for (int c = 0; c < 3; ++c) originalsOf[back->triangles[t].vertex[c]].insert(original->triangles[t].vertex[c]);
        size_t normals = 0, facingAway = 0, farFromSmooth = 0;
        for (int32_t f = 0; f < original->FrameCount(); ++f) {
            const Md2Frame &a = original->frames[static_cast<size_t>(f)], &b = back->frames[static_cast<size_t>(f)];
            const std::vector<Vec3d> smooth = FrameNormals(*back, f), originalSmooth = FrameNormals(*original, f);
            for (size_t t = 0; t < original->triangles.size(); ++t)
                for (int c = 0; c < 3; ++c) {
                    const uint16_t va = original->triangles[t].vertex[c], vb = back->triangles[t].vertex[c];
                    const Vec3d p = VertexPosition(a, va), q = VertexPosition(b, vb);
                    const double d[3] = {p.x - q.x, p.y - q.y, p.z - q.z};
                    for (int axis = 0; axis < 3; ++axis)
                        ASSERT_LE(std::abs(d[axis]), std::abs(a.scale[axis]) * 1.001 + 1e-5)
                            << "frame " << f << " triangle " << t << " corner " << c << " axis " << axis;
                    if (f == 0) {
                        EXPECT_EQ(original->triangles[t].texCoord[c][0], back->triangles[t].texCoord[c][0]);
                        EXPECT_EQ(original->triangles[t].texCoord[c][1], back->triangles[t].texCoord[c][1]);
                    }
                    // Smooth normals in Quake's axes (the model's y is negated).
                    const auto& na = kMd2Normals[a.vertices[va].normalIndex];
                    const auto& nb = kMd2Normals[b.vertices[vb].normalIndex];
                    const Vec3d s = smooth[vb], o = originalSmooth[va];
                    const double len = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
                    ++normals;
                    // Where the file's own normal is rough, there is no way it faces.
                    if (originalsOf[vb].size() == 1 && na[0] * o.x - na[1] * o.y + na[2] * o.z > 0 &&
                        na[0] * nb[0] + na[1] * nb[1] + na[2] * nb[2] <= 0)
                        ++facingAway;
                    if (len > 0 && (nb[0] * s.x - nb[1] * s.y + nb[2] * s.z) / len < kTableResolution) ++farFromSmooth;
                }
        }
        // Where the faces round a vertex all but cancel, its direction is
        // rounding noise: a few corners in ten thousand, one vertex in a small model.
        EXPECT_LE(farFromSmooth * 1000, normals) << farFromSmooth << " of " << normals;
        EXPECT_LE(facingAway * 10000, normals) << facingAway << " of " << normals;
    }
}

}  // namespace
}  // namespace meshara

namespace meshara {
namespace {

TEST(ConvertObj, FacesFanIntoTrianglesAndSeamsWeld) {
    const std::string square = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    struct Case {
        const char* faces;
        size_t triangles, vertices, texCoords;
    } cases[] = {
        {"f 1/1 2/2 3/3 4/4\n", 2, 4, 4},
        {"f -4/-4 -3/-3 -2/-2\n", 1, 3, 3},
        {"g a\nusemtl m\nf 1/1/1 2/2/1 3/3/1\ns 1\nf 1/4 3/3 4/2\n", 2, 4, 4},  // 1 meets the seam in two places
        {"f 1 2 3\n", 1, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faces);
        auto source = ReadObj(Bytes(square + c.faces));
        ASSERT_TRUE(source) << source.Detail();
        auto built = BuildMd2(source.Value(), {});
        ASSERT_TRUE(built) << built.Detail();
        EXPECT_EQ(built.Value().file.triangles.size(), c.triangles);
        EXPECT_EQ(built.Value().file.vertexCount, static_cast<int32_t>(c.vertices));
        EXPECT_EQ(built.Value().file.texCoords.size(), c.texCoords);
        const std::vector<uint8_t> bytes = EncodeMd2(built.Value().file);
        EXPECT_EQ(GlTriangles(bytes), FileTriangles(bytes));
        ASSERT_TRUE(Parse(bytes));
    }
    for (const char* bad : {"v 0 0 0\nf 1 1 2\n", "v 0 nan 0\nv 0 0 0\nv 1 1 1\nf 1 2 3\n", "v 0 0 0\n", "f 1/x 2 3\n"}) {
        auto source = ReadObj(Bytes(bad));
        EXPECT_FALSE(source) << bad;
        EXPECT_FALSE(source.Detail().empty());
    }
}

TEST(ConvertGltf, HostileFilesAreRefusedWithAReason) {
    const Tube tube;
    const auto base = [&tube] {
        GltfFixture g;
        AddMesh(g, tube);
        g.m.nodes.emplace_back().mesh = 0;
        g.m.scenes[0].nodes = {0};
        return g;
    };
    struct Case {
        const char* what;
        std::function<void(GltfFixture&)> damage;
        const char* reason;
    } cases[] = {
        {"cycle", [](GltfFixture& g) { g.m.nodes.emplace_back().children = {0}; g.m.nodes[0].children = {1}; }, "cycle"},
        {"two parents", [](GltfFixture& g) { g.m.nodes.emplace_back().children = {0}; g.m.nodes.emplace_back().children = {0}; },
         "more than one parent"},
        {"past its buffer", [](GltfFixture& g) { g.m.accessors[0].count = 100000; }, "past the end"},
        {"huge count", [](GltfFixture& g) { g.m.accessors[0].count = size_t{1} << 40; }, "too many"},
        {"view past its buffer", [](GltfFixture& g) { g.m.bufferViews[1].byteLength = 1u << 30; }, "past the end"},
        {"NaN weights", [](GltfFixture& g) {
             g.m.meshes[0].primitives[0].targets = {{{"POSITION", 0}}};
             g.Animate("a", 0, "weights", {0, 1}, {0, std::nanf("")}, TINYGLTF_TYPE_SCALAR);
         }, "not finite"},
        {"index past the vertices", [](GltfFixture& g) { g.m.meshes[0].primitives[0].indices = g.Indices({0, 1, 1000}); }, "vertex"},
        {"two meshes", [](GltfFixture& g) { g.m.nodes.emplace_back().mesh = 0; }, "--mesh"},
        {"keys backwards", [](GltfFixture& g) { g.Animate("a", 0, "translation", {1, 0}, {0, 0, 0, 1, 1, 1}, TINYGLTF_TYPE_VEC3); },
         "backwards"},
    };
    for (const Case& c : cases) {
        GltfFixture g = base();
        c.damage(g);
        const std::string text = g.Text();
        auto source = ReadGltf(Bytes(text), {});
        EXPECT_FALSE(source) << c.what;
        EXPECT_NE(source.Detail().find(c.reason), std::string::npos) << c.what << ": " << source.Detail();
    }
    for (const char* text : {"", "glTF", "{\"asset\":{\"version\":\"2.0\"}}", "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"uri\":\"/etc/passwd\",\"byteLength\":4}]}"})
        EXPECT_FALSE(ReadGltf(Bytes(text), {})) << text;
}

TEST(ConvertCli, LimitsSkinNamesAndUsage) {
    testing::TempDir dir;
    std::string faces = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    for (int i = 0; i < 4097; ++i) faces += "f 1 2 3\n";
    const fs::path big = dir.Write("big.obj", std::vector<uint8_t>(faces.begin(), faces.end()));
    const fs::path out = dir.Path() / "out.md2";
    struct Case {
        std::string args;
        int exit;
        const char* says;
    } cases[] = {
        {Quote(big) + " -o " + Quote(out), 1, "4096 (--ignore-engine-limits"},
        {Quote(big) + " -o " + Quote(out) + " --ignore-engine-limits --skin models/a/skin.pcx --skin-size 64x32", 0, "4097 triangles"},
        {Quote(big) + " -o " + Quote(out) + " --ignore-engine-limits --skin " + std::string(64, 'a'), 1, "at most 63"},
        {Quote(big) + " -o " + Quote(dir.Path() / "out.obj"), 2, "named OUT.md2"},
        {Quote(big) + " -o " + Quote(out) + " --fps 20", 2, "for glTF"},
        {Quote(big) + " -o " + Quote(out) + " --skin-size 64", 2, "WxH"},
        {Quote(dir.Path() / "missing.glb") + " -o " + Quote(out), 1, "cannot read"},
    };
    for (const Case& c : cases) {
        const auto run = RunCli("convert " + c.args);
        EXPECT_EQ(run.exitCode, c.exit) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args << "\n" << run.err;
    }
    // The viewer and every command open glTF and OBJ as the MD2 convert makes.
    Document doc;
    ASSERT_FALSE(OpenModelFile(doc.models, big.string()));  // as convert refuses it
    const fs::path small = dir.Write("small.obj", std::vector<uint8_t>(faces.begin(), faces.begin() + 32));
    ASSERT_TRUE(OpenModelFile(doc.models, small.string()));
    EXPECT_NE(StatusLine(doc, ViewState{}).find("1 triangles \u00b7 shown as the MD2 meshara-cli convert makes"),
              std::string::npos) << StatusLine(doc, ViewState{});
    const fs::path broken = dir.Write("broken.gltf", {'{'});
    auto refused = OpenModelFile(doc.models, broken.string());
    ASSERT_FALSE(refused);
    EXPECT_STREQ(UserMessage(FileKind::Model, refused.Why()), msg::kCannotConvertModel);
    EXPECT_EQ(doc.models.Count(), 1);
    const auto info = RunCli("info " + Quote(out));
    EXPECT_NE(info.out.find("triangles: 4097"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("models/a/skin.pcx"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace meshara

namespace meshara {
namespace {

TEST(ConvertCli, TheTextureBecomesAnEightBitSkinWithItsOwnPaletteOrTheGamesOne) {
    // A 5 x 3 picture of three colours (odd width: PCX rows are padded).
    std::vector<uint8_t> rgb;
    const uint8_t colours[3][3] = {{200, 30, 30}, {20, 180, 60}, {250, 220, 40}};
    for (int i = 0; i < 15; ++i) rgb.insert(rgb.end(), colours[i % 3], colours[i % 3] + 3);
    const std::vector<uint8_t> png = EncodePng(5, 3, rgb, 3);
    GltfFixture g;
    const Tube tube;
    AddMesh(g, tube);
    g.m.nodes.emplace_back().mesh = 0;
    g.m.scenes[0].nodes = {0};
    auto& data = g.m.buffers[0].data;
    tg::BufferView view;
    view.buffer = 0, view.byteOffset = data.size(), view.byteLength = png.size();
    data.insert(data.end(), png.begin(), png.end());
    g.m.bufferViews.push_back(view);
    tg::Image image;
    image.bufferView = static_cast<int>(g.m.bufferViews.size() - 1);
    image.mimeType = "image/png";
    g.m.images.push_back(image);
    g.m.textures.emplace_back().source = 0;
    g.m.materials.emplace_back().pbrMetallicRoughness.baseColorTexture.index = 0;
    g.m.meshes[0].primitives[0].material = 0;
    const std::string text = g.Text();

    testing::TempDir dir;
    const fs::path in = dir.Write("tube.gltf", std::vector<uint8_t>(text.begin(), text.end()));
    fixtures::IndexedPicture game;  // a game palette: grey ramp, with the three colours a little off
    game.width = game.height = 1;
    game.indices = {0};
    for (int c = 0; c < 256; ++c) game.palette.push_back({static_cast<uint8_t>(c), static_cast<uint8_t>(c), static_cast<uint8_t>(c)});
    game.palette[10] = {198, 32, 29}, game.palette[11] = {22, 177, 61}, game.palette[12] = {252, 221, 38};
    const fs::path palette = dir.Write("colormap.pcx", fixtures::WritePcx(game));
    struct Case {
        std::string options;
        std::array<std::array<uint8_t, 3>, 3> want;
    } cases[] = {
        {"", {{{200, 30, 30}, {20, 180, 60}, {250, 220, 40}}}},
        {" --palette " + Quote(palette), {{{198, 32, 29}, {22, 177, 61}, {252, 221, 38}}}},
    };
    for (const Case& c : cases) {
        const fs::path md2 = dir.Path() / "tube.md2", pcx = dir.Path() / "skin.pcx";
        const auto run = RunCli("convert " + Quote(in) + " -o " + Quote(md2) + " --write-skin " + Quote(pcx) + c.options);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("skin 5x3"), std::string::npos) << run.err;
        const std::vector<uint8_t> bytes = testing::ReadAll(pcx);
        ASSERT_TRUE(ReadPcxPalette(bytes));
        auto skin = DecodeSkinImage(bytes);
        ASSERT_TRUE(skin) << skin.Detail();
        ASSERT_EQ(skin.Value().width, 5);
        for (int i = 0; i < 15; ++i)
            for (int k = 0; k < 3; ++k) EXPECT_EQ(skin.Value().pixels[3 * i + k], c.want[i % 3][k]) << c.options << " pixel " << i;
    }
    // Opened as a model, the glTF wears its texture.
    Document doc;
    auto slot = OpenModelFile(doc.models, in.string());
    ASSERT_TRUE(slot);
    ASSERT_TRUE(slot.Value()->Map(MapKind::Texture));
    EXPECT_EQ(slot.Value()->Map(MapKind::Texture)->pixels, rgb);
    const auto obj = RunCli("convert " + Quote(dir.Write("t.obj", {'v', ' ', '0', ' ', '0', ' ', '0', '\n'})) + " -o " +
                            Quote(dir.Path() / "t.md2") + " --write-skin " + Quote(dir.Path() / "t.pcx"));
    EXPECT_EQ(obj.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir.Path() / "t.md2"));
}

// glTF is told by its content wherever it lies: inside a game archive for every command and the viewer, and as
// binary glTF under any name.
TEST(ConvertCli, GltfFromInsideAnArchiveOpensEverywhereAndAGlbIsToldByItsContent) {
    testing::TempDir dir;
    auto model = ParseMd2Model(fixtures::WriteMd2(testing::SmallQuad()), "quad.md2");
    ASSERT_TRUE(model) << model.Detail();
    GltfExportOptions options;
    options.binary = true;
    auto glb = ExportGltf(*model.Value(), options);
    ASSERT_TRUE(glb) << glb.Detail();
    dir.Write("game/pak0.pk3", fixtures::WriteZip({{"models/q/tris.glb", glb.Value()}}));
    const std::string inside = (dir.Path() / "game/pak0.pk3/models/q/tris.glb").string();
    const fs::path named = dir.Write("quad.glb", glb.Value()), bin = dir.Write("quad.bin", glb.Value());
    const fs::path out = dir.Path() / "out";
    fs::create_directories(out);
    const struct { std::string args; const char* says; } commands[] = {
        {"convert " + Quote(inside) + " -o " + Quote(out / "a.md2"), ""},
        {"render " + Quote(inside) + " --new-light --fit -o " + Quote(out / "a.png"), ""},
        {"export " + Quote(inside) + " -o " + Quote(out / "a.obj"), ""},
        {"thumbnail " + Quote(inside) + " " + Quote(out / "t.png"), ""},
        {"info " + Quote(inside), "triangles: 2"},
        {"convert " + Quote(named) + " -o " + Quote(out / "named.md2"), ""},
        {"convert " + Quote(bin) + " -o " + Quote(out / "bin.md2"), ""},
    };
    for (const auto& c : commands) {
        const auto run = RunCli(c.args);
        EXPECT_EQ(run.exitCode, 0) << c.args << "\n" << run.err;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << c.args << "\n" << run.out;
    }
    EXPECT_EQ(testing::ReadAll(out / "bin.md2"), testing::ReadAll(out / "named.md2"));
    EXPECT_EQ(testing::ReadAll(out / "a.md2"), testing::ReadAll(out / "named.md2"));
    // The viewer opens models through the same call.
    Document doc;
    auto opened = OpenModelFile(doc.models, inside);
    ASSERT_TRUE(opened) << opened.Detail();
    EXPECT_EQ(opened.Value()->model->TriangleCount(), 2);
    // A file that is neither, whatever its name, is refused as what its content is.
    const auto md2 = RunCli("convert " + Quote(dir.Write("m.glb", fixtures::WriteMd2(testing::SmallQuad()))) + " -o " +
                            Quote(out / "m.md2"));
    EXPECT_EQ(md2.exitCode, 1);
    EXPECT_NE(md2.err.find("is not a glTF or OBJ file (its content is MD2)"), std::string::npos) << md2.err;
}

}  // namespace
}  // namespace meshara
