// meshara-cli export, read back by Assimp, a reader that shares no code with
// Meshara: every frame's positions and normals after the morph weights,
// texture coordinates, winding, the weld, animations and the picture.

#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "formats/skin_decoder.h"
#include "model/corner_weld.h"
#include "model/md2_model.h"
#include "model/normals.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"

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
    ASSERT_EQ(material->GetTexture(aiTextureType_DIFFUSE, 0, &name) == AI_SUCCESS, skin != nullptr);
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
    ASSERT_TRUE(picture.width == skin->width && picture.height == skin->height);
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < picture.pixels.size(); i += 4)
        rgb.insert(rgb.end(), picture.pixels.begin() + long(i), picture.pixels.begin() + long(i) + 3);
    EXPECT_TRUE(rgb == skin->pixels) << "the pixels differ from Meshara's decoding";
}

// What a viewer draws for a set of weights (Assimp holds targets as whole poses).
struct Pose {
    std::vector<aiVector3D> positions, normals;
};
Pose PoseOf(const aiMesh& mesh, const std::vector<std::pair<unsigned, float>>& weights = {}) {
    Pose p{{mesh.mVertices, mesh.mVertices + mesh.mNumVertices}, {mesh.mNormals, mesh.mNormals + mesh.mNumVertices}};
    for (const auto& [k, w] : weights)
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            p.positions[v] += w * (mesh.mAnimMeshes[k]->mVertices[v] - mesh.mVertices[v]);
            p.normals[v] += w * (mesh.mAnimMeshes[k]->mNormals[v] - mesh.mNormals[v]);
        }
    return p;
}

// Every corner of a mesh Assimp read against frame K of the model: position,
// normal and texture coordinate (Assimp gives v upward, from the picture's
// bottom). Front faces are counter-clockwise: the face normal their corners
// give agrees with the smooth normals there (a few thin or folded faces of a
// real model may not). Reports the first few mismatches only.
void ExpectFrame(const aiMesh& mesh, const Pose& pose, const Md2Model& model, int32_t frame, double scale,
                 const std::string& what) {
    const std::vector<Vec3d> normals = FrameNormals(model, frame);
    int mismatches = 0;
    const auto near = [&](const aiVector3D& got, const aiVector3D& want, float tolerance, const std::string& where) {
        if ((got - want).Length() > tolerance && ++mismatches <= 3)
            ADD_FAILURE() << where << ": got (" << got.x << ", " << got.y << ", " << got.z << "), want (" << want.x
                          << ", " << want.y << ", " << want.z << ")";
    };
    size_t outward = 0;
    for (size_t f = 0; f < model.triangles.size(); ++f) {
        const Md2Triangle& t = model.triangles[f];
        const unsigned* i = mesh.mFaces[f].mIndices;
        ASSERT_EQ(mesh.mFaces[f].mNumIndices, 3u);
        const std::string where = what + ", frame " + std::to_string(frame) + ", triangle " + std::to_string(f);
        for (int c = 0; c < 3; ++c) {
            near(pose.positions[i[c]], Expected(VertexPosition(model.frames[size_t(frame)], t.vertex[c]), scale),
                 1e-5f * static_cast<float>(std::max(1.0, 32 * scale)), where + " position");
            near(pose.normals[i[c]], ExpectedNormal(normals[t.vertex[c]]), 1e-5f, where + " normal");
            const aiVector3D& uv = mesh.mTextureCoords[0][i[c]];
            near({uv.x, uv.y, 0}, {float(t.texCoord[c][0]), float(1 - t.texCoord[c][1]), 0}, 1e-6f, where + " uv");
        }
        const aiVector3D face = (pose.positions[i[1]] - pose.positions[i[0]]) ^ (pose.positions[i[2]] - pose.positions[i[0]]);
        outward += face * (pose.normals[i[0]] + pose.normals[i[1]] + pose.normals[i[2]]) > 0;
    }
    EXPECT_EQ(mismatches, 0) << what << ", frame " << frame;
    EXPECT_GT(outward, mesh.mNumFaces * 9 / 10) << outward << " of " << mesh.mNumFaces << " faces wound outward";
}

// Reads an export back: one mesh welded as the viewer draws it, a morph target
// per frame after the first, the animations asked for with their timing, each
// but the one-shots closing its loop with a key back at its first frame.
void ExpectExport(const fs::path& file, const Md2Model& model, int32_t frame, const std::vector<Md2Animation>& clips,
                  double scale, double fps, const SkinImage* skin, const std::vector<std::string>& oneShots) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(file.string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    const aiMesh& mesh = *scene->mMeshes[0];
    ASSERT_EQ(mesh.mNumFaces, model.triangles.size());
    ASSERT_TRUE(mesh.HasNormals() && mesh.HasTextureCoords(0));
    ExpectFrame(mesh, PoseOf(mesh), model, frame, scale, "at rest");
    ExpectSkin(*scene, file.parent_path(), skin);
    if (file.extension() == ".obj") return;
    EXPECT_EQ(mesh.mNumVertices, WeldCorners(model).modelVertex.size()) << "welded as the viewer draws it";
    const size_t targets = model.frames.size() - 1;
    ASSERT_EQ(mesh.mNumAnimMeshes, targets) << "one morph target per frame after the first";
    for (size_t k = 0; k < targets; ++k) EXPECT_STREQ(mesh.mAnimMeshes[k]->mName.C_Str(), model.frames[k + 1].name.c_str());
    ASSERT_EQ(scene->mNumAnimations, clips.size());
    for (unsigned a = 0; a < scene->mNumAnimations; ++a) {
        const aiAnimation& got = *scene->mAnimations[a];
        EXPECT_EQ(std::string(got.mName.C_Str()), clips[a].name);
        ASSERT_EQ(got.mNumMorphMeshChannels, 1u) << clips[a].name;
        const aiMeshMorphAnim& channel = *got.mMorphMeshChannels[0];
        const bool loops = clips[a].FrameCount() > 1 && std::ranges::find(oneShots, clips[a].name) == oneShots.end();
        ASSERT_EQ(channel.mNumKeys, static_cast<unsigned>(clips[a].FrameCount() + loops)) << clips[a].name;
        for (unsigned key = 0; key < channel.mNumKeys; ++key) {
            const aiMeshMorphKey& k = channel.mKeys[key];
            EXPECT_NEAR(k.mTime / got.mTicksPerSecond, key / fps, 1e-6) << clips[a].name << " key " << key;
            std::vector<std::pair<unsigned, float>> weights;
            for (unsigned j = 0; j < k.mNumValuesAndWeights; ++j)
                if (k.mWeights[j] != 0) weights.emplace_back(k.mValues[j], static_cast<float>(k.mWeights[j]));
            ExpectFrame(mesh, PoseOf(mesh, weights), model, clips[a].first + int32_t(key) % clips[a].FrameCount(), scale,
                        clips[a].name);
        }
    }
}

TEST(ExportCorpus, GltfPlaysEveryFrameOfEveryAnimationAndObjHoldsAFrameEachWithTheSkin) {
    MESHARA_REQUIRE_CORPUS();
    const std::pair<const char*, const char*> corpus[] = {{"faerie.md2", "faerie2.bmp"}, {"sydney.md2", "sydney.bmp"},
                                                          {"dolphin.md2", "dolphin_f.bmp"}, {"horse.md2", nullptr},
                                                          {"flag.md2", nullptr}};
    for (const auto& [name, skinName] : corpus)
        for (const char* extension : {".glb", ".gltf", ".obj"}) {
            SCOPED_TRACE(std::string(name) + extension);
            testing::TempDir dir;
            const fs::path in = testing::CorpusDir() / "md2" / name, out = dir.Path() / (std::string("out") + extension);
            const auto model = Load(in);
            ASSERT_TRUE(model);
            std::shared_ptr<const SkinImage> skin;
            std::string args = "export " + Quote(in) + " -o " + Quote(out);
            if (skinName) {
                args += " --texture " + Quote(testing::CorpusDir() / "md2" / skinName);
                skin = ReadSkinImage((testing::CorpusDir() / "md2" / skinName).string()).Take();
            }
            const bool obj = std::string(extension) == ".obj";
            const int32_t frame = obj ? model->FrameCount() - 1 : 0;
            if (obj) args += " --frame " + std::to_string(frame);
            const testing::CliRun r = RunCli(args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            if (obj) {
                EXPECT_EQ(fs::exists(dir.Path() / "out-skin.png"), skin != nullptr);
            }
            ExpectExport(out, *model, frame, model->animations, 1.0 / 32, 10, skin.get(), {"death", "death1", "death2", "death3", "crdeath", "crdeth"});
        }
}

TEST(Export, OptionsChooseAnimationsTimingAndScale) {
    // Five frames in three animations; the middle one has a single frame.
    const auto animated = [](std::vector<std::string> names) {
        fixtures::Md2Source s = testing::SmallQuad();
        s.frames.clear();
        for (size_t f = 0; f < names.size(); ++f) {
            fixtures::Md2Source::Frame& frame = s.frames.emplace_back();
            frame.name = names[f];
            frame.scale[0] = 1.0f + static_cast<float>(f);
            frame.translate[2] = 3.0f * static_cast<float>(f);
            frame.vertices = {{0, 0, 0, 0}, {10, 0, 0, 0}, {10, 10, static_cast<uint8_t>(f), 0}, {0, 10, 0, 0}};
        }
        return fixtures::WriteMd2(s);
    };
    testing::TempDir dir;
    const fs::path clips = dir.Write("a.md2", animated({"stand01", "stand02", "wave1", "run1", "run2"}));
    const fs::path still = dir.Write("still.md2", animated({"pose"}));
    const fs::path deaths = dir.Write("d.md2", animated({"stand1", "stand2", "death1", "death2", "crdeath1", "crdeath2"}));
    const fs::path pose = dir.Write("p.md2", animated({"pose", "run1", "run2"}));  // a clip of frame 0 alone: no weight is 1
    const struct {
        fs::path model;
        std::string options;
        std::vector<std::string> animations;  // expected, in order
        double fps, scale;
        std::vector<std::string> oneShots = {};
    } cases[] = {
        {clips, "", {"stand", "wave", "run"}, 10, 1.0 / 32},
        {clips, " --animation run --animation stand", {"run", "stand"}, 10, 1.0 / 32},
        {clips, " --fps 4 --scale 1 --one-shot run", {"stand", "wave", "run"}, 4, 1, {"run"}},
        {deaths, "", {"stand", "death", "crdeath"}, 10, 1.0 / 32, {"death", "crdeath"}},
        {deaths, " --loop-all", {"stand", "death", "crdeath"}, 10, 1.0 / 32},
        {still, "", {}, 10, 1.0 / 32},  // one frame: no morph targets, nothing to animate
        {pose, "", {"pose", "run"}, 10, 1.0 / 32},
    };
    for (const auto& c : cases)
        for (const char* extension : {".glb", ".gltf"}) {
            SCOPED_TRACE(c.model.filename().string() + c.options + extension);
            const fs::path out = dir.Path() / (std::string("out") + extension);
            const testing::CliRun r = RunCli("export " + Quote(c.model) + " -o " + Quote(out) + c.options);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            const auto model = Load(c.model);
            ASSERT_TRUE(model);
            std::vector<Md2Animation> want;
            for (const std::string& name : c.animations)
                for (const Md2Animation& a : model->animations)
                    if (a.name == name) want.push_back(a);
            ExpectExport(out, *model, 0, want, c.scale, c.fps, nullptr, c.oneShots);
        }
    // 20,000 frames of one vertex in one animation: the file grows with the keys, where every key's
    // whole set of weights would take 1.6 GB.
    const fs::path many = dir.Write("many.md2", fixtures::WriteOverlappingTables(1, 20000)), out = dir.Path() / "m.glb";
    ASSERT_EQ(RunCli("export " + Quote(many) + " -o " + Quote(out)).exitCode, 0);
    EXPECT_LT(fs::file_size(out), 20000u * 400);
}

}  // namespace
}  // namespace meshara
