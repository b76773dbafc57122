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

#include "cli/cli_common.h"
#include "cli/progress.h"
#include "export/export_mesh.h"
#include "export/gltf_export.h"
#include "export/obj_export.h"
#include "formats/name_text.h"
#include "formats/png_writer.h"
#include "formats/skin_decoder.h"
#include "io/file_bytes.h"
#include "session/prepare.h"

namespace meshara::cli {

namespace {

enum class Format { Glb, Gltf, Obj };

struct ExportOptions {
    std::string model;
    std::string output;
    Format format = Format::Glb;
    std::string texture;
    bool headerSkin = false;
    std::optional<int32_t> skin;
    std::string playerSkin;  // for a player's folder
    std::vector<std::string> animations;
    std::optional<double> fps;
    double scale = kDefaultExportScale;
    std::optional<std::string> frame;  // a number or a frame's name
};

std::optional<Format> FormatOf(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".glb") return Format::Glb;
    if (ext == ".gltf") return Format::Gltf;
    if (ext == ".obj") return Format::Obj;
    return std::nullopt;
}

std::string Read(const Arguments& args, ExportOptions& o) {
    o.model = args.operands[0];
    const std::string* output = args.Value("output");
    if (!output) return "missing -o OUT.glb, OUT.gltf or OUT.obj";
    o.output = *output;
    if (const std::string* v = args.Value("texture")) o.texture = *v;
    if (std::string problem = ReadSkinNumber(args, o.skin, &o.playerSkin); !problem.empty()) return problem;
    o.headerSkin = args.Has("header-skin") || o.skin;
    o.animations = args.Values("animation");
    if (const std::string* v = args.Value("fps")) {
        double fps;
        if (!ParsePositive(*v, 1000, fps)) return "--fps needs a number of frames a second, above 0 up to 1000";
        o.fps = fps;
    }
    if (const std::string* v = args.Value("scale"); v && !ParsePositive(*v, 1e6, o.scale))
        return "--scale needs a number above 0 (metres per unit)";
    if (const std::string* v = args.Value("frame")) o.frame = *v;
    const auto format = FormatOf(o.output);
    if (!format) return "the output's name tells the format, .glb, .gltf or .obj: " + o.output;
    o.format = *format;
    if (o.format == Format::Obj && (!o.animations.empty() || o.fps || args.Has("one-shot") || args.Has("loop-all")))
        return "--animation, --fps, --one-shot and --loop-all are for glTF: an OBJ file holds one frame";
    if (o.format != Format::Obj && o.frame) return "--frame is for OBJ: a glTF file holds every frame";
    return {};
}

// The named animations in the order asked for, or a usage problem.
std::string SelectAnimations(const Md2Model& model, const std::vector<std::string>& names,
                             std::vector<Md2Animation>& out) {
    const std::vector<Md2Animation>& all = model.animations;
    if (names.empty()) {
        out = all;
        return {};
    }
    for (const std::string& name : names) {
        const size_t before = out.size();
        for (const Md2Animation& a : all)
            if (NameToUtf8(a.name) == name) out.push_back(a);
        if (out.size() == before) {
            std::string known;
            for (const Md2Animation& a : all) known += (known.empty() ? "" : ", ") + NameToUtf8(a.name);
            return "the model has no animation named \"" + name + "\"; it has: " + known;
        }
    }
    return {};
}

// The stamp of the material file at path when an earlier export wrote it
// and nobody has changed it since; nothing for any other file, which is
// the user's.
std::optional<MaterialStamp> StampAt(const std::string& path) {
    auto file = InputFile::Open(path);
    std::vector<uint8_t> bytes;
    constexpr uint64_t kMost = 64 * 1024;  // far more than an export's material file
    if (!file || file.Value().Size() > kMost || !file.Value().ReadMore(bytes, kMost)) return std::nullopt;
    return ReadMaterialStamp(bytes);
}

// Whether the picture at path is the one the stamp names, unchanged.
bool PictureMatches(const std::string& path, const std::optional<MaterialStamp>& stamp, const std::string& name) {
    if (!stamp || stamp->picture != name) return false;
    auto file = InputFile::Open(path);
    if (!file) return false;
    uint32_t checksum = 0;
    for (std::vector<uint8_t> piece; file.Value().Position() < file.Value().Size(); piece.clear()) {
        if (!file.Value().ReadMore(piece, 1 << 20) || piece.empty()) return false;
        checksum = StampChecksum(piece, checksum);
    }
    return checksum == stamp->pictureChecksum;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

int Export(const Arguments& args) {
    ExportOptions o;
    if (std::string problem = Read(args, o); !problem.empty()) return Usage(ExportCommand().table, problem);

    PrepareRequest request;
    request.model = o.model;
    if (o.frame) request.frame = *o.frame;
    request.namedSkin = o.headerSkin;
    request.skin = o.skin;
    request.playerSkin = o.playerSkin;
    request.weapon = "none";  // one mesh a file: a player's body
    request.withoutSkin = "it is exported without a texture";
    request.maps[static_cast<size_t>(MapKind::Texture)] = o.texture;
    request.needsTriangles = true;
    auto prepared = PrepareModel(request);
    if (auto* problem = std::get_if<PrepareProblem>(&prepared)) return Report(*problem, ExportCommand().table);
    const PreparedModel& p = std::get<PreparedModel>(prepared);
    const Md2Model& model = *p.slot->model;
    const int32_t frame = p.doc.models.currentFrame;
    std::vector<Md2Animation> animations;
    if (std::string problem = SelectAnimations(model, o.animations, animations); !problem.empty())
        return Usage(ExportCommand().table, problem);
    Notes notes(p.notes);
    const std::shared_ptr<const SkinImage> texture = p.slot->Map(MapKind::Texture);

    if (o.format == Format::Obj) {
        std::filesystem::path base(o.output);
        // OUT.mtl is the export's own; its picture gets a name of its own too,
        // and a file of that name that an earlier export did not write is never replaced.
        const std::string mtlPath = std::filesystem::path(base).replace_extension(".mtl").string();
        const std::string pngPath = std::filesystem::path(base).replace_extension("").string() + "-skin.png";
        const std::string pngName = std::filesystem::path(pngPath).filename().string();
        // The material and its picture go with the .obj, but a file of those names is replaced only when an
        // earlier export wrote it and it is as that export left it.
        const std::string objName = std::filesystem::path(o.output).filename().string();
        const std::optional<MaterialStamp> stamp = StampAt(mtlPath);
        if (Exists(mtlPath) && !stamp)
            return Unusable(mtlPath, "the material would replace this file, which no export of " + objName +
                                         " wrote; move it or choose another output name");
        if (texture && Exists(pngPath) && !PictureMatches(pngPath, stamp, pngName))
            return Unusable(pngPath, "the texture would replace this file, which no export of " + objName +
                                         " wrote; move it or choose another output name");
        if (std::string same = SameAsInput({o.output, mtlPath, texture ? pngPath : o.output}, p.inputs);
            !same.empty())
            return Unusable(same, "is one of the command's inputs; choose another output name");
        ObjExportOptions options;
        options.frame = frame;
        options.scale = o.scale;
        options.materialFile = std::filesystem::path(mtlPath).filename().string();
        const std::vector<uint8_t> png =
            texture ? EncodePng(texture->width, texture->height, texture->pixels, 3) : std::vector<uint8_t>();
        if (texture) options.textureFile = pngName, options.texturePng = png;
        auto files = ExportObj(model, options);
        if (!files) return Unusable(o.model, "cannot export: " + files.Detail());
        const std::vector<uint8_t> mtl = Bytes(files.Value().mtl), obj = Bytes(files.Value().obj);
        std::vector<FileToWrite> set = {{mtlPath, mtl}, {o.output, obj}};
        if (texture) set.insert(set.begin(), {pngPath, png});
        if (Status written = WriteFileSet(set); !written) return Refused(FileKind::Output, written.Why(), o.output);
        return notes.Finish(kExitOk);
    }

    if (std::string same = SameAsInput({o.output}, p.inputs); !same.empty())
        return Unusable(same, "is one of the command's inputs; choose another output name");
    GltfExportOptions options;
    options.binary = o.format == Format::Glb;
    options.scale = o.scale;
    options.framesPerSecond = o.fps.value_or(kFramesPerSecond);
    options.animations = std::move(animations);
    options.oneShots = args.Has("loop-all") ? std::vector<std::string>() : DefaultOneShots(model);
    for (const std::string& name : args.Values("one-shot"))
        for (const Md2Animation& a : model.animations)
            if (NameToUtf8(a.name) == name) options.oneShots.push_back(a.name);
    options.texture = texture.get();
    // Written as it is made: a long model's file need never be in memory whole.
    auto file = StreamedFile::Create(o.output);
    if (!file) return Refused(FileKind::Output, file.Why(), o.output);
    const Status exported = WithElapsedLine("exporting " + o.output, [&] {
        Status made = ExportGltf(model, options, file.Value());
        return made ? file.Value().Finish() : made;
    });
    if (!exported && exported.Error() == ErrorKind::CannotCreate)
        return Refused(FileKind::Output, exported.Why(), o.output);
    if (!exported) return Unusable(o.model, "cannot export: " + exported.Detail());
    return notes.Finish(kExitOk);
}

}  // namespace

const Subcommand& ExportCommand() {
    static constexpr Option kOptions[] = {
        {"output", 'o', "OUT", "OUT.glb or OUT.gltf: every frame and animation as glTF 2.0; OUT.obj: one frame "
                                "as OBJ, with OUT.mtl and OUT-skin.png"},
        {"texture", 't', "F", "the picture the model is dressed in"},
        {"header-skin", 0, nullptr, "the skin the model names, found as the game finds it, as the texture"},
        {"skin", 0, "N", "the model's skin N (from 0), found as --header-skin finds it, as the texture"},
        {"animation", 'a', "NAME", "only this animation, in this order (glTF)", true},
        {"fps", 0, "N", "frames a second the animations play at (10; glTF)"},
        {"one-shot", 0, "NAME", "this animation plays once: no key back to its start (glTF; deaths already do)", true},
        {"loop-all", 0, nullptr, "every animation loops, deaths too (glTF)"},
        {"scale", 0, "S", "metres per Quake unit (1/32)"},
        {"frame", 'f', "K", "the frame written: its number or its name (0; OBJ)"},
    };
    static constexpr CommandTable kTable{"export", "MODEL", 1, 1,
                                       "a model as glTF 2.0 or OBJ, in glTF's axes and metres", kOptions};
    static constexpr Subcommand kCommand{kTable, Export};
    return kCommand;
}

}  // namespace meshara::cli
