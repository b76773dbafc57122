#pragma once
// glTF files made by the tests (tests/convert_test.cpp, tests/gltf_bounds_test.cpp):
// a document built through tinygltf's own types and written as text, and a
// tube to put in it.

#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <map>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "model/geometry.h"

namespace meshara::testing {

namespace tg = tinygltf;

inline std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// A glTF file made here: arrays go into one buffer, each in a view of its own.
struct GltfFixture {
    tg::Model m;
    GltfFixture() {
        m.asset.version = "2.0";
        m.buffers.emplace_back();
        m.scenes.emplace_back();
        m.defaultScene = 0;
    }
    int Floats(const std::vector<float>& v, int type) {
        auto& data = m.buffers[0].data;
        tg::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        view.byteLength = v.size() * 4;
        data.resize(data.size() + v.size() * 4);
        std::memcpy(data.data() + view.byteOffset, v.data(), v.size() * 4);
        m.bufferViews.push_back(view);
        tg::Accessor a;
        a.bufferView = static_cast<int>(m.bufferViews.size() - 1);
        a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        a.type = type;
        a.count = v.size() / static_cast<size_t>(tg::GetNumComponentsInType(static_cast<uint32_t>(type)));
        if (type == TINYGLTF_TYPE_SCALAR) {  // key times carry their bounds
            a.minValues = {*std::min_element(v.begin(), v.end())};
            a.maxValues = {*std::max_element(v.begin(), v.end())};
        }
        m.accessors.push_back(a);
        return static_cast<int>(m.accessors.size() - 1);
    }
    int Indices(const std::vector<float>& v) {
        const int a = Floats(v, TINYGLTF_TYPE_SCALAR);
        m.accessors[static_cast<size_t>(a)].minValues.clear();
        m.accessors[static_cast<size_t>(a)].maxValues.clear();
        return a;
    }
    void Animate(const std::string& name, int node, const std::string& path, const std::vector<float>& times,
                 const std::vector<float>& values, int type) {
        tg::Animation a;
        a.name = name;
        tg::AnimationSampler s;
        s.input = Floats(times, TINYGLTF_TYPE_SCALAR);
        s.output = Indices(values);
        m.accessors[static_cast<size_t>(s.output)].type = type;
        m.accessors[static_cast<size_t>(s.output)].count = values.size() / static_cast<size_t>(tg::GetNumComponentsInType(static_cast<uint32_t>(type)));
        s.interpolation = "LINEAR";
        a.samplers.push_back(s);
        tg::AnimationChannel c;
        c.sampler = 0;
        c.target_node = node;
        c.target_path = path;
        a.channels.push_back(c);
        m.animations.push_back(a);
    }
    std::string Text() {
        std::ostringstream out;
        tg::TinyGLTF().WriteGltfSceneToStream(&m, out, false, false);
        return out.str();
    }
};

// A tube along +Y from 0 to 2 in rings of eight vertices, wound outward.
struct Tube {
    static constexpr int kRings = 9, kSides = 8;
    std::vector<float> positions, uvs, indices;
    Tube() {
        for (int r = 0; r < kRings; ++r)
            for (int s = 0; s < kSides; ++s) {
                const double a = 2 * M_PI * s / kSides;
                positions.insert(positions.end(), {static_cast<float>(0.2 * std::cos(a)), 2.0f * r / (kRings - 1),
                                                   static_cast<float>(-0.2 * std::sin(a))});
                uvs.insert(uvs.end(), {static_cast<float>(s) / kSides, static_cast<float>(r) / kRings});
            }
        for (int r = 0; r + 1 < kRings; ++r)
            for (int s = 0; s < kSides; ++s) {
                const float a = static_cast<float>(r * kSides + s), b = static_cast<float>(r * kSides + (s + 1) % kSides);
                indices.insert(indices.end(), {a, b, b + kSides, a, b + kSides, a + kSides});
            }
    }
    Vec3d At(size_t v) const { return {positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]}; }
    size_t Count() const { return positions.size() / 3; }
};

inline int AddMesh(GltfFixture& g, const Tube& tube, std::map<std::string, int> extra = {}) {
    tg::Primitive p;
    p.mode = TINYGLTF_MODE_TRIANGLES;
    p.attributes["POSITION"] = g.Floats(tube.positions, TINYGLTF_TYPE_VEC3);
    p.attributes["TEXCOORD_0"] = g.Floats(tube.uvs, TINYGLTF_TYPE_VEC2);
    for (const auto& [k, v] : extra) p.attributes[k] = v;
    p.indices = g.Indices(tube.indices);
    tg::Mesh mesh;
    mesh.name = "tube";
    mesh.primitives.push_back(p);
    g.m.meshes.push_back(mesh);
    return static_cast<int>(g.m.meshes.size() - 1);
}

}  // namespace meshara::testing
