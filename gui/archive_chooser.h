#pragma once
// The models inside a game archive, to choose among: typing narrows the
// list to the names holding what was typed (any letter case), and several
// can be chosen, across changes of the filter.

#include <wx/wx.h>

#include <set>
#include <string>
#include <vector>

namespace meshara {

class ArchiveChooserDialog : public wxDialog {
public:
    // names as stored in the archive; title names the archive.
    ArchiveChooserDialog(wxWindow* parent, const std::string& archiveName, const std::vector<std::string>& names);

    // The chosen names' indices, in the list's order. With none chosen, the
    // one name the filter leaves, if it leaves only one.
    std::vector<size_t> Chosen() const;

    wxTextCtrl* filter = nullptr;
    wxListBox* list = nullptr;
    // The index into names of each row the list shows.
    const std::vector<size_t>& Shown() const { return shown_; }

private:
    void ShowMatching();
    void OnSelect(wxCommandEvent& event);

    std::vector<wxString> names_;
    std::vector<size_t> shown_;
    std::set<size_t> chosen_;
};

}  // namespace meshara
