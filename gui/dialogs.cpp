#include "gui/dialogs.h"

#include <wx/statbmp.h>

#include <algorithm>
#include <array>

#include "gui/accessibility.h"
#include "gui/art.h"
#include "session/command_ids.h"
#include "session/light_form.h"
#include "session/messages.h"
#include "session/number_text.h"

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

// A label at its rectangle in dialog units. The units come from the dialog's
// font, but a font's longer words can still outgrow the width the layout
// gives them ("Ambient Color" in 44 units): the label then widens to its
// whole text, at most up to the control beside it (nextX), and nothing else moves.
void Label(wxWindow* dialog, const char* text, int x, int y, int w, int h, int nextX) {
    auto* label = At(new wxStaticText(dialog, wxID_ANY, text), dialog, x, y, w, h);
    const int room = dialog->ConvertDialogToPixels(wxPoint(nextX, 0)).x - label->GetPosition().x;
    const int whole = label->GetBestSize().x;
    if (whole > label->GetSize().x) label->SetSize(std::min(whole, room), label->GetSize().y);
}

// Boxes have no label of their own (one label serves a row of three), so a
// screen reader is told each box's name.
void NameBoxes(wxTextCtrl* const* boxes, const char* row, const char* const (&parts)[3]) {
    for (int i = 0; i < 3; ++i) SetAccessibleName(boxes[i], (std::string(row) + " " + parts[i]).c_str());
}
constexpr const char* kColorParts[3] = {"red", "green", "blue"};
constexpr const char* kAxisParts[3] = {"X", "Y", "Z"};

void SizeInDialogUnits(wxDialog* dialog, int w, int h) {
    dialog->SetClientSize(dialog->ConvertDialogToPixels(wxSize(w, h)));
}

// OK (the default), Cancel and Apply in a row from x at y, in dialog units.
template <class Dialog>
void AddButtons(Dialog* dialog, int x, int y, void (Dialog::*onOk)(wxCommandEvent&),
                void (Dialog::*onApply)(wxCommandEvent&)) {
    auto* ok = At(new wxButton(dialog, wxID_OK, "OK"), dialog, x, y, 47, 14);
    At(new wxButton(dialog, wxID_CANCEL, "Cancel"), dialog, x + 50, y, 47, 14);
    At(new wxButton(dialog, ids::kApply, "Apply"), dialog, x + 100, y, 47, 14);
    ok->SetDefault();
    dialog->Bind(wxEVT_BUTTON, onOk, dialog, wxID_OK);
    dialog->Bind(wxEVT_BUTTON, onApply, dialog, ids::kApply);
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
    SetDialogRole(this);
    SizeInDialogUnits(this, 168, 39);
    Label(this, "Background Color", 4, 8, 58, 8, 68);
    redBox = NumberBox(this, ids::kRedEdit, 68, 4, red_);
    greenBox = NumberBox(this, ids::kGreenEdit, 100, 4, green_);
    blueBox = NumberBox(this, ids::kBlueEdit, 132, 4, blue_);
    const std::array boxes = {redBox, greenBox, blueBox};
    NameBoxes(boxes.data(), "Background", kColorParts);
    AddButtons(this, 17, 21, &BackgroundColorDialog::OnOk, &BackgroundColorDialog::OnApply);
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
    const LightForm form = FormFromLight(light_);
    SetDialogRole(this);
    SizeInDialogUnits(this, 156, 119);
    Label(this, "Name", 4, 8, 20, 8, 28);
    boxes_[16] = At(new wxTextCtrl(this, kNameBox, wxString::FromUTF8(form.name)), this, 28, 4, 124, 14);
    SetAccessibleName(boxes_[16], "Name");
    // The box may not show every character as given (control characters);
    // what it does show is what "not edited" means.
    shownName_ = boxes_[16]->GetValue().utf8_string();

    struct Row {
        const char* label;
        int labelWidth;
        int labelY;
        int boxY;
        int firstId;
        const char* boxName;  // what a screen reader calls the row's boxes, before their part
        const char* const (&parts)[3];
    };
    const Row rows[5] = {
        {"Position", 26, 25, 20, 1000, "Position", kAxisParts},
        {"Direction", 29, 40, 36, 1004, "Direction", kAxisParts},
        {"Ambient Color", 44, 56, 52, 1007, "Ambient", kColorParts},
        {"Diffuse Color", 41, 72, 68, 1010, "Diffuse", kColorParts},
        {"Specular Color", 47, 88, 84, 1013, "Specular", kColorParts},
    };
    for (const Row& r : rows) {
        Label(this, r.label, 4, r.labelY, r.labelWidth, 8, 55);
        for (int i = 0; i < 3; ++i) {
            const int id = r.firstId + i;
            auto* box = new wxTextCtrl(this, id, form.numbers[static_cast<size_t>(id - kFirstNumberBox)]);
            boxes_[id - kFirstNumberBox] = At(box, this, 55 + 32 * i, r.boxY, 32, 14);
        }
        NameBoxes(&boxes_[r.firstId - kFirstNumberBox], r.boxName, r.parts);
    }
    AddButtons(this, 5, 101, &LightPropertiesDialog::OnOk, &LightPropertiesDialog::OnApply);
    CentreOnParent();
}

wxTextCtrl* LightPropertiesDialog::Box(int id) const {
    if (id >= 1000 && id <= 1015) return boxes_[id - 1000];
    return id == kNameBox ? boxes_[16] : nullptr;
}

bool LightPropertiesDialog::Read(LightRecord& target, std::string& shownName) {
    LightForm form;
    for (int id : kLightFormOrder)
        if (id != kNameBox) form.numbers[static_cast<size_t>(id - kFirstNumberBox)] = Box(id)->GetValue().utf8_string();
    form.name = Box(kNameBox)->GetValue().utf8_string();
    const int bad = ReadLightForm(form, shownName, target);
    if (bad == 0) return true;
    wxMessageBox(bad == kNameBox ? msg::kNameOutsideSet : msg::kEnterNumber, msg::kProgramName,
                 wxOK | wxICON_EXCLAMATION, this);
    Box(bad)->SetFocus();
    Box(bad)->SelectAll();
    return false;
}

void LightPropertiesDialog::OnOk(wxCommandEvent&) {
    // Nothing is taken unless every box is.
    LightRecord edited = light_;
    std::string shown = shownName_;
    if (!Read(edited, shown)) return;
    light_ = edited;
    shownName_ = shown;
    CloseWithOk(this);
}

void LightPropertiesDialog::OnApply(wxCommandEvent&) {
    Read(light_, shownName_);  // what was read before a refused box still applies
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

// A picture at its own size in a one-pixel sunken frame. Drawn here: the
// toolkit's picture control draws no frame, and a dialog's lone child is
// stretched over the whole dialog.
class SunkenPicture : public wxWindow {
public:
    SunkenPicture(wxWindow* parent, const wxBitmap& bitmap, wxPoint at)
        : wxWindow(parent, wxID_ANY, at, bitmap.GetSize() + wxSize(2, 2), wxBORDER_NONE), bitmap_(bitmap) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
            wxPaintDC dc(this);
            const wxSize size = GetClientSize();
            dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW)));
            dc.DrawLine(0, 0, size.x - 1, 0);
            dc.DrawLine(0, 0, 0, size.y - 1);
            dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_3DHIGHLIGHT)));
            dc.DrawLine(size.x - 1, 0, size.x - 1, size.y);
            dc.DrawLine(0, size.y - 1, size.x, size.y - 1);
            dc.DrawBitmap(bitmap_, 1, 1);
        });
    }

private:
    wxBitmap bitmap_;
};

AboutDialog::AboutDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "About Torvane's Meshara", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    SetDialogRole(this);
    SetAccessibleDescription(this, "Torvane's Meshara " MESHARA_VERSION);
    SizeInDialogUnits(this, 248, 54);
    auto* page = new wxPanel(this);
    picture = new SunkenPicture(page, AboutBitmap(), ConvertDialogToPixels(wxPoint(2, 2)));
    // The picture holds no words: a screen reader gets them from its name and description.
    SetPictureRole(picture);
    SetAccessibleName(picture, "Torvane's Meshara");
    SetAccessibleDescription(picture, "Torvane's Meshara " MESHARA_VERSION
                                      ": a viewer for Quake 2 MD2 models with skins, lights and four blended passes");
    // The dialog grows where its units are too small to hold the picture.
    const wxPoint at = picture->GetPosition();
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
