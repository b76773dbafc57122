#pragma once
// The Skin Layout window beside the main window: the current model's layout
// as the commands send it (session/skin_layout.h), where the pointer is on
// it told back, and a Save button of its own. It decides nothing itself.

#include <wx/wx.h>

#include <functional>

#include "session/skin_layout.h"

namespace meshara {

class LayoutWnd : public wxFrame {
public:
    struct Callbacks {
        std::function<void(int x, int y)> pointer;  // a pixel of the layout, or (-1, -1) off it
        std::function<void()> save;
        std::function<void()> closed;  // its close box: the commands hide it
    };
    LayoutWnd(wxWindow* parent, Callbacks callbacks);

    // Shows the layout in place of the last; an empty one says there is none.
    void ShowLayout(const SkinLayout& layout);

    wxScrolledWindow* picture = nullptr;  // the layout, scrolled when larger than the window
    wxButton* saveButton = nullptr;
    const wxBitmap& Shown() const { return bitmap_; }

private:
    void OnPaint(wxPaintEvent& event);
    void OnPointer(wxMouseEvent& event);
    void OnClose(wxCloseEvent& event);

    Callbacks callbacks_;
    wxBitmap bitmap_;
    wxStaticText* none_ = nullptr;
};

}  // namespace meshara
