#include "gui/viewer_app.h"

#include "gui/toolkit_ids.h"
#include "session/command_ids.h"

namespace meshara {

wxBEGIN_EVENT_TABLE(ViewerApp, wxApp)
    EVT_IDLE(ViewerApp::OnIdle)
    EVT_MENU(ToolkitId(ids::kAbout), ViewerApp::OnAbout)
wxEND_EVENT_TABLE()

ViewerApp::ViewerApp(std::vector<std::string> files) : startupModels_(std::move(files)) {
    // The settings key of the platform's standard settings; the program stores none itself.
    SetVendorName("Torvane");
    SetAppName("Meshara");
}

bool ViewerApp::OnInit() {
    // The command line was read before the toolkit started (gui/main.cpp):
    // the base class, which would read it again, is not called.
    if (!CreateMainWindow()) return false;
    OpenModels(startupModels_);
    return true;
}

void ViewerApp::OpenModels(const std::vector<std::string>& paths) {
    if (!mainFrame) return;
    mainFrame->Cmd().OpenFiles(paths);
}

bool ViewerApp::CreateMainWindow() {
    // Check marks are worked out when a menu opens, not on every idle pass:
    // the Texture and Multi-Pass rules turn a spinning model each time they run.
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    mainFrame = new MainWnd(document_);
    SetTopWindow(mainFrame);
    mainFrame->Show();
    mainFrame->Update();
    return true;
}

int ViewerApp::OnExit() { return wxApp::OnExit(); }

void ViewerApp::OnIdle(wxIdleEvent& event) {
    // More idle time only while something turns: an idle viewer sleeps.
    if (mainFrame && mainFrame->Spinning()) {
        mainFrame->SpinStep();
        event.RequestMore();
    }
    event.Skip();
}

void ViewerApp::OnAbout(wxCommandEvent&) {
    if (mainFrame) mainFrame->ShowAbout();
}

}  // namespace meshara
