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

}  // namespace
}  // namespace meshara
