#include "session/check.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "formats/game_fs.h"
#include "formats/md2_file.h"
#include "formats/name_text.h"
#include "formats/readers.h"
#include "formats/skin_decoder.h"
#include "io/byte_reader.h"
#include "io/file_name.h"
#include "model/md2_model.h"
#include "model/texture_layout.h"
#include "session/messages.h"
#include "session/player.h"
#include "session/skin_search.h"

namespace meshara {

namespace {

using Clock = std::chrono::steady_clock;

// Past four times the engine's limits a model is judged by its header alone,
// as a thumbnail is: its tables are not read.
constexpr Md2Counts kMostRead{4 * engine::kMaxVertices, 4 * engine::kMaxTriangles, 4 * engine::kMaxFrames,
                              4 * engine::kMaxSkins};
// Frames a model may name one by one before the rest are counted together.
constexpr int32_t kFramesNamed = 8;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

void Add(CheckedModel& m, const char* code, Severity severity, std::string message,
         std::optional<int32_t> frame = std::nullopt) {
    m.findings.push_back({code, severity, std::move(message), frame});
}

// What a picture is to the game: its kind and size, or why it cannot be used.
struct PictureFacts {
    FileType type = FileType::Unknown;
    int32_t width = 0, height = 0;
    std::string problem;
};

PictureFacts ReadPictureFacts(const GameFile& file, int64_t maxPixels) {
    PictureFacts facts;
    auto input = OpenGameFile(file, kMaxPictureEntryBytes);
    if (!input) {
        facts.problem = FailureText(input.Why());
        return facts;
    }
    std::vector<uint8_t> bytes;
    if (Status read = input.Value().ReadMore(bytes, kSkinHeaderBytes); !read) {
        facts.problem = FailureText(read.Why());
        return facts;
    }
    const bool whole = bytes.size() >= input.Value().Size();
    facts.type = ReaderOf(bytes, whole).type;
    // The header first: a picture claiming more than it may have costs only these bytes.
    if (Status head = CheckSkinHeader(bytes, maxPixels); !head) {
        facts.problem = FailureText(head.Why());
        return facts;
    }
    if (Status read = input.Value().ReadMore(bytes, input.Value().Size() - bytes.size()); !read) {
        facts.problem = FailureText(read.Why());
        return facts;
    }
    auto picture = DecodeSkinImage(bytes);
    if (!picture) {
        facts.problem = FailureText(picture.Why());
        return facts;
    }
    facts.width = picture.Value().width;
    facts.height = picture.Value().height;
    return facts;
}

// What a skin picture's kind and size mean to the game.
void JudgePicture(CheckedModel& m, const std::string& path, const PictureFacts& facts, int32_t skinWidth,
                  int32_t skinHeight) {
    if (!facts.problem.empty()) {
        Add(m, "skin-unreadable", Severity::Warning, path + " cannot be used: " + facts.problem);
        return;
    }
    if (facts.type != FileType::Pcx) {
        Add(m, "skin-not-pcx", Severity::Note,
            path + " is a " + std::string(ReaderFor(facts.type).format) +
                " picture: source ports read it, the original renderers read only PCX");
    } else if (facts.width > engine::kMaxPictureWidth || facts.height > engine::kMaxPictureHeight) {
        Add(m, "skin-picture-too-large", Severity::Warning,
            path + " is " + std::to_string(facts.width) + " x " + std::to_string(facts.height) +
                ", larger than the 640 x 480 the game's picture loader takes");
    }
    if (facts.width != skinWidth || facts.height != skinHeight)
        Add(m, "skin-size-differs", Severity::Warning,
            path + " is " + std::to_string(facts.width) + " x " + std::to_string(facts.height) +
                ", the model's header says " + std::to_string(skinWidth) + " x " + std::to_string(skinHeight));
}

// Pictures already judged, so a file several names lead to is read once.
struct PictureCache {
    std::vector<std::pair<GameFile, PictureFacts>> seen;
    const PictureFacts& Of(const GameFile& file, int64_t maxPixels) {
        for (const auto& [f, facts] : seen)
            if (f.SameAs(file)) return facts;
        seen.emplace_back(file, ReadPictureFacts(file, maxPixels));
        return seen.back().second;
    }
};

// The limits the header's numbers are held to.
void JudgeHeader(CheckedModel& m, const Md2Layout& h) {
    const struct {
        const char* code;
        Severity severity;
        int32_t has, most;
        const char* what;
    } limits[] = {
        {"too-many-vertices", Severity::Error, h.declared.vertices, engine::kMaxVertices, "vertices"},
        {"too-many-triangles", Severity::Warning, h.declared.triangles, engine::kMaxTriangles, "triangles"},
        {"too-many-frames", Severity::Warning, h.declared.frames, engine::kMaxFrames, "frames"},
        {"too-many-skins", Severity::Error, h.declared.skins, engine::kMaxSkins, "skins"},
    };
    for (const auto& l : limits)
        if (l.has > l.most)
            Add(m, l.code, l.severity,
                "the model has " + std::to_string(l.has) + " " + l.what + ", more than the engine's " +
                    std::to_string(l.most));
    if (h.skinHeight > engine::kMaxSkinHeight)
        Add(m, "skin-too-tall", Severity::Error,
            "the header's skin height is " + std::to_string(h.skinHeight) + ", more than the " +
                std::to_string(engine::kMaxSkinHeight) + " the engine takes");
    std::string none;
    for (const auto& [count, what] : {std::pair(h.declared.vertices, "vertices"), std::pair(h.texCoords, "texture coordinates"),
                                      std::pair(h.declared.triangles, "triangles"), std::pair(h.declared.frames, "frames")})
        if (count <= 0) none += (none.empty() ? "" : ", ") + std::string(what);
    if (!none.empty()) Add(m, "no-geometry", Severity::Error, "the model has no " + none + ": the engine refuses it");
    if (h.unterminatedSkinNames > 0)
        Add(m, "skin-name-unterminated", Severity::Warning,
            Plural(h.unterminatedSkinNames, "skin name fills", "skin names fill") +
                " all 64 bytes without a closing zero: the engine reads on into the next");
}

// Triangles the engine draws alike or not at all, vertices none uses, frames that draw nothing.
void JudgeGeometry(CheckedModel& m, const Md2Model& model, const Md2Layout& layout) {
    if (model.cornersWithoutTexCoord > 0)
        Add(m, "texcoord-index-past-table", Severity::Note,
            Plural(model.cornersWithoutTexCoord, "triangle corner names", "triangle corners name") +
                " a texture coordinate past the table's " + std::to_string(layout.texCoords));
    if (const int32_t outside = CornersOutsideSkin(model).count; outside > 0)
        Add(m, "texcoord-outside-skin", Severity::Note,
            Plural(outside, "triangle corner lies", "triangle corners lie") + " off the " + std::to_string(layout.skinWidth) +
                " x " + std::to_string(layout.skinHeight) + " skin: the picture wraps round there");
    // A triangle twice over is a duplicate, said as such; other pairs share pixels the painter sees once.
    std::vector<std::pair<int32_t, int32_t>> overlaps;
    for (const auto& pair : OverlappingTriangles(model, 1000)) {
        const auto corners = [&](int32_t t) {
            const uint16_t* v = model.triangles[static_cast<size_t>(t)].vertex;
            std::array<uint16_t, 3> sorted{v[0], v[1], v[2]};
            std::sort(sorted.begin(), sorted.end());
            return sorted;
        };
        const auto a = corners(pair.first), b = corners(pair.second);
        if (a != b) overlaps.push_back(pair);
    }
    if (!overlaps.empty())
        Add(m, "texcoord-overlap", Severity::Note,
            Plural(static_cast<int64_t>(overlaps.size()), "pair of triangles facing", "pairs of triangles facing") +
                " the same way share skin pixels (the first: triangles " + std::to_string(overlaps[0].first) + " and " +
                std::to_string(overlaps[0].second) + "): paint there shows in both places");
    if (!layout.glCommandsProblem.empty() && !model.triangles.empty()) {
        Add(m, "glcmds-differ", Severity::Note, layout.glCommandsProblem + ": the game draws the GL commands, not the triangles");
    } else if (layout.trianglesNotInGlCommands > 0 || layout.glTrianglesNotInTable > 0) {
        std::string what;
        if (layout.trianglesNotInGlCommands > 0)
            what = "leave out " + Plural(layout.trianglesNotInGlCommands, "triangle", "triangles") + " of the model";
        if (layout.glTrianglesNotInTable > 0)
            what += (what.empty() ? "draw " : " and draw ") +
                    Plural(layout.glTrianglesNotInTable, "triangle", "triangles") + " it does not have";
        Add(m, "glcmds-differ", Severity::Note, "the GL commands, which the game draws, " + what);
    }
    int32_t degenerate = 0, flat = 0;  // a vertex used twice; corners in a line in every frame
    std::vector<std::array<uint16_t, 3>> turned;
    for (const Md2Triangle& t : model.triangles) {
        const uint16_t a = t.vertex[0], b = t.vertex[1], c = t.vertex[2];
        if (a == b || b == c || a == c)
            ++degenerate;
        else if (std::none_of(model.frames.begin(), model.frames.end(),
                              [&](const Md2Frame& f) { return TriangleHasArea(f, a, b, c); }))
            ++flat;
        // The same corners in the same cyclic order: started from the least.
        std::array<uint16_t, 3> k{a, b, c};
        std::rotate(k.begin(), std::min_element(k.begin(), k.end()), k.end());
        turned.push_back(k);
    }
    if (flat > 0)
        Add(m, "degenerate-triangles", Severity::Note,
            Plural(degenerate + flat, "triangle has", "triangles have") + " no area in any frame: " +
                std::to_string(degenerate) + " with a vertex used twice, " + std::to_string(flat) +
                " with their corners in a line");
    else if (degenerate > 0)
        Add(m, "degenerate-triangles", Severity::Note,
            Plural(degenerate, "triangle uses", "triangles use") + " one vertex twice: it has no area in any frame");
    std::sort(turned.begin(), turned.end());
    int32_t duplicates = 0;
    for (size_t i = 1; i < turned.size(); ++i) duplicates += turned[i] == turned[i - 1];
    if (duplicates > 0)
        Add(m, "duplicate-triangles", Severity::Warning,
            Plural(duplicates, "triangle repeats", "triangles repeat") +
                " another's corners in the same order: drawn twice, they flicker against each other");
    const std::vector<bool> used = UsedVertices(model);
    if (const auto unused = std::count(used.begin(), used.end(), false); unused > 0)
        Add(m, "unused-vertices", Severity::Note, Plural(unused, "vertex is", "vertices are") + " used by no triangle");
    if (model.triangles.empty()) return;
    int32_t empty = 0;
    for (int32_t f = 0; f < model.FrameCount(); ++f) {
        if (FrameDrawsSomething(model, f)) continue;
        if (++empty <= kFramesNamed)
            Add(m, "empty-frame", Severity::Warning,
                "frame " + std::to_string(f) + " (" + NameToUtf8(model.frames[static_cast<size_t>(f)].name) +
                    ") draws nothing: none of its triangles has an area", f);
    }
    if (empty > kFramesNamed)
        Add(m, "empty-frame", Severity::Warning,
            "and " + Plural(empty - kFramesNamed, "more frame draws", "more frames draw") + " nothing");
}

// Where else the game holds the same path, and which the engine takes.
void JudgeShadowing(CheckedModel& m, const LocatedFile& located) {
    if (!located.inGame) return;
    const std::vector<GameFile> all = located.fs.FindAll(located.file.gamePath);
    if (all.size() < 2) return;
    std::string places;
    for (const GameFile& f : all) places += (places.empty() ? "" : ", ") + f.SourcePath();
    Add(m, "entry-shadowed", Severity::Note,
        NameToUtf8(located.file.gamePath) + " is in " + std::to_string(all.size()) + " places of the game (" + places +
            "); the engine takes " + all.front().path);
}

// The skins a model names, looked for where the engine looks.
void JudgeNamedSkins(CheckedModel& m, const LocatedFile& located, const Md2Model& model, const Md2Layout& layout,
                     const CheckLimits& limits, PictureCache& pictures, Clock::time_point deadline) {
    if (model.skinNames.empty()) {
        Add(m, "skin-missing", Severity::Warning, "the model names no skin: the game draws it untextured");
        return;
    }
    const SkinSearch search(located);
    std::vector<GameFile> judged;
    for (size_t i = 0; i < model.skinNames.size() && i < kMaxSkinNamesSearched; ++i) {
        if (Clock::now() > deadline) {
            Add(m, "check-incomplete", Severity::Warning,
                "the check ran out of its time before skin " + std::to_string(i) + "; the rest were not looked for");
            return;
        }
        const std::string& name = model.skinNames[i];
        const std::string shown = NameToUtf8(name);
        const std::vector<SkinSearch::Candidate> candidates = search.Marked(name);
        if (candidates.empty()) {
            Add(m, "skin-missing", Severity::Warning,
                "the skin " + shown + " is found nowhere the game looks" +
                    (located.inGame ? " (" + located.fs.GameFolder() + ")" : std::string()));
            continue;
        }
        const SkinSearch::Candidate& first = candidates.front();
        if (located.inGame && (first.beside || !SkinNameIsGamePath(name)))
            Add(m, "skin-not-at-game-path", Severity::Warning,
                "the skin " + shown + " is not where the game looks; only " + first.file.path +
                    ", by its file name, is found");
        else if (!first.file.exactCase)
            Add(m, "skin-letter-case", Severity::Warning,
                "the skin " + shown + " is found only in another letter case, as " + first.file.path +
                    ": a game on a case-sensitive disk does not find it");
        // A picture several names lead to is judged once.
        if (std::any_of(judged.begin(), judged.end(), [&](const GameFile& f) { return f.SameAs(first.file); })) continue;
        judged.push_back(first.file);
        JudgePicture(m, first.file.path, pictures.Of(first.file, limits.maxSkinPixels), layout.skinWidth, layout.skinHeight);
    }
}

// A model's file read and judged; the model and its layout for the player's checks.
struct Opened {
    CheckedModel record;
    std::shared_ptr<Md2Model> model;
    Md2Layout layout;
};

Opened CheckModelFile(const std::string& path, bool namedSkins, const CheckLimits& limits, PictureCache& pictures,
                      Clock::time_point deadline) {
    Opened out;
    CheckedModel& m = out.record;
    m.path = path;
    auto located = LocateFile(path);
    if (!located) {
        Add(m, "damaged", Severity::Error, FailureText(located.Why()));
        return out;
    }
    const LocatedFile& file = located.Value();
    JudgeShadowing(m, file);
    auto input = OpenGameFile(file.file, kMaxModelEntryBytes);
    std::vector<uint8_t> bytes;
    Status read = input ? input.Value().ReadMore(bytes, kMd2HeaderSize) : Status(input.Why());
    if (!read) {
        Add(m, "damaged", Severity::Error, FailureText(read.Why()));
        return out;
    }
    if (bytes.size() >= kMd2HeaderSize && std::equal(kMd2Magic.begin(), kMd2Magic.end(), bytes.begin())) {
        const Md2Layout header = ReadMd2HeaderCounts(bytes);
        const Md2Counts& c = header.declared;
        const bool beyond = c.vertices > kMostRead.vertices || c.triangles > kMostRead.triangles ||
                            c.frames > kMostRead.frames || c.skins > kMostRead.skins;
        // A loose file is not bounded by its opening as an archive's entry is.
        if (beyond || input.Value().Size() > kMaxModelEntryBytes) {
            JudgeHeader(m, header);
            m.vertices = c.vertices, m.triangles = c.triangles, m.frames = c.frames;
            Add(m, "check-incomplete", Severity::Warning,
                beyond ? "the model is more than four times the engine's limits: only its header was judged"
                       : "the file is larger than the " + std::to_string(kMaxModelEntryBytes >> 20) +
                             " MiB a model is read up to: only its header was judged");
            return out;
        }
    }
    try {
        read = input.Value().ReadMore(bytes, input.Value().Size() - bytes.size());
        auto model = read ? ParseMd2Model(bytes, FileNameOfPath(path)) : Result<std::shared_ptr<Md2Model>>(read.Why());
        if (!model) {
            Add(m, "damaged", Severity::Error, FailureText(model.Why()));
            return out;
        }
        auto layout = ReadMd2Layout(bytes);
        if (!layout) {
            Add(m, "damaged", Severity::Error, FailureText(layout.Why()));
            return out;
        }
        bytes = {};
        out.model = model.Take();
        out.layout = layout.Take();
    } catch (const std::bad_alloc&) {
        Add(m, "damaged", Severity::Error, "not enough memory to hold the model");
        return out;
    }
    const Md2Model& model = *out.model;
    m.drawn = path;
    m.frames = model.FrameCount();
    m.vertices = model.vertexCount;
    m.triangles = model.TriangleCount();
    for (const std::string& s : model.skinNames) m.skins.push_back(NameToUtf8(s));
    m.animations = model.animations;
    JudgeHeader(m, out.layout);
    JudgeGeometry(m, model, out.layout);
    if (namedSkins) JudgeNamedSkins(m, file, model, out.layout, limits, pictures, deadline);
    return out;
}

std::string FileNameOf(const GameFile& file) {
    const size_t cut = file.gamePath.rfind('/');
    return cut == std::string::npos ? file.gamePath : file.gamePath.substr(cut + 1);
}

// A weapon's frames against its body's: the engine draws the weapon's frame
// of the body's number, frame 0 when it has none.
void JudgeWeaponFrames(CheckedModel& weapon, int32_t bodyFrames) {
    if (!weapon.drawn.empty() && weapon.frames < bodyFrames)
        Add(weapon, "weapon-frames-differ", Severity::Warning,
            "the weapon has " + std::to_string(weapon.frames) + " frames, its body " + std::to_string(bodyFrames) +
                ": the engine draws the weapon's frame 0 for the rest");
    else if (!weapon.drawn.empty() && weapon.frames > bodyFrames)
        Add(weapon, "weapon-frames-differ", Severity::Note,
            "the weapon has " + std::to_string(weapon.frames) + " frames, more than its body's " +
                std::to_string(bodyFrames) + ": the rest are never shown");
}

// The body's frames against the engine's player table.
void JudgePlayerFrames(CheckedModel& m, const Md2Model& body) {
    if (body.FrameCount() < kPlayerFrameCount)
        Add(m, "player-frames", Severity::Warning,
            "the body has " + std::to_string(body.FrameCount()) + " frames, fewer than the engine's " +
                std::to_string(kPlayerFrameCount) + ": it draws frame 0 for the rest");
    const std::vector<std::string>& table = PlayerFrameNames();
    int32_t misplaced = 0;
    std::optional<int32_t> first;
    for (int32_t f = 0; f < body.FrameCount() && f < kPlayerFrameCount; ++f) {
        if (Lowered(FrameStem(body.frames[static_cast<size_t>(f)].name)) == FrameStem(table[static_cast<size_t>(f)])) continue;
        ++misplaced;
        if (!first) first = f;
    }
    if (first)
        Add(m, "player-frame-names", Severity::Note,
            Plural(misplaced, "frame's name does", "frames' names do") + " not stand where the engine's table has it; frame " +
                std::to_string(*first) + " is " + NameToUtf8(body.frames[static_cast<size_t>(*first)].name) + ", the table's " +
                table[static_cast<size_t>(*first)] + " (the engine goes by number, tools by name)", *first);
}

std::vector<CheckedModel> CheckPlayer(const std::string& path, const CheckLimits& limits, Clock::time_point deadline) {
    CheckedModel failed;
    failed.path = path;
    failed.player = true;
    auto read = ReadPlayerFolder(path);
    if (!read) {
        Add(failed, "damaged", Severity::Error, FailureText(read.Why()));
        return {failed};
    }
    const PlayerFolder& player = read.Value();
    PictureCache pictures;
    Opened body = CheckModelFile(player.body.path, false, limits, pictures, deadline);
    CheckedModel& m = body.record;
    m.path = player.path;
    m.player = true;
    m.skins.clear();
    for (const PlayerSkin& s : player.skins) m.skins.push_back(NameToUtf8(s.name));
    std::vector<CheckedModel> out;
    if (body.model) {
        m.drawn = player.path;
        JudgePlayerFrames(m, *body.model);
    }
    if (player.skins.empty())
        Add(m, "no-player-skin", Severity::Warning,
            "the player has no skin with an icon (NAME.pcx with NAME_i.pcx): the game's menu offers none");
    for (const PlayerSkin& s : player.skins)
        if (s.iconCaseDiffers)
            Add(m, "skin-icon-letter-case", Severity::Warning,
                "the skin " + NameToUtf8(s.name) + "'s icon " + FileNameOf(*s.icon) +
                    " matches it only ignoring letter case: a game on a case-sensitive disk does not list it");
    for (const PlayerSkin& s : player.iconless)
        Add(m, "skin-icon-missing", Severity::Warning,
            "the skin " + NameToUtf8(s.name) + " has no icon " + NameToUtf8(s.name) + "_i.pcx: the game's menu does not list it");
    if (body.model)
        for (const auto* list : {&player.skins, &player.iconless})
            for (const PlayerSkin& s : *list)
                JudgePicture(m, s.picture.path, pictures.Of(s.picture, limits.maxSkinPixels), body.layout.skinWidth,
                             body.layout.skinHeight);
    out.push_back(std::move(m));

    const int32_t bodyFrames = body.model ? body.model->FrameCount() : 0;
    if (player.weapon) {
        Opened weapon = CheckModelFile(player.weapon->path, false, limits, pictures, deadline);
        if (body.model) JudgeWeaponFrames(weapon.record, bodyFrames);
        if (!player.weaponSkin)
            Add(weapon.record, "skin-missing", Severity::Warning,
                "the player has no weapon.pcx: the game draws its weapon untextured");
        else if (weapon.model)
            JudgePicture(weapon.record, player.weaponSkin->path, pictures.Of(*player.weaponSkin, limits.maxSkinPixels),
                         weapon.layout.skinWidth, weapon.layout.skinHeight);
        out.push_back(std::move(weapon.record));
    }
    for (const GameFile& vwep : player.vweps) {
        Opened weapon = CheckModelFile(vwep.path, true, limits, pictures, deadline);
        if (body.model) JudgeWeaponFrames(weapon.record, bodyFrames);
        out.push_back(std::move(weapon.record));
    }
    return out;
}

}  // namespace

const char* SeverityName(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Note: return "note";
    }
    return "note";
}

int32_t CheckedModel::Count(Severity severity) const {
    return static_cast<int32_t>(
        std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

std::vector<CheckedModel> CheckOne(const CheckTarget& target, const CheckLimits& limits) {
    const Clock::time_point deadline = Clock::now() + limits.time;
    switch (target.kind) {
        case CheckTarget::Kind::Player: return CheckPlayer(target.path, limits, deadline);
        case CheckTarget::Kind::Unreadable: {
            CheckedModel m;
            m.path = target.path;
            Add(m, "damaged", Severity::Error, target.problem);
            return {m};
        }
        case CheckTarget::Kind::Model: break;
    }
    PictureCache pictures;
    return {CheckModelFile(target.path, true, limits, pictures, deadline).record};
}

}  // namespace meshara
