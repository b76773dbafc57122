#include "gui/options_bar.h"

#include "formats/name_text.h"
#include "gui/accessibility.h"
#include "gui/toolkit_ids.h"
#include "session/command_ids.h"
#include "session/document.h"
#include "session/map_table.h"

namespace meshara {

namespace {
constexpr int kColumnWidth = 138;
constexpr int kButtonWidth = 20;
constexpr int kButtonX[3] = {139, 159, 179};
constexpr int kPropsWidth = 60;

int RowTop(int row, int h) { return 1 + row * (h + 2); }

int ButtonCommand(size_t index) {
    return index < 21 ? ids::kFirstBarButton + static_cast<int>(index) : ids::kLightProperties;
}

// The map boxes are made in the order texture, specularity, diffusion,
// glow and shown in the order of the rows: texture, diffusion, specularity, glow.
constexpr MapKind kMapEditCreationOrder[kMapKinds] = {MapKind::Texture, MapKind::Specularity, MapKind::Diffusion,
                                                      MapKind::Glow};
int ScreenRowOf(MapKind kind) { return 2 + static_cast<int>(kind); }
}  // namespace

wxBEGIN_EVENT_TABLE(OptionsBar, wxPanel)
    EVT_SIZE(OptionsBar::OnSize)
    EVT_BUTTON(wxID_ANY, OptionsBar::OnButton)
    EVT_CHOICE(ToolkitId(ids::kModelList), OptionsBar::OnModelListChoice)
    EVT_CHOICE(ToolkitId(ids::kModelLights), OptionsBar::OnModelLightsChoice)
    EVT_LISTBOX(ToolkitId(ids::kGlobalLightList), OptionsBar::OnGlobalLightsSelect)
wxEND_EVENT_TABLE()

OptionsBar::OptionsBar(wxWindow* parent, SelectionHandlers handlers)
    : wxPanel(parent, ToolkitId(ids::kOptionsBar), wxDefaultPosition, wxSize(kWidth, 384),
              wxTAB_TRAVERSAL | wxCLIP_CHILDREN),
      handlers_(std::move(handlers)) {
    captions_.fill(-1);
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    modelList = new wxChoice(this, ToolkitId(ids::kModelList), wxPoint(0, 1), wxSize(kColumnWidth, -1));
    rowHeight_ = modelList->GetSize().y;
    const int h = rowHeight_;
    const wxFont font = modelList->GetFont().IsOk() ? modelList->GetFont() : wxSystemSettings::GetFont(wxSYS_SYSTEM_FONT);

    auto makeButtons = [&](size_t first, int row) {
        static constexpr const char* kCaptions[3] = {"+", "X", " "};
        for (size_t i = 0; i < 3; ++i)
            buttons[first + i] = new wxButton(this, ToolkitId(ButtonCommand(first + i)), kCaptions[i],
                                              wxPoint(kButtonX[i], RowTop(row, h)), wxSize(kButtonWidth, h),
                                              wxBU_EXACTFIT);
    };
    makeButtons(0, 0);
    modelLights = new wxChoice(this, ToolkitId(ids::kModelLights), wxPoint(0, RowTop(1, h)), wxSize(kColumnWidth, h));
    makeButtons(3, 1);
    for (MapKind kind : kMapEditCreationOrder) {
        wxTextCtrl*& edit = mapEdits[static_cast<size_t>(kind)];
        edit = new wxTextCtrl(this, ToolkitId(ids::kMapEdit), wxEmptyString, wxPoint(0, RowTop(ScreenRowOf(kind), h)),
                              wxSize(kColumnWidth, h), wxTE_READONLY);
        edit->SetFont(font);
    }
    for (int row = 2; row <= 5; ++row) makeButtons(static_cast<size_t>(6 + 3 * (row - 2)), row);
    globalLights = new wxListBox(this, ToolkitId(ids::kGlobalLightList), wxPoint(0, RowTop(6, h)),
                                 wxSize(kColumnWidth, std::max(0, (384 - 1) - RowTop(6, h))), 0, nullptr,
                                 wxLB_SINGLE | wxLB_NEEDED_SB);
    globalLights->SetFont(font);
    makeButtons(18, 6);
    buttons[21] = new wxButton(this, ToolkitId(ButtonCommand(21)), "Props", wxPoint(kButtonX[0], 7 * h + 13),
                               wxSize(kPropsWidth, h), wxBU_EXACTFIT);
    // Tab follows the screen, row by row and left to right, buttons included,
    // so every command of the bar can be reached without a mouse.
    const std::array<wxWindow*, 7> lists = {modelList, modelLights, mapEdits[0], mapEdits[1],
                                            mapEdits[2], mapEdits[3], globalLights};
    wxWindow* previous = nullptr;
    for (size_t row = 0; row < lists.size(); ++row)
        for (wxWindow* w : {lists[row], static_cast<wxWindow*>(buttons[3 * row]),
                            static_cast<wxWindow*>(buttons[3 * row + 1]), static_cast<wxWindow*>(buttons[3 * row + 2])}) {
            if (previous) w->MoveAfterInTabOrder(previous);
            previous = w;
        }
    buttons[21]->MoveAfterInTabOrder(previous);
    DescribeControls();
    created_ = true;
}

namespace {
constexpr const char* kModelListTip = "The open models: the one chosen here is the current model";
}  // namespace

void OptionsBar::DescribeControls() {
    struct Row {
        wxWindow* list;
        const char* name;
        const char* tip;
        const char* buttons[3][2];  // name, tooltip of "+", "X", the toggle
    };
    const auto edit = [&](MapKind kind) { return mapEdits[static_cast<size_t>(kind)]; };
    const Row rows[7] = {
        {modelList, "Models", kModelListTip,
         {{"Add model", "Open an MD2 model"}, {"Remove model", "Close the current model"},
          {"Show or hide model", "Show or hide the current model (* while shown)"}}},
        {modelLights, "Model lights", "The lights that light the current model (the first eight count)",
         {{"Add light to model", "Give the current model the light selected in the global list"},
          {"Remove light from model", "Take the chosen light off the current model"},
          {"Use light on model", "Switch the chosen light on or off for this model (* while on)"}}},
        {edit(MapKind::Texture), "Texture map", "The current model's texture map: its colours",
         {{"Load texture map", "Load a picture (PNG, JPEG, TGA, PCX or BMP) as the texture map"},
          {"Clear texture map", "Remove the texture map"}, {"Use texture map", "Use the texture map or not (* while used)"}}},
        {edit(MapKind::Diffusion), "Diffusion map", "The current model's diffusion map: multiplies the lit colours",
         {{"Load diffusion map", "Load a picture (PNG, JPEG, TGA, PCX or BMP) as the diffusion map"},
          {"Clear diffusion map", "Remove the diffusion map"},
          {"Use diffusion map", "Use the diffusion map or not (* while used)"}}},
        {edit(MapKind::Specularity), "Specularity map", "The current model's specularity map: scales the highlights",
         {{"Load specularity map", "Load a picture (PNG, JPEG, TGA, PCX or BMP) as the specularity map"},
          {"Clear specularity map", "Remove the specularity map"},
          {"Use specularity map", "Use the specularity map or not (* while used)"}}},
        {edit(MapKind::Glow), "Glow map", "The current model's glow map: adds light of its own",
         {{"Load glow map", "Load a picture (PNG, JPEG, TGA, PCX or BMP) as the glow map"}, {"Clear glow map", "Remove the glow map"},
          {"Use glow map", "Use the glow map or not (* while used)"}}},
        {globalLights, "Global lights", "Every light; choose one to edit it or give it to a model",
         {{"New light", "Make a new light"}, {"Delete light", "Delete the chosen light, from every model too"},
          {"Switch light", "Switch the chosen light on or off everywhere (* while on)"}}},
    };
    for (size_t r = 0; r < 7; ++r) {
        rows[r].list->SetToolTip(rows[r].tip);
        SetAccessibleName(rows[r].list, rows[r].name);
        for (size_t b = 0; b < 3; ++b) {
            buttons[3 * r + b]->SetToolTip(rows[r].buttons[b][1]);
            buttonNames_[3 * r + b] = rows[r].buttons[b][0];
            SetAccessibleName(buttons[3 * r + b], buttonNames_[3 * r + b].c_str());
            // Off until the first refresh, as the blank caption says.
            if (b == 2) SetToggleState(buttons[3 * r + b], false);
        }
    }
    buttons[21]->SetToolTip("Edit the chosen light's name, position, direction and colours");
    SetAccessibleName(buttons[21], "Light properties");
}

wxButton* OptionsBar::Button(int command) const {
    for (wxButton* b : buttons)
        if (b->GetId() == ToolkitId(command)) return b;
    return nullptr;
}

void OptionsBar::Layout(int clientHeight) {
    modelList->SetSize(0, 1, kColumnWidth, -1);
    rowHeight_ = modelList->GetSize().y;
    const int h = rowHeight_;
    modelLights->SetSize(0, RowTop(1, h), kColumnWidth, h);
    for (size_t m = 0; m < kMapKinds; ++m)
        mapEdits[m]->SetSize(0, RowTop(ScreenRowOf(static_cast<MapKind>(m)), h), kColumnWidth, h);
    // Down to one pixel above the bottom; nothing at all when there is no room.
    globalLights->SetSize(0, RowTop(6, h), kColumnWidth, std::max(0, (clientHeight - 1) - RowTop(6, h)));
    for (size_t i = 0; i < 21; ++i)
        buttons[i]->SetSize(kButtonX[i % 3], RowTop(static_cast<int>(i / 3), h), kButtonWidth, h);
    buttons[21]->SetSize(kButtonX[0], 7 * h + 13, kPropsWidth, h);
}

void OptionsBar::OnSize(wxSizeEvent& event) {
    if (created_) Layout(GetClientSize().y);
    event.Skip();
}

void OptionsBar::OnButton(wxCommandEvent& event) {
    // A click is a command of the frame, exactly as a menu item would be.
    wxCommandEvent command(wxEVT_MENU, event.GetId());
    command.SetEventObject(event.GetEventObject());
    GetParent()->GetEventHandler()->ProcessEvent(command);
}

void OptionsBar::OnModelListChoice(wxCommandEvent&) {
    if (handlers_.model) handlers_.model(modelList->GetSelection());
}

void OptionsBar::OnModelLightsChoice(wxCommandEvent&) {
    if (handlers_.modelLight) handlers_.modelLight(modelLights->GetSelection());
}

void OptionsBar::OnGlobalLightsSelect(wxCommandEvent&) {
    if (handlers_.globalLight) handlers_.globalLight(globalLights->GetSelection());
}

void OptionsBar::SetCaption(wxButton* button, bool on) {
    // Each state is set once: a label set again repaints the button.
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] != button || captions_[i] == int8_t{on}) continue;
        captions_[i] = on;
        button->SetLabel(on ? "*" : "");
        // The caption is a bare star: a screen reader hears a toggle button, checked or not.
        SetToggleState(button, on);
    }
}

namespace {

// What one list should show: its items and the one selected (wxNOT_FOUND for none).
struct ListContent {
    wxArrayString items;
    int selection = wxNOT_FOUND;
};

int Selection(const wxArrayString& items, int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < items.size() ? index : wxNOT_FOUND;
}

bool Shows(const wxItemContainer* list, const ListContent& content) {
    if (list->GetCount() != content.items.size() || list->GetSelection() != content.selection) return false;
    for (unsigned i = 0; i < list->GetCount(); ++i)
        if (list->GetString(i) != content.items[i]) return false;
    return true;
}

void ShowIn(wxItemContainer* list, const ListContent& content) {
    if (Shows(list, content)) return;
    list->Clear();
    if (!content.items.empty()) list->Append(content.items);
    list->SetSelection(content.selection);
}
}  // namespace

void OptionsBar::Refresh(const Document& doc) {
    // Compared with what the controls show (the user may have changed a
    // selection since), so nothing is touched, and nothing repainted, when
    // the document changed in a way the bar does not show.
    ListContent models, globals, modelLightList;
    for (const auto& m : doc.models.models) models.items.Add(wxString::FromUTF8(m->Name()));
    models.selection = Selection(models.items, doc.models.currentModel);
    const ModelSlot* model = doc.models.CurrentModel();
    // The list shows file names; the tip says where the current model came from.
    const wxString tip = wxString(kModelListTip) + (model && !model->path.empty() ? "\n" + wxString::FromUTF8(model->path) : "");
    if (modelList->GetToolTipText() != tip) modelList->SetToolTip(tip);

    for (const auto& l : doc.lights.lights) globals.items.Add(wxString::FromUTF8(NameToUtf8(l->name)));
    const LightRecord* selected = doc.lights.SelectedLight();
    globals.selection = selected ? doc.lights.selectedGlobalLight : wxNOT_FOUND;

    bool modelLightOn = false;
    if (model) {
        for (const auto& e : model->lights) modelLightList.items.Add(wxString::FromUTF8(NameToUtf8(e.light->name)));
        modelLightList.selection = Selection(modelLightList.items, model->currentLight);
        const bool entry = model->currentLight >= 0 && model->currentLight < static_cast<int32_t>(model->lights.size());
        modelLightOn = entry && model->lights[static_cast<size_t>(model->currentLight)].enabled;
    }
    std::array<wxString, kMapKinds> mapNames;
    std::array<bool, kMapKinds> mapOn{};
    for (const MapRowInfo& row : kMapRows) {
        const SkinImage* map = model ? model->Map(row.kind).get() : nullptr;
        const size_t k = static_cast<size_t>(row.kind);
        if (map) mapNames[k] = wxString::FromUTF8(map->fileName);
        mapOn[k] = map && model->MapOn(row.kind);
    }

    bool same = Shows(modelList, models) && Shows(globalLights, globals) && Shows(modelLights, modelLightList);
    for (size_t k = 0; same && k < mapNames.size(); ++k) same = mapEdits[k]->GetValue() == mapNames[k];
    if (!same) Freeze();
    ShowIn(modelList, models);
    ShowIn(globalLights, globals);
    ShowIn(modelLights, modelLightList);
    for (size_t k = 0; k < mapNames.size(); ++k)
        if (mapEdits[k]->GetValue() != mapNames[k]) mapEdits[k]->ChangeValue(mapNames[k]);
    SetCaption(Button(ids::kModelToggle), model && model->visible);
    SetCaption(Button(ids::kGlobalLightToggle), selected && selected->on);
    SetCaption(Button(ids::kModelLightToggle), modelLightOn);
    for (const MapRowInfo& row : kMapRows) SetCaption(Button(row.loadCommand + 2), mapOn[static_cast<size_t>(row.kind)]);
    if (!same) Thaw();
}

}  // namespace meshara
