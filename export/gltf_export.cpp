#include "export/gltf_export.h"
#include "formats/format_names.h"

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <utility>

#include "export/export_mesh.h"
#include "export/streamed_json.h"
#include "formats/name_text.h"
#include "formats/png_writer.h"
#include "model/corner_weld.h"
#include "model/normals.h"

namespace meshara {

namespace {

namespace tg = tinygltf;
using streamed::Base64Out;
using streamed::Json;
using streamed::JsonOut;
using streamed::Out;

// ---- What the file holds -------------------------------------------------------

size_t AnimationKeys(const Md2Animation& a, bool closeLoop) {
    return static_cast<size_t>(a.FrameCount()) + (closeLoop && a.FrameCount() > 1 ? 1 : 0);
}

bool ClosesLoop(const GltfExportOptions& options, const Md2Animation& a) {
    return std::find(options.oneShots.begin(), options.oneShots.end(), a.name) == options.oneShots.end();
}

// Keyframe i of a clip shows frame first + i: all weights 0 for frame 0,
// otherwise weight 1 on that frame's target. Linear interpolation then
// blends neighbouring frames as the viewer does during playback. A looping
// clip ends on a key back at its first frame, one frame's time after its
// last, so players that loop it blend round and a clip of N frames lasts N/fps.
struct Clip {
    size_t frames = 0, keys = 0;
    size_t ones = 0;  // keys whose weight 1 is stored: those not at frame 0
    size_t first = 0;
    size_t Frame(size_t key) const { return first + key % frames; }
};

Clip ClipOf(const GltfExportOptions& options, const Md2Animation& a) {
    Clip c;
    c.frames = static_cast<size_t>(a.FrameCount());
    c.keys = AnimationKeys(a, ClosesLoop(options, a));
    c.first = static_cast<size_t>(a.first);
    for (size_t i = 0; i < c.keys; ++i) c.ones += c.Frame(i) > 0;
    return c;
}

float KeyTime(size_t key, double fps) { return static_cast<float>(static_cast<double>(key) / fps); }

// Everything a pass over the file needs, made once: the weld, the first
// frame's arrays (every target is a difference from them) and the picture.
struct Plan {
    Plan(const Md2Model& m, const GltfExportOptions& o) : model(m), options(o), mesh(WeldCorners(m)) {}
    const Md2Model& model;
    const GltfExportOptions& options;
    CornerWeld mesh;
    size_t vertices = 0, frames = 0, targets = 0;
    bool shortIndices = false;  // 65535 is the primitive restart value of 16-bit indices, so it may not be used
    std::vector<Float3> basePositions, baseNormals;
    std::vector<uint8_t> png;  // a binary file's picture

    size_t FirstClipView() const { return (png.empty() ? 0 : 1) + 4 + (targets > 0 ? 2 : 0); }
    size_t FirstClipAccessor() const { return 4 + 2 * targets; }
    bool HasClips() const { return targets > 0 && !options.animations.empty(); }
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

std::vector<Float3> TargetPositions(const Plan& p, size_t frame) {
    return Difference(WeldedPositions(p.model, p.mesh, frame, p.options.scale), p.basePositions);
}

std::vector<Float3> TargetNormals(const Plan& p, size_t frame) {
    return Difference(WeldedNormals(p.model, p.mesh, frame), p.baseNormals);
}

// The buffer's views in order, each starting on a 4-byte boundary so every
// accessor is aligned for its components: the picture of a binary file,
// the indices, the first frame's positions, normals and texture
// coordinates, the morph targets' positions and normals (two views for all
// of them, one target after another), then each clip's key times and its
// weights (the places and values of the sparse ones, or all of them).
enum class ViewKind { Picture, Indices, Positions, Normals, TexCoords, TargetPositions, TargetNormals, Times, Places,
                      Ones, Weights };

struct View {
    ViewKind kind;
    uint64_t offset = 0, length = 0;
    int target = 0;        // the GL buffer target, 0 for none
    bool strided = false;  // read by several accessors
    const Clip* clip = nullptr;
    const Md2Animation* animation = nullptr;
};

void ForEachView(const Plan& p, const std::function<void(const View&)>& visit) {
    uint64_t end = 0;
    const auto view = [&](View v) {
        v.offset = (end + 3) & ~uint64_t{3};
        end = v.offset + v.length;
        visit(v);
    };
    const uint64_t vertices = p.vertices, targets = p.targets;
    if (!p.png.empty()) view({ViewKind::Picture, 0, p.png.size()});
    view({ViewKind::Indices, 0, p.mesh.indices.size() * (p.shortIndices ? 2u : 4u), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER});
    view({ViewKind::Positions, 0, vertices * 12, TINYGLTF_TARGET_ARRAY_BUFFER});
    view({ViewKind::Normals, 0, vertices * 12, TINYGLTF_TARGET_ARRAY_BUFFER});
    view({ViewKind::TexCoords, 0, vertices * 8, TINYGLTF_TARGET_ARRAY_BUFFER});
    if (targets == 0) return;
    view({ViewKind::TargetPositions, 0, targets * vertices * 12, TINYGLTF_TARGET_ARRAY_BUFFER, true});
    view({ViewKind::TargetNormals, 0, targets * vertices * 12, TINYGLTF_TARGET_ARRAY_BUFFER, true});
    for (const Md2Animation& a : p.options.animations) {
        const Clip c = ClipOf(p.options, a);
        view({ViewKind::Times, 0, c.keys * 4, 0, false, &c, &a});
        // A clip of frame 0 alone has no weight that is not zero, and a
        // sparse accessor needs at least one; its one or two keys are written whole.
        if (c.ones == 0) {
            view({ViewKind::Weights, 0, c.keys * targets * 4, 0, false, &c, &a});
        } else {
            view({ViewKind::Places, 0, c.ones * 4, 0, false, &c, &a});
            view({ViewKind::Ones, 0, c.ones * 4, 0, false, &c, &a});
        }
    }
}

// The buffer's length: its views, padded to four bytes.
uint64_t BufferLength(const Plan& p) {
    uint64_t end = 0;
    ForEachView(p, [&](const View& v) { end = v.offset + v.length; });
    return (end + 3) & ~uint64_t{3};
}

// The buffer's bytes, view after view, each padded to its boundary.
template <class Sink>
void WriteBuffer(const Plan& p, Sink& out) {
    uint64_t end = 0;
    ForEachView(p, [&](const View& v) {
        out.Zeros(v.offset - end);
        end = v.offset + v.length;
        switch (v.kind) {
            case ViewKind::Picture: out.Array(p.png); break;
            case ViewKind::Indices:
                if (p.shortIndices) {
                    out.Array(std::vector<uint16_t>(p.mesh.indices.begin(), p.mesh.indices.end()));
                } else {
                    out.Array(p.mesh.indices);
                }
                break;
            case ViewKind::Positions: out.Array(p.basePositions); break;
            case ViewKind::Normals: out.Array(p.baseNormals); break;
            case ViewKind::TexCoords: out.Array(p.mesh.texCoords); break;
            case ViewKind::TargetPositions:
                for (size_t f = 1; f < p.frames && out.Ok(); ++f) out.Array(TargetPositions(p, f));
                break;
            case ViewKind::TargetNormals:
                for (size_t f = 1; f < p.frames && out.Ok(); ++f) out.Array(TargetNormals(p, f));
                break;
            case ViewKind::Times:
                for (size_t i = 0; i < v.clip->keys; ++i) {
                    const float t = KeyTime(i, p.options.framesPerSecond);
                    out.Bytes(&t, sizeof t);
                }
                break;
            case ViewKind::Places:  // where, in the keys' weights one after another, a weight is 1
                for (size_t i = 0; i < v.clip->keys; ++i)
                    if (const size_t frame = v.clip->Frame(i); frame > 0) {
                        const auto place = static_cast<uint32_t>(i * p.targets + frame - 1);
                        out.Bytes(&place, sizeof place);
                    }
                break;
            case ViewKind::Ones:
                for (size_t i = 0; i < v.clip->ones; ++i) {
                    const float one = 1.0f;
                    out.Bytes(&one, sizeof one);
                }
                break;
            case ViewKind::Weights: out.Zeros(v.length); break;
        }
    });
    out.Zeros(BufferLength(p) - end);
}

void WriteBufferViews(const Plan& p, JsonOut& json) {
    json.BeginArray();
    ForEachView(p, [&](const View& v) {
        Json view = {{"buffer", 0}, {"byteLength", v.length}};
        if (v.strided) view["byteStride"] = sizeof(Float3);
        if (v.offset > 0) view["byteOffset"] = v.offset;
        if (v.target) view["target"] = v.target;
        json.Value(view);
    });
    json.End();
}

// ---- Accessors -----------------------------------------------------------------

struct Accessor {
    int view = -1;  // none: a sparse accessor
    uint64_t byteOffset = 0;
    int componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    uint64_t count = 0;
    const char* type = "SCALAR";
    std::vector<double> min, max;
    bool sparse = false;
    uint64_t sparseCount = 0;
    int placesView = -1, onesView = -1;
};

template <size_t N>
void Bounds(Accessor& a, const std::vector<std::array<float, N>>& values) {
    a.min.assign(N, std::numeric_limits<double>::max());
    a.max.assign(N, std::numeric_limits<double>::lowest());
    for (const auto& v : values)
        for (size_t c = 0; c < N; ++c) {
            a.min[c] = std::min(a.min[c], double{v[c]});
            a.max[c] = std::max(a.max[c], double{v[c]});
        }
}

// Every accessor in order: the indices, the first frame's positions,
// normals and texture coordinates, each morph target's positions and
// normals, then each clip's key times and weights. Positions carry their
// bounds, as glTF requires of them, as do key times (sampler inputs).
void ForEachAccessor(const Plan& p, const std::function<void(const Accessor&)>& visit) {
    const int base = p.png.empty() ? 0 : 1;
    const auto vec3 = [](int view, uint64_t count) {
        Accessor a;
        a.view = view, a.count = count, a.type = "VEC3";
        return a;
    };
    Accessor indices;
    indices.view = base;
    indices.componentType = p.shortIndices ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    indices.count = p.mesh.indices.size();
    visit(indices);
    Accessor positions = vec3(base + 1, p.vertices);
    Bounds(positions, p.basePositions);
    visit(positions);
    visit(vec3(base + 2, p.vertices));
    Accessor texCoords = vec3(base + 3, p.vertices);
    texCoords.type = "VEC2";
    visit(texCoords);
    for (size_t t = 0; t < p.targets; ++t) {
        Accessor target = vec3(base + 4, p.vertices);
        target.byteOffset = t * p.vertices * sizeof(Float3);
        Bounds(target, TargetPositions(p, t + 1));
        visit(target);
        target = vec3(base + 5, p.vertices);
        target.byteOffset = t * p.vertices * sizeof(Float3);
        visit(target);
    }
    if (!p.HasClips()) return;
    int view = static_cast<int>(p.FirstClipView());
    for (const Md2Animation& a : p.options.animations) {
        const Clip c = ClipOf(p.options, a);
        Accessor times;
        times.view = view++;
        times.count = c.keys;
        times.min = times.max = {double{KeyTime(0, p.options.framesPerSecond)}};
        for (size_t i = 0; i < c.keys; ++i) {
            const double t = KeyTime(i, p.options.framesPerSecond);
            times.min[0] = std::min(times.min[0], t);
            times.max[0] = std::max(times.max[0], t);
        }
        visit(times);
        Accessor weights;
        weights.count = c.keys * p.targets;
        if (c.ones == 0) {
            weights.view = view++;
        } else {
            weights.sparse = true;
            weights.sparseCount = c.ones;
            weights.placesView = view++;
            weights.onesView = view++;
        }
        visit(weights);
    }
}

// An accessor as tinygltf writes it (a text file's).
Json AccessorJson(const Accessor& a) {
    Json o = {{"componentType", a.componentType}, {"count", a.count}, {"type", a.type}};
    if (a.view >= 0) o["bufferView"] = a.view;
    if (a.byteOffset) o["byteOffset"] = static_cast<int>(a.byteOffset);
    if (!a.min.empty()) o["min"] = a.min;
    if (!a.max.empty()) o["max"] = a.max;
    if (a.sparse)
        o["sparse"] = {{"count", static_cast<int>(a.sparseCount)},
                       {"indices", {{"bufferView", a.placesView}, {"byteOffset", 0},
                                    {"componentType", TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT}}},
                       {"values", {{"bufferView", a.onesView}, {"byteOffset", 0}}}};
    return o;
}

// An accessor of a binary file, written here as text: thousands of them
// would be a large document of their own before they became text.
std::string AccessorText(const Accessor& a) {
    std::string out = "{";
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
    if (a.view >= 0) integer("bufferView", static_cast<uint64_t>(a.view)), out += ',';
    if (a.byteOffset) integer("byteOffset", a.byteOffset), out += ',';
    integer("componentType", static_cast<uint64_t>(a.componentType));
    out += ',';
    integer("count", a.count);
    if (!a.min.empty()) numbers("min", a.min);
    if (!a.max.empty()) numbers("max", a.max);
    if (a.sparse) {
        out += ",\"sparse\":{";
        integer("count", a.sparseCount);
        out += ",\"indices\":{";
        // Both offsets written though they are 0, the default: VTK's reader, and so F3D, wants them.
        integer("bufferView", static_cast<uint64_t>(a.placesView));
        out += ",\"byteOffset\":0,";
        integer("componentType", TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
        out += "},\"values\":{";
        integer("bufferView", static_cast<uint64_t>(a.onesView));
        out += ",\"byteOffset\":0}}";
    }
    return out + ",\"type\":\"" + a.type + "\"}";
}

void WriteAccessors(const Plan& p, JsonOut& json, Out& out) {
    json.BeginArray();
    ForEachAccessor(p, [&](const Accessor& a) {
        if (!out.Ok()) return;
        if (p.options.binary) {
            json.RawValue().Text(AccessorText(a));
        } else {
            json.Value(AccessorJson(a));
        }
    });
    json.End();
}

// ---- The rest of the document ---------------------------------------------------

// The one mesh: the first frame, a morph target per further frame named
// after it (target names are where Blender, three.js and Babylon.js look
// for them), at rest on frame 0.
void WriteMeshes(const Plan& p, JsonOut& json, Out& out) {
    const std::string name = FileNameToUtf8(FileStem(p.model.name));
    json.BeginArray();
    json.BeginObject();
    if (p.targets > 0) {
        json.Key("extras");
        json.BeginObject();
        json.Key("targetNames");
        json.BeginArray();
        for (size_t f = 1; f < p.frames && out.Ok(); ++f) json.Value(Json(NameToUtf8(p.model.frames[f].name)));
        json.End();
        json.End();
    }
    if (!name.empty()) json.Key("name"), json.Value(Json(name));
    json.Key("primitives");
    json.BeginArray();
    json.BeginObject();
    json.Key("attributes");
    json.Value(Json{{"NORMAL", 2}, {"POSITION", 1}, {"TEXCOORD_0", 3}});
    json.Key("indices"), json.Number(0);
    json.Key("material"), json.Number(0);
    json.Key("mode"), json.Number(TINYGLTF_MODE_TRIANGLES);
    if (p.targets > 0) {
        json.Key("targets");
        json.BeginArray();
        for (size_t t = 0; t < p.targets && out.Ok(); ++t)
            json.Value(Json{{"NORMAL", 5 + 2 * t}, {"POSITION", 4 + 2 * t}});
        json.End();
    }
    json.End();
    json.End();
    if (p.targets > 0) {
        const std::string zero = Json(0.0).dump();
        json.Key("weights");
        json.BeginArray();
        for (size_t t = 0; t < p.targets && out.Ok(); ++t) json.RawValue().Text(zero);
        json.End();
    }
    json.End();
    json.End();
}

// One animation per clip, whose one channel steps the mesh's weights.
void WriteAnimations(const Plan& p, JsonOut& json, Out& out) {
    json.BeginArray();
    size_t accessor = p.FirstClipAccessor();
    for (const Md2Animation& a : p.options.animations) {
        if (!out.Ok()) break;
        const Clip c = ClipOf(p.options, a);
        Json animation = {{"channels", Json::array({{{"sampler", 0}, {"target", {{"node", 0}, {"path", "weights"}}}}})},
                          // One keyframe has nothing to blend toward.
                          {"samplers", Json::array({{{"input", accessor}, {"interpolation", c.keys > 1 ? "LINEAR" : "STEP"},
                                                     {"output", accessor + 1}}})}};
        if (const std::string name = NameToUtf8(a.name); !name.empty()) animation["name"] = name;
        // Marked, so convert drops the closing key and only it: a clip that plays once may well end where it began.
        if (c.keys > c.frames) animation["extras"] = {{"closingKey", true}};
        json.Value(animation);
        accessor += 2;
    }
    json.End();
}

// The parts that do not grow with the model (the asset, the material and
// its picture, the node and scene), as tinygltf writes them.
Json FixedParts(const Plan& p) {
    tg::Model gltf;
    gltf.asset.version = "2.0";
    gltf.asset.generator = "Meshara " MESHARA_VERSION;
    // Not metallic, fully rough: the skin's colours as they are, lit.
    tg::Material material;
    material.name = FileNameToUtf8(FileStem(p.model.name));
    material.pbrMetallicRoughness.metallicFactor = 0;
    material.pbrMetallicRoughness.roughnessFactor = 1;
    if (const SkinImage* skin = p.options.texture) {
        tg::Image image;
        image.name = FileNameToUtf8(FileStem(skin->fileName.empty() ? "skin" : skin->fileName));
        image.mimeType = "image/png";
        if (!p.png.empty()) {
            image.bufferView = 0;
        } else {
            // tinygltf encodes the pixels as PNG and embeds them as a data URI.
            image.width = skin->width;
            image.height = skin->height;
            image.component = 3;
            image.bits = 8;
            image.pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
            image.image = skin->pixels;
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
        material.pbrMetallicRoughness.baseColorTexture.index = 0;
    }
    gltf.materials.push_back(std::move(material));
    tg::Node node;
    node.name = FileNameToUtf8(FileStem(p.model.name));
    node.mesh = 0;
    gltf.nodes.push_back(std::move(node));
    tg::Scene scene;
    scene.nodes = {0};
    gltf.scenes.push_back(std::move(scene));
    gltf.defaultScene = 0;
    std::ostringstream text;
    tg::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&gltf, text, false, false)) return {};
    return Json::parse(std::move(text).str());
}

// The document's members in the order tinygltf writes them (by name); a
// binary file's accessors and buffer come last, after everything tinygltf made.
void WriteDocument(const Plan& p, const Json& fixed, JsonOut& json, Out& out) {
    std::vector<std::pair<std::string, std::function<void()>>> members;
    for (auto it = fixed.begin(); it != fixed.end(); ++it)
        members.emplace_back(it.key(), [&json, value = &it.value()] { json.Value(*value); });
    members.emplace_back("accessors", [&] { WriteAccessors(p, json, out); });
    if (p.HasClips()) members.emplace_back("animations", [&] { WriteAnimations(p, json, out); });
    members.emplace_back("bufferViews", [&] { WriteBufferViews(p, json); });
    members.emplace_back("meshes", [&] { WriteMeshes(p, json, out); });
    members.emplace_back("buffers", [&] {
        json.BeginArray();
        json.BeginObject();
        json.Key("byteLength"), json.Number(BufferLength(p));
        if (!p.options.binary) {
            json.Key("uri");
            Out& text = json.RawValue();
            text.Text("\"data:application/octet-stream;base64,");
            Base64Out base64(text);
            WriteBuffer(p, base64);
            base64.Finish();
            text.Text("\"");
        }
        json.End();
        json.End();
    });
    std::stable_sort(members.begin(), members.end(), [&](const auto& a, const auto& b) {
        const auto last = [&](const std::string& key) { return p.options.binary && (key == "accessors" || key == "buffers"); };
        if (last(a.first) != last(b.first)) return last(b.first);
        return a.first < b.first;
    });
    json.BeginObject();
    for (const auto& [key, write] : members) {
        if (!out.Ok()) break;
        json.Key(key);
        write();
    }
    json.End();
}

void Word(std::array<uint8_t, 4>& bytes, uint32_t v) {
    for (size_t b = 0; b < 4; ++b) bytes[b] = static_cast<uint8_t>(v >> (8 * b));
}

// A binary file: its header, the JSON chunk (which names the one buffer,
// the chunk), padded with spaces, and the binary chunk. The lengths in the
// header are known once the JSON is written, and put in front then.
Status WriteGlb(const Plan& p, const Json& fixed, Out& out, ByteSink& sink) {
    const auto refuse = [](std::string why) { return Failure{ErrorKind::DoesNotFit, std::move(why), format::kGltf}; };
    const uint64_t start = out.Written();
    out.Zeros(20);
    JsonOut json(out, false);
    WriteDocument(p, fixed, json, out);
    const uint64_t jsonEnd = out.Written();
    out.Text(std::string(((jsonEnd - start - 20 + 3) & ~uint64_t{3}) - (jsonEnd - start - 20), ' '));
    const uint64_t jsonLength = out.Written() - start - 20, bufferLength = BufferLength(p);
    const uint64_t total = 12 + 8 + jsonLength + 8 + bufferLength;
    if (total > UINT32_MAX)
        return refuse("the file would hold " + std::to_string(total >> 20) + " MiB, more than the 4096 MiB a .glb "
                      "can say it holds");
    std::array<uint8_t, 4> word;
    Word(word, static_cast<uint32_t>(bufferLength));
    out.Bytes(word.data(), 4);
    Word(word, 0x004E4942);  // "BIN"
    out.Bytes(word.data(), 4);
    WriteBuffer(p, out);
    if (Status flushed = out.Flush(); !flushed) return flushed;
    std::vector<uint8_t> head = {'g', 'l', 'T', 'F'};
    for (uint32_t v : {uint32_t{2}, static_cast<uint32_t>(total), static_cast<uint32_t>(jsonLength), uint32_t{0x4E4F534A}}) {
        Word(word, v);  // the version, the file's length, the JSON's, "JSON"
        head.insert(head.end(), word.begin(), word.end());
    }
    return sink.Overwrite(start, head);
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

}  // namespace

std::vector<std::string> DefaultOneShots(const Md2Model& model) {
    std::vector<std::string> names;
    for (const Md2Animation& a : model.animations)
        if (PlaysOnce(a.name)) names.push_back(a.name);
    return names;
}

Status ExportGltf(const Md2Model& model, const GltfExportOptions& options, ByteSink& sink) {
    const auto refuse = [](std::string why) { return Failure{ErrorKind::DoesNotFit, std::move(why), format::kGltf}; };
    if (model.frames.empty() || model.triangles.empty())
        return refuse(model.frames.empty() ? "the model has no frames" : "the model has no triangles");
    if (Status finite = CheckExportablePositions(model, 0, model.FrameCount() - 1, options.scale); !finite)
        return finite.Why();
    for (const Md2Animation& a : options.animations)
        if (a.first < 0 || a.last < a.first || a.last >= model.FrameCount())
            return refuse("the animation " + NameToUtf8(a.name) + " names frames the model does not have");
    Plan p(model, options);
    p.vertices = p.mesh.modelVertex.size();
    p.frames = model.frames.size();
    p.targets = p.frames - 1;
    p.shortIndices = p.vertices < 65535;
    for (const Md2Animation& a : options.animations)  // the places of its weights are 32-bit
        if (AnimationKeys(a, ClosesLoop(options, a)) * p.targets > UINT32_MAX)
            return refuse("an animation of " + std::to_string(a.FrameCount()) + " frames in a model of " +
                          std::to_string(p.frames) + " would need more than 2^32 morph weights");
    if (const uint64_t bytes = BufferBytes(model, p.mesh, options); bytes > kMaxGltfBuffer)
        return refuse("the file would hold " + std::to_string(bytes >> 20) + " MiB (" + std::to_string(p.frames) +
                      " frames, " + std::to_string(p.vertices) + (p.vertices == 1 ? " vertex" : " vertices") +
                      " each), more than the " + std::to_string(kMaxGltfBuffer >> 20) + " MiB a glTF export may hold");
    p.basePositions = WeldedPositions(model, p.mesh, 0, options.scale);
    p.baseNormals = WeldedNormals(model, p.mesh, 0);
    if (options.binary && options.texture)
        p.png = EncodePng(options.texture->width, options.texture->height, options.texture->pixels, 3);
    const Json fixed = FixedParts(p);
    if (!fixed.is_object()) return refuse("the glTF writer failed");

    Out out(sink);
    if (options.binary) {
        if (Status written = WriteGlb(p, fixed, out, sink); !written) return written;
        return out.Flush();
    }
    JsonOut json(out, true);
    WriteDocument(p, fixed, json, out);
    out.Text("\n");
    return out.Flush();
}

Result<std::vector<uint8_t>> ExportGltf(const Md2Model& model, const GltfExportOptions& options) {
    MemorySink sink;
    if (Status made = ExportGltf(model, options, sink); !made) return made.Why();
    return std::move(sink.bytes);
}

}  // namespace meshara
