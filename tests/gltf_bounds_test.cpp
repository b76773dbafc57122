// glTF read within bounds, whatever the file: nesting, counts, node graphs,
// external files and the clips kept for a chosen mesh. Each case here once
// crashed, hung or read what it should not.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <functional>

#include "convert/convert_file.h"
#include "convert/model_import.h"
#include "formats/path_input.h"
#include "formats/png_writer.h"
#include "io/file_bytes.h"
#include "model/animations.h"
#include "tests/gltf_fixture.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

using testing::AddMesh;
using testing::Bytes;
using testing::GltfFixture;
using testing::Tube;
namespace tg = tinygltf;

std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

// The tube in one node, as text, with extra members put first into its root object.
std::string TubeText(const std::string& extraMembers = "") {
    const Tube tube;
    GltfFixture g;
    AddMesh(g, tube);
    g.m.nodes.emplace_back().mesh = 0;
    g.m.scenes[0].nodes = {0};
    std::string text = g.Text();
    return extraMembers.empty() ? text : "{" + extraMembers + "," + text.substr(1);
}

// A .glb holding only a JSON chunk.
std::string Glb(std::string json) {
    json.resize((json.size() + 3) / 4 * 4, ' ');
    const auto word = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    return "glTF" + word(2) + word(static_cast<uint32_t>(20 + json.size())) + word(static_cast<uint32_t>(json.size())) + "JSON" + json;
}

TEST(GltfBounds, NestingPastSixtyFourLevelsIsRefusedBeforeParsing) {
    const auto nested = [](size_t depth) { return "\"extras\":" + Repeat("[", depth) + Repeat("]", depth); };
    const std::string deepObjects = "{\"asset\":{\"version\":\"2.0\"},\"extras\":" + Repeat("{\"a\":", 15000) + "0" + Repeat("}", 15000) + "}";
    // Brackets in strings, after escaped quotes and after an escaped backslash, are not nesting.
    const std::string quoted = "\"extras\":[\"\\\"" + Repeat("[", 200) + "\",\"a\\\\\",\"" + Repeat("{", 200) + "\"]";
    struct Case {
        const char* what;
        std::string text;
        bool ok;
    } cases[] = {
        {"arrays 15000 deep", TubeText(nested(15000)), false},
        {"objects 15000 deep", deepObjects, false},
        {"in a .glb's JSON chunk", Glb(TubeText(nested(15000))), false},
        {"64 levels, the root's included", TubeText(nested(63)), true},
        {"65 levels", TubeText(nested(64)), false},
        {"brackets in strings", TubeText(quoted), true},
        {"a .glb at 64 levels", Glb(TubeText(nested(63))), true},
    };
    for (const Case& c : cases) {
        auto source = ReadGltf(Bytes(c.text), {});
        EXPECT_EQ(bool(source), c.ok) << c.what << ": " << source.Detail();
        if (!c.ok) {
            EXPECT_NE(source.Detail().find("deeper than 64"), std::string::npos) << c.what << ": " << source.Detail();
        }
    }
}

TEST(GltfBounds, ListsObjectsAndValuesAreCountedBeforeParsing) {
    const auto list = [](const char* key, const std::string& item, size_t n) {
        return std::string("\"") + key + "\":[" + Repeat(item + ",", n - 1) + item + "]";
    };
    struct Case {
        std::string members;
        const char* says;  // null: read
    } cases[] = {
        {list("samplers", "{}", 65536), nullptr},
        {list("materials", "{}", 65537), "more than 65536 materials"},
        {list("nodes", "{}", 65537), "more than 65536 nodes"},
        {list("no\\u0020word", "0", 65537), "more than 65536 entries in one list"},
        {"\"extras\":{" + list("a", "{}", 262145) + "}", "more than 262144 objects"},
        {"\"extras\":{\"a\":[" + Repeat("0,", 1 << 20) + "0]}", "more than 1048576 values"},
    };
    for (const Case& c : cases) {
        auto source = ReadGltf(Bytes(TubeText(c.members)), {});
        EXPECT_EQ(bool(source), c.says == nullptr) << c.says << ": " << source.Detail();
        if (c.says) {
            EXPECT_NE(source.Detail().find(c.says), std::string::npos) << source.Detail();
        }
    }
}

TEST(GltfBounds, LongNodeChainsArePlacedWithoutRecursionAndTheirCyclesFound) {
    // 60,000 nodes, the tube at the far end, the root moving along x; then
    // the same chain closed into a cycle, and hanging from a cycle halfway.
    const Tube tube;
    const size_t n = 60000;
    struct Case {
        const char* what;
        int closeFrom;  // the node that is also the root's parent: -1 none
        const char* says;
    } cases[] = {{"chain", -1, nullptr}, {"cycle", static_cast<int>(n - 1), "cycle"}, {"hanging from a cycle", 29999, "cycle"}};
    for (const Case& c : cases) {
        GltfFixture g;
        AddMesh(g, tube);
        g.m.nodes.resize(n);
        for (size_t i = 0; i + 1 < n; ++i) g.m.nodes[i].children = {static_cast<int>(i + 1)};
        g.m.nodes[n - 1].mesh = 0;
        if (c.closeFrom >= 0) g.m.nodes[static_cast<size_t>(c.closeFrom)].children.push_back(0);
        g.m.scenes[0].nodes = {0};
        g.Animate("slide", 0, "translation", {0, 1}, {0, 0, 0, 1, 0, 0}, TINYGLTF_TYPE_VEC3);
        auto source = ReadGltf(Bytes(g.Text()), {});
        ASSERT_EQ(bool(source), c.says == nullptr) << c.what << ": " << source.Detail();
        if (c.says) {
            EXPECT_NE(source.Detail().find(c.says), std::string::npos) << source.Detail();
            continue;
        }
        ASSERT_EQ(source.Value().frames.size(), 11u);
        for (size_t f = 0; f < 11; ++f)
            for (size_t v = 0; v < tube.Count(); v += 13) {
                const Vec3d got = source.Value().frames[f][v], want = tube.At(v);
                EXPECT_NEAR(got.x, want.x + 0.1 * static_cast<double>(f), 1e-6) << f << " " << v;
                EXPECT_NEAR(got.y, want.y, 1e-6);
            }
    }
}

TEST(GltfBounds, AccessorsAreReadOnceAndBoundedInAll) {
    // Morph weight channels on one target: each names its own sampler, or
    // all share one; every accessor holds 2^22 zeros with no view behind them.
    const Tube tube;
    const auto file = [&tube](size_t channels, bool shared) {
        GltfFixture g;
        AddMesh(g, tube);
        g.m.meshes[0].primitives[0].targets = {{{"POSITION", 0}}};
        g.m.nodes.emplace_back().mesh = 0;
        g.m.scenes[0].nodes = {0};
        const auto zeros = [&g] {
            tg::Accessor a;
            a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
            a.type = TINYGLTF_TYPE_SCALAR;
            a.count = size_t{1} << 22;
            g.m.accessors.push_back(a);
            return static_cast<int>(g.m.accessors.size() - 1);
        };
        tg::Animation& a = g.m.animations.emplace_back();
        a.name = "still";
        for (size_t k = 0; k < channels; ++k) {
            if (k == 0 || !shared) {
                tg::AnimationSampler& s = a.samplers.emplace_back();
                s.input = zeros();
                s.output = zeros();
            }
            tg::AnimationChannel& ch = a.channels.emplace_back();
            ch.sampler = static_cast<int>(a.samplers.size() - 1);
            ch.target_node = 0;
            ch.target_path = "weights";
        }
        return g.Text();
    };
    struct Case {
        const char* what;
        std::string text;
        const char* says;  // null: read
    } cases[] = {
        {"64 channels on one sampler", file(64, true), nullptr},
        {"2 samplers of their own", file(2, false), nullptr},
        {"3 samplers of their own", file(3, false), "past 16777216 in all"},
        {"a count that overflows", [&] {
             GltfFixture g;
             AddMesh(g, tube);
             g.m.nodes.emplace_back().mesh = 0;
             g.m.scenes[0].nodes = {0};
             g.m.accessors[0].count = 6148914691236517206;  // times 3 elements is 2 past 2^64
             return g.Text();
         }(), "too many elements"},
    };
    for (const Case& c : cases) {
        auto source = ReadGltf(Bytes(c.text), {});
        EXPECT_EQ(bool(source), c.says == nullptr) << c.what << ": " << source.Detail();
        if (c.says) {
            EXPECT_NE(source.Detail().find(c.says), std::string::npos) << c.what << ": " << source.Detail();
        }
    }
}

// The tube with its buffer in an external file named bufferUri, and with a
// texture in one named pictureUri when given.
struct ExternalTube {
    std::string text;
    std::vector<uint8_t> buffer;
};
ExternalTube TubeNaming(const std::string& bufferUri, const std::string& pictureUri = "") {
    const Tube tube;
    GltfFixture g;
    AddMesh(g, tube);
    g.m.nodes.emplace_back().mesh = 0;
    g.m.scenes[0].nodes = {0};
    if (!pictureUri.empty()) {
        g.m.images.emplace_back().uri = pictureUri;
        g.m.textures.emplace_back().source = 0;
        g.m.materials.emplace_back().pbrMetallicRoughness.baseColorTexture.index = 0;
        g.m.meshes[0].primitives[0].material = 0;
    }
    ExternalTube out{g.Text(), g.m.buffers[0].data};
    const size_t at = out.text.find("data:application/octet-stream;base64,");
    out.text.replace(at, out.text.find('"', at) - at, bufferUri);
    return out;
}

TEST(GltfBounds, ExternalFilesComeOnlyFromTheGltfsFolderAsRegularFiles) {
    namespace fs = std::filesystem;
    const testing::TempDir dir;
    const fs::path model = dir.Path() / "model";
    fs::create_directories(model / "sub");
    const std::vector<uint8_t> buffer = TubeNaming("x").buffer;
    const auto write = [](const fs::path& path, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(WriteFileBytes(path.string(), bytes));
    };
    write(model / "tube.bin", buffer);
    write(model / "sub" / "tube two.bin", buffer);
    write(dir.Path() / "secret.bin", buffer);  // the same bytes: reading it would convert
    std::vector<uint8_t> longer = buffer, shorter = buffer;
    longer.resize(buffer.size() + 4), shorter.resize(buffer.size() - 4);
    write(model / "long.bin", longer);
    write(model / "short.bin", shorter);
    fs::create_symlink("tube.bin", model / "link.bin");
    fs::create_symlink("../secret.bin", model / "out.bin");
    fs::create_directory(model / "folder.bin");
    ASSERT_EQ(mkfifo((model / "fifo.bin").c_str(), 0600), 0);
    const std::string sizes = std::to_string(buffer.size());
    struct Case {
        std::string uri;
        std::string says;  // empty: converts
    } cases[] = {
        {"tube.bin", ""},
        {"sub/tube%20two.bin", ""},
        {"link.bin", ""},
        {"fifo.bin", "\"fifo.bin\" is a FIFO"},
        {"folder.bin", "\"folder.bin\" is a directory"},
        {"missing.bin", "\"missing.bin\" cannot be read: No such file"},
        {"out.bin", "\"out.bin\" lies outside the glTF's folder"},
        {"../secret.bin", "lies outside"},
        {(dir.Path() / "secret.bin").string(), "lies outside"},
        {"long.bin", "more than the " + sizes + " asked for"},
        {"short.bin", "holds " + std::to_string(buffer.size() - 4) + " bytes where the file gives its buffer " + sizes},
    };
    for (const Case& c : cases) {
        const std::string text = TubeNaming(c.uri).text;
        write(model / "tube.gltf", {text.begin(), text.end()});
        auto converted = ConvertModelFile((model / "tube.gltf").string(), {}, {});
        EXPECT_EQ(bool(converted), c.says.empty()) << c.uri << ": " << converted.Detail();
        if (!c.says.empty()) {
            EXPECT_NE(converted.Detail().find(c.says), std::string::npos) << c.uri << ": " << converted.Detail();
        }
    }

    // A picture that cannot be had leaves the mesh without its texture.
    const std::vector<uint8_t> rgb(2 * 2 * 3, 200);
    write(model / "skin.png", EncodePng(2, 2, rgb, 3));
    write(dir.Path() / "secret.png", EncodePng(2, 2, rgb, 3));
    fs::create_symlink("../secret.png", model / "out.png");
    ASSERT_EQ(mkfifo((model / "fifo.png").c_str(), 0600), 0);
    for (const auto& [uri, textured] : {std::pair{"skin.png", true}, {"out.png", false}, {"fifo.png", false}, {"none.png", false}}) {
        const std::string text = TubeNaming("tube.bin", uri).text;
        write(model / "tube.gltf", {text.begin(), text.end()});
        auto converted = ConvertModelFile((model / "tube.gltf").string(), {}, {});
        ASSERT_TRUE(converted) << uri << ": " << converted.Detail();
        EXPECT_EQ(converted.Value().texture != nullptr, textured) << uri;
    }
}

// A glTF inside an archive reads its files beside it there, and nothing above; convert never writes over a
// file a glTF's buffers or pictures came from.
TEST(GltfBounds, ExternalFilesBesideInAnArchiveAndNeverAnOutput) {
    namespace fs = std::filesystem;
    const testing::TempDir dir;
    ExternalTube tube = TubeNaming("data.md2", "tex.png");
    // The writer of the fixture keeps only a picture's name it knows the kind of.
    const std::string png = "\"uri\":\"tex.png\"";
    if (const size_t at = tube.text.find(png); at != std::string::npos) tube.text.replace(at, png.size(), "\"uri\":\"tex.pcx\"");
    ASSERT_NE(tube.text.find("tex.pcx"), std::string::npos) << tube.text;
    // A picture named .pcx, whatever it holds: pictures are told by their content.
    const std::vector<uint8_t> pcx = EncodePng(2, 2, std::vector<uint8_t>(12, 200), 3);
    const std::vector<uint8_t> text(tube.text.begin(), tube.text.end());
    const std::string outside = TubeNaming("../data.md2").text;
    dir.Write("game.pk3", fixtures::WriteZip({{"models/t/tube.gltf", text}, {"models/t/data.md2", tube.buffer},
                                              {"models/t/tex.pcx", pcx}, {"models/data.md2", tube.buffer},
                                              {"models/t/out.gltf", {outside.begin(), outside.end()}}}));
    auto inside = ConvertModelFile((dir.Path() / "game.pk3/models/t/tube.gltf").string(), {}, {});
    ASSERT_TRUE(inside) << inside.Detail();
    EXPECT_TRUE(inside.Value().texture);
    auto climbing = ConvertModelFile((dir.Path() / "game.pk3/models/t/out.gltf").string(), {}, {});
    EXPECT_FALSE(climbing);
    // Loose: an output onto the buffer or the texture is refused and writes nothing.
    const fs::path gltf = dir.Write("loose/tube.gltf", text), data = dir.Write("loose/data.md2", tube.buffer),
                   tex = dir.Write("loose/tex.pcx", pcx);
    for (const std::string& args : {"-o " + testing::Quote(data), "-o " + testing::Quote(dir.Path() / "loose/o.md2") +
                                                                      " --write-skin " + testing::Quote(tex)}) {
        const auto run = testing::RunCli("convert " + testing::Quote(gltf) + " " + args);
        EXPECT_EQ(run.exitCode, 1) << args << ": " << run.err;
        EXPECT_NE(run.err.find("is one of the command's inputs"), std::string::npos) << run.err;
    }
    EXPECT_EQ(testing::ReadAll(data), tube.buffer);
    EXPECT_EQ(testing::ReadAll(tex), pcx);
    EXPECT_FALSE(fs::exists(dir.Path() / "loose/o.md2"));
}

TEST(GltfBounds, TheReaderOfExternalFilesIsAskedForNoMoreThanTheFileGives) {
    const ExternalTube tube = TubeNaming("sub/tube%20two.bin", "skin%2Bone.png");
    std::vector<std::pair<std::string, uint64_t>> asked;
    GltfReadOptions options;
    options.readExternal = [&](const std::string& uri, uint64_t most) -> Result<std::vector<uint8_t>> {
        asked.emplace_back(uri, most);
        if (uri == "sub/tube two.bin") return tube.buffer;
        return Failure{ErrorKind::CannotOpen, "is not here"};
    };
    auto source = ReadGltf(Bytes(tube.text), options);
    ASSERT_TRUE(source) << source.Detail();
    EXPECT_EQ(asked, (std::vector<std::pair<std::string, uint64_t>>{{"sub/tube two.bin", tube.buffer.size()},
                                                                     {"skin+one.png", kMaxPictureEntryBytes}}));
    // No reader: the buffer is refused; a reader handing more than asked is refused too.
    auto none = ReadGltf(Bytes(tube.text), {});
    EXPECT_NE(none.Detail().find("\"sub/tube two.bin\" is not read"), std::string::npos) << none.Detail();
    options.readExternal = [&](const std::string&, uint64_t most) -> Result<std::vector<uint8_t>> {
        return std::vector<uint8_t>(most + 1);
    };
    auto greedy = ReadGltf(Bytes(tube.text), options);
    EXPECT_NE(greedy.Detail().find("more than the " + std::to_string(tube.buffer.size()) + " bytes asked for"), std::string::npos)
        << greedy.Detail();
}

TEST(GltfBounds, AChosenMeshKeepsOnlyTheClipsThatMoveIt) {
    // A body skinned to a bone under the hips, with a morph target, and a
    // sword held by a hand; a lamp apart. Each clip moves one node.
    const Tube tube;
    GltfFixture g;
    std::vector<float> joints, weights;
    for (size_t v = 0; v < tube.Count(); ++v) {
        joints.insert(joints.end(), {0, 0, 0, 0});
        weights.insert(weights.end(), {1, 0, 0, 0});
    }
    const int jointsAccessor = g.Floats(joints, TINYGLTF_TYPE_VEC4), weightsAccessor = g.Floats(weights, TINYGLTF_TYPE_VEC4);
    AddMesh(g, tube, {{"JOINTS_0", jointsAccessor}, {"WEIGHTS_0", weightsAccessor}});
    g.m.meshes[0].name = "body";
    g.m.meshes[0].primitives[0].targets = {{{"POSITION", g.m.meshes[0].primitives[0].attributes["POSITION"]}}};
    AddMesh(g, tube);
    g.m.meshes[1].name = "sword";
    g.m.nodes.resize(6);
    g.m.nodes[0].mesh = 0, g.m.nodes[0].skin = 0;
    g.m.nodes[1].children = {2};
    g.m.nodes[2].mesh = 1;
    g.m.nodes[3].name = "lamp";
    g.m.nodes[4].children = {5};
    g.m.nodes[5].name = "bone";
    g.m.skins.emplace_back().joints = {5};
    g.m.scenes[0].nodes = {0, 1, 3, 4};
    const float h = static_cast<float>(std::sqrt(0.5));
    const std::vector<float> turn = {0, 0, 0, 1, 0, 0, h, h};
    g.Animate("wave", 0, "weights", {0, 1}, {0, 1}, TINYGLTF_TYPE_SCALAR);
    g.Animate("swing", 1, "rotation", {0, 1}, turn, TINYGLTF_TYPE_VEC4);
    g.Animate("flicker", 3, "translation", {0, 1}, {0, 0, 0, 1, 0, 0}, TINYGLTF_TYPE_VEC3);
    g.Animate("spin", 2, "rotation", {0, 1}, turn, TINYGLTF_TYPE_VEC4);
    g.Animate("sway", 4, "rotation", {0, 1}, turn, TINYGLTF_TYPE_VEC4);
    const std::string text = g.Text();
    struct Case {
        const char* mesh;
        std::vector<std::string> asked, clips;
        const char* says;
    } cases[] = {
        {"body", {}, {"wave", "sway"}, nullptr},
        {"sword", {}, {"swing", "spin"}, nullptr},
        {"sword", {"spin", "swing"}, {"spin", "swing"}, nullptr},
        {"sword", {"swing", "flicker"}, {}, "the animation \"flicker\" does not move the mesh \"sword\""},
        {"sword", {"wave"}, {}, "\"wave\" does not move"},
    };
    for (const Case& c : cases) {
        GltfReadOptions options;
        options.mesh = c.mesh;
        options.animations = c.asked;
        auto source = ReadGltf(Bytes(text), options);
        ASSERT_EQ(bool(source), c.says == nullptr) << c.mesh << ": " << source.Detail();
        if (c.says) {
            EXPECT_NE(source.Detail().find(c.says), std::string::npos) << source.Detail();
            continue;
        }
        std::vector<std::string> stems;
        for (const std::string& name : source.Value().frameNames) stems.push_back(FrameStem(name));
        std::vector<std::string> clips;
        for (const Md2Animation& a : FindAnimations(stems)) {
            clips.push_back(a.name);
            EXPECT_EQ(a.last - a.first + 1, 11) << c.mesh << " " << a.name;
        }
        EXPECT_EQ(clips, c.clips) << c.mesh;
    }
}

}  // namespace
}  // namespace meshara
