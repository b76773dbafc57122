#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "convert/gltf_json_scan.h"
#include "convert/gltf_sampling.h"
#include "convert/model_import.h"
#include "formats/path_input.h"
#include "formats/skin_decoder.h"
#include "model/animations.h"

namespace meshara {

namespace {

namespace tg = tinygltf;
using gltf::Bad;

// Accessors read as doubles, checked against their views and buffers. Each
// is read once however many channels or primitives name it, and all those
// read together are bounded, so a file cannot multiply its memory by
// naming one large accessor many times.
class Accessors {
public:
    using Numbers = std::shared_ptr<const std::vector<double>>;

    explicit Accessors(const tg::Model& m) : m_(m), read_(m.accessors.size()) {}

    // The elements of accessor index, comps numbers each; refuses other
    // shapes, data outside the buffers and numbers that are not finite.
    Result<Numbers> Read(int index, int comps, const char* what) {
        if (index < 0 || static_cast<size_t>(index) >= m_.accessors.size())
            return Bad(std::string(what) + " names an accessor the file does not have");
        const tg::Accessor& a = m_.accessors[static_cast<size_t>(index)];
        const std::string name = std::string(what) + " (accessor " + std::to_string(index) + ")";
        if (tg::GetNumComponentsInType(static_cast<uint32_t>(a.type)) != comps)
            return Bad(name + " has the wrong type");
        const int size = tg::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType));
        if (size <= 0 || a.componentType == TINYGLTF_COMPONENT_TYPE_DOUBLE ||
            a.componentType == TINYGLTF_COMPONENT_TYPE_INT)
            return Bad(name + " has a component type glTF does not allow");
        if (const Numbers& done = read_[static_cast<size_t>(index)]) return done;
        // Elements with no view behind them cost memory without costing file
        // bytes. count * comps is not formed before count is known small.
        const uint64_t most = a.bufferView < 0 ? kMaxSourcePositions : 4 * kMaxSourcePositions;
        uint64_t& used = a.bufferView < 0 ? zerosRead_ : numbersRead_;
        if (a.count > most / static_cast<uint64_t>(comps)) return Bad(name + " holds too many elements");
        if (a.count * static_cast<uint64_t>(comps) > most - used)
            return Bad(name + " would take the numbers read past " + std::to_string(most) + " in all");
        used += a.count * static_cast<uint64_t>(comps);
        std::vector<double> out(a.count * static_cast<size_t>(comps), 0.0);
        if (a.bufferView >= 0) {
            const uint8_t* data = nullptr;
            size_t stride = 0;
            if (auto s = Elements(a.bufferView, a.byteOffset, a.count, static_cast<size_t>(size * comps), data, stride); !s)
                return Bad(name + ": " + s.Detail());
            for (size_t e = 0; e < a.count; ++e)
                for (int c = 0; c < comps; ++c)
                    out[e * static_cast<size_t>(comps) + static_cast<size_t>(c)] =
                        Number(data + e * stride + static_cast<size_t>(c * size), a.componentType, a.normalized);
        }
        if (a.sparse.isSparse) {
            const size_t n = static_cast<size_t>(std::max(a.sparse.count, 0));
            if (n > a.count) return Bad(name + " replaces more elements than it has");
            const int indexSize = tg::GetComponentSizeInBytes(static_cast<uint32_t>(a.sparse.indices.componentType));
            if (a.sparse.indices.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
                a.sparse.indices.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                a.sparse.indices.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
                return Bad(name + " has sparse indices of a type glTF does not allow");
            const uint8_t *indices = nullptr, *values = nullptr;
            size_t indexStride = 0, valueStride = 0;
            if (auto s = Elements(a.sparse.indices.bufferView, static_cast<size_t>(std::max(a.sparse.indices.byteOffset, 0)), n,
                                  static_cast<size_t>(indexSize), indices, indexStride);
                !s)
                return Bad(name + ": sparse indices: " + s.Detail());
            if (auto s = Elements(a.sparse.values.bufferView, static_cast<size_t>(std::max(a.sparse.values.byteOffset, 0)), n,
                                  static_cast<size_t>(size * comps), values, valueStride);
                !s)
                return Bad(name + ": sparse values: " + s.Detail());
            for (size_t e = 0; e < n; ++e) {
                const double place = Number(indices + e * static_cast<size_t>(indexSize), a.sparse.indices.componentType, false);
                if (place >= static_cast<double>(a.count)) return Bad(name + " replaces an element it does not have");
                for (int c = 0; c < comps; ++c)
                    out[static_cast<size_t>(place) * static_cast<size_t>(comps) + static_cast<size_t>(c)] =
                        Number(values + e * static_cast<size_t>(size * comps) + static_cast<size_t>(c * size), a.componentType, a.normalized);
            }
        }
        for (double v : out)
            if (!std::isfinite(v)) return Bad(name + " holds a number that is not finite");
        return read_[static_cast<size_t>(index)] = std::make_shared<const std::vector<double>>(std::move(out));
    }

private:
    // count elements of size bytes in view from offset, each within the
    // view and the view within its buffer.
    Result<bool> Elements(int view, size_t offset, size_t count, size_t size, const uint8_t*& data, size_t& stride) const {
        if (view < 0 || static_cast<size_t>(view) >= m_.bufferViews.size()) return Bad("no such buffer view");
        const tg::BufferView& v = m_.bufferViews[static_cast<size_t>(view)];
        if (v.buffer < 0 || static_cast<size_t>(v.buffer) >= m_.buffers.size()) return Bad("no such buffer");
        const std::vector<unsigned char>& b = m_.buffers[static_cast<size_t>(v.buffer)].data;
        if (v.byteOffset > b.size() || v.byteLength > b.size() - v.byteOffset)
            return Bad("the buffer view lies past the end of its buffer");
        stride = v.byteStride ? v.byteStride : size;
        if (stride < size) return Bad("elements overlap in their view");
        // count is at most 2^25 and the stride at most the view's length
        // (2^31), so the end cannot overflow 64 bits.
        if (count > 0) {
            if (stride > v.byteLength || offset > v.byteLength) return Bad("the data lies past the end of its buffer view");
            const uint64_t end = uint64_t{offset} + uint64_t{stride} * (count - 1) + size;
            if (end > v.byteLength) return Bad("the data lies past the end of its buffer view");
        }
        data = b.data() + v.byteOffset + offset;
        return true;
    }

    static double Number(const uint8_t* p, int type, bool normalized) {
        switch (type) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT: {
                float f;
                std::memcpy(&f, p, 4);
                return f;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return normalized ? p[0] / 255.0 : p[0];
            case TINYGLTF_COMPONENT_TYPE_BYTE: {
                const double v = static_cast<int8_t>(p[0]);
                return normalized ? std::max(v / 127.0, -1.0) : v;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
                const double v = p[0] | p[1] << 8;
                return normalized ? v / 65535.0 : v;
            }
            case TINYGLTF_COMPONENT_TYPE_SHORT: {
                const double v = static_cast<int16_t>(p[0] | p[1] << 8);
                return normalized ? std::max(v / 32767.0, -1.0) : v;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
                return static_cast<double>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
            default: return 0;
        }
    }

    const tg::Model& m_;
    std::vector<Numbers> read_;  // by accessor, once read
    uint64_t numbersRead_ = 0, zerosRead_ = 0;
};

bool LoadImage(tg::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes, int size, void*) {
    // Only its size is wanted, for texture coordinates in pixels; a picture
    // that cannot be decoded just tells none.
    if (size > 0) {
        if (auto skin = DecodeSkinImage(std::span<const uint8_t>(bytes, static_cast<size_t>(size)))) {
            image->width = skin.Value().width;
            image->height = skin.Value().height;
            image->component = 3;
            image->image = std::move(skin.Value().pixels);
        }
    }
    return true;
}

// External files reach tinygltf only through the caller's reader: every
// name is said to exist, and the reader tells what is not there.
struct Externals {
    const ExternalFileReader& read;
    const std::map<std::string, uint64_t>& bufferLengths;
    std::optional<Failure> bufferRefused;  // the first buffer that could not be had, and why
};
bool Exists(const std::string&, void*) { return true; }
std::string Expand(const std::string& name, void*) { return name; }
bool ReadWhole(std::vector<unsigned char>* out, std::string* err, const std::string& uri, void* user) {
    auto& x = *static_cast<Externals*>(user);
    // A buffer gives its length; a picture may hold what a skin may.
    const auto length = x.bufferLengths.find(uri);
    const bool buffer = length != x.bufferLengths.end();
    const uint64_t most = buffer ? std::min(length->second, kMaxGltfBytes) : kMaxPictureEntryBytes;
    Result<std::vector<uint8_t>> bytes = x.read ? x.read(uri, most) : Failure{ErrorKind::CannotOpen, "is not read: this glTF is read without the files beside it"};
    if (bytes && bytes.Value().size() > most)
        bytes = Failure{ErrorKind::TooLarge, "holds more than the " + std::to_string(most) + " bytes asked for"};
    if (bytes && buffer && bytes.Value().size() != length->second)
        bytes = Failure{ErrorKind::Damaged, "holds " + std::to_string(bytes.Value().size()) + " bytes where the file gives its buffer " +
                                                std::to_string(length->second)};
    if (!bytes) {
        Failure why = bytes.Why();
        why.detail = "the external file \"" + uri + "\" " + why.detail;
        if (err) *err = why.detail;
        if (buffer && !x.bufferRefused) x.bufferRefused = std::move(why);
        return false;
    }
    *out = std::move(bytes.Value());
    return true;
}
bool WriteWhole(std::string*, const std::string&, const std::vector<unsigned char>&, void*) { return false; }

// The mesh as the document gives it (triangles, texture coordinates,
// texture) with what moves it and the clips that do: all the sampling
// needs, so the parsed document can go before it starts.
struct Document {
    SourceMesh mesh;
    gltf::Rig rig;
    std::vector<gltf::Clip> clips;
};

class Reader {
public:
    Reader(const tg::Model& m, const GltfReadOptions& o) : m_(m), o_(o), acc_(m) {}

    Result<Document> Run() {
        if (Status s = CheckNodes(); !s) return s.Why();
        int node = -1;
        if (Status s = ChooseNode(node); !s) return s.Why();
        meshNode_ = node;
        const tg::Node& n = m_.nodes[static_cast<size_t>(node)];
        const tg::Mesh& mesh = m_.meshes[static_cast<size_t>(n.mesh)];
        SourceMesh out;
        gltf::Rig rig;
        size_t targetCount = 0;
        for (const tg::Primitive& p : mesh.primitives) {
            const int mode = p.mode < 0 ? TINYGLTF_MODE_TRIANGLES : p.mode;
            if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN)
                continue;  // points and lines have no faces
            if (rig.primitives.empty()) targetCount = p.targets.size();
            if (p.targets.size() != targetCount) return Bad("the mesh's primitives have different numbers of morph targets");
            auto prim = ReadPrimitive(p, mode, n.skin >= 0, out);
            if (!prim) return prim.Why();
            rig.primitives.push_back(std::move(prim.Value()));
            if (out.texCoords.size() > kMaxSourcePositions) return Bad("the mesh has too many vertices");
        }
        if (out.indices.empty()) return Bad("the mesh has no triangles");
        TextureSize(mesh, out);

        rig.restWeights.assign(targetCount, 0.0);
        for (size_t i = 0; i < targetCount; ++i) {
            if (i < n.weights.size()) rig.restWeights[i] = n.weights[i];
            else if (i < mesh.weights.size()) rig.restWeights[i] = mesh.weights[i];
            if (!std::isfinite(rig.restWeights[i])) return Bad("a morph weight is not a finite number");
        }

        auto clips = Clips(targetCount);
        if (!clips) return clips.Why();
        rig.meshNode = node;
        rig.meshName = mesh.name;
        rig.nodes = Nodes();
        if (Status s = Skin(n, rig.joints); !s) return s.Why();
        if (Status s = gltf::DropStillClips(rig, clips.Value(), !o_.animations.empty()); !s) return s.Why();
        return Document{std::move(out), std::move(rig), std::move(clips.Value())};
    }

private:
    // Every node has one parent at most and no node is its own ancestor.
    Status CheckNodes() {
        parent_.assign(m_.nodes.size(), -1);
        for (size_t i = 0; i < m_.nodes.size(); ++i)
            for (int c : m_.nodes[i].children) {
                if (c < 0 || static_cast<size_t>(c) >= m_.nodes.size()) return Bad("a node names a child the file does not have");
                if (parent_[static_cast<size_t>(c)] != -1 || static_cast<size_t>(c) == i)
                    return Bad("node " + std::to_string(c) + " has more than one parent");
                parent_[static_cast<size_t>(c)] = static_cast<int>(i);
            }
        // With one parent each, the way up from a node ends at a root or runs
        // into a cycle. Each node is walked over once: a walk stops at a node
        // an earlier walk cleared, and meets itself only in a cycle.
        enum : uint8_t { kUnseen, kOnWalk, kCleared };
        std::vector<uint8_t> state(m_.nodes.size(), kUnseen);
        for (size_t i = 0; i < m_.nodes.size(); ++i) {
            int at = static_cast<int>(i);
            for (; at >= 0 && state[static_cast<size_t>(at)] == kUnseen; at = parent_[static_cast<size_t>(at)])
                state[static_cast<size_t>(at)] = kOnWalk;
            if (at >= 0 && state[static_cast<size_t>(at)] == kOnWalk)
                return Bad("the node graph has a cycle through node " + std::to_string(at));
            for (at = static_cast<int>(i); at >= 0 && state[static_cast<size_t>(at)] == kOnWalk; at = parent_[static_cast<size_t>(at)])
                state[static_cast<size_t>(at)] = kCleared;
        }
        for (const tg::Node& n : m_.nodes) {
            if (n.mesh >= static_cast<int>(m_.meshes.size())) return Bad("a node names a mesh the file does not have");
            if (n.skin >= static_cast<int>(m_.skins.size())) return Bad("a node names a skin the file does not have");
            if (!n.matrix.empty() && n.matrix.size() != 16) return Bad("a node's matrix does not have 16 numbers");
            for (const auto* v : {&n.matrix, &n.translation, &n.rotation, &n.scale})
                for (double d : *v)
                    if (!std::isfinite(d)) return Bad("a node's transform is not finite");
        }
        return {};
    }

    // The node whose mesh is converted: the one in the file, or the one named.
    Status ChooseNode(int& chosen) {
        std::vector<int> candidates;
        std::string names;
        for (size_t i = 0; i < m_.nodes.size(); ++i) {
            const tg::Node& n = m_.nodes[i];
            if (n.mesh < 0) continue;
            const std::string& meshName = m_.meshes[static_cast<size_t>(n.mesh)].name;
            names += (names.empty() ? "" : ", ") +
                     (!meshName.empty() ? meshName : !n.name.empty() ? n.name : "mesh " + std::to_string(n.mesh));
            if (o_.mesh.empty() || o_.mesh == meshName || o_.mesh == n.name) candidates.push_back(static_cast<int>(i));
        }
        if (names.empty()) return Bad("the file holds no mesh placed in a node");
        if (candidates.empty()) return Bad("the file has no mesh named \"" + o_.mesh + "\"; it has: " + names);
        if (candidates.size() > 1)
            return Bad(o_.mesh.empty() ? "the file holds several meshes (" + names + "); choose one with --mesh"
                                       : "several nodes hold meshes named \"" + o_.mesh + "\"");
        chosen = candidates[0];
        return {};
    }

    Result<gltf::Primitive> ReadPrimitive(const tg::Primitive& p, int mode, bool skinned, SourceMesh& out) {
        gltf::Primitive prim;
        const auto attribute = [&](const std::map<std::string, int>& attrs, const char* name) {
            auto it = attrs.find(name);
            return it == attrs.end() ? -1 : it->second;
        };
        const int position = attribute(p.attributes, "POSITION");
        if (position < 0) return Bad("a primitive has no positions");
        auto pos = acc_.Read(position, 3, "POSITION");
        if (!pos) return pos.Why();
        const std::vector<double>& xyz = *pos.Value();
        const size_t count = xyz.size() / 3;
        for (size_t v = 0; v < count; ++v) prim.positions.push_back({xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]});
        const size_t base = out.texCoords.size();
        if (const int uv = attribute(p.attributes, "TEXCOORD_0"); uv >= 0) {
            auto st = acc_.Read(uv, 2, "TEXCOORD_0");
            if (!st) return st.Why();
            const std::vector<double>& uvs = *st.Value();
            if (uvs.size() != 2 * count) return Bad("a primitive has texture coordinates for other vertices");
            for (size_t v = 0; v < count; ++v)
                out.texCoords.push_back({static_cast<float>(uvs[2 * v]), static_cast<float>(uvs[2 * v + 1])});
        } else {
            out.texCoords.resize(base + count, {0, 0});
        }
        for (const auto& target : p.targets) {
            Accessors::Numbers offsets;
            if (const int tp = attribute(target, "POSITION"); tp >= 0) {
                auto d = acc_.Read(tp, 3, "morph target POSITION");
                if (!d) return d.Why();
                if (d.Value()->size() != 3 * count) return Bad("a morph target moves other vertices than its primitive has");
                offsets = d.Value();
            }
            prim.targets.push_back(std::move(offsets));  // null: moves nothing
        }
        if (skinned) {
            const int j = attribute(p.attributes, "JOINTS_0"), w = attribute(p.attributes, "WEIGHTS_0");
            if (j < 0 || w < 0) return Bad("a skinned primitive has no joints or weights");
            auto joints = acc_.Read(j, 4, "JOINTS_0");
            if (!joints) return joints.Why();
            auto weights = acc_.Read(w, 4, "WEIGHTS_0");
            if (!weights) return weights.Why();
            if (joints.Value()->size() != 4 * count || weights.Value()->size() != 4 * count)
                return Bad("a primitive has joints or weights for other vertices");
            for (size_t v = 0; v < count; ++v) {
                std::array<uint32_t, 4> jv{};
                std::array<double, 4> wv{};
                for (size_t c = 0; c < 4; ++c) {
                    const double j = (*joints.Value())[4 * v + c];
                    if (!(j >= 0 && j < 65536)) return Bad("a vertex names a joint outside any skin");
                    jv[c] = static_cast<uint32_t>(j);
                    wv[c] = (*weights.Value())[4 * v + c];
                    if (wv[c] < 0) return Bad("a joint weight is negative");
                }
                prim.joints.push_back(jv);
                prim.weights.push_back(wv);
            }
        }
        std::vector<uint32_t> order;
        if (p.indices >= 0) {
            auto idx = acc_.Read(p.indices, 1, "indices");
            if (!idx) return idx.Why();
            for (double i : *idx.Value()) {
                if (!(i >= 0 && i < static_cast<double>(count)))
                    return Bad("a triangle names a vertex its primitive does not have");
                order.push_back(static_cast<uint32_t>(i));
            }
        } else {
            for (size_t v = 0; v < count; ++v) order.push_back(static_cast<uint32_t>(v));
        }
        const auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
            out.indices.insert(out.indices.end(), {static_cast<uint32_t>(base + a), static_cast<uint32_t>(base + b),
                                                   static_cast<uint32_t>(base + c)});
        };
        if (mode == TINYGLTF_MODE_TRIANGLES)
            for (size_t i = 0; i + 2 < order.size(); i += 3) add(order[i], order[i + 1], order[i + 2]);
        else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP)
            for (size_t i = 0; i + 2 < order.size(); ++i)
                i % 2 ? add(order[i + 1], order[i], order[i + 2]) : add(order[i], order[i + 1], order[i + 2]);
        else
            for (size_t i = 1; i + 1 < order.size(); ++i) add(order[0], order[i], order[i + 1]);
        return prim;
    }

    void TextureSize(const tg::Mesh& mesh, SourceMesh& out) const {
        for (const tg::Primitive& p : mesh.primitives) {
            if (p.material < 0 || static_cast<size_t>(p.material) >= m_.materials.size()) continue;
            const int t = m_.materials[static_cast<size_t>(p.material)].pbrMetallicRoughness.baseColorTexture.index;
            if (t < 0 || static_cast<size_t>(t) >= m_.textures.size()) continue;
            const int source = m_.textures[static_cast<size_t>(t)].source;
            if (source < 0 || static_cast<size_t>(source) >= m_.images.size()) continue;
            const tg::Image& image = m_.images[static_cast<size_t>(source)];
            if (image.width > 0 && image.height > 0) {
                out.textureWidth = image.width, out.textureHeight = image.height;
                if (image.component == 3 && image.image.size() == 3 * static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
                    auto texture = std::make_shared<SkinImage>();
                    texture->width = image.width, texture->height = image.height, texture->pixels = image.image;
                    texture->fileName = image.name.empty() ? "texture" : image.name;
                    out.texture = std::move(texture);
                }
                return;
            }
        }
    }

    Result<std::vector<gltf::Clip>> Clips(size_t targetCount) {
        std::vector<const tg::Animation*> chosen;
        if (o_.animations.empty()) {
            for (const tg::Animation& a : m_.animations) chosen.push_back(&a);
        } else {
            for (const std::string& name : o_.animations) {
                const auto it = std::find_if(m_.animations.begin(), m_.animations.end(),
                                             [&](const tg::Animation& a) { return a.name == name; });
                if (it == m_.animations.end()) {
                    std::string known;
                    for (const tg::Animation& a : m_.animations) known += (known.empty() ? "" : ", ") + a.name;
                    return Bad("the file has no animation named \"" + name + "\"; it has: " + (known.empty() ? "none" : known));
                }
                chosen.push_back(&*it);
            }
        }
        std::vector<gltf::Clip> clips;
        for (const tg::Animation* a : chosen) {
            gltf::Clip clip;
            clip.name = a->name.empty() ? "anim" : a->name;
            // Only Meshara's export closes loops with a key of their own: it marks them, and before the mark
            // it closed every clip but the deaths.
            const bool marked = a->extras.IsObject() && a->extras.Has("closingKey") && a->extras.Get("closingKey").IsBool();
            clip.closingKey = marked ? a->extras.Get("closingKey").Get<bool>()
                                     : m_.asset.generator.starts_with("Meshara ") && !PlaysOnce(clip.name);
            bool first = true;
            for (const tg::AnimationChannel& ch : a->channels) {
                if (ch.sampler < 0 || static_cast<size_t>(ch.sampler) >= a->samplers.size())
                    return Bad("an animation channel names a sampler the animation does not have");
                if (ch.target_node < 0 || static_cast<size_t>(ch.target_node) >= m_.nodes.size()) continue;
                const tg::AnimationSampler& s = a->samplers[static_cast<size_t>(ch.sampler)];
                gltf::Track track;
                track.node = ch.target_node;
                if (ch.target_path == "translation") track.path = gltf::Track::Path::Translation, track.comps = 3;
                else if (ch.target_path == "rotation") track.path = gltf::Track::Path::Rotation, track.comps = 4;
                else if (ch.target_path == "scale") track.path = gltf::Track::Path::Scale, track.comps = 3;
                else if (ch.target_path == "weights") track.path = gltf::Track::Path::Weights, track.comps = targetCount;
                else continue;
                if (track.path == gltf::Track::Path::Weights && ch.target_node != meshNode_) continue;
                track.mode = s.interpolation == "STEP" ? gltf::Track::Mode::Step
                             : s.interpolation == "CUBICSPLINE" ? gltf::Track::Mode::Cubic : gltf::Track::Mode::Linear;
                auto times = acc_.Read(s.input, 1, "animation times");
                if (!times) return times.Why();
                track.times = times.Value();
                if (track.times->empty()) return Bad("an animation sampler has no keys");
                if (!std::is_sorted(track.times->begin(), track.times->end()))
                    return Bad("an animation's key times go backwards");
                if (track.comps == 0) continue;
                const int comps = track.path == gltf::Track::Path::Weights ? 1 : static_cast<int>(track.comps);
                auto values = acc_.Read(s.output, comps, "animation values");
                if (!values) return values.Why();
                track.values = values.Value();
                const size_t want = track.times->size() * track.comps * (track.mode == gltf::Track::Mode::Cubic ? 3 : 1);
                if (track.values->size() != want) return Bad("an animation sampler has " + std::to_string(track.values->size()) +
                                                            " values where its keys need " + std::to_string(want));
                clip.start = first ? track.times->front() : std::min(clip.start, track.times->front());
                clip.end = first ? track.times->back() : std::max(clip.end, track.times->back());
                first = false;
                clip.tracks.push_back(std::move(track));
            }
            clips.push_back(std::move(clip));
        }
        return clips;
    }

    // Where each node sits when nothing moves it.
    std::vector<gltf::Node> Nodes() const {
        std::vector<gltf::Node> nodes(m_.nodes.size());
        for (size_t i = 0; i < nodes.size(); ++i) {
            const tg::Node& n = m_.nodes[i];
            gltf::Node& out = nodes[i];
            out.parent = parent_[i];
            if (n.matrix.size() == 16) {
                Mat4d m;
                std::copy(n.matrix.begin(), n.matrix.end(), m.begin());
                out.matrix = m;
            }
            if (n.translation.size() == 3) out.translation = {n.translation[0], n.translation[1], n.translation[2]};
            if (n.rotation.size() == 4) out.rotation = {n.rotation[0], n.rotation[1], n.rotation[2], n.rotation[3]};
            if (n.scale.size() == 3) out.scale = {n.scale[0], n.scale[1], n.scale[2]};
        }
        return nodes;
    }

    // The joints of the node's skin with their inverse bind matrices; none when it has no skin.
    Status Skin(const tg::Node& n, std::vector<gltf::Joint>& joints) {
        if (n.skin < 0) return {};
        const tg::Skin& skin = m_.skins[static_cast<size_t>(n.skin)];
        Accessors::Numbers inverse;
        if (skin.inverseBindMatrices >= 0) {
            auto ibm = acc_.Read(skin.inverseBindMatrices, 16, "inverse bind matrices");
            if (!ibm) return ibm.Why();
            inverse = ibm.Value();
            if (inverse->size() < 16 * skin.joints.size()) return Bad("a skin has fewer inverse bind matrices than joints");
        }
        for (size_t j = 0; j < skin.joints.size(); ++j) {
            gltf::Joint& joint = joints.emplace_back();
            joint.node = skin.joints[j];
            if (joint.node < 0 || static_cast<size_t>(joint.node) >= m_.nodes.size())
                return Bad("a skin names a joint the file does not have");
            if (inverse && !inverse->empty())
                std::copy_n(inverse->begin() + static_cast<std::ptrdiff_t>(16 * j), 16, joint.inverseBind.begin());
        }
        return {};
    }

    const tg::Model& m_;
    const GltfReadOptions& o_;
    Accessors acc_;
    std::vector<int> parent_;
    int meshNode_ = -1;
};


Result<Document> ReadDocument(std::span<const uint8_t> bytes, const GltfReadOptions& options) {
    if (bytes.size() > (uint64_t{1} << 31)) return Bad("the file is larger than 2 GiB");
    // Before tinygltf sees it: its parsing recurses as deep as the JSON nests.
    const auto outline = gltf::ScanGltfJson(bytes);
    if (!outline) return outline.Why();
    tg::TinyGLTF loader;
    loader.SetImageLoader(LoadImage, nullptr);
    Externals externals{options.readExternal, outline.Value().bufferLengths, std::nullopt};
    loader.SetFsCallbacks({Exists, Expand, ReadWhole, WriteWhole, &externals});
    tg::Model model;
    std::string err, warn;
    bool ok;
    // No base folder: the reader is handed each uri as the file writes it.
    if (bytes.size() >= 4 && std::equal(bytes.begin(), bytes.begin() + 4, "glTF"))
        ok = loader.LoadBinaryFromMemory(&model, &err, &warn, bytes.data(), static_cast<unsigned int>(bytes.size()), "");
    else
        ok = loader.LoadASCIIFromString(&model, &err, &warn, reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<unsigned int>(bytes.size()), "");
    if (!ok && externals.bufferRefused) return Bad(externals.bufferRefused->detail);
    if (!ok) {
        while (!err.empty() && (err.back() == '\n' || err.back() == ' ')) err.pop_back();
        if (const size_t nl = err.find('\n'); nl != std::string::npos) err.resize(nl);
        return Bad(err.empty() ? "not a glTF file" : err);
    }
    return Reader(model, options).Run();
}

}  // namespace

Result<SourceMesh> ReadGltf(std::span<const uint8_t> bytes, const GltfReadOptions& options) {
    if (!(options.framesPerSecond > 0 && options.framesPerSecond <= 1000)) return Bad("the sampling rate is out of range");
    auto document = ReadDocument(bytes, options);
    if (!document) return document.Why();
    Document& d = document.Value();
    if (Status s = gltf::SampleClips(d.rig, d.clips, options.framesPerSecond, d.mesh); !s) return s.Why();
    return std::move(d.mesh);
}

}  // namespace meshara
