#include "app/dialogs.h"

#include <wx/statbmp.h>

#include "resources/art.h"
#include "resources/ids.h"
#include "resources/messages.h"
#include "resources/number_text.h"

namespace meshara {

namespace {

// Ends a dialog with OK whether it runs modally or was only shown.
void CloseWithOk(wxDialog* dialog) {
    if (dialog->IsModal()) {
        dialog->EndModal(wxID_OK);
    } else {
        dialog->SetReturnCode(wxID_OK);
        dialog->Hide();
    }
}

// Places a control at a rectangle given in dialog units.
template <class T>
T* At(T* control, wxWindow* dialog, int x, int y, int w, int h) {
    const wxPoint p = dialog->ConvertDialogToPixels(wxPoint(x, y));
    const wxSize s = dialog->ConvertDialogToPixels(wxSize(w, h));
    control->SetSize(p.x, p.y, s.x, s.y);
    return control;
}

wxTextCtrl* NumberBox(wxWindow* dialog, int id, int x, int y, float value) {
    auto* box = new wxTextCtrl(dialog, id, FormatNumber(value));
    return At(box, dialog, x, y, 32, 14);
}

void Label(wxWindow* dialog, const char* text, int x, int y, int w, int h) {
    At(new wxStaticText(dialog, wxID_ANY, text), dialog, x, y, w, h);
}

void SizeInDialogUnits(wxDialog* dialog, int w, int h) {
    dialog->SetClientSize(dialog->ConvertDialogToPixels(wxSize(w, h)));
}

}  // namespace

bool ReadNumberFields(wxWindow* parent, const std::vector<NumberField>& fields) {
    for (const NumberField& f : fields) {
        if (!ParseNumber(f.box->GetValue().ToStdString(), *f.value)) {
            wxMessageBox(msg::kEnterNumber, msg::kProgramName, wxOK | wxICON_EXCLAMATION, parent);
            f.box->SetFocus();
            f.box->SelectAll();
            return false;
        }
    }
    return true;
}

// ---- Background Color ------------------------------------------------------

BackgroundColorDialog::BackgroundColorDialog(wxWindow* parent, float rgb[3], std::function<void(const float*)> apply)
    : wxDialog(parent, wxID_ANY, "Background Color", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      rgb_(rgb),
      red_(rgb[0]),
      green_(rgb[1]),
      blue_(rgb[2]),
      apply_(std::move(apply)) {
    SizeInDialogUnits(this, 168, 39);
    Label(this, "Background Color", 4, 8, 58, 8);
    redBox = NumberBox(this, ids::kRedEdit, 68, 4, red_);
    greenBox = NumberBox(this, ids::kGreenEdit, 100, 4, green_);
    blueBox = NumberBox(this, ids::kBlueEdit, 132, 4, blue_);
    auto* ok = At(new wxButton(this, wxID_OK, "OK"), this, 17, 21, 47, 14);
    At(new wxButton(this, wxID_CANCEL, "Cancel"), this, 67, 21, 47, 14);
    At(new wxButton(this, ids::kApply, "Apply"), this, 117, 21, 47, 14);
    ok->SetDefault();
    Bind(wxEVT_BUTTON, &BackgroundColorDialog::OnOk, this, wxID_OK);
    Bind(wxEVT_BUTTON, &BackgroundColorDialog::OnApply, this, ids::kApply);
    CentreOnParent();
}

bool BackgroundColorDialog::Exchange() {
    return ReadNumberFields(this, {{blueBox, &blue_}, {greenBox, &green_}, {redBox, &red_}});
}

void BackgroundColorDialog::OnOk(wxCommandEvent&) {
    if (!Exchange()) return;
    rgb_[0] = red_;
    rgb_[1] = green_;
    rgb_[2] = blue_;
    CloseWithOk(this);
}

void BackgroundColorDialog::OnApply(wxCommandEvent&) {
    Exchange();  // what was read before a bad box still applies
    const float applied[3] = {red_, green_, blue_};
    if (apply_) apply_(applied);
}

// ---- Light Properties ------------------------------------------------------

LightPropertiesDialog::LightPropertiesDialog(wxWindow* parent, LightRecord& light, std::function<void()> apply)
    : wxDialog(parent, wxID_ANY, "Light Properties", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      light_(light),
      apply_(std::move(apply)) {
    LoadFromLight();
    SizeInDialogUnits(this, 156, 119);
    Label(this, "Name", 4, 8, 20, 8);
    boxes_[16] = At(new wxTextCtrl(this, 1024, wxString::FromUTF8(light_.name)), this, 28, 4, 124, 14);

    struct Row {
        const char* label;
        int labelWidth;
        int y;
        int firstId;
        float* values;
    };
    const Row rows[5] = {
        {"Position", 26, 20, 1000, position_},     {"Direction", 29, 36, 1004, direction_},
        {"Ambient Color", 44, 52, 1007, ambient_}, {"Diffuse Color", 41, 68, 1010, diffuse_},
        {"Specular Color", 47, 84, 1013, specular_},
    };
    for (const Row& r : rows) {
        Label(this, r.label, 4, r.y + 4, r.labelWidth, 8);
        for (int i = 0; i < 3; ++i)
            boxes_[r.firstId - 1000 + i] = NumberBox(this, r.firstId + i, 55 + 32 * i, r.y, r.values[i]);
    }
    auto* ok = At(new wxButton(this, wxID_OK, "OK"), this, 5, 101, 47, 14);
    At(new wxButton(this, wxID_CANCEL, "Cancel"), this, 55, 101, 47, 14);
    At(new wxButton(this, ids::kApply, "Apply"), this, 105, 101, 47, 14);
    ok->SetDefault();

    // The order the boxes are read in: ambient, diffuse (blue first), direction,
    // position, specular (blue first); the name comes last.
    auto field = [this](int id, float* value) { exchangeOrder_.push_back({Box(id), value}); };
    field(1009, &ambient_[2]); field(1008, &ambient_[1]); field(1007, &ambient_[0]);
    field(1012, &diffuse_[2]); field(1011, &diffuse_[1]); field(1010, &diffuse_[0]);
    field(1004, &direction_[0]); field(1005, &direction_[1]); field(1006, &direction_[2]);
    field(1000, &position_[0]); field(1001, &position_[1]); field(1002, &position_[2]);
    field(1015, &specular_[2]); field(1014, &specular_[1]); field(1013, &specular_[0]);

    Bind(wxEVT_BUTTON, &LightPropertiesDialog::OnOk, this, wxID_OK);
    Bind(wxEVT_BUTTON, &LightPropertiesDialog::OnApply, this, ids::kApply);
    CentreOnParent();
}

wxTextCtrl* LightPropertiesDialog::Box(int id) const {
    if (id >= 1000 && id <= 1015) return boxes_[id - 1000];
    return id == 1024 ? boxes_[16] : nullptr;
}

void LightPropertiesDialog::LoadFromLight() {
    for (int i = 0; i < 3; ++i) {
        ambient_[i] = light_.ambient[i];
        diffuse_[i] = light_.diffuse[i];
        specular_[i] = light_.specular[i];
        position_[i] = light_.position[i];
        direction_[i] = light_.spotDirection[i];
    }
}

bool LightPropertiesDialog::ReadBoxes() {
    LoadFromLight();
    if (!ReadNumberFields(this, exchangeOrder_)) return false;
    return true;
}

void LightPropertiesDialog::CopyToLight() {
    for (int i = 0; i < 3; ++i) {
        light_.ambient[i] = ambient_[i];
        light_.diffuse[i] = diffuse_[i];
        light_.specular[i] = specular_[i];
        light_.position[i] = position_[i];
        light_.spotDirection[i] = direction_[i];
    }
}

void LightPropertiesDialog::OnOk(wxCommandEvent&) {
    if (!ReadBoxes()) return;
    CopyToLight();
    light_.name = Box(1024)->GetValue().utf8_string();
    CloseWithOk(this);
}

void LightPropertiesDialog::OnApply(wxCommandEvent&) {
    const bool all = ReadBoxes();
    CopyToLight();
    if (all) light_.name = Box(1024)->GetValue().utf8_string();  // the name is read last
    if (apply_) apply_();
}

// ---- About -----------------------------------------------------------------

namespace {
wxBitmap AboutBitmap() {
    const std::vector<uint8_t> pixels = AboutPixels();
    wxImage image(kAboutWidth, kAboutHeight);
    std::copy(pixels.begin(), pixels.end(), image.GetData());
    wxBitmap bitmap(image);
    wxMemoryDC dc(bitmap);
    dc.SetTextForeground(wxColour(240, 232, 220));
    wxFont font = *wxNORMAL_FONT;
    font.SetPointSize(13);
    font.SetWeight(wxFONTWEIGHT_BOLD);
    dc.SetFont(font);
    dc.DrawText("Meshara", 78, 18);
    font.SetPointSize(8);
    font.SetWeight(wxFONTWEIGHT_NORMAL);
    dc.SetFont(font);
    dc.DrawText("by Torvane", 80, 42);
    dc.DrawText("MD2 model viewer", 80, 56);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}
}  // namespace

AboutDialog::AboutDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "About Torvane's Meshara", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    SizeInDialogUnits(this, 248, 54);
    const wxPoint at = ConvertDialogToPixels(wxPoint(2, 2));
    auto* picture = new wxStaticBitmap(this, wxID_ANY, AboutBitmap(), at, wxSize(kAboutWidth, kAboutHeight),
                                       wxBORDER_SUNKEN);
    // The picture is shown at its own size; the dialog grows to hold it.
    const wxSize need(at.x + picture->GetSize().x + at.x, at.y + picture->GetSize().y + at.y);
    const wxSize have = GetClientSize();
    SetClientSize(std::max(have.x, need.x), std::max(have.y, need.y));
    // Enter closes it as Escape does.
    SetEscapeId(wxID_CANCEL);
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
        if (e.GetKeyCode() == WXK_RETURN || e.GetKeyCode() == WXK_NUMPAD_ENTER || e.GetKeyCode() == WXK_ESCAPE)
            EndModal(wxID_OK);
        else
            e.Skip();
    });
    CentreOnParent();
}

}  // namespace meshara
