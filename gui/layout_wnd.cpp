#include "gui/layout_wnd.h"

#include <wx/dcbuffer.h>

#include <algorithm>

#include "gui/accessibility.h"

namespace meshara {

namespace {
constexpr int kLargestView = 640;  // a larger layout scrolls
}

LayoutWnd::LayoutWnd(wxWindow* parent, Callbacks callbacks)
    : wxFrame(parent, wxID_ANY, "Skin Layout", wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE | wxFRAME_FLOAT_ON_PARENT),
      callbacks_(std::move(callbacks)) {
    auto* panel = new wxPanel(this);
    auto* column = new wxBoxSizer(wxVERTICAL);
    saveButton = new wxButton(panel, wxID_ANY, "Save as PNG...");
    none_ = new wxStaticText(panel, wxID_ANY, "The current model has no skin layout.");
    picture = new wxScrolledWindow(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxHSCROLL | wxVSCROLL);
    picture->SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetAccessibleName(picture, "Skin layout");
    column->Add(saveButton, 0, wxALL, 4);
    column->Add(none_, 0, wxALL, 4);
    column->Add(picture, 1, wxEXPAND);
    panel->SetSizer(column);
    auto* whole = new wxBoxSizer(wxVERTICAL);
    whole->Add(panel, 1, wxEXPAND);
    SetSizer(whole);
    picture->Bind(wxEVT_PAINT, &LayoutWnd::OnPaint, this);
    picture->Bind(wxEVT_MOTION, &LayoutWnd::OnPointer, this);
    picture->Bind(wxEVT_LEAVE_WINDOW, &LayoutWnd::OnPointer, this);
    saveButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (callbacks_.save) callbacks_.save();
    });
    Bind(wxEVT_CLOSE_WINDOW, &LayoutWnd::OnClose, this);
    picture->SetMinSize(wxSize(200, 100));
    whole->Fit(this);
    // Beside the main window, on its right.
    if (parent) SetPosition(wxPoint(parent->GetScreenRect().GetRight() + 8, parent->GetScreenRect().GetTop()));
}

void LayoutWnd::ShowLayout(const SkinLayout& layout) {
    const bool has = layout.width > 0 && layout.height > 0;
    const wxSize was = bitmap_.IsOk() ? bitmap_.GetSize() : wxSize();
    if (has) {
        wxImage image(layout.width, layout.height);
        unsigned char* rgb = image.GetData();
        for (size_t i = 0, n = size_t(layout.width) * size_t(layout.height); i < n; ++i)
            std::copy_n(&layout.rgba[i * 4], 3, &rgb[i * 3]);
        bitmap_ = wxBitmap(image);
    } else {
        bitmap_ = wxBitmap();
    }
    none_->Show(!has);
    saveButton->Enable(has);
    const wxSize size = has ? bitmap_.GetSize() : wxSize();
    picture->SetVirtualSize(size);
    picture->SetScrollRate(has ? 8 : 0, has ? 8 : 0);
    if (size != was) {
        picture->SetMinSize(wxSize(std::min(std::max(size.x, 200), kLargestView), std::min(std::max(size.y, 100), kLargestView)));
        GetSizer()->Fit(this);
        Layout();
    }
    picture->Refresh(false);
    picture->Update();
}

void LayoutWnd::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(picture);
    picture->DoPrepareDC(dc);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    if (bitmap_.IsOk()) dc.DrawBitmap(bitmap_, 0, 0);
}

void LayoutWnd::OnPointer(wxMouseEvent& event) {
    event.Skip();
    if (!callbacks_.pointer) return;
    const wxPoint at = picture->CalcUnscrolledPosition(event.GetPosition());
    const bool on = event.GetEventType() == wxEVT_MOTION && bitmap_.IsOk() && at.x >= 0 && at.y >= 0 &&
                    at.x < bitmap_.GetWidth() && at.y < bitmap_.GetHeight();
    callbacks_.pointer(on ? at.x : -1, on ? at.y : -1);
}

void LayoutWnd::OnClose(wxCloseEvent& event) {
    if (!event.CanVeto()) {
        event.Skip();
        return;
    }
    event.Veto();
    if (callbacks_.closed) callbacks_.closed();
}

}  // namespace meshara
