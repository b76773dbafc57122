// meshara-cli export: a model as glTF 2.0 (.glb, or .gltf with everything
// embedded) holding every frame and animation, or one frame as Wavefront
// OBJ with its material and picture beside it.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/cli_common.h"
#include "export/export_mesh.h"
#include "export/gltf_export.h"
#include "export/obj_export.h"
#include "model/animations.h"
#include "model/md2_loader.h"
#include "skins/png_writer.h"
#include "skins/skin_decoder.h"
#include "skins/skin_lookup.h"

namespace meshara::cli {

namespace {

enum class Format { Glb, Gltf, Obj };

struct ExportOptions {
    std::string model;
    std::string output;
    Format format = Format::Glb;
    std::string texture;
    bool headerSkin = false;
    std::vector<std::string> animations;
    std::optional<double> fps;
    double scale = kDefaultExportScale;
    std::optional<long> frame;
};

// A decimal number within (0, high]; false for anything else.
bool ParsePositive(std::string_view text, double high, double& out) {
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end == s.c_str() || *end != '\0' || errno != 0 || !std::isfinite(v) || v <= 0 || v > high)
        return false;
    out = v;
    return true;
}

std::optional<Format> FormatOf(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".glb") return Format::Glb;
    if (ext == ".gltf") return Format::Gltf;
    if (ext == ".obj") return Format::Obj;
    return std::nullopt;
}

std::string Parse(const Args& args, ExportOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        std::string_view v;
        auto value = [&] {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        if (a == "-o") {
            if (!value() || !o.output.empty()) return "-o needs one output file";
            o.output = std::string(v);
        } else if (a == "--texture") {
            if (!value() || !o.texture.empty()) return "--texture needs one picture file";
            o.texture = std::string(v);
        } else if (a == "--header-skin") {
            o.headerSkin = true;
        } else if (a == "--animation") {
            if (!value()) return "--animation needs an animation name";
            o.animations.emplace_back(v);
        } else if (a == "--fps") {
            double fps;
            if (!value() || !ParsePositive(v, 1000, fps)) return "--fps needs a number of frames a second, above 0 up to 1000";
            o.fps = fps;
        } else if (a == "--scale") {
            if (!value() || !ParsePositive(v, 1e6, o.scale)) return "--scale needs a number above 0 (metres per unit)";
        } else if (a == "--frame") {
            long frame;
            if (!value() || !ParseInteger(v, 0, INT32_MAX, frame)) return "--frame needs a frame number (0 or more)";
            o.frame = frame;
        } else if (o.model.empty() && !a.starts_with("-")) {
            o.model = std::string(a);
        } else {
            return "unexpected argument: " + std::string(a);
        }
    }
    if (o.model.empty()) return "export needs a model file";
    if (o.output.empty()) return "export needs -o OUT.glb, OUT.gltf or OUT.obj";
    const auto format = FormatOf(o.output);
    if (!format) return "export writes .glb, .gltf or .obj files, told by the output's name: " + o.output;
    o.format = *format;
    if (o.format == Format::Obj && (!o.animations.empty() || o.fps))
        return "--animation and --fps are for glTF: an OBJ file holds one frame";
    if (o.format != Format::Obj && o.frame) return "--frame is for OBJ: a glTF file holds every frame";
    return {};
}

// The named animations in the order asked for, or a usage problem.
std::string SelectAnimations(const Md2Model& model, const std::vector<std::string>& names,
                             std::vector<Md2Animation>& out) {
    const std::vector<Md2Animation> all = FindAnimations(model);
    if (names.empty()) {
        out = all;
        return {};
    }
    for (const std::string& name : names) {
        const size_t before = out.size();
        for (const Md2Animation& a : all)
            if (a.name == name) out.push_back(a);
        if (out.size() == before) {
            std::string known;
            for (const Md2Animation& a : all) known += (known.empty() ? "" : ", ") + a.name;
            return "the model has no animation named \"" + name + "\"; it has: " + known;
        }
    }
    return {};
}

// Writes the files in order. When one fails, the files this run made that
// were not there before are removed again, so a failed export adds nothing.
bool WriteAll(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
    std::vector<std::string> made;
    for (const auto& [path, bytes] : files) {
        std::error_code ec;
        const bool existed = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
        if (!WriteOutput(path, bytes)) {
            for (const std::string& m : made) std::filesystem::remove(m, ec);
            return false;
        }
        if (!existed) made.push_back(path);
    }
    return true;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

int Export(const Args& args) {
    ExportOptions o;
    if (std::string problem = Parse(args, o); !problem.empty()) return Usage(problem);

    auto loaded = LoadMd2Model(o.model);
    if (!loaded) return Refused(FileKind::Model, loaded.Error(), o.model, loaded.Detail());
    const Md2Model& model = *loaded.Value();
    if (model.FrameCount() == 0 || model.triangles.empty()) {
        std::fprintf(stderr, "meshara-cli: %s: the model has no %s, so there is nothing to export\n", o.model.c_str(),
                     model.FrameCount() == 0 ? "frames" : "triangles");
        return kExitRefused;
    }
    if (o.frame && *o.frame >= model.FrameCount())
        return Usage("frame " + std::to_string(*o.frame) + " is out of range: the model has " +
                     std::to_string(model.FrameCount()) + " frames");
    std::vector<Md2Animation> animations;
    if (std::string problem = SelectAnimations(model, o.animations, animations); !problem.empty())
        return Usage(problem);

    if (o.headerSkin && o.texture.empty()) {
        o.texture = FindSkinFile(o.model, model.skinNames);
        if (o.texture.empty())
            std::fprintf(stderr, "note: %s: %s; it is exported without a texture\n", o.model.c_str(),
                         model.skinNames.empty() ? "the model names no skin"
                                                 : ("its skin " + model.skinNames.front() + " was not found").c_str());
    }
    std::unique_ptr<SkinImage> texture;
    if (!o.texture.empty()) {
        auto skin = ReadSkinImage(o.texture);
        if (!skin) return Refused(FileKind::Skin, skin.Error(), o.texture, skin.Detail());
        texture = skin.Take();
    }

    std::string why;
    if (o.format == Format::Obj) {
        std::filesystem::path base(o.output);
        const std::string mtlPath = std::filesystem::path(base).replace_extension(".mtl").string();
        const std::string pngPath = std::filesystem::path(base).replace_extension(".png").string();
        ObjExportOptions options;
        options.frame = static_cast<int32_t>(o.frame.value_or(0));
        options.scale = o.scale;
        options.materialFile = std::filesystem::path(mtlPath).filename().string();
        if (texture) options.textureFile = std::filesystem::path(pngPath).filename().string();
        const auto files = ExportObj(model, options, why);
        if (!files) {
            std::fprintf(stderr, "meshara-cli: %s: cannot export: %s\n", o.model.c_str(), why.c_str());
            return kExitRefused;
        }
        std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
        if (texture) out.emplace_back(pngPath, EncodePng(texture->width, texture->height, texture->pixels, 3));
        out.emplace_back(mtlPath, Bytes(files->mtl));
        out.emplace_back(o.output, Bytes(files->obj));
        return WriteAll(out) ? kExitOk : kExitRefused;
    }

    GltfExportOptions options;
    options.binary = o.format == Format::Glb;
    options.scale = o.scale;
    options.framesPerSecond = o.fps.value_or(10);
    options.animations = std::move(animations);
    options.texture = texture.get();
    const auto bytes = ExportGltf(model, options, why);
    if (!bytes) {
        std::fprintf(stderr, "meshara-cli: %s: cannot export: %s\n", o.model.c_str(), why.c_str());
        return kExitRefused;
    }
    return WriteOutput(o.output, *bytes) ? kExitOk : kExitRefused;
}

}  // namespace meshara::cli
