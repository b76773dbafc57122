#pragma once
// The application object: owns the document for the whole run, starts the
// main window and drives the spin from idle time.

#include <wx/wx.h>

#include <string>
#include <vector>

#include "app/document.h"

namespace meshara {

class MainWnd;

class ViewerApp : public wxApp {
public:
    ViewerApp();
    bool OnInit() override;
    int OnExit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;

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

    // Our command ids go up to 57681, past the 16-bit signed range wx warns
    // about for portability to another platform; under GTK they work, so
    // that one warning is dropped and every other assertion goes on as usual.
    void OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                         const wxChar* msg) override;

private:
    void OnIdle(wxIdleEvent& event);
    void OnAbout(wxCommandEvent& event);

    Document document_;
    std::vector<std::string> startupModels_;
    wxDECLARE_EVENT_TABLE();
};

ViewerApp& TheApp();

}  // namespace meshara
