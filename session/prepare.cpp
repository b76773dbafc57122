#include "session/prepare.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <numbers>

#include "formats/lgt_file.h"
#include "formats/name_text.h"
#include "session/map_table.h"
#include "session/player.h"
#include "session/scene_setup.h"
#include "view/framing.h"
#include "view/vecmath.h"

namespace meshara {

namespace {

using Outcome = std::variant<PreparedModel, PrepareProblem>;

PrepareProblem Refusal(FileKind kind, Failure failure, const std::string& path) {
    return {PrepareProblem::As::Refusal, kind, std::move(failure), path, {}};
}
PrepareProblem Unusable(const std::string& path, std::string what) {
    return {PrepareProblem::As::Unusable, FileKind::Model, {}, path, std::move(what)};
}
PrepareProblem Usage(std::string what) { return {PrepareProblem::As::Usage, FileKind::Model, {}, {}, std::move(what)}; }

// Why the model is more than the command takes, or empty.
std::string Beyond(const Md2Counts& counts, const Md2Counts& most, const char* taker) {
    const struct { const char* what; int32_t has, most; } checks[] = {
        {"vertices", counts.vertices, most.vertices}, {"triangles", counts.triangles, most.triangles},
        {"frames", counts.frames, most.frames}, {"skin names", counts.skins, most.skins}};
    for (const auto& c : checks)
        if (c.has > c.most)
            return "the model has " + std::to_string(c.has) + " " + c.what + ", more than the " +
                   std::to_string(c.most) + " " + taker;
    return {};
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x - 'A' + 'a' : x) == (y >= 'A' && y <= 'Z' ? y - 'A' + 'a' : y);
           });
}

std::string Trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

// The frame that text names: its number, or the name of one of the model's
// frames (spaces around it ignored). The problem, or empty.
std::string ResolveFrame(const Md2Model& model, const std::string& text, int32_t& frame) {
    // A whole decimal number from 0 up (strtol's leading blanks allowed), else a name.
    char* end = nullptr;
    errno = 0;
    const long number = text.empty() || text.size() > 20 ? -1 : std::strtol(text.c_str(), &end, 10);
    if (number >= 0 && number <= INT32_MAX && errno == 0 && end && *end == '\0') {
        if (number < model.FrameCount()) {
            frame = static_cast<int32_t>(number);
            return {};
        }
        return "frame " + text + " is out of range: the model has " + std::to_string(model.FrameCount()) + " frames";
    }
    for (int32_t f = 0; f < model.FrameCount(); ++f)
        if (Trimmed(NameToUtf8(model.frames[static_cast<size_t>(f)].name)) == Trimmed(text)) {
            frame = f;
            return {};
        }
    return "the model has no frame " + text + " (a frame number or a frame's name; 'meshara-cli info' lists them)";
}

std::string ResolveAnimation(const Md2Model& model, const std::string& text, int32_t& frame) {
    std::string known;
    for (const Md2Animation& a : model.animations) {
        const std::string name = NameToUtf8(a.name);
        if (name == text) {
            frame = a.first;
            return {};
        }
        known += (known.empty() ? "" : ", ") + name;
    }
    return "the model has no animation " + text + " (it has " + (known.empty() ? "none" : known) + ")";
}

Outcome PrepareModel(const PrepareRequest& request) {
    PreparedModel out;
    const std::string& path = request.model;
    if (request.most) {
        auto counts = ReadMd2Counts(path);
        if (!counts) return Refusal(FileKind::Model, counts.Why(), path);
        if (std::string beyond = Beyond(counts.Value(), *request.most, request.mostFor); !beyond.empty())
            return Unusable(path, beyond);
    }
    const bool isPlayer = IsPlayerFolder(path);
    if (isPlayer) {
        auto player = ReadPlayerFolder(path);
        if (!player) return Refusal(FileKind::Model, player.Why(), path);
        const PlayerSkin* skin = nullptr;
        if (!request.playerSkin.empty() && !(skin = PlayerSkinNamed(player.Value(), request.playerSkin))) {
            std::string known;
            for (const PlayerSkin& s : player.Value().skins) known += (known.empty() ? "" : ", ") + s.name;
            return Usage("the player has no skin " + request.playerSkin + " (it has " + (known.empty() ? "none" : known) + ")");
        }
        if (!request.weapon.empty() && request.weapon != "none") {
            std::string known;
            bool has = false;
            for (const auto& [name, file] : PlayerWeapons(player.Value())) {
                known += (known.empty() ? "" : ", ") + name;
                has = has || SameText(name, request.weapon);
            }
            if (!has) return Usage("the player has no weapon " + request.weapon + " (it has " + (known.empty() ? "none" : known) + ")");
        }
        auto opened = OpenPlayer(out.doc.models, player.Value(), skin, request.weapon);
        if (!opened) return Refusal(FileKind::Model, opened.Why(), path);
        out.slot = opened.Value().body;
        out.weapon = opened.Value().weapon;
        for (std::string& note : opened.Value().notes) out.notes.push_back(std::move(note));
        for (const ModelSlot* s : {out.slot, out.weapon})
            if (s) {
                out.inputs.push_back(s->path);
                if (s->Map(MapKind::Texture)) out.inputs.push_back(s->Map(MapKind::Texture)->path);
            }
    } else {
        auto opened = OpenModelFile(out.doc.models, path);
        if (!opened) return Refusal(FileKind::Model, opened.Why(), path);
        out.slot = opened.Value();
        out.inputs.push_back(path);
    }
    ModelSlot& slot = *out.slot;
    const Md2Model& model = *slot.model;
    if (model.FrameCount() == 0 || (request.needsTriangles && model.triangles.empty()))
        return Unusable(path, std::string("the model has no ") + (model.FrameCount() == 0 ? "frames" : "triangles") +
                                  ", so there is nothing to " + (request.needsTriangles ? "export" : "draw"));
    int32_t frame = 0;
    if (!request.frame.empty() && !request.animation.empty()) return Usage("--frame and --animation both choose the frame");
    if (!request.frame.empty())
        if (std::string problem = ResolveFrame(model, request.frame, frame); !problem.empty()) return Usage(problem);
    if (!request.animation.empty())
        if (std::string problem = ResolveAnimation(model, request.animation, frame); !problem.empty()) return Usage(problem);
    out.doc.models.currentFrame = frame;
    if (request.skin && static_cast<size_t>(*request.skin) >= model.skinNames.size())
        return Usage("skin " + std::to_string(*request.skin) + " is out of range: the model names " +
                     std::to_string(model.skinNames.size()) + (model.skinNames.size() == 1 ? " skin" : " skins"));
    for (const std::string& note : ModelNotes(model)) out.notes.push_back(path + ": " + note);
    for (const ModelSlot* s : {out.slot, out.weapon})
        if (s && s->model->HasFrame(frame) && !FrameDrawsSomething(*s->model, frame))
            out.notes.push_back((s->path.empty() ? path : s->path) + ": frame " + std::to_string(frame) + " (" +
                                NameToUtf8(s->model->frames[static_cast<size_t>(frame)].name) +
                                ") draws nothing: none of its triangles has an area");

    if (request.namedSkin && !isPlayer && request.maps[static_cast<size_t>(MapKind::Texture)].empty()) {
        FoundSkin found = FindNamedSkin(slot, request.skin, request.maxSkinPixels);
        for (std::string& note : found.notes) out.notes.push_back(std::move(note));
        if (found.picture) {
            out.inputs.push_back(found.path);
            slot.Map(MapKind::Texture) = std::move(found.picture);
        } else {
            out.notes.push_back(path + ": " + MissingSkinText(model, request.skin) + "; " + request.withoutSkin);
        }
    }
    for (const MapRowInfo& row : kMapRows) {
        const std::string& map = request.maps[static_cast<size_t>(row.kind)];
        if (map.empty()) continue;
        if (Status loaded = LoadMapFile(slot, row.kind, map); !loaded) return Refusal(FileKind::Skin, loaded.Why(), map);
        out.inputs.push_back(map);
    }
    for (const std::string& file : request.lights) {
        std::unique_ptr<LightRecord> light;
        if (file.empty()) {
            light = std::make_unique<LightRecord>();
        } else {
            auto read = LoadLightFile(file);
            if (!read) return Refusal(FileKind::Light, read.Why(), file);
            light = read.Take();
            out.inputs.push_back(file);
        }
        LightEveryModel(out.doc, std::move(light));
    }
    if (request.framing == Framing::Front)
        FitView(out.view.camera, out.doc.models, request.width, request.height, request.fitSpan);
    if (request.framing == Framing::ThreeQuarter)
        FitThreeQuarter(out.view.camera, out.doc.models, request.width, request.height, request.fitSpan);
    return out;
}

void LightEveryModel(Document& doc, std::unique_ptr<LightRecord> light) {
    for (auto& slot : doc.models.models) AppendModelLight(*slot, light.get());
    AppendGlobalLight(doc.lights, std::move(light));
}

// Straight from the side or the front, a flag is a line and a dolphin a
// wedge. FitCamera is given the box of the turned models, placed where the
// models are; the pan then centres what the turn moved off centre.
void FitThreeQuarter(Camera& camera, const ModelList& models, int width, int height, FitSpan span) {
    Vec3 up{0, 1, 0}, across{1, 0, 0};
    Quat yaw, pitch, turn;
    AxisAngleToQuat(up, static_cast<float>(35 * std::numbers::pi / 180), yaw);
    AxisAngleToQuat(across, static_cast<float>(-20 * std::numbers::pi / 180), pitch);
    ComposeQuats(yaw, pitch, turn);
    const Bounds box = VisibleBounds(models, span);
    if (box.empty) return;
    const Vec3d centre = box.Centre();
    float m[16];
    QuatToMatrix(m, turn);
    Bounds turned;
    for (const auto& slot : models.models) {
        if (!slot->visible) continue;
        const Md2Model& model = *slot->model;
        const Md2Animation* a = AnimationHolding(model, models.currentFrame);
        if (!a) continue;
        const std::vector<bool> used = UsedVertices(model);
        const int32_t first = span == FitSpan::Frame ? models.currentFrame : a->first;
        const int32_t last = span == FitSpan::Frame ? models.currentFrame : a->last;
        for (int32_t f = first; f <= last; ++f) {
            const Md2Frame& frame = model.frames[static_cast<size_t>(f)];
            for (size_t v = 0; v < frame.vertices.size() && v < used.size(); ++v) {
                if (!used[v]) continue;
                // In GL's axes as drawn, about the centre, turned as the matrix turns it.
                const Vec3d g = ToGlAxes(VertexPosition(frame, v));
                const double p[3] = {g.x - centre.x, g.y - centre.y, g.z - centre.z};
                double q[3];
                for (int row = 0; row < 3; ++row) q[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2];
                turned.Add(Vec3d{q[0], q[1], q[2]});
            }
        }
    }
    const Vec3d middle = turned.Centre();
    Bounds fit;
    fit.Add(Vec3d{centre.x + turned.min.x - middle.x, centre.y + turned.min.y - middle.y, centre.z + turned.min.z - middle.z});
    fit.Add(Vec3d{centre.x + turned.max.x - middle.x, centre.y + turned.max.y - middle.y, centre.z + turned.max.z - middle.z});
    if (!FitCamera(camera, fit, width, height)) return;
    camera.rotation = turn;
    camera.pan = Vec3{static_cast<float>(-middle.x), static_cast<float>(-middle.y), static_cast<float>(-middle.z)};
}

}  // namespace meshara
