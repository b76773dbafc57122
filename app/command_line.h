#pragma once
// The viewer's command line: model files to open, --help and --version.

#include <wx/cmdline.h>

#include <string>
#include <vector>

namespace meshara {

// Describes the options to a wx parser (also used by the application object).
void DescribeCommandLine(wxCmdLineParser& parser);

struct CommandLine {
    std::vector<std::string> models;
    bool exitNow = false;  // help or version printed, or a usage error
    int exitCode = 0;
};

// Parses argv; prints help or version to stdout, or the problem and usage
// to stderr, and then asks to exit.
CommandLine ParseCommandLine(int argc, char** argv);

}  // namespace meshara
