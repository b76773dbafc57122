// Model, skin map, light and light file commands.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "formats/archive.h"
#include "formats/lgt_file.h"
#include "formats/path_input.h"
#include "formats/readers.h"
#include "io/file_bytes.h"
#include "session/commands.h"
#include "session/inputs.h"
#include "session/mend.h"
#include "session/messages.h"
#include "session/player.h"
#include "session/scene_setup.h"

namespace meshara {

namespace {

// Filters as the file dialogs take them; the order of the skin filters
// matters, since the third one decides the default extension.
constexpr const char* kModelFilter = "Quake2 Model (*.md2)|*.md2|All Files (*.*)|*.*";
// The pictures read since (PNG, JPEG, TGA) come as a fifth filter after the
// four the dialog has always had, which keep their places and texts.
constexpr const char* kSkinFilter =
    "Supported Formats (*.pcx;*.bmp)|*.pcx;*.bmp|DeluxePaint PCX (*.pcx)|*.pcx|"
    "Microsoft Bitmap (*.bmp)|*.bmp|All Files (*.*)|*.*|"
    "Every Picture (*.png;*.jpg;*.jpeg;*.tga;*.pcx;*.bmp)|*.png;*.jpg;*.jpeg;*.tga;*.pcx;*.bmp";
constexpr const char* kLightFilter = "MSR Light (*.lgt)|*.lgt|All Files (*.*)|*.*";
constexpr int kBitmapFilterIndex = 2;

// The fixed text says what kind of failure it was; which file and why go
// beneath it and to stderr. A picture that cannot be opened, or a BMP of a
// depth no reader takes, has no text of its own: it gets the general one
// rather than passing unnoticed.
const char* RefusalText(FileKind kind, const Failure& failure) {
    if (const char* text = UserMessage(kind, failure)) return text;
    return failure.kind == ErrorKind::CannotOpen ? msg::kCannotLoadFile : msg::kNotSkin;
}

std::string RefusalLine(const Failure& failure, const std::string& path) {
    return path + ": " + (failure.detail.empty() ? ReasonText(failure) : failure.detail);
}

bool ValidIndex(int32_t index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

// A model opened from outside the options bar, or from inside an archive,
// comes dressed in the first skin it names that the game finds.
void DressInNamedSkin(ModelSlot& slot) {
    FoundSkin found = FindNamedSkin(slot);
    for (const std::string& note : found.notes) std::fprintf(stderr, "meshara: %s\n", note.c_str());
    slot.notes.insert(slot.notes.end(), found.notes.begin(), found.notes.end());
    if (found.picture) slot.Map(MapKind::Texture) = std::move(found.picture);
}

}  // namespace

std::string WithDefaultExtension(std::string path, const char* extension) {
    // Any dot counts, even one in a folder name: such a path is taken as the
    // user typed it.
    if (path.find('.') == std::string::npos) path += extension;
    return path;
}

void Commands::Refuse(FileKind kind, const Failure& failure, const std::string& path) {
    std::fprintf(stderr, "meshara: %s\n", RefusalLine(failure, path).c_str());
    if (refusals_)
        refusals_->push_back({kind, failure, path});
    else
        ui_.ShowMessage(RefusalText(kind, failure), RefusalLine(failure, path));
}

// ---- Models ----

bool Commands::Choose(FileDialogRequest request, std::string& path, int& filterIndex) {
    request.folder = lastFolder_;
    if (!ui_.ChooseFile(request, path, filterIndex)) return false;
    Remember(path);
    return true;
}

void Commands::Remember(const std::string& given) {
    // Inside an archive, the folder the archive is in.
    const auto inside = SplitAtFile(given);
    const std::string& path = inside ? inside->file : given;
    const size_t cut = path.find_last_of('/');
    if (cut != std::string::npos) lastFolder_ = path.substr(0, cut == 0 ? 1 : cut);
}

void Commands::OpenModel() { ChooseAndOpenModel(false); }

void Commands::ChooseAndOpenModel(bool convertOthers) {
    std::string path;
    int filterIndex = 0;
    if (!Choose({"", kModelFilter, "*.md2", false, {}}, path, filterIndex)) return;
    OpenModelPath(WithDefaultExtension(std::move(path), ".md2"), convertOthers);
}

bool Commands::OpenModelPath(std::string path, bool convertOthers) {
    if (IsArchiveFile(path)) return OpenArchiveModels(path);
    if (convertOthers && IsPlayerFolder(path)) return OpenPlayerPath(path);
    auto opened = OpenModelFile(doc_.models, path, convertOthers);
    if (!opened) {
        Refuse(FileKind::Model, opened.Why(), path);
        return false;
    }
    // The options bar's "+" opens a model bare, as it always has; from anywhere else it wears its skin.
    if (convertOthers || ThroughArchive(path)) DressInNamedSkin(*opened.Value());
    Changed();
    return true;
}

bool Commands::OpenPlayerPath(const std::string& path) {
    auto read = ReadPlayerFolder(path);
    if (!read) {
        Refuse(FileKind::Model, read.Why(), path);
        return false;
    }
    auto player = std::make_shared<const PlayerFolder>(read.Take());
    auto opened = OpenPlayer(doc_.models, *player);
    if (!opened) {
        Refuse(FileKind::Model, opened.Why(), path);
        return false;
    }
    for (const std::string& note : opened.Value().notes) std::fprintf(stderr, "meshara: %s\n", note.c_str());
    for (ModelSlot* slot : {opened.Value().body, opened.Value().weapon})
        if (slot) {
            slot->player = player;
            slot->isWeapon = slot == opened.Value().weapon;
        }
    Changed();
    return true;
}

void Commands::ChooseWeapon(const std::string& weapon) {
    ModelSlot* current = doc_.models.CurrentModel();
    if (!current || !current->player) return;
    const auto player = current->player;
    int32_t weaponSlot = -1, body = -1;
    for (int32_t i = 0; i < doc_.models.Count(); ++i) {
        const ModelSlot& slot = *doc_.models.models[static_cast<size_t>(i)];
        if (slot.player != player) continue;
        if (slot.isWeapon) weaponSlot = i;
        else body = i;
    }
    std::vector<std::string> notes;
    auto changed = ChangePlayerWeapon(doc_.models, *player, weaponSlot, weapon, notes);
    if (!changed) {
        Refuse(FileKind::Model, changed.Why(), player->path);
        return;
    }
    for (const std::string& note : notes) std::fprintf(stderr, "meshara: %s\n", note.c_str());
    if (changed.Value() >= 0) {
        ModelSlot& made = *doc_.models.models[static_cast<size_t>(changed.Value())];
        made.player = player;
        made.isWeapon = true;
        // A weapon the player did not hold before is lit as its body is.
        if (weaponSlot < 0 && body >= 0) made.lights = doc_.models.models[static_cast<size_t>(body)]->lights;
    }
    if (doc_.models.currentFrame >= doc_.models.MaxFrameCount()) doc_.models.currentFrame = 0;
    Changed();
}

void Commands::OpenPlayerAndShow() {
    std::string path;
    if (!ui_.ChooseFolder("Open Player", lastFolder_, path)) return;
    Remember(path + "/");
    OpenFiles({path});
}

bool Commands::OpenArchiveModels(const std::string& path) {
    auto archive = Archive::Open(path);
    if (!archive) {
        Refuse(FileKind::Model, archive.Why(), path);
        return false;
    }
    std::vector<std::string> models;
    for (const size_t i : archive.Value().Models()) models.emplace_back(archive.Value().Entry(i).name);
    if (models.empty()) {
        ui_.ShowMessage(msg::kNoModelsInArchive, path);
        return false;
    }
    std::vector<size_t> chosen = ui_.ChooseArchiveModels(path, models);
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    bool opened = false;
    for (size_t index : chosen) {
        if (index >= models.size()) continue;
        const std::string model = path + "/" + models[index];
        auto slot = OpenModelFile(doc_.models, model);
        if (!slot) {
            Refuse(FileKind::Model, slot.Why(), model);
            continue;
        }
        DressInNamedSkin(*slot.Value());
        opened = true;
    }
    if (opened) Changed();
    return opened;
}

void Commands::RemoveModel() {
    ModelList& list = doc_.models;
    if (!list.CurrentModel()) return;
    list.models.erase(list.models.begin() + list.currentModel);
    // The model that moved into the gap becomes current; past the end wraps to the first.
    RepairSelection(list.currentModel, list.Count());
    if (list.currentFrame >= list.MaxFrameCount()) list.currentFrame = 0;
    Changed();
}

void Commands::ToggleModelVisible() {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model) return;
    model->visible = !model->visible;
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
    if (list.currentFrame >= list.MaxFrameCount()) list.currentFrame = 0;
    Changed();
}

void Commands::PreviousFrame() {
    StopPlayback();
    ModelList& list = doc_.models;
    --list.currentFrame;
    // Without models this lands on -1; the next step forward brings it back to 0.
    if (list.currentFrame < 0) list.currentFrame = list.MaxFrameCount() - 1;
    Changed();
}

// ---- Skin maps ----

void Commands::LoadMap(MapKind row) {
    if (!doc_.models.CurrentModel()) return;
    std::string path;
    int filterIndex = 0;
    if (!Choose({"", kSkinFilter, "*.pcx;*.bmp", false, {}}, path, filterIndex)) return;
    LoadMapPath(row, WithDefaultExtension(std::move(path), filterIndex == kBitmapFilterIndex ? ".bmp" : ".pcx"));
}

bool Commands::LoadMapPath(MapKind row, std::string path) {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model) return false;
    if (Status loaded = LoadMapFile(*model, row, path); !loaded) {
        Refuse(FileKind::Skin, loaded.Why(), path);
        return false;
    }
    Changed();
    return true;
}

void Commands::ClearMap(MapKind row) {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model) return;
    // The switch stays, so a map loaded later into this row comes up as the user left it.
    model->Map(row).reset();
    Changed();
}

void Commands::ToggleMap(MapKind row) {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model) return;
    model->MapOn(row) = !model->MapOn(row);
    Changed();
}

// ---- Lights ----

void Commands::NewLight() {
    auto light = std::make_unique<LightRecord>();
    SetLightDefaults(*light);
    light->name = "New Light";
    light->on = true;
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
    light->on = !light->on;
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
    ModelSlot* model = doc_.models.CurrentModel();
    LightRecord* light = doc_.lights.SelectedLight();
    if (!model || !light) return;
    model->currentLight = static_cast<int32_t>(model->lights.size());
    AppendModelLight(*model, light);
    Changed();
}

void Commands::RemoveModelLight() {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model || !ValidIndex(model->currentLight, model->lights.size())) return;
    meshara::RemoveModelLight(*model, model->currentLight);
    Changed();
}

void Commands::ToggleModelLight() {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model || !ValidIndex(model->currentLight, model->lights.size())) return;
    bool& enabled = model->lights[static_cast<size_t>(model->currentLight)].enabled;
    enabled = !enabled;
    Changed();
}

void Commands::SelectModelLight(int index) {
    ModelSlot* model = doc_.models.CurrentModel();
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
    if (Status saved = SaveLightFile(path, *light); !saved) Refuse(FileKind::Light, saved.Why(), path);
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
        Refuse(FileKind::Light, loaded.Why(), path);
        return false;
    }
    auto light = loaded.Take();
    light->on = true;  // files do not carry the switch
    // Lights nothing until a model takes it, and the user's selection stays put.
    AppendGlobalLight(doc_.lights, std::move(light));
    ui_.RefreshOptionsBar();
    ui_.RequestRedraw();
    return true;
}

// ---- Files from outside ----

namespace {

// Models, then lights, then pictures: a picture dropped with its model lands on it.
enum class Content { Model, Light, Picture, Other };

// What a file is, from its first bytes or, when they tell nothing (an
// empty file, one that cannot be read), from its name, so that it is
// refused as what it was meant to be; a file that neither tells is "other"
// and is refused by whoever then tries to read it.
Content ContentOf(InputKind kind) {
    switch (kind) {
        // An archive's models open, so it goes with the models.
        case InputKind::Model:
        case InputKind::OtherModel:
        case InputKind::Archive: return Content::Model;
        case InputKind::Light: return Content::Light;
        case InputKind::Picture: return Content::Picture;
        case InputKind::Unknown: break;
    }
    return Content::Other;
}

}  // namespace

void Commands::OpenFiles(const std::vector<std::string>& paths, std::optional<MapKind> row) {
    std::vector<std::pair<Content, std::string>> files;
    for (const std::string& path : paths) files.emplace_back(ContentOf(KindOfFile(path)), path);
    std::stable_sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Refusal> refused;
    refusals_ = &refused;
    std::vector<ModelSlot*> opened;
    LightRecord* imported = nullptr;  // the first light that came with the models
    for (const auto& [content, path] : files) {
        Remember(path);
        const bool asModel = content == Content::Model || (content == Content::Other && !row);
        const int32_t before = doc_.models.Count();  // an archive may bring several
        // An archive only by its name is refused as the archive it is named as.
        const bool archive = asModel && !IsArchiveFile(path) && KindOfFile(path) == InputKind::Archive;
        if (asModel && (archive ? OpenArchiveModels(path) : OpenModelPath(path)))
            for (int32_t i = before; i < doc_.models.Count(); ++i) opened.push_back(doc_.models.models[i].get());
        if (content == Content::Light && ImportLightPath(path) && !imported)
            imported = doc_.lights.lights.back().get();
        if (content == Content::Picture || (content == Content::Other && row))
            LoadMapPath(row.value_or(MapKind::Texture), path);
    }
    refusals_ = nullptr;
    for (ModelSlot* slot : opened) LightOpened(*slot, imported);
    if (!opened.empty()) {
        FitModels();
        Changed();
    }
    if (refused.size() == 1) {
        ui_.ShowMessage(RefusalText(refused[0].kind, refused[0].failure), RefusalLine(refused[0].failure, refused[0].path));
    } else if (!refused.empty()) {
        std::string detail;
        for (const Refusal& r : refused)
            detail += (detail.empty() ? "" : "\n") + RefusalLine(r.failure, r.path) + " (" + RefusalText(r.kind, r.failure) + ")";
        ui_.ShowMessage(msg::kFilesRefused, detail);
    }
}

void Commands::LightOpened(ModelSlot& slot, LightRecord* preferred) {
    LightRecord* light = preferred ? preferred : doc_.lights.SelectedLight();
    if (!light) {
        doc_.lights.selectedGlobalLight = AppendGlobalLight(doc_.lights, MakeKeyLight());
        light = doc_.lights.SelectedLight();
    }
    slot.currentLight = static_cast<int32_t>(slot.lights.size());
    AppendModelLight(slot, light);
}

void Commands::OpenModelAndShow() {
    const int32_t before = doc_.models.Count();
    // The extra entry also opens glTF and OBJ files, as drops do.
    ChooseAndOpenModel(true);
    if (doc_.models.Count() == before) return;
    for (int32_t i = before; i < doc_.models.Count(); ++i) LightOpened(*doc_.models.models[i]);
    FitModels();
    Changed();
}

void Commands::SaveAsMd2() {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model || (!model->convertedMd2 && model->path.empty())) return;
    // What meshara-cli fix writes: an MD2 file mended, its skins looked for from where it lies.
    auto mended = model->convertedMd2 ? MendMd2(*model->convertedMd2, {}) : MendModelFile(model->path, {});
    if (!mended) {
        Refuse(FileKind::Model, mended.Why(), model->path);
        return;
    }
    std::string name = model->Name();
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    std::string path;
    int filterIndex = 0;
    if (!Choose({"Save As MD2", kModelFilter, name + ".md2", true, {}}, path, filterIndex)) return;
    path = WithDefaultExtension(std::move(path), ".md2");
    Status written = !OutputThatIsAnInput({path}, InputsOf(doc_)).empty()
                         ? Status(Failure{ErrorKind::CannotCreate, "it is a file an open model or picture was read from"})
                         : WriteFileBytes(path, mended.Value().bytes);
    if (written) {
        // The status line says what the saved file mended, the last save's only.
        static constexpr std::string_view kSaved = "saved as MD2: ";
        std::erase_if(model->notes, [](const std::string& n) { return n.starts_with(kSaved); });
        model->notes.push_back(std::string(kSaved) + mended.Value().Summary());
        ui_.RedrawView();
        return;
    }
    std::fprintf(stderr, "meshara: %s: %s\n", path.c_str(), written.Detail().c_str());
    ui_.ShowMessage(msg::kCannotCreate, path + ": " + written.Detail());
}

void Commands::LoadSkinFromModel() {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model) return;
    if (model->model->skinNames.empty()) {
        ui_.ShowMessage(msg::kNamesNoSkin, model->Name());
        return;
    }
    FoundSkin found = FindNamedSkin(*model);
    if (!found.picture) {
        std::string detail = model->Name() + ": " + MissingSkinText(*model->model, std::nullopt);
        for (const std::string& note : found.notes) detail += "\n" + note;
        ui_.ShowMessage(msg::kNoNamedSkin, detail);
        return;
    }
    model->Map(MapKind::Texture) = std::move(found.picture);
    Changed();
}

void Commands::ChooseSkin(const SkinChoice& choice) {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model) return;
    if (Status loaded = LoadSkinChoice(*model, choice); !loaded) {
        // A named skin not there at all, or there in no form the program reads.
        if (choice.skinIndex)
            ui_.ShowMessage(choice.path.empty() ? msg::kNoNamedSkin : msg::kNotSkin, model->Name() + ": " + loaded.Detail());
        else
            Refuse(FileKind::Skin, loaded.Why(), choice.path);
        return;
    }
    Changed();
}

}  // namespace meshara
