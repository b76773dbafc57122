// The main window's menus, keys and check marks, all made from the command
// table (session/command_table.h): the static menus, File > Skin and
// Rendering > Animation as they are filled when their menus open, and the
// dispatch of what the menus, keys and buttons send.
#include <wx/wx.h>

#include <algorithm>
#include <array>

#include "gui/gl_wnd.h"
#include "gui/main_wnd.h"
#include "gui/options_bar.h"
#include "gui/toolkit_ids.h"
#include "session/command_ids.h"
#include "session/command_table.h"

namespace meshara {

namespace {

// The menus and how they nest: the bar's own in the bar's order, then each
// submenu with the menu it stands in. A submenu's place in its parent is
// where the table's first row of it comes.
struct MenuShape {
    MenuPlace place;
    MenuPlace parent;
    const char* label;
    bool separatorBefore = false;
};
constexpr MenuShape kMenus[] = {
    {MenuPlace::File, MenuPlace::None, "&File"},
    {MenuPlace::Rendering, MenuPlace::None, "&Rendering"},
    {MenuPlace::Help, MenuPlace::None, "&Help"},
    {MenuPlace::LightTransfer, MenuPlace::File, "Light Transfer"},
    {MenuPlace::Skin, MenuPlace::File, "&Skin"},
    {MenuPlace::Weapon, MenuPlace::File, "&Weapon"},
    {MenuPlace::Texture, MenuPlace::Rendering, "&Texture"},
    {MenuPlace::MultiPass, MenuPlace::Rendering, "Multi-Pass"},
    {MenuPlace::Animation, MenuPlace::Rendering, "&Animation"},
    {MenuPlace::Show, MenuPlace::Rendering, "&Show"},
    {MenuPlace::ViewKeys, MenuPlace::Rendering, "&View", true},
};
constexpr size_t kPlaces = static_cast<size_t>(MenuPlace::Help) + 1;

// Makes each menu the first time a row asks for it, a submenu inside its parent.
class MenuMaker {
public:
    wxMenu* Menu(MenuPlace place) {
        const size_t at = static_cast<size_t>(place);
        if (menus_[at]) return menus_[at];
        menus_[at] = new wxMenu;
        for (const MenuShape& shape : kMenus)
            if (shape.place == place && shape.parent != MenuPlace::None) {
                wxMenu* parent = Menu(shape.parent);
                if (shape.separatorBefore) parent->AppendSeparator();
                submenus_[at] = parent->AppendSubMenu(menus_[at], shape.label);
            }
        return menus_[at];
    }
    wxMenu* Made(MenuPlace place) const { return menus_[static_cast<size_t>(place)]; }
    wxMenuItem* Entry(MenuPlace place) const { return submenus_[static_cast<size_t>(place)]; }

private:
    std::array<wxMenu*, kPlaces> menus_{};
    std::array<wxMenuItem*, kPlaces> submenus_{};
};

wxItemKind ItemKind(EntryKind kind) {
    return kind == EntryKind::Check ? wxITEM_CHECK : kind == EntryKind::Radio ? wxITEM_RADIO : wxITEM_NORMAL;
}

wxAcceleratorEntry KeyNamed(const char* name) {
    wxAcceleratorEntry key;
    const bool known = key.FromString(name);
    wxASSERT_MSG(known, name);
    return key;
}

// File > Skin: the range's first id is No Skin, its last the picture from
// elsewhere; the choices are numbered from their own first id.
const CommandRow& SkinRow() {
    const auto rows = CommandRows();
    return *std::find_if(rows.begin(), rows.end(), [](const CommandRow& r) { return r.menu == MenuPlace::Skin; });
}
constexpr int SkinChoiceId(size_t index) { return ids::kFirstSkinChoice + static_cast<int>(index); }
static_assert(SkinChoiceId(kMaxSkinChoices - 1) <= ids::kLastSkinChoice);

// Names are the model's own text: an & would underline, a tab start an accelerator.
wxString MenuLabel(const std::string& text) {
    wxString label = wxString::FromUTF8(text);
    label.Replace("&", "&&");
    for (wxString::iterator c = label.begin(); c != label.end(); ++c)
        if (*c < 0x20 || *c == 0x7f) *c = '?';
    return label;
}

}  // namespace

void MainWnd::BuildMenus() {
    MenuMaker menus;
    std::vector<wxAcceleratorEntry> keys;
    for (const CommandRow& row : CommandRows()) {
        for (const char* accelerator : row.accelerators) {
            if (!accelerator) continue;
            keys.push_back(KeyNamed(accelerator));
            keys.back().Set(keys.back().GetFlags(), keys.back().GetKeyCode(), ToolkitId(row.ids.first));
        }
        if (row.key) extraKeys_.push_back(FrameKeyNamed(row.key, row.ids.first));
        if (row.menu == MenuPlace::None) continue;
        wxMenu* menu = menus.Menu(row.menu);
        if (row.separatorBefore) menu->AppendSeparator();
        // A range without texts of its own is filled when its menu opens.
        for (int i = 0; i < row.FixedEntries(); ++i)
            menu->Append(ToolkitId(row.ids.first + i), row.IsRange() ? row.labels[static_cast<size_t>(i)] : row.label,
                         wxEmptyString, ItemKind(row.kind));
    }
    fileMenu_ = menus.Made(MenuPlace::File);
    skinMenu_ = menus.Made(MenuPlace::Skin);
    skinItem_ = menus.Entry(MenuPlace::Skin);
    weaponMenu_ = menus.Made(MenuPlace::Weapon);
    weaponItem_ = menus.Entry(MenuPlace::Weapon);
    if (weaponItem_) weaponItem_->Enable(false);
    renderingMenu_ = menus.Made(MenuPlace::Rendering);
    animationMenu_ = menus.Made(MenuPlace::Animation);

    auto* bar = new wxMenuBar;
    for (const MenuShape& shape : kMenus)
        if (shape.parent == MenuPlace::None) bar->Append(menus.Menu(shape.place), shape.label);
    SetMenuBar(bar);
    // The extras' keys are shown beside their entries but handled by OnCharHook,
    // so the boxes, lists and buttons that need them keep them.
    for (const FrameKey& key : extraKeys_)
        if (wxMenuItem* item = bar->FindItem(ToolkitId(key.command))) ShowFrameKey(item, key);
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));
}

void MainWnd::OnCharHook(wxKeyEvent& event) {
    const FrameKey* key = nullptr;
    for (const FrameKey& k : extraKeys_)
        if (Matches(k, event)) key = &k;
    // Only for the view or when nothing has the focus: Home moves a box's
    // caret, Up and Down a list's choice, Space presses a button or opens a
    // drop-down list, and Shift and Ctrl with the arrows select and move by words.
    if (!key || !commands_ || ControlHasFocus(this, view)) {
        event.Skip();
        return;
    }
    commands_->Run(key->command);
    SyncMenuStates();
}

void MainWnd::OnMenuOpen(wxMenuEvent& event) {
    if (event.GetMenu() == fileMenu_ || event.GetMenu() == skinMenu_) RebuildSkinMenu();
    if (event.GetMenu() == fileMenu_ || event.GetMenu() == weaponMenu_) RebuildWeaponMenu();
    if (event.GetMenu() == renderingMenu_ || event.GetMenu() == animationMenu_) RebuildAnimationMenu();
    event.Skip();
}

void MainWnd::RebuildAnimationMenu() { RefillMenu(animationMenu_, MenuPlace::Animation); }

void MainWnd::RebuildWeaponMenu() {
    RefillMenu(weaponMenu_, MenuPlace::Weapon);
    // Greyed for a model that is no player's: it has no weapons to hold.
    if (weaponItem_) weaponItem_->Enable(weaponMenu_->GetMenuItemCount() > 0);
}

void MainWnd::RefillMenu(wxMenu* menu, MenuPlace place) {
    if (!menu || !commands_) return;
    const auto rows = CommandRows();
    // The entries made with the menus stay; each range filled here is made
    // anew, after a separator when something comes before it.
    size_t fixed = 0;
    for (const CommandRow& row : rows)
        if (row.menu == place) fixed += static_cast<size_t>(row.FixedEntries());
    while (menu->GetMenuItemCount() > fixed) menu->Destroy(menu->FindItemByPosition(fixed));
    for (const CommandRow& row : rows) {
        if (row.menu != place || !row.count) continue;
        const int count = std::min(row.count(*commands_), row.ids.last - row.ids.first + 1);
        if (count > 0 && menu->GetMenuItemCount() > 0) menu->AppendSeparator();
        for (int i = 0; i < count; ++i)
            menu->Append(ToolkitId(row.ids.first + i), MenuLabel(row.text(*commands_, i)), wxEmptyString, ItemKind(row.kind))
                ->Check(commands_->StateOf(row.ids.first + i).checked);
    }
}

void MainWnd::RebuildSkinMenu() {
    if (!skinMenu_) return;
    while (skinMenu_->GetMenuItemCount() > 0) skinMenu_->Destroy(skinMenu_->FindItemByPosition(0));
    skinChoices_.clear();
    const ModelSlot* slot = doc_.models.CurrentModel();
    skinItem_->Enable(slot != nullptr);
    if (!slot) return;
    skinChoices_ = SkinChoices(*slot);
    const auto& texture = slot->Map(MapKind::Texture);
    bool shown = !texture;
    skinMenu_->AppendRadioItem(ToolkitId(SkinRow().ids.first), "No Skin")->Check(!texture);
    for (size_t i = 0; i < skinChoices_.size(); ++i) {
        const SkinChoice& choice = skinChoices_[i];
        wxString label = MenuLabel(choice.label);
        if (choice.skinIndex) label += choice.path.empty() ? wxString(" (not found)") : " (" + MenuLabel(choice.path) + ")";
        wxMenuItem* item = skinMenu_->AppendRadioItem(ToolkitId(SkinChoiceId(i)), label);
        item->Enable(!choice.path.empty());
        if (texture && !shown && IsCurrentSkin(*slot, choice)) {
            item->Check(true);
            shown = true;
        }
    }
    // A radio group always shows one entry: the picture loaded from elsewhere is that one.
    if (!shown) skinMenu_->AppendRadioItem(ToolkitId(SkinRow().ids.last), MenuLabel(texture->fileName))->Check(true);
}

void MainWnd::OnSkinChosen(wxCommandEvent& event) {
    if (!commands_) return;
    const int id = ProgramId(event.GetId());
    const int choice = id - SkinChoiceId(0);
    if (id == SkinRow().ids.first) {
        commands_->ClearMap(MapKind::Texture);
    } else if (choice >= 0 && choice < static_cast<int>(skinChoices_.size())) {
        commands_->ChooseSkin(skinChoices_[static_cast<size_t>(choice)]);
    }
}

void MainWnd::SyncMenuStates() {
    wxMenuBar* bar = GetMenuBar();
    if (!bar || !commands_) return;
    // Rules that a screen reader would otherwise see stale until the menu opens.
    for (const CommandRow& row : CommandRows()) {
        for (int id = row.ids.first; row.rule && id < row.ids.first + row.FixedEntries(); ++id) {
            wxMenuItem* item = bar->FindItem(ToolkitId(id));
            if (!item) continue;
            const Commands::ItemState state = commands_->StateOf(id);
            if (item->IsEnabled() != state.enabled) item->Enable(state.enabled);
            if (state.setCheck && item->IsChecked() != state.checked) item->Check(state.checked);
        }
    }
}

void MainWnd::OnCommand(wxCommandEvent& event) {
    if (!commands_ || !commands_->Run(ProgramId(event.GetId()))) {
        event.Skip();
        return;
    }
    // Some commands only turn the view (the filters) or stop playback: the
    // check marks follow at once, not when the menu next opens.
    SyncMenuStates();
}

void MainWnd::OnUpdateUI(wxUpdateUIEvent& event) {
    const int id = ProgramId(event.GetId());
    if (!commands_ || !Commands::HasUpdateRule(id)) return;
    const Commands::ItemState state = commands_->UpdateRule(id);
    event.Enable(state.enabled);
    if (state.setCheck) event.Check(state.checked);
}

}  // namespace meshara
