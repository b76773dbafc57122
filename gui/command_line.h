#pragma once
// The viewer's command line: files to open, --help and --version. It is
// read once, before the toolkit starts, so --help and --version answer
// without a display.

#include <string>
#include <vector>

namespace meshara {

struct CommandLine {
    std::vector<std::string> files;  // to open at start-up, in order
    bool exitNow = false;            // help or version printed, or a usage error
    int exitCode = 0;
};

// Parses argv; prints help or version to stdout, or the problem and usage
// to stderr, and then asks to exit.
CommandLine ParseCommandLine(int argc, char** argv);

}  // namespace meshara
