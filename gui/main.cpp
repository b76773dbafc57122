#include "gui/command_line.h"
#include "gui/viewer_app.h"

wxIMPLEMENT_APP_NO_MAIN(meshara::ViewerApp);

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    meshara::CommandLine line = meshara::ParseCommandLine(argc, argv);
    if (line.exitNow) return line.exitCode;
    // Without a display the viewer ends as a refusal does: one line, exit 1.
    if (!meshara::DisplayNamed()) return 1;
    bool noDisplay = false;
    wxApp::SetInstance(new meshara::ViewerApp(std::move(line.files), &noDisplay));
    const int code = wxEntry(argc, argv);
    return noDisplay ? 1 : code;
}
