// meshara-cli convert and convert/: glTF and OBJ made into MD2, checked
// against the corpus through export and back, against skinning and morphing
// computed here, and against hostile files.

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "convert/md2_build.h"
#include "convert/md2_normals.h"
#include "convert/model_import.h"
#include "export/gltf_export.h"
#include "formats/md2_writer.h"
#include "model/md2_model.h"
#include "model/normals.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
namespace tg = tinygltf;
using testing::Quote;
using testing::RunCli;

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// The cosine of the widest angle between a direction and its nearest in the
// normal table (about 0.2 radians; measured over a fine sphere of directions).
const double kTableResolution = [] {
    double worst = 1;
    for (int i = 0; i < 20000; ++i) {
        const double z = 1 - 2 * (i + 0.5) / 20000, r = std::sqrt(1 - z * z), phi = i * 2.399963229728653;
        const auto& n = kMd2Normals[NearestMd2Normal(r * std::cos(phi), r * std::sin(phi), z)];
        worst = std::min(worst, n[0] * r * std::cos(phi) + n[1] * r * std::sin(phi) + n[2] * z);
    }
    return std::cos(std::acos(worst) + 0.01);  // the sampling's margin
}();

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
