#include "app/viewer_app.h"

#include "app/command_line.h"
#include "app/gl_wnd.h"
#include "app/main_wnd.h"
#include "render/camera.h"
#include "resources/ids.h"

namespace meshara {

wxBEGIN_EVENT_TABLE(ViewerApp, wxApp)
    EVT_IDLE(ViewerApp::OnIdle)
    EVT_MENU(ids::kAbout, ViewerApp::OnAbout)
wxEND_EVENT_TABLE()

ViewerApp& TheApp() { return *static_cast<ViewerApp*>(wxApp::GetInstance()); }

ViewerApp::ViewerApp() {
    // The settings key of the platform's standard settings; the program stores none itself.
    SetVendorName("Torvane");
    SetAppName("Meshara");
}

bool ViewerApp::OnInit() {
    if (!wxApp::OnInit()) return false;
    if (!CreateMainWindow()) return false;
    OpenModels(startupModels_);
    return true;
}

void ViewerApp::OnInitCmdLine(wxCmdLineParser& parser) { DescribeCommandLine(parser); }

bool ViewerApp::OnCmdLineParsed(wxCmdLineParser& parser) {
    for (size_t i = 0; i < parser.GetParamCount(); ++i) startupModels_.push_back(parser.GetParam(i).utf8_string());
    return true;
}

void ViewerApp::OpenModels(const std::vector<std::string>& paths) {
    if (!mainFrame) return;
    mainFrame->Cmd().OpenFiles(paths);
}

bool ViewerApp::CreateMainWindow() {
    spinActive = 0;
    // Check marks are worked out when a menu opens, not on every idle pass:
    // the Texture and Multi-Pass rules turn a spinning model each time they run.
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    mainFrame = new MainWnd(*this);
    SetTopWindow(mainFrame);
    mainFrame->Show();
    mainFrame->Update();
    return true;
}

int ViewerApp::OnExit() { return wxApp::OnExit(); }

void ViewerApp::OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                                const wxChar* msg) {
    if (msg && (wxString(msg) == "invalid itemid value" || wxString(msg) == "invalid id value")) return;
    wxApp::OnAssertFailure(file, line, func, cond, msg);
}

void ViewerApp::RequestRedraw() {
    if (!mainFrame) return;
    // The view has a native window of its own: invalidating the frame alone
    // does not reach it, so it is invalidated by name.
    mainFrame->Refresh(false);
    if (mainFrame->view) mainFrame->view->Refresh(false);
    mainFrame->Update();
    if (mainFrame->view) mainFrame->view->Update();
}

void ViewerApp::RefreshOptionsBar() {
    if (mainFrame) mainFrame->RefreshOptionsBar();
}

void ViewerApp::OnIdle(wxIdleEvent& event) {
    // More idle time only while something turns: an idle viewer sleeps.
    if (spinActive && mainFrame && mainFrame->view) {
        mainFrame->view->SpinStep();
        event.RequestMore();
    }
    event.Skip();
}

void ViewerApp::OnAbout(wxCommandEvent&) {
    if (mainFrame) mainFrame->ShowAbout();
}

}  // namespace meshara
