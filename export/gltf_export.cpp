#include "export/gltf_export.h"
#include "formats/format_names.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cstdint>
#include <limits>
#include <sstream>

#include "export/export_mesh.h"
#include "formats/name_text.h"
#include "formats/png_writer.h"
#include "model/corner_weld.h"
#include "model/normals.h"

namespace meshara {

namespace {

namespace tg = tinygltf;

// Everything goes into buffer 0, each array in a view of its own that starts
// on a 4-byte boundary, so every accessor is aligned for its components.
// Each array goes into the one byte vector as it is made and is not kept
// anywhere else.
class BufferBuilder {
public:
    BufferBuilder(tg::Model& model, std::vector<unsigned char>& bytes) : model_(model), bytes_(bytes) {}

    int View(const void* data, size_t size, int target) {
        std::vector<unsigned char>& bytes = bytes_;
        bytes.resize((bytes.size() + 3) & ~size_t{3}, 0);
        tg::BufferView view;
        view.buffer = 0;
        view.byteOffset = bytes.size();
        view.byteLength = size;
        view.target = target;
        const auto* first = static_cast<const unsigned char*>(data);
        if (first)
            bytes.insert(bytes.end(), first, first + size);
        else
            bytes.resize(bytes.size() + size, 0);  // filled later
        model_.bufferViews.push_back(std::move(view));
        return static_cast<int>(model_.bufferViews.size() - 1);
    }

    // A view of count VEC3 arrays of size values each, one after another,
    // which Vec3 then fills one at a time: morph targets share two views
    // rather than having two each.
    struct Vec3Run {
        int view = -1;
        size_t start = 0, arraySize = 0, filled = 0;
    };
    Vec3Run Vec3Arrays(size_t count, size_t size) {
        Vec3Run run;
        run.view = View(nullptr, count * size * sizeof(Float3), TINYGLTF_TARGET_ARRAY_BUFFER);
        model_.bufferViews.back().byteStride = sizeof(Float3);  // several accessors read the view
        run.start = model_.bufferViews.back().byteOffset;
        run.arraySize = size;
        return run;
    }

    // A VEC3 float accessor of a vertex attribute, in a view of its own or
    // the next place of run; POSITION accessors carry their bounds, as glTF
    // requires of them.
    int Vec3(const std::vector<Float3>& values, bool withBounds, Vec3Run* run = nullptr) {
        tg::Accessor a;
        if (run) {
            const size_t offset = run->filled++ * run->arraySize * sizeof(Float3);
            std::copy_n(reinterpret_cast<const unsigned char*>(values.data()), values.size() * sizeof(Float3),
                        bytes_.begin() + static_cast<std::ptrdiff_t>(run->start + offset));
            a = Plain(run->view, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, values.size());
            a.byteOffset = offset;
        } else {
            a = Plain(View(values.data(), values.size() * sizeof(Float3), TINYGLTF_TARGET_ARRAY_BUFFER),
                      TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, values.size());
        }
        if (withBounds) {
            a.minValues.assign(3, std::numeric_limits<double>::max());
            a.maxValues.assign(3, std::numeric_limits<double>::lowest());
            for (const Float3& v : values)
                for (size_t c = 0; c < 3; ++c) {
                    a.minValues[c] = std::min(a.minValues[c], double{v[c]});
                    a.maxValues[c] = std::max(a.maxValues[c], double{v[c]});
                }
        }
        return Add(std::move(a));
    }

    int Vec2(const std::vector<std::array<float, 2>>& values) {
        return Add(Plain(View(values.data(), values.size() * sizeof(values[0]), TINYGLTF_TARGET_ARRAY_BUFFER),
                         TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, values.size()));
    }

    template <class Index>
    int Indices(const std::vector<Index>& values, int componentType) {
        return Add(Plain(View(values.data(), values.size() * sizeof(Index), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
                         componentType, TINYGLTF_TYPE_SCALAR, values.size()));
    }

    // Animation data: no target. Keyframe times carry their bounds (required
    // of sampler inputs).
    int Scalars(const std::vector<float>& values, bool withBounds) {
        tg::Accessor a = Plain(View(values.data(), values.size() * sizeof(float), 0), TINYGLTF_COMPONENT_TYPE_FLOAT,
                               TINYGLTF_TYPE_SCALAR, values.size());
        if (withBounds) {
            const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
            a.minValues = {double{*lo}};
            a.maxValues = {double{*hi}};
        }
        return Add(std::move(a));
    }

    // Scalars that are zero but at the given places (ascending), where they
    // are one: morph weights, which pick one target a key. Only those places
    // are stored, so weights grow with keys, not keys times targets.
    int SparseOnes(size_t count, const std::vector<uint32_t>& places) {
        tg::Accessor a = Plain(-1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, count);
        a.sparse.isSparse = true;
        a.sparse.count = static_cast<int>(places.size());
        a.sparse.indices.bufferView = View(places.data(), places.size() * sizeof(uint32_t), 0);
        a.sparse.indices.byteOffset = 0;
        a.sparse.indices.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        const std::vector<float> ones(places.size(), 1.0f);
        a.sparse.values.bufferView = View(ones.data(), ones.size() * sizeof(float), 0);
        a.sparse.values.byteOffset = 0;
        return Add(std::move(a));
    }

private:
    static tg::Accessor Plain(int view, int componentType, int type, size_t count) {
        tg::Accessor a;
        a.bufferView = view;
        a.componentType = componentType;
        a.type = type;
        a.count = count;
        return a;
    }
    int Add(tg::Accessor a) {
        model_.accessors.push_back(std::move(a));
        return static_cast<int>(model_.accessors.size() - 1);
    }

    tg::Model& model_;
    std::vector<unsigned char>& bytes_;
};

std::vector<Float3> WeldedPositions(const Md2Model& model, const CornerWeld& mesh, size_t frame, double scale) {
    std::vector<Float3> out;
    out.reserve(mesh.modelVertex.size());
    for (uint16_t v : mesh.modelVertex) out.push_back(ExportPosition(VertexPosition(model.frames[frame], v), scale));
    return out;
}

std::vector<Float3> WeldedNormals(const Md2Model& model, const CornerWeld& mesh, size_t frame) {
    const std::vector<Vec3d> normals = FrameNormals(model, static_cast<int32_t>(frame));
    std::vector<Float3> out;
    out.reserve(mesh.modelVertex.size());
    for (uint16_t v : mesh.modelVertex) out.push_back(ExportNormal(normals[v]));
    return out;
}

std::vector<Float3> Difference(const std::vector<Float3>& to, const std::vector<Float3>& from) {
    std::vector<Float3> out(to.size());
    for (size_t i = 0; i < to.size(); ++i)
        for (size_t c = 0; c < 3; ++c) out[i][c] = to[i][c] - from[i][c];
    return out;
}

uint64_t BufferBytes(const Md2Model& model, const CornerWeld& mesh, const GltfExportOptions& options) {
    const uint64_t vertices = mesh.modelVertex.size(), frames = model.frames.size();
    uint64_t bytes = mesh.indices.size() * uint64_t{4} + vertices * 32 + (frames - 1) * vertices * 24;
    for (const Md2Animation& a : options.animations)  // times, then a place and a weight a key at most
        bytes += static_cast<uint64_t>(a.FrameCount() + 1) * 12;
    if (options.texture)
        bytes += static_cast<uint64_t>(options.texture->width) * static_cast<uint64_t>(options.texture->height) * 3;
    return bytes;
}

// Room for the header and JSON of a binary file, beyond its binary chunk: a
// few hundred bytes an accessor, and a frame's name.
uint64_t JsonRoom(const Md2Model& model, const GltfExportOptions& options) {
    return 4096 + 1024 * (model.frames.size() + options.animations.size());
}

void AddTexture(tg::Model& gltf, BufferBuilder& buffer, const SkinImage& skin, bool binary) {
    tg::Image image;
    image.name = FileStem(skin.fileName.empty() ? "skin" : skin.fileName);
    image.mimeType = "image/png";
    if (binary) {
        const std::vector<uint8_t> png = EncodePng(skin.width, skin.height, skin.pixels, 3);
        image.bufferView = buffer.View(png.data(), png.size(), 0);
    } else {
        // tinygltf encodes the pixels as PNG and embeds them as a data URI.
        image.width = skin.width;
        image.height = skin.height;
        image.component = 3;
        image.bits = 8;
        image.pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
        image.image = skin.pixels;
    }
    gltf.images.push_back(std::move(image));

    // Trilinear filtering and repeat, as the viewer draws by default.
    tg::Sampler sampler;
    sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
    sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
    gltf.samplers.push_back(sampler);
    tg::Texture texture;
    texture.source = 0;
    texture.sampler = 0;
    gltf.textures.push_back(texture);
    gltf.materials[0].pbrMetallicRoughness.baseColorTexture.index = 0;
}

size_t AnimationKeys(const Md2Animation& a, bool closeLoop) {
    return static_cast<size_t>(a.FrameCount()) + (closeLoop && a.FrameCount() > 1 ? 1 : 0);
}

bool ClosesLoop(const GltfExportOptions& options, const Md2Animation& a) {
    return std::find(options.oneShots.begin(), options.oneShots.end(), a.name) == options.oneShots.end();
}

// The accessors as a JSON array. A long model has thousands, which
// tinygltf's writer would first build as a document of its own at many
// times their size; written here straight as text.
std::string AccessorsJson(const std::vector<tg::Accessor>& accessors) {
    std::string out = "[";
    out.reserve(256 * accessors.size());
    const auto number = [&out](double v) {
        char text[32];
        out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
    };
    const auto integer = [&out](const char* name, uint64_t v) { out += '"' + std::string(name) + "\":" + std::to_string(v); };
    const auto numbers = [&](const char* name, const std::vector<double>& values) {
        out += ",\"" + std::string(name) + "\":[";
        for (size_t i = 0; i < values.size(); ++i) {
            if (i) out += ',';
            number(values[i]);
        }
        out += ']';
    };
    for (const tg::Accessor& a : accessors) {
        if (&a != &accessors.front()) out += ',';
        out += '{';
        if (a.bufferView >= 0) integer("bufferView", static_cast<uint64_t>(a.bufferView)), out += ',';
        if (a.byteOffset) integer("byteOffset", a.byteOffset), out += ',';
        integer("componentType", static_cast<uint64_t>(a.componentType));
        out += ',';
        integer("count", a.count);
        if (!a.minValues.empty()) numbers("min", a.minValues);
        if (!a.maxValues.empty()) numbers("max", a.maxValues);
        if (a.sparse.isSparse) {
            out += ",\"sparse\":{";
            integer("count", static_cast<uint64_t>(a.sparse.count));
            out += ",\"indices\":{";
            integer("bufferView", static_cast<uint64_t>(a.sparse.indices.bufferView));
            out += ',';
            integer("componentType", static_cast<uint64_t>(a.sparse.indices.componentType));
            out += "},\"values\":{";
            integer("bufferView", static_cast<uint64_t>(a.sparse.values.bufferView));
            out += "}}";
        }
        out += a.type == TINYGLTF_TYPE_VEC3 ? ",\"type\":\"VEC3\"}" : a.type == TINYGLTF_TYPE_VEC2 ? ",\"type\":\"VEC2\"}"
                                                                                           : ",\"type\":\"SCALAR\"}";
    }
    return out + ']';
}

// The file around a binary chunk that is already written: its header, the
// JSON chunk (which names the one buffer, the chunk) and the binary chunk's
// header go in front of it, in the room the chunk's vector has. json is
// tinygltf's, without the accessors and the buffer, which are added here.
void PrependGlbHeader(std::string json, const std::vector<tg::Accessor>& accessors, std::vector<unsigned char>& chunk) {
    json.insert(json.rfind('}'), ",\"accessors\":" + AccessorsJson(accessors) + ",\"buffers\":[{\"byteLength\":" +
                                     std::to_string(chunk.size()) + "}]");
    json.resize((json.size() + 3) & ~size_t{3}, ' ');
    std::vector<unsigned char> head;
    const auto word = [&head](uint32_t v) {
        for (int b = 0; b < 4; ++b) head.push_back(static_cast<unsigned char>(v >> (8 * b)));
    };
    const uint64_t total = 12 + 8 + json.size() + 8 + chunk.size();
    head.insert(head.end(), {'g', 'l', 'T', 'F'});
    word(2);
    word(static_cast<uint32_t>(total));
    word(static_cast<uint32_t>(json.size()));
    word(0x4E4F534A);  // "JSON"
    head.insert(head.end(), json.begin(), json.end());
    word(static_cast<uint32_t>(chunk.size()));
    word(0x004E4942);  // "BIN"
    chunk.insert(chunk.begin(), head.begin(), head.end());
}

void AddAnimation(tg::Model& gltf, BufferBuilder& buffer, const Md2Animation& a, size_t targets, double fps,
                  bool closeLoop) {
    // Keyframe i shows frame first + i: all weights 0 for frame 0, otherwise
    // weight 1 on that frame's target. Linear interpolation then blends
    // neighbouring frames as the viewer does during playback. A looping clip
    // ends on a key back at its first frame, one frame's time after its last,
    // so players that loop it blend round and a clip of N frames lasts N/fps.
    const size_t frames = static_cast<size_t>(a.FrameCount());
    const size_t keys = AnimationKeys(a, closeLoop);
    std::vector<float> times(keys);
    std::vector<uint32_t> ones;  // where, in the keys' weights one after another, a weight is 1
    for (size_t i = 0; i < keys; ++i) {
        times[i] = static_cast<float>(static_cast<double>(i) / fps);
        const size_t frame = static_cast<size_t>(a.first) + i % frames;
        if (frame > 0) ones.push_back(static_cast<uint32_t>(i * targets + frame - 1));
    }
    tg::AnimationSampler sampler;
    sampler.input = buffer.Scalars(times, true);
    // A clip of frame 0 alone has no weight that is not zero, and a sparse
    // accessor needs at least one; its one or two keys are written whole.
    sampler.output = ones.empty() ? buffer.Scalars(std::vector<float>(keys * targets, 0.0f), false)
                                  : buffer.SparseOnes(keys * targets, ones);
    // One keyframe has nothing to blend toward.
    sampler.interpolation = keys > 1 ? "LINEAR" : "STEP";
    tg::AnimationChannel channel;
    channel.sampler = 0;
    channel.target_node = 0;
    channel.target_path = "weights";
    tg::Animation animation;
    animation.name = NameToUtf8(a.name);
    animation.samplers.push_back(std::move(sampler));
    animation.channels.push_back(std::move(channel));
    gltf.animations.push_back(std::move(animation));
}

}  // namespace

std::vector<std::string> DefaultOneShots(const Md2Model& model) {
    std::vector<std::string> names;
    for (const Md2Animation& a : model.animations) {
        std::string lower = a.name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.starts_with("death") || lower.starts_with("crdeath") || lower.starts_with("crdeth"))
            names.push_back(a.name);
    }
    return names;
}

Result<std::vector<uint8_t>> ExportGltf(const Md2Model& model, const GltfExportOptions& options) {
    const auto refuse = [](std::string why) { return Failure{ErrorKind::DoesNotFit, std::move(why), format::kGltf}; };
    if (model.frames.empty() || model.triangles.empty())
        return refuse(model.frames.empty() ? "the model has no frames" : "the model has no triangles");
    if (Status finite = CheckExportablePositions(model, 0, model.FrameCount() - 1, options.scale); !finite)
        return finite.Why();
    for (const Md2Animation& a : options.animations)
        if (a.first < 0 || a.last < a.first || a.last >= model.FrameCount())
            return refuse("the animation " + NameToUtf8(a.name) + " names frames the model does not have");
    const CornerWeld mesh = WeldCorners(model);
    const size_t frames = model.frames.size(), targets = frames - 1;
    for (const Md2Animation& a : options.animations)  // the places of its weights are 32-bit
        if (AnimationKeys(a, ClosesLoop(options, a)) * targets > UINT32_MAX)
            return refuse("an animation of " + std::to_string(a.FrameCount()) + " frames in a model of " +
                          std::to_string(frames) + " would need more than 2^32 morph weights");
    if (const uint64_t bytes = BufferBytes(model, mesh, options); bytes > kMaxGltfBuffer) {
        const size_t vertices = mesh.modelVertex.size();
        return refuse("the file would hold " + std::to_string(bytes >> 20) + " MiB (" + std::to_string(frames) +
                      " frames, " + std::to_string(vertices) + (vertices == 1 ? " vertex" : " vertices") +
                      " each), more than the " + std::to_string(kMaxGltfBuffer >> 20) + " MiB a glTF export may hold");
    }

    tg::Model gltf;
    gltf.asset.version = "2.0";
    gltf.asset.generator = "Meshara " MESHARA_VERSION;
    // A binary file is made in one vector: the binary chunk as it is
    // produced, then the header and JSON put in front of it. A text file's
    // buffer is tinygltf's to embed.
    std::vector<unsigned char> bin;
    if (options.binary) bin.reserve(BufferBytes(model, mesh, options) + JsonRoom(model, options));
    BufferBuilder buffer(gltf, bin);

    // Not metallic, fully rough: the skin's colours as they are, lit.
    tg::Material material;
    material.name = FileStem(model.name);
    material.pbrMetallicRoughness.metallicFactor = 0;
    material.pbrMetallicRoughness.roughnessFactor = 1;
    gltf.materials.push_back(std::move(material));
    if (options.texture) AddTexture(gltf, buffer, *options.texture, options.binary);

    tg::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.material = 0;
    // 65535 is the primitive restart value of 16-bit indices, so it may not be used.
    if (mesh.modelVertex.size() < 65535) {
        const std::vector<uint16_t> shortIndices(mesh.indices.begin(), mesh.indices.end());
        primitive.indices = buffer.Indices(shortIndices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
    } else {
        primitive.indices = buffer.Indices(mesh.indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    }
    const std::vector<Float3> basePositions = WeldedPositions(model, mesh, 0, options.scale);
    const std::vector<Float3> baseNormals = WeldedNormals(model, mesh, 0);
    primitive.attributes["POSITION"] = buffer.Vec3(basePositions, true);
    primitive.attributes["NORMAL"] = buffer.Vec3(baseNormals, false);
    primitive.attributes["TEXCOORD_0"] = buffer.Vec2(mesh.texCoords);

    tg::Mesh gltfMesh;
    gltfMesh.name = FileStem(model.name);
    tg::Value::Array targetNames;
    // Exactly as many as are made: a growing vector would hold its old and
    // new arrays at once, thousands of them for a long model.
    gltf.accessors.reserve(gltf.accessors.size() + 2 * targets + 2 * options.animations.size());
    primitive.targets.reserve(targets);
    BufferBuilder::Vec3Run targetPositions, targetNormals;
    if (targets > 0) {
        targetPositions = buffer.Vec3Arrays(targets, mesh.modelVertex.size());
        targetNormals = buffer.Vec3Arrays(targets, mesh.modelVertex.size());
    }
    for (size_t f = 1; f < frames; ++f) {
        primitive.targets.push_back(
            {{"POSITION", buffer.Vec3(Difference(WeldedPositions(model, mesh, f, options.scale), basePositions), true,
                                      &targetPositions)},
             {"NORMAL", buffer.Vec3(Difference(WeldedNormals(model, mesh, f), baseNormals), false, &targetNormals)}});
        targetNames.emplace_back(NameToUtf8(model.frames[f].name));
    }
    gltfMesh.primitives.push_back(std::move(primitive));
    if (targets > 0) {
        // At rest the mesh shows frame 0. Target names are where Blender,
        // three.js and Babylon.js look for them.
        gltfMesh.weights.assign(targets, 0.0);
        gltfMesh.extras = tg::Value(tg::Value::Object{{"targetNames", tg::Value(targetNames)}});
    }
    gltf.meshes.push_back(std::move(gltfMesh));

    tg::Node node;
    node.name = FileStem(model.name);
    node.mesh = 0;
    gltf.nodes.push_back(std::move(node));
    tg::Scene scene;
    scene.nodes = {0};
    gltf.scenes.push_back(std::move(scene));
    gltf.defaultScene = 0;

    if (targets > 0)
        for (const Md2Animation& a : options.animations)
            AddAnimation(gltf, buffer, a, targets, options.framesPerSecond, ClosesLoop(options, a));

    // The binary chunk is padded to four bytes; the buffer says so itself.
    bin.resize((bin.size() + 3) & ~size_t{3}, 0);
    if (!options.binary) gltf.buffers.emplace_back().data = std::move(bin);

    std::vector<tg::Accessor> accessors;
    if (options.binary) accessors = std::move(gltf.accessors), gltf.accessors.clear();
    tg::TinyGLTF writer;
    std::ostringstream out;
    if (!writer.WriteGltfSceneToStream(&gltf, out, !options.binary, false)) return refuse("the glTF writer failed");
    std::string text = std::move(out).str();
    if (!options.binary) return std::vector<uint8_t>(text.begin(), text.end());
    text.pop_back();  // the line end after the JSON
    gltf = {};
    PrependGlbHeader(std::move(text), accessors, bin);
    return bin;
}

}  // namespace meshara
