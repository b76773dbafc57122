// meshara-cli export, read back by Assimp, a reader that shares no code with
// Meshara: every frame's positions and normals after the morph weights,
// texture coordinates, winding, animations and the embedded picture.

#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "formats/skin_decoder.h"
#include "model/corner_weld.h"
#include "model/md2_model.h"
#include "model/normals.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::RunCli;

// The exported axes, stated independently of the exporter: Quake's forward
// (the loader's x) is glTF's +Z, up (z) is +Y, left (the loader's -y) is +X.
aiVector3D Expected(const Vec3d& p, double scale) {
    return {static_cast<float>(-p.y * scale), static_cast<float>(p.z * scale), static_cast<float>(p.x * scale)};
}
aiVector3D ExpectedNormal(const Vec3d& n) {
    return (n.x == 0 && n.y == 0 && n.z == 0) ? aiVector3D(0, 1, 0) : Expected(n, 1);
}

// Counts mismatches and reports the first few, so one fault does not flood the log.
struct Mismatches {
    int count = 0;
    void Near(const aiVector3D& got, const aiVector3D& want, float tolerance, const std::string& what) {
        if ((got - want).Length() <= tolerance) return;
        if (++count <= 3)
            ADD_FAILURE() << what << ": got (" << got.x << ", " << got.y << ", " << got.z << "), want (" << want.x
                          << ", " << want.y << ", " << want.z << ")";
    }
};

std::shared_ptr<Md2Model> Load(const fs::path& path) {
    auto loaded = LoadMd2Model(path.string());
    EXPECT_TRUE(loaded) << path << ": " << loaded.Detail();
    return loaded ? loaded.Take() : nullptr;
}

// The picture of the mesh's material (embedded, or a file beside the model)
// holds the skin's pixels.
void ExpectSkin(const aiScene& scene, const fs::path& folder, const SkinImage* skin) {
    aiString name;
    const aiMaterial* material = scene.mMaterials[scene.mMeshes[0]->mMaterialIndex];
    const bool textured = material->GetTexture(aiTextureType_DIFFUSE, 0, &name) == AI_SUCCESS;
    ASSERT_EQ(textured, skin != nullptr);
    if (!skin) return;
    testing::RgbaPicture picture;
    if (const aiTexture* embedded = scene.GetEmbeddedTexture(name.C_Str())) {
        ASSERT_EQ(embedded->mHeight, 0u) << "kept as a compressed file";
        EXPECT_STREQ(embedded->achFormatHint, "png");
        const auto* bytes = reinterpret_cast<const uint8_t*>(embedded->pcData);
        picture = testing::DecodePng(std::vector<uint8_t>(bytes, bytes + embedded->mWidth));
    } else {
        picture = testing::ReadPng(folder / name.C_Str());
    }
    ASSERT_EQ(picture.width, skin->width);
    ASSERT_EQ(picture.height, skin->height);
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < picture.pixels.size(); i += 4)
        rgb.insert(rgb.end(), picture.pixels.begin() + static_cast<long>(i), picture.pixels.begin() + static_cast<long>(i) + 3);
    EXPECT_TRUE(rgb == skin->pixels) << "the pixels differ from Meshara's decoding";
}

// Every corner of a mesh Assimp read against frame K of the model: position,
// normal and texture coordinate (Assimp gives v upward, from the picture's bottom).
struct Pose {
    std::vector<aiVector3D> positions, normals;
};
void ExpectFrame(const aiMesh& mesh, const Pose& pose, const Md2Model& model, int32_t frame, double scale,
                 const std::string& what) {
    const std::vector<Vec3d> normals = FrameNormals(model, frame);
    Mismatches m;
    for (size_t f = 0; f < model.triangles.size(); ++f) {
        const Md2Triangle& t = model.triangles[f];
        ASSERT_EQ(mesh.mFaces[f].mNumIndices, 3u);
        for (int c = 0; c < 3; ++c) {
            const unsigned i = mesh.mFaces[f].mIndices[c];
            const std::string where = what + ", frame " + std::to_string(frame) + ", triangle " + std::to_string(f);
            m.Near(pose.positions[i], Expected(VertexPosition(model.frames[static_cast<size_t>(frame)], t.vertex[c]), scale),
                   1e-5f * static_cast<float>(std::max(1.0, 32 * scale)), where + " position");
            m.Near(pose.normals[i], ExpectedNormal(normals[t.vertex[c]]), 1e-5f, where + " normal");
            const aiVector3D& uv = mesh.mTextureCoords[0][i];
            m.Near({uv.x, uv.y, 0}, {static_cast<float>(t.texCoord[c][0]), static_cast<float>(1 - t.texCoord[c][1]), 0},
                   1e-6f, where + " texture coordinate");
        }
    }
    EXPECT_EQ(m.count, 0) << what << ", frame " << frame;
}

// Front faces are counter-clockwise: the face normal their corners give
// agrees with the smooth normals at those corners (a few thin or folded
// faces of a real model may not).
void ExpectOutwardWinding(const aiMesh& mesh, const Pose& pose) {
    size_t agree = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const unsigned* i = mesh.mFaces[f].mIndices;
        const aiVector3D face = (pose.positions[i[1]] - pose.positions[i[0]]) ^ (pose.positions[i[2]] - pose.positions[i[0]]);
        if (face * (pose.normals[i[0]] + pose.normals[i[1]] + pose.normals[i[2]]) > 0) ++agree;
    }
    EXPECT_GT(agree, mesh.mNumFaces * 9 / 10) << agree << " of " << mesh.mNumFaces << " faces wound outward";
}

struct GltfExpectation {
    std::vector<Md2Animation> animations;
    double scale = 1.0 / 32;
    double fps = 10;
    const SkinImage* skin = nullptr;
};

void ExpectGltf(const fs::path& file, const Md2Model& model, const GltfExpectation& want) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(file.string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    const aiMesh& mesh = *scene->mMeshes[0];
    ASSERT_EQ(mesh.mNumFaces, model.triangles.size());
    EXPECT_EQ(mesh.mNumVertices, WeldCorners(model).modelVertex.size()) << "welded as the viewer draws it";
    ASSERT_TRUE(mesh.HasNormals() && mesh.HasTextureCoords(0));
    const size_t targets = model.frames.size() - 1;
    ASSERT_EQ(mesh.mNumAnimMeshes, targets) << "one morph target per frame after the first";
    for (size_t k = 0; k < targets; ++k) EXPECT_STREQ(mesh.mAnimMeshes[k]->mName.C_Str(), model.frames[k + 1].name.c_str());

    // What a viewer draws for a set of weights (Assimp holds targets as whole poses).
    const auto pose = [&](const std::vector<std::pair<unsigned, float>>& weights) {
        Pose p{{mesh.mVertices, mesh.mVertices + mesh.mNumVertices}, {mesh.mNormals, mesh.mNormals + mesh.mNumVertices}};
        for (const auto& [k, w] : weights)
            for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
                p.positions[v] += w * (mesh.mAnimMeshes[k]->mVertices[v] - mesh.mVertices[v]);
                p.normals[v] += w * (mesh.mAnimMeshes[k]->mNormals[v] - mesh.mNormals[v]);
            }
        return p;
    };
    ExpectFrame(mesh, pose({}), model, 0, want.scale, "at rest");
    ExpectOutwardWinding(mesh, pose({}));

    ASSERT_EQ(scene->mNumAnimations, want.animations.size());
    for (unsigned a = 0; a < scene->mNumAnimations; ++a) {
        const aiAnimation& got = *scene->mAnimations[a];
        const Md2Animation& md2 = want.animations[a];
        EXPECT_EQ(std::string(got.mName.C_Str()), md2.name);
        ASSERT_EQ(got.mNumMorphMeshChannels, 1u) << md2.name;
        const aiMeshMorphAnim& channel = *got.mMorphMeshChannels[0];
        ASSERT_EQ(channel.mNumKeys, static_cast<unsigned>(md2.FrameCount())) << md2.name;
        for (unsigned key = 0; key < channel.mNumKeys; ++key) {
            const aiMeshMorphKey& k = channel.mKeys[key];
            EXPECT_NEAR(k.mTime / got.mTicksPerSecond, key / want.fps, 1e-6) << md2.name << " key " << key;
            std::vector<std::pair<unsigned, float>> weights;
            for (unsigned j = 0; j < k.mNumValuesAndWeights; ++j)
                if (k.mWeights[j] != 0) weights.emplace_back(k.mValues[j], static_cast<float>(k.mWeights[j]));
            ExpectFrame(mesh, pose(weights), model, md2.first + static_cast<int32_t>(key), want.scale, md2.name);
        }
    }
    ExpectSkin(*scene, file.parent_path(), want.skin);
}

struct CorpusModel {
    const char* model;
    const char* skin;  // nullptr: exported without a texture
};
constexpr CorpusModel kCorpus[] = {{"faerie.md2", "faerie2.bmp"}, {"sydney.md2", "sydney.bmp"},
                                   {"dolphin.md2", "dolphin_f.bmp"}, {"horse.md2", nullptr}, {"flag.md2", nullptr}};

std::shared_ptr<const SkinImage> Skin(const char* name) {
    if (!name) return nullptr;
    auto skin = ReadSkinImage((testing::CorpusDir() / "md2" / name).string());
    EXPECT_TRUE(skin) << name;
    return skin ? skin.Take() : nullptr;
}

TEST(ExportCorpus, GltfPlaysEveryFrameOfEveryAnimationWithTheSkin) {
    MESHARA_REQUIRE_CORPUS();
    testing::TempDir dir;
    for (const CorpusModel& c : kCorpus)
        for (const char* extension : {".glb", ".gltf"}) {
            SCOPED_TRACE(std::string(c.model) + extension);
            const fs::path in = testing::CorpusDir() / "md2" / c.model, out = dir.Path() / (c.model + std::string(extension));
            const std::string texture = c.skin ? " --texture " + Quote(testing::CorpusDir() / "md2" / c.skin) : "";
            const testing::CliRun r = RunCli("export " + Quote(in) + " -o " + Quote(out) + texture);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            const auto model = Load(in);
            const auto skin = Skin(c.skin);
            ASSERT_TRUE(model);
            ExpectGltf(out, *model, {model->animations, 1.0 / 32, 10, skin.get()});
        }
}

TEST(ExportCorpus, ObjHoldsTheChosenFrameWithItsMaterialAndPicture) {
    MESHARA_REQUIRE_CORPUS();
    for (const CorpusModel& c : kCorpus) {
        SCOPED_TRACE(c.model);
        testing::TempDir dir;
        const fs::path in = testing::CorpusDir() / "md2" / c.model, out = dir.Path() / "frame.obj";
        const auto model = Load(in);
        ASSERT_TRUE(model);
        const int32_t frame = model->FrameCount() - 1;
        const std::string texture = c.skin ? " --texture " + Quote(testing::CorpusDir() / "md2" / c.skin) : "";
        const testing::CliRun r =
            RunCli("export " + Quote(in) + " -o " + Quote(out) + " --frame " + std::to_string(frame) + texture);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(fs::exists(dir.Path() / "frame.png"), c.skin != nullptr);

        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(out.string(), 0);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        ASSERT_EQ(scene->mNumMeshes, 1u);
        const aiMesh& mesh = *scene->mMeshes[0];
        ASSERT_EQ(mesh.mNumFaces, model->triangles.size());
        const Pose pose{{mesh.mVertices, mesh.mVertices + mesh.mNumVertices},
                        {mesh.mNormals, mesh.mNormals + mesh.mNumVertices}};
        ExpectFrame(mesh, pose, *model, frame, 1.0 / 32, "OBJ");
        ExpectOutwardWinding(mesh, pose);
        const auto skin = Skin(c.skin);
        ExpectSkin(*scene, dir.Path(), skin.get());
    }
}

// Five frames in three animations; the middle one has a single frame.
fixtures::Md2Source Animated(std::vector<std::string> names) {
    fixtures::Md2Source s = testing::SmallQuad();
    s.frames.clear();
    for (size_t f = 0; f < names.size(); ++f) {
        fixtures::Md2Source::Frame frame;
        frame.name = names[f];
        frame.scale[0] = 1.0f + static_cast<float>(f);
        frame.translate[2] = 3.0f * static_cast<float>(f);
        frame.vertices = {{0, 0, 0, 0}, {10, 0, 0, 0}, {10, 10, static_cast<uint8_t>(f), 0}, {0, 10, 0, 0}};
        s.frames.push_back(frame);
    }
    return s;
}

TEST(Export, OptionsChooseAnimationsTimingAndScale) {
    testing::TempDir dir;
    const fs::path animated = dir.Write("a.md2", fixtures::WriteMd2(Animated({"stand01", "stand02", "wave1", "run1", "run2"})));
    const fs::path still = dir.Write("still.md2", fixtures::WriteMd2(Animated({"pose"})));
    const struct {
        fs::path model;
        std::string options;
        std::vector<std::string> animations;  // expected, in order
        double fps, scale;
    } cases[] = {
        {animated, "", {"stand", "wave", "run"}, 10, 1.0 / 32},
        {animated, " --animation run --animation stand", {"run", "stand"}, 10, 1.0 / 32},
        {animated, " --fps 4 --scale 1", {"stand", "wave", "run"}, 4, 1},
        {still, "", {}, 10, 1.0 / 32},  // one frame: no morph targets, nothing to animate
    };
    for (const auto& c : cases)
        for (const char* extension : {".glb", ".gltf"}) {
            SCOPED_TRACE(c.model.filename().string() + c.options + extension);
            const fs::path out = dir.Path() / (std::string("out") + extension);
            const testing::CliRun r = RunCli("export " + Quote(c.model) + " -o " + Quote(out) + c.options);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            const auto model = Load(c.model);
            ASSERT_TRUE(model);
            GltfExpectation want{{}, c.scale, c.fps, nullptr};
            for (const std::string& name : c.animations)
                for (const Md2Animation& a : model->animations)
                    if (a.name == name) want.animations.push_back(a);
            ExpectGltf(out, *model, want);
        }
}

TEST(Export, RefusalsLeaveNoFileAndUsageErrorsExitTwo) {
    testing::TempDir dir;
    auto frameless = testing::SmallQuad();
    frameless.frames.clear();
    frameless.vertexCount = 4;
    fixtures::IndexedPicture p{2, 1, {0, 1}, {{1, 2, 3}, {4, 5, 6}}};
    const std::string quad = Quote(dir.Write("quad.md2", fixtures::WriteMd2(testing::SmallQuad()))),
                      damaged = Quote(dir.Write("short.md2", {'I', 'D', 'P', '2', 8, 0})),
                      empty = Quote(dir.Write("empty.md2", fixtures::WriteMd2(frameless))),
                      notSkin = Quote(dir.Write("bad.bmp", {'X', 'Y', 1, 2, 3})),
                      skin = Quote(dir.Write("skin.pcx", fixtures::WritePcx(p))),
                      // 20,000 frames in a few hundred kilobytes: their weights alone would take 1.6 GB.
                      manyFrames = Quote(dir.Write("many.md2", fixtures::WriteOverlappingTables(1, 20000))),
                      missing = Quote(dir.Path() / "none.pcx");
    const auto names = [&] {
        std::set<std::string> s;
        for (const auto& e : fs::directory_iterator(dir.Path())) s.insert(e.path().filename().string());
        return s;
    };
    const std::set<std::string> inputs = names();
    const auto out = [&](const char* name) { return " -o " + Quote(dir.Path() / name); };
    const auto expectFails = [&](const std::string& args, int exitCode, const char* says) {
        const testing::CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, exitCode) << args;
        EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(names(), inputs) << args << ": nothing may be written";
    };
    const std::pair<std::string, const char*> refused[] = {
        {"export " + damaged + out("o.glb"), "This MD2 file is damaged or incomplete!"},
        {"export " + empty + out("o.obj"), "no frames"},
        {"export " + quad + out("o.gltf") + " --texture " + notSkin, "This file does not appear to be a valid skin"},
        {"export " + quad + out("o.obj") + " --texture " + missing, "cannot be opened"},
        {"export " + manyFrames + out("o.glb"), "more than the 1024 MiB a glTF export may hold"},
    };
    for (const auto& [args, says] : refused) expectFails(args, 1, says);
    const std::string usage[] = {
        "export", "export " + quad, "export " + quad + out("o.png"), "export " + quad + " -o -",
        "export " + quad + out("o.glb") + " --frame 1", "export " + quad + out("o.obj") + " --animation frame",
        "export " + quad + out("o.obj") + " --fps 5", "export " + quad + out("o.obj") + " --frame 2",
        "export " + quad + out("o.glb") + " --fps 0", "export " + quad + out("o.glb") + " --scale -1",
        "export " + quad + out("o.glb") + " --scale 1e999", "export " + quad + out("o.glb") + " --animation nosuch",
        "export " + quad + out("o.glb") + " " + quad};
    for (const std::string& args : usage) expectFails(args, 2, "usage: meshara-cli");

    // The OBJ cannot be written (a folder has its name): the picture and
    // material written before it go again.
    fs::create_directory(dir.Path() / "blocked.obj");
    const testing::CliRun r = RunCli("export " + quad + out("blocked.obj") + " --texture " + skin);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "blocked.mtl") || fs::exists(dir.Path() / "blocked.png")) << r.err;
}

}  // namespace
}  // namespace meshara
