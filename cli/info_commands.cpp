// meshara-cli info, decode and light: the files as the viewer reads them.

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "formats/lgt_file.h"
#include "formats/md2_file.h"
#include "formats/name_text.h"
#include "formats/skin_decoder.h"
#include "model/md2_model.h"
#include "model/normals.h"
#include "session/player.h"
#include "session/prepare.h"
#include "session/scene_setup.h"

namespace meshara::cli {

namespace {

// A player's folder: what the game dresses it in, each model with its frame count.
int InfoPlayer(const std::string& path) {
    auto read = ReadPlayerFolder(path);
    if (!read) return Refused(FileKind::Model, read.Why(), path);
    const PlayerFolder& player = read.Value();
    const auto frames = [](const GameFile& file) {
        auto counts = ReadMd2Counts(file.path);
        return counts ? std::to_string(counts.Value().frames) + " frames" : "refused (" + counts.Detail() + ")";
    };
    const auto name = [](const GameFile& file) { return Printable(NameToUtf8(file.gamePath.substr(file.gamePath.rfind('/') + 1))); };
    std::printf("player: %s\n", Printable(NameToUtf8(player.name)).c_str());
    std::printf("body: %s, %s\n", name(player.body).c_str(), frames(player.body).c_str());
    if (player.weapon) std::printf("weapon: %s, %s\n", name(*player.weapon).c_str(), frames(*player.weapon).c_str());
    else std::printf("weapon: none\n");
    std::printf("weapon skin: %s\n", player.weaponSkin ? name(*player.weaponSkin).c_str() : "none");
    std::printf("vweps: %zu\n", player.vweps.size());
    for (const GameFile& vwep : player.vweps) std::printf("vwep: %s, %s\n", name(vwep).c_str(), frames(vwep).c_str());
    std::printf("skins: %zu\n", player.skins.size());
    for (const PlayerSkin& skin : player.skins)
        std::printf("skin: %s, icon %s%s\n", Printable(NameToUtf8(skin.name)).c_str(), name(*skin.icon).c_str(),
                    skin.iconCaseDiffers ? " (another letter case)" : "");
    for (const PlayerSkin& skin : player.iconless)
        std::printf("skin without icon: %s (the game's menu does not list it)\n", Printable(NameToUtf8(skin.name)).c_str());
    return FlushOutput();
}

int Info(const Arguments& args) {
    const std::string& path = args.operands[0];
    if (IsPlayerFolder(path)) {
        if (args.Value("frame")) return Usage(InfoCommand().table, "--frame is for a model, not a player's folder");
        return InfoPlayer(path);
    }
    // glTF and OBJ files as the MD2 convert makes of them, as everywhere.
    ModelList models;
    auto result = OpenModelFile(models, path);
    if (!result) return Refused(FileKind::Model, result.Why(), path);
    const Md2Model& model = *result.Value()->model;
    int32_t frame = -1;
    if (const std::string* k = args.Value("frame"))
        if (std::string problem = ResolveFrame(model, *k, frame); !problem.empty())
            return Usage(InfoCommand().table, problem);
    Notes notes;
    for (const std::string& note : ModelNotes(model)) notes.Add(path + ": " + note);

    std::printf("name: %s\nframes: %d\nvertices: %d\ntriangles: %d\n", Printable(FileNameToUtf8(model.name)).c_str(), model.FrameCount(),
                model.vertexCount, model.TriangleCount());
    std::printf("skins: %zu\n", model.skinNames.size());
    for (const std::string& skin : model.skinNames) std::printf("skin: %s\n", Printable(NameToUtf8(skin)).c_str());
    std::printf("animations: %zu\n", model.animations.size());
    for (const Md2Animation& a : model.animations)
        std::printf("%s %d-%d\n", Printable(NameToUtf8(a.name)).c_str(), a.first, a.last);
    if (frame >= 0) {
        const auto k = static_cast<int32_t>(frame);
        std::printf("frame %d: %s\n", frame, Printable(NameToUtf8(model.frames[static_cast<size_t>(k)].name)).c_str());
        const std::vector<Vec3d> positions = FramePositions(model, k);
        const std::vector<Vec3d> normals = VertexNormals(model, positions);
        for (size_t v = 0; v < positions.size(); ++v) {
            const Vec3d& p = positions[v];
            const Vec3d& n = normals[v];
            std::printf("%.9g %.9g %.9g %.9g %.9g %.9g\n", p.x, p.y, p.z, n.x, n.y, n.z);
        }
    }
    return notes.Finish(FlushOutput());
}

int Decode(const Arguments& args) {
    const std::string& input = args.operands[0];
    const std::string* output = args.Value("output");
    if (!output) return Usage(DecodeCommand().table, "missing -o OUT.ppm");
    auto result = ReadSkinImage(input);
    if (!result) return Refused(FileKind::Skin, result.Why(), input);
    const SkinImage& image = *result.Value();
    const std::string head = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<uint8_t> ppm(head.begin(), head.end());
    ppm.insert(ppm.end(), image.pixels.begin(), image.pixels.end());
    if (std::string same = SameAsInput({*output}, {input}); !same.empty())
        return Unusable(same, "is the command's input; choose another output name");
    return WriteOutput(*output, ppm) ? kExitOk : kExitRefused;
}

void PrintFloats(const char* label, const float* v, int count) {
    std::printf("%s:", label);
    for (int i = 0; i < count; ++i) std::printf(" %.9g", double{v[i]});
    std::printf("\n");
}

int Light(const Arguments& args) {
    const std::string* output = args.Value("output");
    const std::string* name = args.Value("name");
    if (args.Has("new")) {
        if (!args.operands.empty() || !output) return Usage(LightCommand().table, "--new takes no input file and needs -o FILE.lgt");
        LightRecord light;
        // Light names are Windows-1252 bytes; the command line is UTF-8.
        if (name && !NameFromUtf8(*name, light.name))
            return Usage(LightCommand().table, "--name must be UTF-8 text of Windows-1252 (Western European) characters");
        return WriteOutput(*output, SerializeLight(light)) ? kExitOk : kExitRefused;
    }
    if (args.operands.size() != 1 || output || name)
        return Usage(LightCommand().table, "missing a light file (or --new -o FILE.lgt)");

    const std::string& path = args.operands[0];
    auto result = LoadLightFile(path);
    if (!result) return Refused(FileKind::Light, result.Why(), path);
    const LightRecord& l = *result.Value();
    std::printf("name: %s\n", Printable(NameToUtf8(l.name)).c_str());
    PrintFloats("position", l.position, 4);
    PrintFloats("spotDirection", l.spotDirection, 4);
    PrintFloats("ambient", l.ambient, 4);
    PrintFloats("diffuse", l.diffuse, 4);
    PrintFloats("specular", l.specular, 4);
    PrintFloats("constantAttenuation", &l.constantAttenuation, 1);
    PrintFloats("linearAttenuation", &l.linearAttenuation, 1);
    PrintFloats("quadraticAttenuation", &l.quadraticAttenuation, 1);
    PrintFloats("spotExponent", &l.spotExponent, 1);
    PrintFloats("spotCutoff", &l.spotCutoff, 1);
    return FlushOutput();
}

}  // namespace

const Subcommand& InfoCommand() {
    static constexpr Option kOptions[] = {
        {"frame", 'f', "K", "also print frame K's name and one line per vertex: x y z nx ny nz (K: a number or a name)"},
    };
    static constexpr CommandTable kTable{"info", "MODEL", 1, 1,
                                       "name, counts, skin names and animations of a model", kOptions};
    static constexpr Subcommand kCommand{kTable, Info};
    return kCommand;
}

const Subcommand& DecodeCommand() {
    static constexpr Option kOptions[] = {
        {"output", 'o', "OUT.ppm", "the binary PPM to write (\"-\" for standard output)"},
    };
    static constexpr CommandTable kTable{"decode", "PICTURE", 1, 1, "decode a PCX, BMP, PNG, JPEG or TGA skin into a binary PPM",
                                       kOptions};
    static constexpr Subcommand kCommand{kTable, Decode};
    return kCommand;
}

const Subcommand& LightCommand() {
    static constexpr Option kOptions[] = {
        {"new", 0, nullptr, "write a light with the \"New Light\" values instead of reading one"},
        {"name", 0, "TEXT", "the new light's name"},
        {"output", 'o', "FILE.lgt", "where --new writes (\"-\" for standard output)"},
    };
    static constexpr CommandTable kTable{"light", "[FILE.lgt]", 0, 1, "print the fields of a light file, or write one",
                                       kOptions};
    static constexpr Subcommand kCommand{kTable, Light};
    return kCommand;
}

}  // namespace meshara::cli
