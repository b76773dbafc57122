#pragma once
// The 200-pixel panel at the right: seven rows of lists, file names and
// buttons, laid out by fixed formulas from the height of the first drop-down.

#include <wx/wx.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "render/scene.h"

namespace meshara {

struct Document;

class OptionsBar : public wxPanel {
public:
    static constexpr int kWidth = 200;

    // What a change of selection in one of the three lists calls, with the
    // index chosen. Button clicks go to the parent as menu commands.
    struct SelectionHandlers {
        std::function<void(int)> model, modelLight, globalLight;
    };

    OptionsBar(wxWindow* parent, SelectionHandlers handlers);

    // Rebuilds every control from the document; fires no selection handler.
    void Refresh(const Document& doc);
    using wxPanel::Refresh;

    // Row height: the drop-down's height as created.
    int RowHeight() const { return rowHeight_; }

    wxChoice* modelList = nullptr;
    wxChoice* modelLights = nullptr;
    std::array<wxTextCtrl*, kMapKinds> mapEdits{};  // by MapKind, so top to bottom
    wxListBox* globalLights = nullptr;
    // Commands 32785..32805, then 32808, in that order.
    std::array<wxButton*, 22> buttons{};

    // The button of a command (the program's id), or null.
    wxButton* Button(int command) const;

private:
    void DescribeControls();  // tooltips and the names screen readers say
    void SetCaption(wxButton* button, bool on);  // a toggle's "*", and its state in its name
    void Layout(int clientHeight);
    void OnSize(wxSizeEvent& event);
    void OnButton(wxCommandEvent& event);
    void OnModelListChoice(wxCommandEvent& event);
    void OnModelLightsChoice(wxCommandEvent& event);
    void OnGlobalLightsSelect(wxCommandEvent& event);

    SelectionHandlers handlers_;
    std::array<std::string, 22> buttonNames_;  // what a screen reader says, by button
    std::array<int8_t, 22> captions_;          // the state each toggle's caption shows; -1 before the first
    int rowHeight_ = 0;
    bool created_ = false;
    wxDECLARE_EVENT_TABLE();
};

}  // namespace meshara
