// Model, skin map, light and light file commands.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "app/commands.h"
#include "io/file_bytes.h"
#include "lights/lgt_file.h"
#include "model/md2_loader.h"
#include "resources/messages.h"
#include "skins/skin_lookup.h"

namespace meshara {

namespace {

// Filters as the file dialogs take them; the order of the skin filters
// matters, since the third one decides the default extension.
constexpr const char* kModelFilter = "Quake2 Model (*.md2)|*.md2|All Files (*.*)|*.*";
constexpr const char* kSkinFilter =
    "Supported Formats (*.pcx;*.bmp)|*.pcx;*.bmp|DeluxePaint PCX (*.pcx)|*.pcx|"
    "Microsoft Bitmap (*.bmp)|*.bmp|All Files (*.*)|*.*";
constexpr const char* kLightFilter = "MSR Light (*.lgt)|*.lgt|All Files (*.*)|*.*";
constexpr int kBitmapFilterIndex = 2;

// The fixed text says what kind of failure it was; which file and why go
// beneath it and to stderr. Some refusals are silent by design (a skin that
// cannot be opened): they reach stderr only.
void ShowRefusal(UiPort& ui, FileKind kind, LoadError error, const std::string& path, const std::string& detail) {
    const std::string line = path + ": " + (detail.empty() ? ReasonText(error) : detail);
    std::fprintf(stderr, "meshara: %s\n", line.c_str());
    if (const char* text = UserMessage(kind, error)) ui.ShowMessage(text, line);
}

// The options-bar rows run texture, diffusion, specularity, glow while the
// record keeps specularity before diffusion; this is the one place that maps them.
std::unique_ptr<SkinImage>& MapOf(Md2Model& model, MapRow row) {
    switch (row) {
        case MapRow::Diffusion: return model.diffusionMap;
        case MapRow::Specularity: return model.specularityMap;
        case MapRow::Glow: return model.glowMap;
        case MapRow::Texture: break;
    }
    return model.textureMap;
}

int32_t& FlagOf(Md2Model& model, MapRow row) {
    switch (row) {
        case MapRow::Diffusion: return model.diffusionMapOn;
        case MapRow::Specularity: return model.specularityMapOn;
        case MapRow::Glow: return model.glowMapOn;
        case MapRow::Texture: break;
    }
    return model.textureMapOn;
}

bool ValidIndex(int32_t index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

}  // namespace

std::string WithDefaultExtension(std::string path, const char* extension) {
    // Any dot counts, even one in a folder name: such a path is taken as the
    // user typed it.
    if (path.find('.') == std::string::npos) path += extension;
    return path;
}

// ---- Models ----

bool Commands::Choose(FileDialogRequest request, std::string& path, int& filterIndex) {
    request.folder = lastFolder_;
    if (!ui_.ChooseFile(request, path, filterIndex)) return false;
    Remember(path);
    return true;
}

void Commands::Remember(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    if (cut != std::string::npos) lastFolder_ = path.substr(0, cut == 0 ? 1 : cut);
}

void Commands::OpenModel() {
    std::string path;
    int filterIndex = 0;
    if (!Choose({"", kModelFilter, "*.md2", false, {}}, path, filterIndex)) return;
    OpenModelPath(WithDefaultExtension(std::move(path), ".md2"));
}

bool Commands::OpenModelPath(std::string path) {
    auto loaded = LoadMd2Model(path);
    if (!loaded) {
        ShowRefusal(ui_, FileKind::Model, loaded.Error(), path, loaded.Detail());
        return false;
    }
    // currentFrame is left alone on purpose: all models share it.
    doc_.models.currentModel = doc_.models.Count();
    doc_.models.models.push_back(loaded.Take());
    Changed();
    return true;
}

void Commands::RemoveModel() {
    ModelList& list = doc_.models;
    if (!list.CurrentModel()) return;
    const auto at = list.models.begin() + list.currentModel;
    ReleaseModel(std::move(*at));
    list.models.erase(at);
    // The model that moved into the gap becomes current; past the end wraps to the first.
    RepairSelection(list.currentModel, list.Count());
    if (list.currentFrame >= MaxFrameCount(list)) list.currentFrame = 0;
    Changed();
}

void Commands::ToggleModelVisible() {
    Md2Model* model = doc_.models.CurrentModel();
    if (!model) return;
    ToggleFlag(model->visible);
    Changed();
}

void Commands::SelectModel(int index) {
    // A selection the list cannot resolve leaves no model current, and
    // deliberately without a repaint.
    doc_.models.currentModel = -1;
    if (!ValidIndex(index, doc_.models.models.size())) return;
    doc_.models.currentModel = index;
    Changed();
}

void Commands::NextFrame() {
    StopPlayback();  // a stepped frame is a whole frame of the file
    ModelList& list = doc_.models;
    ++list.currentFrame;
    if (list.currentFrame >= MaxFrameCount(list)) list.currentFrame = 0;
    Changed();
}

void Commands::PreviousFrame() {
    StopPlayback();
    ModelList& list = doc_.models;
    --list.currentFrame;
    // Without models this lands on -1; the next step forward brings it back to 0.
    if (list.currentFrame < 0) list.currentFrame = MaxFrameCount(list) - 1;
    Changed();
}

// ---- Skin maps ----

void Commands::LoadMap(MapRow row) {
    if (!doc_.models.CurrentModel()) return;
    std::string path;
    int filterIndex = 0;
    if (!Choose({"", kSkinFilter, "*.pcx;*.bmp", false, {}}, path, filterIndex)) return;
    LoadMapPath(row, WithDefaultExtension(std::move(path), filterIndex == kBitmapFilterIndex ? ".bmp" : ".pcx"));
}

bool Commands::LoadMapPath(MapRow row, std::string path) {
    Md2Model* model = doc_.models.CurrentModel();
    if (!model) return false;
    // The new picture and its texture exist before the old map goes, so a
    // refused file leaves the row exactly as it was.
    auto loaded = loadSkin_(path);
    if (!loaded) {
        ShowRefusal(ui_, FileKind::Skin, loaded.Error(), path, loaded.Detail());
        return false;
    }
    std::unique_ptr<SkinImage> old = std::exchange(MapOf(*model, row), loaded.Take());
    old.reset();
    Changed();
    return true;
}

void Commands::ClearMap(MapRow row) {
    Md2Model* model = doc_.models.CurrentModel();
    if (!model) return;
    // The flag stays, so a map loaded later into this row comes up as the user left it.
    MapOf(*model, row).reset();
    Changed();
}

void Commands::ToggleMap(MapRow row) {
    Md2Model* model = doc_.models.CurrentModel();
    if (!model) return;
    ToggleFlag(FlagOf(*model, row));
    Changed();
}

// ---- Lights ----

void Commands::NewLight() {
    auto light = std::make_unique<LightRecord>();
    SetLightDefaults(*light);
    light->name = "New Light";
    light->on = 1;
    light->deleteMark = 0;
    doc_.lights.selectedGlobalLight = AppendGlobalLight(doc_.lights, std::move(light));
    Changed();
}

void Commands::DeleteLight() {
    if (!doc_.lights.SelectedLight()) return;
    RemoveGlobalLight(doc_.lights, doc_.models, doc_.lights.selectedGlobalLight);
    Changed();
}

void Commands::ToggleLight() {
    LightRecord* light = doc_.lights.SelectedLight();
    if (!light) return;
    ToggleFlag(light->on);
    Changed();
}

void Commands::EditLightProperties() {
    LightRecord* light = doc_.lights.SelectedLight();
    if (!light) return;
    ui_.RequestRedraw();
    // The dialog writes into the light itself on Apply and OK; Cancel keeps
    // whatever an earlier Apply did, so both endings refresh alike.
    ui_.RunLightPropertiesDialog(*light, [this] { ui_.RequestRedraw(); });
    Changed();
}

void Commands::SelectGlobalLight(int index) {
    doc_.lights.selectedGlobalLight = -1;
    if (!ValidIndex(index, doc_.lights.lights.size())) return;
    doc_.lights.selectedGlobalLight = index;
    Changed();
}

void Commands::AddModelLight() {
    Md2Model* model = doc_.models.CurrentModel();
    LightRecord* light = doc_.lights.SelectedLight();
    if (!model || !light) return;
    model->currentLight = static_cast<int32_t>(model->lights.size());
    AppendModelLight(*model, light);
    Changed();
}

void Commands::RemoveModelLight() {
    Md2Model* model = doc_.models.CurrentModel();
    if (!model || !ValidIndex(model->currentLight, model->lights.size())) return;
    meshara::RemoveModelLight(*model, model->currentLight);
    Changed();
}

void Commands::ToggleModelLight() {
    Md2Model* model = doc_.models.CurrentModel();
    if (!model || !ValidIndex(model->currentLight, model->lights.size())) return;
    ToggleFlag(model->lights[static_cast<size_t>(model->currentLight)].enabled);
    Changed();
}

void Commands::SelectModelLight(int index) {
    Md2Model* model = doc_.models.CurrentModel();
    if (!model) return;
    model->currentLight = -1;
    if (!ValidIndex(index, model->lights.size())) return;
    model->currentLight = index;
    Changed();
}

// ---- Light files ----

void Commands::ExportLight() {
    const LightRecord* light = doc_.lights.SelectedLight();
    if (!light) return;
    std::string path;
    int filterIndex = 0;
    if (!Choose({"", kLightFilter, "*.lgt", true, {}}, path, filterIndex)) return;
    path = WithDefaultExtension(std::move(path), ".lgt");
    std::string why;
    const LoadError error = SaveLightFile(path, *light, &why);
    if (error != LoadError::None) ShowRefusal(ui_, FileKind::Light, error, path, why);
}

void Commands::ImportLight() {
    std::string path;
    int filterIndex = 0;
    if (!Choose({"", kLightFilter, "*.lgt", false, {}}, path, filterIndex)) return;
    ImportLightPath(WithDefaultExtension(std::move(path), ".lgt"));
}

bool Commands::ImportLightPath(std::string path) {
    auto loaded = LoadLightFile(path);
    if (!loaded) {
        ShowRefusal(ui_, FileKind::Light, loaded.Error(), path, loaded.Detail());
        return false;
    }
    auto light = loaded.Take();
    light->on = 1;  // files do not carry the switch
    // Lights nothing until a model takes it, and the user's selection stays put.
    AppendGlobalLight(doc_.lights, std::move(light));
    ui_.RefreshOptionsBar();
    ui_.RequestRedraw();
    return true;
}

// ---- Files from outside ----

namespace {

enum class Content { Model, Light, Picture, Other };

// What a file is, from its first bytes; a file that cannot be read is
// "other" and is refused by whoever then tries to read it.
Content ContentOf(const std::string& path) {
    auto file = InputFile::Open(path);
    std::vector<uint8_t> head;
    std::string why;
    if (!file || !file.Value().ReadMore(head, 4, why) || head.size() < 2) return Content::Other;
    const std::string magic(head.begin(), head.end());
    if (magic == "IDP2") return Content::Model;
    if (magic == "LGT0") return Content::Light;
    if ((head[0] == 0x0A && head[1] == 0x05) || (head[0] == 'B' && head[1] == 'M')) return Content::Picture;
    return Content::Other;
}

}  // namespace

void Commands::OpenFiles(const std::vector<std::string>& paths, std::optional<MapRow> row) {
    std::vector<std::pair<Content, std::string>> files;
    for (const std::string& path : paths) files.emplace_back(ContentOf(path), path);
    std::stable_sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [content, path] : files) {
        Remember(path);
        switch (content) {
            case Content::Model: OpenModelPath(path); break;
            case Content::Light: ImportLightPath(path); break;
            case Content::Picture: LoadMapPath(row.value_or(MapRow::Texture), path); break;
            case Content::Other:
                if (row)
                    LoadMapPath(*row, path);
                else
                    OpenModelPath(path);
                break;
        }
    }
}

void Commands::LoadSkinFromModel() {
    const Md2Model* model = doc_.models.CurrentModel();
    if (!model) return;
    const std::string found = FindSkinFile(model->path, model->skinNames);
    if (found.empty()) {
        std::string names;
        for (const std::string& n : model->skinNames) names += (names.empty() ? "" : ", ") + n;
        ui_.ShowMessage(msg::kNoNamedSkin,
                        model->name + (names.empty() ? ": the model names no skin" : ": names " + names));
        return;
    }
    LoadMapPath(MapRow::Texture, found);
}

}  // namespace meshara
