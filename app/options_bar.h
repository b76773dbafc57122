#pragma once
// The 200-pixel panel at the right: seven rows of lists, file names and
// buttons, laid out by fixed formulas from the height of the first drop-down.

#include <wx/wx.h>

#include <array>

namespace meshara {

class MainWnd;
struct Document;

class OptionsBar : public wxPanel {
public:
    static constexpr int kWidth = 200;

    explicit OptionsBar(MainWnd* frame);

    // Rebuilds every control from the document; fires no selection handler.
    void Refresh(const Document& doc);
    using wxPanel::Refresh;

    // Row height: the drop-down's height as created.
    int RowHeight() const { return rowHeight_; }

    wxChoice* modelList = nullptr;
    wxChoice* modelLights = nullptr;
    // In creation order: texture, specularity, diffusion, glow.
    std::array<wxTextCtrl*, 4> mapEdits{};
    wxListBox* globalLights = nullptr;
    // Ids 32785..32805, then 32808, in that order.
    std::array<wxButton*, 22> buttons{};

    wxButton* Button(int id) const;

private:
    void DescribeControls();  // tooltips and the names screen readers say
    void Layout(int clientHeight);
    void OnSize(wxSizeEvent& event);
    void OnButton(wxCommandEvent& event);
    void OnModelListChoice(wxCommandEvent& event);
    void OnModelLightsChoice(wxCommandEvent& event);
    void OnGlobalLightsSelect(wxCommandEvent& event);

    MainWnd* frame_;
    int rowHeight_ = 0;
    bool created_ = false;
    wxDECLARE_EVENT_TABLE();
};

}  // namespace meshara
