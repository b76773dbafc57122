// meshara-cli: the viewer's file handling from the command line, for
// checking models, pictures and light files without opening a window.

#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_common.h"

using namespace meshara::cli;

namespace {

const Subcommand* const* Commands() {
    static const Subcommand* const kCommands[] = {&InfoCommand(),   &DecodeCommand(), &LightCommand(),
                                                  &RenderCommand(), &ExportCommand(), &ConvertCommand(), &ThumbnailCommand(), &ListCommand(),
                                                  &LayoutCommand(), &CheckCommand(), &FixCommand(), nullptr};
    return kCommands;
}

void PrintUsage(std::FILE* to) {
    std::fputs("usage: meshara-cli <command> [arguments]\n\ncommands:\n", to);
    for (const Subcommand* const* c = Commands(); *c; ++c)
        std::fprintf(to, "  %-10s %s\n", (*c)->table.name, (*c)->table.summary);
    std::fputs("\n'meshara-cli <command> --help' tells a command's arguments.\n", to);
}

}  // namespace

namespace {

// A subcommand run so that nothing aborts the program: what it could not
// have (memory) or did not foresee is said, and the command fails.
int RunGuarded(const Subcommand& command, const Arguments& parsed) {
    try {
        return command.run(parsed);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "meshara-cli: %s: not enough memory\n", command.table.name);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "meshara-cli: %s: %s\n", command.table.name, Printable(e.what()).c_str());
    }
    return kExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that closes the pipe early gets a refusal, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 2) {
        std::fputs("meshara-cli: no command given\ntry 'meshara-cli --help'\n", stderr);
        return kExitUsage;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (name == "--version" || name == "-V") {
        std::printf("meshara-cli %s\n", MESHARA_VERSION);
        return kExitOk;
    }
    const std::vector<std::string_view> args(argv + 2, argv + argc);
    for (const Subcommand* const* c = Commands(); *c; ++c) {
        if (name != (*c)->table.name) continue;
        // Asking for help wins over whatever else the line holds, up to a "--".
        for (std::string_view a : args) {
            if (a == "--") break;
            if (a == "--help" || a == "-h") {
                std::fputs(CommandUsage((*c)->table).c_str(), stdout);
                return kExitOk;
            }
        }
        Arguments parsed;
        if (std::string problem = ParseArguments((*c)->table, args, parsed); !problem.empty())
            return Usage((*c)->table, problem);
        return RunGuarded(**c, parsed);
    }
    std::fprintf(stderr, "meshara-cli: unknown command: %s\ntry 'meshara-cli --help'\n", Printable(name).c_str());
    return kExitUsage;
}
