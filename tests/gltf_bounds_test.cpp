// glTF read within bounds, whatever the file: nesting, counts, node graphs,
// external files and the clips kept for a chosen mesh. Each case here once
// crashed, hung or read what it should not.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "convert/model_import.h"
#include "model/animations.h"
#include "tests/gltf_fixture.h"

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

}  // namespace
}  // namespace meshara
