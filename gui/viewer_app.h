#pragma once
// The application object: owns the document for the whole run, starts the
// main window and drives the spin from idle time.

#include <wx/wx.h>

#include <string>
#include <vector>

#include "session/document.h"

namespace meshara {

class MainWnd;

class ViewerApp : public wxApp {
public:
    // files: opened once the main window is up (the command line's).
    explicit ViewerApp(std::vector<std::string> files = {});
    bool OnInit() override;
    int OnExit() override;

    // Opens each file by its content, as a drop on the view would: models,
    // light files, pictures for the current model's texture map. A refused
    // one shows its message and the rest still open.
    void OpenModels(const std::vector<std::string>& paths);

    Document& Doc() { return document_; }
    MainWnd* mainFrame = nullptr;  // not owned: wx deletes the frame with its window

    // Repaints the main window and its children before returning.
    void RequestRedraw();
    // Rebuilds the options bar from the document.
    void RefreshOptionsBar();

    // Creates and shows the main window; false when it cannot be made.
    bool CreateMainWindow();

private:
    void OnIdle(wxIdleEvent& event);
    void OnAbout(wxCommandEvent& event);

    Document document_;
    std::vector<std::string> startupModels_;
    wxDECLARE_EVENT_TABLE();
};

}  // namespace meshara
