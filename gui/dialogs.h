#pragma once
// The small modal dialogs: Background Color, Light Properties and About.
// Number boxes show "%g" and accept only whole, finite numbers; a bad box
// shows the standard prompt, takes the focus and stops the exchange there.

#include <wx/wx.h>

#include <functional>
#include <string>
#include <vector>

#include "formats/light_record.h"

namespace meshara {

// A box exchanged with one float.
struct NumberField {
    wxTextCtrl* box;
    float* value;
};

// Reads the boxes in order into their values, stopping at the first that
// does not hold a number (after prompting and focusing it). True when all read.
bool ReadNumberFields(wxWindow* parent, const std::vector<NumberField>& fields);

class BackgroundColorDialog : public wxDialog {
public:
    // rgb is edited in place by OK (and by Apply, which then calls apply(rgb)).
    BackgroundColorDialog(wxWindow* parent, float rgb[3], std::function<void(const float*)> apply);

    wxTextCtrl* redBox;
    wxTextCtrl* greenBox;
    wxTextCtrl* blueBox;

    // Blue, green, red: the order the boxes are read in.
    bool Exchange();

private:
    void OnOk(wxCommandEvent& event);
    void OnApply(wxCommandEvent& event);

    float* rgb_;
    float red_, green_, blue_;
    std::function<void(const float*)> apply_;
};

class LightPropertiesDialog : public wxDialog {
public:
    LightPropertiesDialog(wxWindow* parent, LightRecord& light, std::function<void()> apply);

    // Ids 1000..1015 and 1024 map to their boxes.
    wxTextCtrl* Box(int id) const;

private:
    void OnOk(wxCommandEvent& event);
    void OnApply(wxCommandEvent& event);
    // Reads the boxes into target; on a refused box prompts, focuses it and
    // returns false (what was read before it stays in target).
    bool Read(LightRecord& target, std::string& shownName);

    LightRecord& light_;
    std::function<void()> apply_;
    // What the Name box showed when filled or last read, so an untouched
    // name keeps its exact bytes.
    std::string shownName_;
    wxTextCtrl* boxes_[17] = {};  // 1000..1015, then 1024 at index 16
};

class AboutDialog : public wxDialog {
public:
    explicit AboutDialog(wxWindow* parent);
    wxWindow* picture = nullptr;  // the picture in its sunken frame
};

}  // namespace meshara
