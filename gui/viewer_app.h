#pragma once
// The application object: owns the document for the whole run, starts the
// main window and drives the spin from idle time.

#include <wx/wx.h>
// After wx.h: it uses <type_traits> without including it.
#include <wx/weakref.h>

#include <string>
#include <vector>

#include "gui/main_wnd.h"
#include "session/document.h"

namespace meshara {

// Whether a display is named (DISPLAY or WAYLAND_DISPLAY); when none is,
// the viewer's one line saying so has been printed on stderr.
bool DisplayNamed();

class ViewerApp : public wxApp {
public:
    // files: opened once the main window is up (the command line's).
    // noDisplay, when given, is set when the toolkit finds no display.
    explicit ViewerApp(std::vector<std::string> files = {}, bool* noDisplay = nullptr);
    // Starts the toolkit; without a display, says so in one line, not in the
    // toolkit's assertions about a message box it cannot show.
    bool Initialize(int& argc, wxChar** argv) override;
    bool OnInit() override;
    int OnExit() override;

    // Opens each file by its content, as a drop on the view would: models,
    // light files, pictures for the current model's texture map. A refused
    // one shows its message and the rest still open.
    void OpenModels(const std::vector<std::string>& paths);

    Document& Doc() { return document_; }
    // Not owned: wx deletes the frame with its window, and this then reads null.
    wxWeakRef<MainWnd> mainFrame;

    // Creates and shows the main window; false when it cannot be made.
    bool CreateMainWindow();

private:
    void OnIdle(wxIdleEvent& event);
    void OnAbout(wxCommandEvent& event);

    Document document_;
    std::vector<std::string> startupModels_;
    bool* noDisplay_ = nullptr;
    wxDECLARE_EVENT_TABLE();
};

}  // namespace meshara
