// meshara-cli convert: a glTF or OBJ model made into an MD2 file the game
// engines load, through convert/.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/progress.h"
#include "convert/convert_file.h"
#include "formats/pcx_writer.h"
#include "formats/readers.h"
#include "io/file_bytes.h"

namespace meshara::cli {

namespace {

enum class Input { Gltf, Obj };

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// "WxH" with each side 1..32768.
bool ParseSize(const std::string& text, int32_t& w, int32_t& h) {
    const size_t x = text.find('x');
    long a, b;
    if (x == std::string::npos || !ParseInteger(text.substr(0, x), 1, 32768, a) || !ParseInteger(text.substr(x + 1), 1, 32768, b))
        return false;
    w = static_cast<int32_t>(a), h = static_cast<int32_t>(b);
    return true;
}

int Convert(const Arguments& args) {
    const CommandTable& table = ConvertCommand().table;
    const std::string in = args.operands[0];
    const std::string* output = args.Value("output");
    if (!output) return Usage(table, "missing -o OUT.md2");
    if (Lower(std::filesystem::path(*output).extension().string()) != ".md2")
        return Usage(table, "the output is an MD2 file, named OUT.md2: " + *output);
    // Told by the content, as every input is; by the name only where the content tells nothing.
    auto sniffed = SniffFile(in);
    if (!sniffed) return Unusable(in, "cannot read: " + sniffed.Detail());
    const FileType type = sniffed.Value() == FileType::Unknown ? OtherModelTypeByName(in) : sniffed.Value();
    if (ReaderFor(type).kind != InputKind::OtherModel)
        return Unusable(in, std::string("is not a glTF or OBJ file") +
                                (ReaderFor(type).format ? std::string(" (its content is ") + ReaderFor(type).format + ")"
                                                        : std::string()));
    const Input input = type == FileType::Obj ? Input::Obj : Input::Gltf;

    GltfReadOptions read;
    read.animations = args.Values("animation");
    if (const std::string* v = args.Value("fps"); v && !ParsePositive(*v, 1000, read.framesPerSecond))
        return Usage(table, "--fps needs a number of frames a second, above 0 up to 1000");
    if (const std::string* v = args.Value("mesh")) read.mesh = *v;
    Md2BuildOptions build;
    if (const std::string* v = args.Value("scale"); v && !ParsePositive(*v, 1e6, build.scale))
        return Usage(table, "--scale needs a number above 0 (Quake units per metre)");
    build.skinNames = args.Values("skin");
    if (const std::string* v = args.Value("skin-size"); v && !ParseSize(*v, build.skinWidth, build.skinHeight))
        return Usage(table, "--skin-size needs WxH, each from 1 to 32768");
    build.ignoreEngineLimits = args.Has("ignore-engine-limits");
    if (input == Input::Obj && (!read.animations.empty() || args.Has("fps") || args.Has("mesh")))
        return Usage(table, "--animation, --fps and --mesh are for glTF: an OBJ file holds one frame");

    const std::string* writeSkin = args.Value("write-skin");
    const std::string* paletteFile = args.Value("palette");
    if (writeSkin && Lower(std::filesystem::path(*writeSkin).extension().string()) != ".pcx")
        return Usage(table, "--write-skin writes a .pcx file: " + *writeSkin);
    if (paletteFile && !writeSkin) return Usage(table, "--palette is for --write-skin");
    std::optional<Palette> palette;
    if (paletteFile) {
        auto bytes = ReadFileBytes(*paletteFile);
        if (!bytes) return Unusable(*paletteFile, "cannot read: " + bytes.Detail());
        auto read = ReadPcxPalette(bytes.Value());
        if (!read) return Unusable(*paletteFile, read.Detail());
        palette = read.Value();
    }
    if (std::string same = SameAsInput({*output, writeSkin ? *writeSkin : std::string()},
                                       {in, paletteFile ? *paletteFile : std::string()});
        !same.empty())
        return Unusable(same, "is one of the command's inputs; choose another output name");
    auto converted = WithElapsedLine("converting " + *output, [&] { return ConvertModelFile(in, read, build); });
    if (!converted) {
        if (converted.Error() == ErrorKind::CannotOpen) return Unusable(in, "cannot read: " + converted.Detail());
        if (converted.Error() == ErrorKind::DoesNotFit) return Unusable(in, "cannot convert: " + converted.Detail());
        return Unusable(in, "cannot read: " + converted.Detail());
    }
    // Nor any file beside a glTF that its buffers and pictures were read from.
    if (std::string same = SameAsInput({*output, writeSkin ? *writeSkin : std::string()}, converted.Value().externalFiles);
        !same.empty())
        return Unusable(same, "is one of the command's inputs; choose another output name");
    Notes notes;
    const Md2Built& b = converted.Value().built;
    char line[160];
    std::snprintf(line, sizeof line, "%d vertices, %zu triangles, %zu frames; skin %dx%d; GL commands: %zu strips, %zu fans, %.2f triangles each on average",
                  b.file.vertexCount, b.file.triangles.size(), b.file.frames.size(), b.file.skinWidth,
                  b.file.skinHeight, b.strips, b.fans, b.AverageStripLength());
    notes.Add(line);
    if (converted.Value().skinSizeGuessed)
        notes.Add("no texture tells the skin's size; texture coordinates are for " + std::to_string(kDefaultSkinSize) +
                  "x" + std::to_string(kDefaultSkinSize) + " (--skin-size sets it)");
    if (!writeSkin) return notes.Finish(WriteOutput(*output, converted.Value().md2) ? kExitOk : kExitRefused);
    if (!converted.Value().texture) return Unusable(in, "holds no texture to write as the skin");
    auto pcx = EncodePcx8(*converted.Value().texture, palette ? &*palette : nullptr);
    if (!pcx) return Unusable(in, "cannot write the skin: " + pcx.Detail());
    const std::vector<FileToWrite> set = {{*writeSkin, pcx.Value()}, {*output, converted.Value().md2}};
    if (Status written = WriteFileSet(set); !written) return Refused(FileKind::Output, written.Why(), *output);
    return notes.Finish(kExitOk);
}

}  // namespace

const Subcommand& ConvertCommand() {
    static constexpr Option kOptions[] = {
        {"output", 'o', "OUT", "OUT.md2, the model written"},
        {"animation", 'a', "NAME", "only this animation, in this order (glTF; all by default)", true},
        {"fps", 0, "N", "frames a second each animation is sampled at (10, the engine's; glTF)"},
        {"scale", 0, "S", "Quake units per metre (32)"},
        {"skin", 0, "GAMEPATH", "a skin name the model gives, such as models/x/skin.pcx", true},
        {"skin-size", 0, "WxH", "the skin's size in pixels, when no texture in the file tells it (256x256)"},
        {"mesh", 0, "NAME", "the mesh converted, by its name or its node's, when the file holds several (glTF)"},
        {"write-skin", 0, "OUT.pcx", "the glTF's texture as an 8-bit PCX skin with a palette of its own"},
        {"palette", 0, "FILE.pcx", "map the skin to this PCX's palette instead (the game's own colormap)"},
        {"ignore-engine-limits", 0, nullptr, "write a model beyond what the game engines load (2048 vertices, "
                                             "4096 triangles, 512 frames, 32 skins)"},
    };
    static constexpr CommandTable kTable{"convert", "IN.glb|IN.gltf|IN.obj", 1, 1,
                                       "a glTF or OBJ model as an MD2 file for the game engines", kOptions};
    static constexpr Subcommand kCommand{kTable, Convert};
    return kCommand;
}

}  // namespace meshara::cli
