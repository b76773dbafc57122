#include "gui/command_line.h"
#include "gui/viewer_app.h"

wxIMPLEMENT_APP_NO_MAIN(meshara::ViewerApp);

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    meshara::CommandLine line = meshara::ParseCommandLine(argc, argv);
    if (line.exitNow) return line.exitCode;
    wxApp::SetInstance(new meshara::ViewerApp(std::move(line.files)));
    return wxEntry(argc, argv);
}
