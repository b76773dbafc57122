#include "app/options_bar.h"

#include "app/accessibility.h"

#include "app/document.h"
#include "app/main_wnd.h"
#include "resources/ids.h"
#include "resources/name_text.h"

namespace meshara {

namespace {
constexpr int kColumnWidth = 138;
constexpr int kButtonWidth = 20;
constexpr int kButtonX[3] = {139, 159, 179};
constexpr int kPropsWidth = 60;
constexpr int kDropDownExtent = 199;

int RowTop(int row, int h) { return 1 + row * (h + 2); }

int ButtonId(size_t index) {
    return index < 21 ? ids::kFirstBarButton + static_cast<int>(index) : ids::kLightProperties;
}

// The map edit boxes in creation order and the screen row each sits in.
constexpr int kMapEditRow[4] = {2, 4, 3, 5};  // texture, specularity, diffusion, glow
}  // namespace

wxBEGIN_EVENT_TABLE(OptionsBar, wxPanel)
    EVT_SIZE(OptionsBar::OnSize)
    EVT_BUTTON(wxID_ANY, OptionsBar::OnButton)
    EVT_CHOICE(ids::kModelList, OptionsBar::OnModelListChoice)
    EVT_CHOICE(ids::kModelLights, OptionsBar::OnModelLightsChoice)
    EVT_LISTBOX(ids::kGlobalLightList, OptionsBar::OnGlobalLightsSelect)
wxEND_EVENT_TABLE()

OptionsBar::OptionsBar(MainWnd* frame)
    : wxPanel(frame, ids::kOptionsBar, wxDefaultPosition, wxSize(kWidth, 384), wxTAB_TRAVERSAL | wxCLIP_CHILDREN),
      frame_(frame) {
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    modelList = new wxChoice(this, ids::kModelList, wxPoint(0, 1), wxSize(kColumnWidth, -1));
    rowHeight_ = modelList->GetSize().y;
    const int h = rowHeight_;
    const wxFont font = modelList->GetFont().IsOk() ? modelList->GetFont() : wxSystemSettings::GetFont(wxSYS_SYSTEM_FONT);

    auto makeButtons = [&](size_t first, int row) {
        static const char* const kCaptions[3] = {"+", "X", " "};
        for (int i = 0; i < 3; ++i)
            buttons[first + i] = new wxButton(this, ButtonId(first + i), kCaptions[i],
                                              wxPoint(kButtonX[i], RowTop(row, h)), wxSize(kButtonWidth, h),
                                              wxBU_EXACTFIT);
    };
    makeButtons(0, 0);
    modelLights = new wxChoice(this, ids::kModelLights, wxPoint(0, RowTop(1, h)), wxSize(kColumnWidth, h));
    makeButtons(3, 1);
    for (int i = 0; i < 4; ++i) {
        mapEdits[i] = new wxTextCtrl(this, ids::kMapEdit, wxEmptyString, wxPoint(0, RowTop(kMapEditRow[i], h)),
                                     wxSize(kColumnWidth, h), wxTE_READONLY);
        mapEdits[i]->SetFont(font);
    }
    for (int row = 2; row <= 5; ++row) makeButtons(static_cast<size_t>(6 + 3 * (row - 2)), row);
    globalLights = new wxListBox(this, ids::kGlobalLightList, wxPoint(0, RowTop(6, h)),
                                 wxSize(kColumnWidth, std::max(0, (384 - 1) - RowTop(6, h))), 0, nullptr,
                                 wxLB_SINGLE | wxLB_NEEDED_SB);
    globalLights->SetFont(font);
    makeButtons(18, 6);
    buttons[21] = new wxButton(this, ids::kLightProperties, "Props", wxPoint(kButtonX[0], 7 * h + 13),
                               wxSize(kPropsWidth, h), wxBU_EXACTFIT);
    for (wxButton* b : buttons) b->DisableFocusFromKeyboard();
    // The map boxes are made texture, specularity, diffusion, glow but shown
    // texture, diffusion, specularity, glow: Tab follows the screen.
    mapEdits[2]->MoveAfterInTabOrder(mapEdits[0]);
    DescribeControls();
    created_ = true;
}

void OptionsBar::DescribeControls() {
    struct Row {
        wxWindow* list;
        const char* name;
        const char* tip;
        const char* buttons[3][2];  // name, tooltip of "+", "X", the toggle
    };
    const Row rows[7] = {
        {modelList, "Models", "The open models: the one chosen here is the current model",
         {{"Add model", "Open an MD2 model"}, {"Remove model", "Close the current model"},
          {"Show or hide model", "Show or hide the current model (* while shown)"}}},
        {modelLights, "Model lights", "The lights that light the current model (the first eight count)",
         {{"Add light to model", "Give the current model the light selected in the global list"},
          {"Remove light from model", "Take the chosen light off the current model"},
          {"Use light on model", "Switch the chosen light on or off for this model (* while on)"}}},
        {mapEdits[0], "Texture map", "The current model's texture map: its colours",
         {{"Load texture map", "Load a PCX or BMP picture as the texture map"},
          {"Clear texture map", "Remove the texture map"}, {"Use texture map", "Use the texture map or not (* while used)"}}},
        {mapEdits[2], "Diffusion map", "The current model's diffusion map: multiplies the lit colours",
         {{"Load diffusion map", "Load a PCX or BMP picture as the diffusion map"},
          {"Clear diffusion map", "Remove the diffusion map"},
          {"Use diffusion map", "Use the diffusion map or not (* while used)"}}},
        {mapEdits[1], "Specularity map", "The current model's specularity map: scales the highlights",
         {{"Load specularity map", "Load a PCX or BMP picture as the specularity map"},
          {"Clear specularity map", "Remove the specularity map"},
          {"Use specularity map", "Use the specularity map or not (* while used)"}}},
        {mapEdits[3], "Glow map", "The current model's glow map: adds light of its own",
         {{"Load glow map", "Load a PCX or BMP picture as the glow map"}, {"Clear glow map", "Remove the glow map"},
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
            SetAccessibleName(buttons[3 * r + b], rows[r].buttons[b][0]);
        }
    }
    buttons[21]->SetToolTip("Edit the chosen light's name, position, direction and colours");
    SetAccessibleName(buttons[21], "Light properties");
}

wxButton* OptionsBar::Button(int id) const {
    for (wxButton* b : buttons)
        if (b->GetId() == id) return b;
    return nullptr;
}

void OptionsBar::Layout(int clientHeight) {
    modelList->SetSize(0, 1, kColumnWidth, -1);
    rowHeight_ = modelList->GetSize().y;
    const int h = rowHeight_;
    modelLights->SetSize(0, RowTop(1, h), kColumnWidth, h);
    for (int i = 0; i < 4; ++i) mapEdits[i]->SetSize(0, RowTop(kMapEditRow[i], h), kColumnWidth, h);
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
    frame_->GetEventHandler()->ProcessEvent(command);
}

void OptionsBar::OnModelListChoice(wxCommandEvent&) { frame_->OnModelSelected(modelList->GetSelection()); }

void OptionsBar::OnModelLightsChoice(wxCommandEvent&) {
    frame_->OnModelLightSelected(modelLights->GetSelection());
}

void OptionsBar::OnGlobalLightsSelect(wxCommandEvent&) {
    frame_->OnGlobalLightSelected(globalLights->GetSelection());
}

namespace {
void SetCaption(wxButton* button, bool on) { button->SetLabel(on ? "*" : ""); }

void SelectIn(wxChoice* choice, int32_t index) {
    choice->SetSelection(index >= 0 && static_cast<unsigned>(index) < choice->GetCount() ? index : wxNOT_FOUND);
}
}  // namespace

void OptionsBar::Refresh(const Document& doc) {
    Freeze();
    modelList->Clear();
    for (const auto& m : doc.models.models) modelList->Append(wxString::FromUTF8(m->name));
    SelectIn(modelList, doc.models.currentModel);
    const Md2Model* model = doc.models.CurrentModel();
    SetCaption(Button(ids::kModelToggle), model && model->visible == 1);

    globalLights->Clear();
    for (const auto& l : doc.lights.lights) globalLights->Append(wxString::FromUTF8(NameToUtf8(l->name)));
    const LightRecord* selected = doc.lights.SelectedLight();
    globalLights->SetSelection(selected ? doc.lights.selectedGlobalLight : wxNOT_FOUND);
    SetCaption(Button(ids::kGlobalLightToggle), selected && selected->on == 1);

    modelLights->Clear();
    // Rows top to bottom: texture, diffusion, specularity, glow.
    struct MapRowView {
        wxTextCtrl* edit;
        int toggle;
        const std::unique_ptr<SkinImage> Md2Model::*map;
        int32_t Md2Model::*flag;
    };
    const MapRowView rows[4] = {
        {mapEdits[0], ids::kTextureMapLoad + 2, &Md2Model::textureMap, &Md2Model::textureMapOn},
        {mapEdits[2], ids::kDiffusionMapLoad + 2, &Md2Model::diffusionMap, &Md2Model::diffusionMapOn},
        {mapEdits[1], ids::kSpecularityMapLoad + 2, &Md2Model::specularityMap, &Md2Model::specularityMapOn},
        {mapEdits[3], ids::kGlowMapLoad + 2, &Md2Model::glowMap, &Md2Model::glowMapOn},
    };
    if (model) {
        for (const auto& e : model->lights) modelLights->Append(wxString::FromUTF8(NameToUtf8(e.light->name)));
        SelectIn(modelLights, model->currentLight);
        const bool entry = model->currentLight >= 0 && model->currentLight < static_cast<int32_t>(model->lights.size());
        SetCaption(Button(ids::kModelLightToggle),
                   entry && model->lights[static_cast<size_t>(model->currentLight)].enabled == 1);
        for (const MapRowView& row : rows) {
            const SkinImage* map = (model->*row.map).get();
            row.edit->ChangeValue(map ? wxString::FromUTF8(map->fileName) : wxString());
            SetCaption(Button(row.toggle), map && model->*row.flag != 0);
        }
    } else {
        SetCaption(Button(ids::kModelLightToggle), false);
        for (const MapRowView& row : rows) {
            row.edit->ChangeValue(wxString());
            SetCaption(Button(row.toggle), false);
        }
    }
    Thaw();
}

}  // namespace meshara
