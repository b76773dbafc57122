#include "gui/archive_chooser.h"

#include "formats/name_text.h"
#include "gui/accessibility.h"

namespace meshara {

ArchiveChooserDialog::ArchiveChooserDialog(wxWindow* parent, const std::string& archiveName,
                                           const std::vector<std::string>& names)
    : wxDialog(parent, wxID_ANY, "Models in " + wxString::FromUTF8(archiveName), wxDefaultPosition, wxSize(420, 480),
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER) {
    // Names in archives are 8-bit text, shown as the light names are.
    for (const std::string& name : names) names_.push_back(wxString::FromUTF8(NameToUtf8(name)));
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(new wxStaticText(this, wxID_ANY, "Type to filter; choose one or more models (Ctrl or Shift to add):"),
                wxSizerFlags().Border(wxLEFT | wxRIGHT | wxTOP));
    filter = new wxTextCtrl(this, wxID_ANY);
    filter->SetHint("part of a name");
    column->Add(filter, wxSizerFlags().Expand().Border());
    list = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxLB_EXTENDED | wxLB_NEEDED_SB);
    column->Add(list, wxSizerFlags(1).Expand().Border(wxLEFT | wxRIGHT));
    column->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), wxSizerFlags().Expand().Border());
    SetSizer(column);
    SetDialogRole(this);
    SetAccessibleName(filter, "Filter the models");
    SetAccessibleName(list, "Models in the archive");
    filter->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { ShowMatching(); });
    list->Bind(wxEVT_LISTBOX, &ArchiveChooserDialog::OnSelect, this);
    list->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { EndModal(wxID_OK); });
    ShowMatching();
    filter->SetFocus();
}

void ArchiveChooserDialog::ShowMatching() {
    const wxString typed = filter->GetValue().Lower();
    shown_.clear();
    wxArrayString rows;
    for (size_t i = 0; i < names_.size(); ++i)
        if (typed.empty() || names_[i].Lower().Contains(typed)) {
            shown_.push_back(i);
            rows.Add(names_[i]);
        }
    list->Freeze();
    list->Set(rows);
    for (size_t row = 0; row < shown_.size(); ++row)
        if (chosen_.count(shown_[row])) list->SetSelection(static_cast<int>(row));
    list->Thaw();
}

void ArchiveChooserDialog::OnSelect(wxCommandEvent&) {
    // Rows the filter hides keep their choice; the rows shown say theirs.
    for (size_t row = 0; row < shown_.size(); ++row) {
        if (list->IsSelected(static_cast<int>(row)))
            chosen_.insert(shown_[row]);
        else
            chosen_.erase(shown_[row]);
    }
}

std::vector<size_t> ArchiveChooserDialog::Chosen() const {
    if (chosen_.empty() && shown_.size() == 1) return shown_;
    return std::vector<size_t>(chosen_.begin(), chosen_.end());
}

}  // namespace meshara
