#include "session/command_table.h"

#include <iterator>

#include "formats/name_text.h"
#include "session/command_ids.h"
#include "session/map_table.h"
#include "session/player.h"
#include "session/scene_setup.h"
#include "session/status_line.h"

namespace meshara {

namespace {

using ItemState = Commands::ItemState;

// A handler that calls one method of Commands with fixed arguments.
template <auto Method, auto... Args>
void Do(Commands& c, int) {
    (c.*Method)(Args...);
}

ItemState Checked(bool on) { return {.checked = on}; }
// Greyed or not; the check mark is left as it is.
ItemState Enabled(bool on) { return {.enabled = on, .setCheck = false}; }

template <bool ShowItems::*Item>
ItemState Shown(const Commands& c, int) {
    return Checked(c.View().show.*Item);
}

void PressMapButton(Commands& c, int index) {
    const MapButton map = *MapButtonOf(kMapRows.front().loadCommand + index);
    switch (map.button) {
        case 0: c.LoadMap(map.kind); break;
        case 1: c.ClearMap(map.kind); break;
        default: c.ToggleMap(map.kind); break;
    }
}

constexpr int kSpeeds = static_cast<int>(std::size(ids::kPlaybackSpeeds));
double Speed(int index) { return ids::kPlaybackSpeeds[index]; }

// Rendering > Texture and Multi-Pass: each id's place in its range is the mode it sets.
constexpr const char* kFilterLabels[] = {"&Nearest", "&Linear", "Near-&MIP", "&Bi-MIP", "&Tri-MIP"};
constexpr const char* kMultiPassLabels[] = {"&Fast", "&Safe"};

const Md2Animation* AnimationAt(const Commands& c, int index) {
    const Md2Model* model = c.AnimationModel();
    return model && static_cast<size_t>(index) < model->animations.size() ? &model->animations[static_cast<size_t>(index)]
                                                                             : nullptr;
}

const PlayerFolder* CurrentPlayer(const Commands& c) {
    const ModelSlot* slot = c.Doc().models.CurrentModel();
    return slot ? slot->player.get() : nullptr;
}

// File > Weapon's entry at index, by the name ChooseWeapon takes: a weapon, or "none" after them.
std::string WeaponChoiceName(const Commands& c, int index) {
    const PlayerFolder* player = CurrentPlayer(c);
    if (!player) return {};
    const auto weapons = PlayerWeapons(*player);
    return static_cast<size_t>(index) < weapons.size() ? weapons[static_cast<size_t>(index)].first : "none";
}

// The name of the weapon the current model's player holds in the list, "none" when it holds none.
std::string HeldWeapon(const Commands& c) {
    const PlayerFolder* player = CurrentPlayer(c);
    if (!player) return {};
    for (const auto& slot : c.Doc().models.models) {
        if (slot->player.get() != player || !slot->isWeapon) continue;
        for (const auto& [name, file] : PlayerWeapons(*player))
            if (file.path == slot->path) return name;
    }
    return "none";
}

// The rows in the order of the menus they fill; rows without a menu entry
// go first, so the accelerator table keeps its order (the frame's steps,
// the keys kept for their ids, then Exit).
constexpr CommandRow kRows[] = {
    // The options bar, row by row; the four map rows share one handler.
    // "+" opens MD2 files only; File > Open Model... takes glTF and OBJ too.
    {.ids = {ids::kModelOpen}, .run = Do<&Commands::OpenModel>},
    {.ids = {ids::kModelRemove}, .run = Do<&Commands::RemoveModel>},
    {.ids = {ids::kModelToggle}, .run = Do<&Commands::ToggleModelVisible>},
    {.ids = {ids::kModelLightAdd}, .run = Do<&Commands::AddModelLight>},
    {.ids = {ids::kModelLightRemove}, .run = Do<&Commands::RemoveModelLight>},
    {.ids = {ids::kModelLightToggle}, .run = Do<&Commands::ToggleModelLight>},
    {.ids = CountedIds(kMapRows.front().loadCommand, 3 * static_cast<int>(kMapKinds)), .run = PressMapButton},
    {.ids = {ids::kGlobalLightAdd}, .run = Do<&Commands::NewLight>},
    {.ids = {ids::kGlobalLightRemove}, .run = Do<&Commands::DeleteLight>},
    {.ids = {ids::kGlobalLightToggle}, .run = Do<&Commands::ToggleLight>},
    {.ids = {ids::kLightProperties}, .run = Do<&Commands::EditLightProperties>},
    {.ids = {ids::kNextFrame}, .accelerators = {"Right"}, .run = Do<&Commands::NextFrame>},
    {.ids = {ids::kPreviousFrame}, .accelerators = {"Left"}, .run = Do<&Commands::PreviousFrame>},
    // Kept for their keys only.
    {.ids = {ids::kNew}, .accelerators = {"Ctrl+N"}},
    {.ids = {ids::kOpen}, .accelerators = {"Ctrl+O"}},
    {.ids = {ids::kSave}, .accelerators = {"Ctrl+S"}},
    {.ids = {ids::kCopy}, .accelerators = {"Ctrl+C", "Ctrl+Insert"}},
    {.ids = {ids::kCut}, .accelerators = {"Ctrl+X", "Shift+Delete"}},
    {.ids = {ids::kPaste}, .accelerators = {"Ctrl+V", "Shift+Insert"}},
    {.ids = {ids::kUndo}, .accelerators = {"Ctrl+Z", "Alt+Back"}},
    {.ids = {ids::kNextPane}, .accelerators = {"F6"}},
    {.ids = {ids::kPreviousPane}, .accelerators = {"Shift+F6"}},

    // File
    {.ids = {ids::kExportLight}, .label = "Export to LGT", .menu = MenuPlace::LightTransfer,
     .run = Do<&Commands::ExportLight>},
    {.ids = {ids::kImportLight}, .label = "Import from LGT", .menu = MenuPlace::LightTransfer,
     .run = Do<&Commands::ImportLight>},
    // The window closes itself.
    {.ids = {ids::kExit}, .label = "E&xit", .menu = MenuPlace::File, .separatorBefore = true,
     .accelerators = {"Ctrl+Q"}},
    {.ids = {ids::kOpenModelAndShow}, .label = "&Open Model...", .menu = MenuPlace::File, .separatorBefore = true,
     .run = Do<&Commands::OpenModelAndShow>},
    {.ids = {ids::kOpenPlayer}, .label = "Open &Player...", .menu = MenuPlace::File,
     .run = Do<&Commands::OpenPlayerAndShow>},
    {.ids = {ids::kSaveView}, .label = "Save &View as PNG...", .menu = MenuPlace::File, .key = "F12",
     .run = Do<&Commands::SaveView>},
    {.ids = {ids::kLoadSkinFromModel}, .label = "&Load Skin from Model", .menu = MenuPlace::File,
     .run = Do<&Commands::LoadSkinFromModel>},
    // No Skin, the model's skin choices, then the picture from elsewhere: the
    // window answers them with the choices it showed.
    {.ids = {ids::kSkinNone, ids::kSkinElsewhere}, .menu = MenuPlace::Skin, .kind = EntryKind::Radio},
    // The current model's player's weapons, then None; the one it holds checked.
    {.ids = {ids::kFirstWeaponChoice, ids::kLastWeaponChoice}, .menu = MenuPlace::Weapon, .kind = EntryKind::Radio,
     .run = [](Commands& c, int index) { c.ChooseWeapon(WeaponChoiceName(c, index)); },
     .rule = [](const Commands& c, int index) { return Checked(HeldWeapon(c) == WeaponChoiceName(c, index)); },
     .count =
         [](const Commands& c) {
             const PlayerFolder* player = CurrentPlayer(c);
             return player ? static_cast<int>(PlayerWeapons(*player).size()) + 1 : 0;
         },
     .text =
         [](const Commands& c, int index) {
             const std::string name = WeaponChoiceName(c, index);
             return name == "none" ? std::string("None") : name;
         }},
    // Greyed while no animation holds the shared frame: there is nothing to save.
    {.ids = {ids::kSaveAnimation}, .label = "Save &Animation...", .menu = MenuPlace::File,
     .run = Do<&Commands::SaveAnimation>,
     .rule = [](const Commands& c, int) {
         const Md2Model* model = c.AnimationModel();
         return Enabled(model && AnimationHolding(*model, c.Doc().models.currentFrame));
     }},
    // Any model read from a file, or made from glTF or OBJ, is written as meshara-cli fix writes it.
    {.ids = {ids::kSaveAsMd2}, .label = "Save As &MD2...", .menu = MenuPlace::File, .run = Do<&Commands::SaveAsMd2>,
     .rule = [](const Commands& c, int) {
         const ModelSlot* model = c.Doc().models.CurrentModel();
         return Enabled(model && (model->convertedMd2 || !model->path.empty()));
     }},
    {.ids = {ids::kCheckModels}, .label = "&Check Models...", .menu = MenuPlace::File, .separatorBefore = true,
     .run = Do<&Commands::CheckModels>},

    // Rendering
    {.ids = {ids::kTextureNearest, ids::kTextureTriMip}, .labels = kFilterLabels, .menu = MenuPlace::Texture,
     .kind = EntryKind::Check, .run = [](Commands& c, int mode) { c.SetTextureFilter(mode); },
     .rule = [](const Commands& c, int mode) { return Checked(c.Doc().settings.textureFilter == mode); },
     .spins = true},
    {.ids = {ids::kMultiPassFast, ids::kMultiPassSafe}, .labels = kMultiPassLabels, .menu = MenuPlace::MultiPass,
     .kind = EntryKind::Check, .run = [](Commands& c, int mode) { c.SetMultiPassMode(mode); },
     .rule = [](const Commands& c, int mode) { return Checked(c.Doc().settings.multiPassMode == mode); },
     .spins = true},
    {.ids = {ids::kBackgroundColor}, .label = "Background Color...", .menu = MenuPlace::Rendering,
     .run = Do<&Commands::EditBackgroundColor>},
    {.ids = {ids::kWireframe}, .label = "Wireframe", .menu = MenuPlace::Rendering, .kind = EntryKind::Check,
     .run = Do<&Commands::ToggleWireframe>, .rule = [](const Commands& c, int) { return Checked(c.View().wireframe); }},
    // Greyed, and its check left alone, without a current model.
    {.ids = {ids::kEnvironmentMap}, .label = "Environment Map", .menu = MenuPlace::Rendering, .kind = EntryKind::Check,
     .run = Do<&Commands::ToggleEnvironmentMap>,
     .rule = [](const Commands& c, int) {
         const ModelSlot* model = c.Doc().models.CurrentModel();
         return ItemState{.enabled = model != nullptr, .checked = model && model->environmentMapped,
                          .setCheck = model != nullptr};
     }},
    {.ids = {ids::kPlayAnimation}, .label = "&Play Animation", .menu = MenuPlace::Rendering, .kind = EntryKind::Check,
     .separatorBefore = true, .key = "space", .run = Do<&Commands::TogglePlayback>,
     .rule = [](const Commands& c, int) { return Checked(c.View().playback.playing); }},
    {.ids = {ids::kFitModels}, .label = "&Fit Models", .menu = MenuPlace::Rendering, .key = "Home",
     .run = Do<&Commands::FitModels>},
    {.ids = {ids::kResetView}, .label = "&Reset View", .menu = MenuPlace::Rendering, .run = Do<&Commands::ResetView>},
    {.ids = {ids::kNextAnimation}, .label = "&Next Animation", .menu = MenuPlace::Animation, .key = "Down",
     .run = Do<&Commands::NextAnimation>},
    {.ids = {ids::kPreviousAnimation}, .label = "&Previous Animation", .menu = MenuPlace::Animation, .key = "Up",
     .run = Do<&Commands::PreviousAnimation>},
    // The playback model's animations, the one holding the shared frame checked.
    {.ids = {ids::kFirstAnimationChoice, ids::kLastAnimationChoice}, .menu = MenuPlace::Animation,
     .kind = EntryKind::Radio, .run = [](Commands& c, int index) { c.GoToAnimation(index); },
     .rule =
         [](const Commands& c, int index) {
             const Md2Animation* a = AnimationAt(c, index);
             const int32_t frame = c.Doc().models.currentFrame;
             return Checked(a && frame >= a->first && frame <= a->last);
         },
     .count =
         [](const Commands& c) {
             const Md2Model* model = c.AnimationModel();
             return model ? static_cast<int>(model->animations.size()) : 0;
         },
     .text =
         [](const Commands& c, int index) {
             const Md2Animation& a = *AnimationAt(c, index);
             const std::string name = NameToUtf8(a.name);
             return (name.empty() ? "(unnamed)" : name) + " (" + std::to_string(a.FrameCount()) + ")";
         }},
    // The playback speeds, slowest first.
    {.ids = CountedIds(ids::kFirstPlaybackSpeed, kSpeeds), .menu = MenuPlace::Animation, .kind = EntryKind::Radio,
     .run = [](Commands& c, int index) { c.SetPlaybackSpeed(Speed(index)); },
     .rule = [](const Commands& c, int index) { return Checked(c.View().playbackSpeed == Speed(index)); },
     .count = [](const Commands&) { return kSpeeds; },
     .text = [](const Commands&, int index) { return SpeedText(Speed(index)); }},
    {.ids = {ids::kShowNormals}, .label = "&Normals", .menu = MenuPlace::Show, .kind = EntryKind::Check,
     .run = Do<&Commands::ToggleShow, &ShowItems::normals>, .rule = Shown<&ShowItems::normals>},
    {.ids = {ids::kShowBoundingBox}, .label = "&Bounding Box", .menu = MenuPlace::Show, .kind = EntryKind::Check,
     .run = Do<&Commands::ToggleShow, &ShowItems::box>, .rule = Shown<&ShowItems::box>},
    {.ids = {ids::kShowFloorGrid}, .label = "&Floor Grid", .menu = MenuPlace::Show, .kind = EntryKind::Check,
     .run = Do<&Commands::ToggleShow, &ShowItems::grid>, .rule = Shown<&ShowItems::grid>},
    // A window of its own beside the view; checked while it is shown.
    {.ids = {ids::kShowSkinLayout}, .label = "&Skin Layout", .menu = MenuPlace::Show, .kind = EntryKind::Check,
     .run = Do<&Commands::ToggleSkinLayout>, .rule = [](const Commands& c, int) { return Checked(c.View().layoutShown); }},

    // Rendering > View: steps right and down, each a 10-pixel drag of the mouse.
    {.ids = {ids::kTurnLeft}, .label = "Turn &Left", .menu = MenuPlace::ViewKeys, .key = "Shift+Left",
     .run = Do<&Commands::TurnView, -1, 0>},
    {.ids = {ids::kTurnRight}, .label = "Turn &Right", .menu = MenuPlace::ViewKeys, .key = "Shift+Right",
     .run = Do<&Commands::TurnView, 1, 0>},
    {.ids = {ids::kTurnUp}, .label = "Turn &Up", .menu = MenuPlace::ViewKeys, .key = "Shift+Up",
     .run = Do<&Commands::TurnView, 0, -1>},
    {.ids = {ids::kTurnDown}, .label = "Turn &Down", .menu = MenuPlace::ViewKeys, .key = "Shift+Down",
     .run = Do<&Commands::TurnView, 0, 1>},
    {.ids = {ids::kMoveLeft}, .label = "Move Le&ft", .menu = MenuPlace::ViewKeys, .separatorBefore = true,
     .key = "Ctrl+Left", .run = Do<&Commands::MoveView, -1, 0>},
    {.ids = {ids::kMoveRight}, .label = "Move Ri&ght", .menu = MenuPlace::ViewKeys, .key = "Ctrl+Right",
     .run = Do<&Commands::MoveView, 1, 0>},
    {.ids = {ids::kMoveUp}, .label = "Move U&p", .menu = MenuPlace::ViewKeys, .key = "Ctrl+Up",
     .run = Do<&Commands::MoveView, 0, -1>},
    {.ids = {ids::kMoveDown}, .label = "Move Do&wn", .menu = MenuPlace::ViewKeys, .key = "Ctrl+Down",
     .run = Do<&Commands::MoveView, 0, 1>},
    {.ids = {ids::kZoomIn}, .label = "Zoom &In", .menu = MenuPlace::ViewKeys, .separatorBefore = true, .key = "+",
     .run = Do<&Commands::ZoomView, true>},
    {.ids = {ids::kZoomOut}, .label = "Zoom &Out", .menu = MenuPlace::ViewKeys, .key = "-",
     .run = Do<&Commands::ZoomView, false>},

    // Help
    {.ids = {ids::kAbout}, .label = "&About Torvane's Meshara", .menu = MenuPlace::Help, .run = Do<&Commands::ShowAbout>},
};

}  // namespace

std::span<const CommandRow> CommandRows() { return kRows; }

const CommandRow* RowOf(int id) {
    for (const CommandRow& row : kRows)
        if (id >= row.ids.first && id <= row.ids.last) return &row;
    return nullptr;
}

// The Commands side of the table: dispatch and rules.

bool Commands::Run(int id) {
    const CommandRow* row = RowOf(id);
    if (!row || !row->run) return false;
    row->run(*this, id - row->ids.first);
    return true;
}

bool Commands::HasUpdateRule(int id) {
    const CommandRow* row = RowOf(id);
    return row && row->rule;
}

Commands::ItemState Commands::UpdateRule(int id) {
    const ItemState state = StateOf(id);
    if (const CommandRow* row = RowOf(id); row && row->spins) ui_.SpinStep();
    return state;
}

Commands::ItemState Commands::StateOf(int id) const {
    const CommandRow* row = RowOf(id);
    return row && row->rule ? row->rule(*this, id - row->ids.first) : ItemState{};
}

}  // namespace meshara
