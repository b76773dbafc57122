#include "gui/viewer_app.h"

#include <wx/log.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/toolkit_ids.h"
#include "session/command_ids.h"

namespace meshara {

namespace {

const char* Variable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

void SayNoDisplay(const std::string& why) {
    std::fprintf(stderr, "meshara: cannot open a display (%s); meshara-cli renders without one\n", why.c_str());
}

}  // namespace

bool DisplayNamed() {
    if (Variable("DISPLAY") || Variable("WAYLAND_DISPLAY")) return true;
    SayNoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
    return false;
}

wxBEGIN_EVENT_TABLE(ViewerApp, wxApp)
    EVT_IDLE(ViewerApp::OnIdle)
    EVT_MENU(ToolkitId(ids::kAbout), ViewerApp::OnAbout)
wxEND_EVENT_TABLE()

ViewerApp::ViewerApp(std::vector<std::string> files, bool* noDisplay)
    : startupModels_(std::move(files)), noDisplay_(noDisplay) {
    // The settings key of the platform's standard settings; the program stores none itself.
    SetVendorName("Torvane");
    SetAppName("Meshara");
}

bool ViewerApp::Initialize(int& argc, wxChar** argv) {
    {
        // The toolkit's own complaint would go to a message box, which needs the display it lacks.
        wxLogNull quiet;
        if (wxApp::Initialize(argc, argv)) return true;
    }
    std::string named;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = Variable(name)) named += (named.empty() ? "" : ", ") + std::string(name) + "=" + value;
    SayNoDisplay(named.empty() ? "none is named" : named);
    if (noDisplay_) *noDisplay_ = true;
    return false;
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
