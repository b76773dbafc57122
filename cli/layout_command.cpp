// meshara-cli layout: the skin painter's template of a model, its triangles
// drawn where their texture coordinates put them, over its skin or a plain
// ground (session/skin_layout.h).

#include <string>

#include "cli/cli_common.h"
#include "formats/animated_writer.h"
#include "formats/readers.h"
#include "formats/png_writer.h"
#include "session/prepare.h"
#include "session/scene_setup.h"
#include "session/skin_layout.h"

namespace meshara::cli {

namespace {

int Layout(const Arguments& args) {
    const CommandTable& table = LayoutCommand().table;
    const std::string* output = args.Value("output");
    if (!output) return Usage(table, "missing -o OUT.png");
    // The template is a PNG whatever its name, so a name that asks for another format is refused.
    if (*output != "-" && (AnimatedFormatOf(*output) || (ReaderNamed(*output).type != FileType::Png &&
                                                          ReaderNamed(*output).kind != InputKind::Unknown)))
        return Usage(table, "the template is a PNG, named OUT.png: " + *output);
    long scale = 1;
    if (const std::string* v = args.Value("scale"); v && !ParseInteger(*v, 1, kMaxLayoutScale, scale))
        return Usage(table, "--scale needs a whole number, 1 to " + std::to_string(kMaxLayoutScale));
    PrepareRequest request;
    request.model = args.operands[0];
    if (std::string problem = ReadSkinNumber(args, request.skin, &request.playerSkin); !problem.empty())
        return Usage(table, problem);
    const std::string* texture = args.Value("texture");
    request.namedSkin = args.Has("header-skin") || request.skin;
    if (texture && (request.namedSkin || !request.playerSkin.empty()))
        return Usage(table, "--texture and --header-skin or --skin both choose the skin");
    if (const std::string* v = args.Value("frame")) request.frame = *v;
    if (const std::string* v = args.Value("weapon")) request.weapon = *v;
    const bool ofWeapon = !request.weapon.empty() && request.weapon != "none";
    // A weapon's picture goes on the weapon, below; the body's through the preparation.
    if (texture && !ofWeapon) request.maps[static_cast<size_t>(MapKind::Texture)] = *texture;
    request.withoutSkin = "it is laid out on a plain ground";
    auto prepared = PrepareModel(request);
    if (auto* problem = std::get_if<PrepareProblem>(&prepared)) return Report(*problem, table);
    PreparedModel& p = std::get<PreparedModel>(prepared);
    if (ofWeapon && !p.weapon) return Usage(table, "--weapon lays out a player's weapon, and " + request.model + " holds none");
    ModelSlot& slot = ofWeapon ? *p.weapon : *p.slot;
    if (ofWeapon && texture) {
        if (Status loaded = LoadMapFile(slot, MapKind::Texture, *texture); !loaded)
            return Refused(FileKind::Skin, loaded.Why(), *texture);
        p.inputs.push_back(*texture);
    }
    const std::string& name = slot.path.empty() ? request.model : slot.path;
    if (std::string problem = SkinLayoutProblem(*slot.model, static_cast<int>(scale)); !problem.empty())
        return Unusable(name, problem);
    if (std::string same = SameAsInput({*output}, p.inputs); !same.empty())
        return Unusable(same, "is one of the command's inputs; choose another output name");

    const SkinLayout layout = DrawSkinLayout({.model = slot.model.get(),
                                              .skin = slot.Map(MapKind::Texture).get(),
                                              .scale = static_cast<int>(scale),
                                              .frame = p.doc.models.currentFrame});
    Notes notes(std::move(p.notes));
    for (const std::string& note : layout.notes) notes.Add(name + ": " + note);
    const std::vector<uint8_t> png = EncodePng(layout.width, layout.height, layout.rgba, 4);
    return notes.Finish(WriteOutput(*output, png) ? kExitOk : kExitRefused);
}

}  // namespace

const Subcommand& LayoutCommand() {
    static constexpr Option kOptions[] = {
        {"output", 'o', "OUT.png", "the picture to write (\"-\" for standard output)"},
        {"texture", 't', "F", "the skin under the lines"},
        {"header-skin", 0, nullptr, "the skin the model names, found as the game finds it, under the lines"},
        {"skin", 0, "N", "the model's skin N (from 0), found as --header-skin finds it, under the lines; for a "
                         "player's folder, one of its skins by name or number"},
        {"scale", 0, "K", "each skin pixel K x K pixels, 1 to 8 (1); lines stay one pixel wide"},
        {"frame", 'f', "K", "the frame whose folded triangles (no area) are dotted: its number or its name (0)"},
        {"weapon", 0, "NAME", "for a player's folder, the layout of this weapon (weapon, a vweap...) instead of the body's"},
    };
    static constexpr CommandTable kTable{"layout", "MODEL", 1, 1,
                                       "draw the model's triangles where they lie on its skin, into a PNG", kOptions};
    static constexpr Subcommand kCommand{kTable, Layout};
    return kCommand;
}

}  // namespace meshara::cli
