#include "session/scene_setup.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "convert/convert_file.h"
#include "formats/game_fs.h"
#include "formats/name_text.h"
#include "formats/path_input.h"
#include "formats/skin_decoder.h"
#include "formats/readers.h"
#include "io/file_name.h"
#include "session/messages.h"
#include "session/player.h"
#include "session/skin_search.h"
#include "view/framing.h"

namespace meshara {

namespace fs = std::filesystem;

Result<ModelSlot*> OpenModelFile(ModelList& list, const std::string& path, bool convertOthers) {
    // glTF and OBJ open as the MD2 that convert makes of them with its
    // defaults, so what is seen is what the game will show.
    // Told by the content; a file the content does not tell goes by its name,
    // so a broken glTF is refused as one.
    const auto type = convertOthers ? SniffFile(path) : Result<FileType>(FileType::Md2);
    const FileType told = type && type.Value() == FileType::Unknown ? OtherModelTypeByName(path)
                          : type                                   ? type.Value()
                                                                   : FileType::Md2;
    if (ReaderFor(told).kind == InputKind::OtherModel) {
        auto converted = ConvertModelFile(path, {}, {});
        if (!converted) return converted.Why();
        auto model = ParseMd2Model(converted.Value().md2, FileNameOfPath(path));
        if (!model) return model.Why();
        ModelSlot& slot = AddModel(list, model.Take(), path);
        slot.convertedMd2 = std::make_shared<const std::vector<uint8_t>>(std::move(converted.Value().md2));
        // Dressed in the glTF's own texture, as its skin will be.
        if (converted.Value().texture) slot.Map(MapKind::Texture) = converted.Value().texture;
        return &slot;
    }
    auto loaded = LoadMd2Model(path);
    if (!loaded) return loaded.Why();
    return &AddModel(list, loaded.Take(), path);
}

ModelSlot& AddModel(ModelList& list, std::shared_ptr<const Md2Model> model, std::string path) {
    auto slot = std::make_unique<ModelSlot>();
    slot->model = std::move(model);
    slot->path = std::move(path);
    // currentFrame is left alone on purpose: all models share it.
    list.currentModel = list.Count();
    list.models.push_back(std::move(slot));
    return *list.models.back();
}

Status LoadMapFile(ModelSlot& slot, MapKind kind, const std::string& path) {
    auto picture = ReadSkinImage(path);
    if (!picture) return picture.Why();
    slot.Map(kind) = picture.Take();
    return {};
}

std::unique_ptr<LightRecord> MakeKeyLight() {
    auto light = std::make_unique<LightRecord>();
    SetLightDefaults(*light);
    const float position[4] = {-1, 1, 1, 0}, ambient[4] = {0.3f, 0.3f, 0.3f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    std::copy(position, position + 4, light->position);
    std::copy(ambient, ambient + 4, light->ambient);
    std::copy(diffuse, diffuse + 4, light->diffuse);
    light->name = "Key";
    light->on = true;
    return light;
}

LightRecord& AddLightTo(Document& doc, ModelSlot& slot, std::unique_ptr<LightRecord> light) {
    LightRecord& added = *light;
    AppendModelLight(slot, &added);
    AppendGlobalLight(doc.lights, std::move(light));
    return added;
}

FoundSkin FindNamedSkin(const ModelSlot& slot, std::optional<int32_t> skinIndex, int64_t maxPixels) {
    const std::vector<std::string>& names = slot.model->skinNames;
    const SkinSearch search(slot.path);
    if (skinIndex) return search.Find(names.at(static_cast<size_t>(*skinIndex)), maxPixels);
    if (!names.empty()) return search.Find(names, maxPixels);
    // A model that names no skin in a player's folder wears the player's first skin, as the game dresses it.
    FoundSkin found;
    if (auto player = PlayerOfModel(slot.path); player && !player->skins.empty()) {
        const GameFile& picture = player->skins.front().picture;
        auto read = ReadGameSkin(picture, maxPixels);
        if (read) {
            found.path = picture.path;
            found.picture = read.Take();
        } else {
            found.notes.push_back(picture.path + " could not be used: " + FailureText(read.Why()));
        }
    }
    return found;
}

std::vector<SkinChoice> SkinChoices(const ModelSlot& slot) {
    std::vector<SkinChoice> choices;
    std::vector<GameFile> named;
    const SkinSearch search(slot.path);
    // A player's body: the player's skins first, as the game's menu lists them.
    if (slot.player && !slot.isWeapon)
        for (const PlayerSkin& skin : slot.player->skins) {
            if (choices.size() >= kMaxSkinChoices) break;
            choices.push_back({NameToUtf8(skin.name), skin.picture.path, std::nullopt});
            named.push_back(skin.picture);
        }
    const std::vector<std::string>& names = slot.model->skinNames;
    for (size_t i = 0; i < names.size() && choices.size() < kMaxSkinChoices; ++i) {
        const std::vector<GameFile> candidates = search.Candidates(names[i]);
        choices.push_back({NameToUtf8(names[i]), candidates.empty() ? std::string() : candidates.front().path,
                           static_cast<int32_t>(i)});
        named.insert(named.end(), candidates.begin(), candidates.end());
    }
    // Other pictures beside the model, told by their content as a drop tells them.
    for (const GameFile& file : search.FilesBeside()) {
        if (choices.size() >= kMaxSkinChoices) break;
        if (std::any_of(named.begin(), named.end(), [&](const GameFile& n) { return n.SameAs(file); })) continue;
        auto input = OpenGameFile(file);
        std::vector<uint8_t> head;
        if (input && input.Value().ReadMore(head, kSniffBytes) && IsPicture(SniffFileType(head)))
            choices.push_back({FileNameOfPath(file.path), file.path, std::nullopt});
    }
    return choices;
}

bool IsCurrentSkin(const ModelSlot& slot, const SkinChoice& choice) {
    const auto& texture = slot.Map(MapKind::Texture);
    if (!texture || texture->path.empty() || choice.path.empty()) return false;
    std::error_code ec;
    // Entries of archives are no files of their own: they are the same when their paths are.
    return fs::equivalent(texture->path, choice.path, ec) || (ec && texture->path == choice.path);
}

Status LoadSkinChoice(ModelSlot& slot, const SkinChoice& choice) {
    if (!choice.skinIndex) return LoadMapFile(slot, MapKind::Texture, choice.path);
    FoundSkin found = FindNamedSkin(slot, choice.skinIndex);
    if (!found.picture) {
        std::string detail;
        for (const std::string& note : found.notes) detail += (detail.empty() ? "" : "; ") + note;
        return Failure{ErrorKind::CannotOpen, detail.empty() ? MissingSkinText(*slot.model, choice.skinIndex) : detail};
    }
    slot.Map(MapKind::Texture) = std::move(found.picture);
    return {};
}

const Md2Model* PlaybackModel(const ModelList& list) {
    const auto holds = [&](const ModelSlot* m) { return m && m->model->HasFrame(list.currentFrame); };
    if (holds(list.CurrentModel())) return list.CurrentModel()->model.get();
    for (const auto& m : list.models)
        if (holds(m.get())) return m->model.get();
    return nullptr;
}

bool IsLit(const ModelSlot& slot) {
    for (size_t i = 0; i < kMaxModelLights && i < slot.lights.size(); ++i)
        if (slot.lights[i].enabled && slot.lights[i].light && slot.lights[i].light->on) return true;
    return false;
}

Scene SceneOf(const Document& doc, const ViewState& view) {
    Scene scene;
    scene.frame = doc.models.currentFrame;
    if (view.playback.playing) {
        scene.nextFrame = view.playback.next;
        scene.blend = static_cast<float>(view.playback.phase);
    }
    scene.settings = doc.settings;
    scene.camera = view.camera;
    scene.wireframe = view.wireframe;
    scene.show = view.show;
    if (const ModelSlot* current = doc.models.CurrentModel(); current && view.layoutShown && view.pointedTriangle >= 0) {
        scene.highlightModel = current->model;
        scene.highlightTriangle = view.pointedTriangle;
    }
    for (const auto& slot : doc.models.models) {
        if (!slot->visible) continue;
        DrawnModel& drawn = scene.models.emplace_back();
        drawn.model = slot->model;
        for (size_t m = 0; m < kMapKinds; ++m)
            if (slot->mapOn[m]) drawn.maps[m] = slot->maps[m];
        drawn.environmentMapped = slot->environmentMapped;
        for (size_t i = 0; i < kMaxModelLights && i < slot->lights.size(); ++i) {
            const ModelLightEntry& entry = slot->lights[i];
            if (entry.enabled && entry.light && entry.light->on) drawn.lights[i] = entry.light;
        }
    }
    return scene;
}

Bounds VisibleBounds(const ModelList& models, FitSpan span) {
    Bounds box;
    for (const auto& slot : models.models) {
        if (!slot->visible) continue;
        const Md2Animation* a = AnimationHolding(*slot->model, models.currentFrame);
        if (!a) continue;
        const Bounds b = span == FitSpan::Frame ? DrawnBounds(*slot->model, models.currentFrame, models.currentFrame)
                                                : DrawnBounds(*slot->model, a->first, a->last);
        if (b.empty) continue;
        box.Add(ToGlAxes(b.min));
        box.Add(ToGlAxes(b.max));
    }
    return box;
}

bool FitView(Camera& camera, const ModelList& models, int width, int height, FitSpan span) {
    return FitCamera(camera, VisibleBounds(models, span), width, height);
}

}  // namespace meshara
