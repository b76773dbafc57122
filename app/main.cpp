#include "app/command_line.h"
#include "app/viewer_app.h"

wxIMPLEMENT_APP_NO_MAIN(meshara::ViewerApp);

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    const meshara::CommandLine line = meshara::ParseCommandLine(argc, argv);
    if (line.exitNow) return line.exitCode;
    return wxEntry(argc, argv);
}
