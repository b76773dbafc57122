#include "gui/command_line.h"

#include <wx/cmdline.h>
#include <wx/msgout.h>

#include <cstdio>

#ifndef MESHARA_VERSION
#define MESHARA_VERSION "unknown"
#endif

namespace meshara {

namespace {
void DescribeCommandLine(wxCmdLineParser& parser) {
    const wxCmdLineEntryDesc entries[] = {
        {wxCMD_LINE_SWITCH, "h", "help", "show this help and exit", wxCMD_LINE_VAL_NONE, wxCMD_LINE_OPTION_HELP},
        {wxCMD_LINE_SWITCH, nullptr, "version", "show the version and exit", wxCMD_LINE_VAL_NONE, 0},
        {wxCMD_LINE_PARAM, nullptr, nullptr, "FILE", wxCMD_LINE_VAL_STRING,
         wxCMD_LINE_PARAM_OPTIONAL | wxCMD_LINE_PARAM_MULTIPLE},
        wxCMD_LINE_DESC_END,
    };
    parser.SetDesc(entries);
    parser.SetLogo("Meshara " MESHARA_VERSION ": a viewer for Quake 2 MD2 models.\n"
                   "Each FILE given is opened at start-up, told by its content, whatever its name:\n"
                   "  models (.md2, and glTF or OBJ made into one): opened, lit and brought into view;\n"
                   "  player folders (players/NAME): the body and its weapon, dressed in the first skin;\n"
                   "  archives (.pak, .pk3, .zip): the models inside, chosen from a list;\n"
                   "  light files (.lgt): imported, and lighting the models given with them;\n"
                   "  pictures (PCX, BMP, PNG, TGA, JPEG): the texture map of the last model given.");
}
}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine out;
    wxCmdLineParser parser(argc, argv);
    DescribeCommandLine(parser);
    // No application exists yet: the parser's own complaints go to stderr.
    wxMessageOutputStderr errors;
    wxMessageOutput* previous = wxMessageOutput::Set(&errors);
    const int result = parser.Parse(false);
    wxMessageOutput::Set(previous);
    if (result == -1) {
        std::fputs(parser.GetUsageString().utf8_str(), stdout);
        out.exitNow = true;
        return out;
    }
    if (result != 0) {  // the parser has printed the problem
        std::fputs(parser.GetUsageString().utf8_str(), stderr);
        out.exitNow = true;
        out.exitCode = 2;
        return out;
    }
    if (parser.Found("version")) {
        std::printf("meshara %s\n", MESHARA_VERSION);
        out.exitNow = true;
        return out;
    }
    for (size_t i = 0; i < parser.GetParamCount(); ++i) out.files.push_back(parser.GetParam(i).utf8_string());
    return out;
}

}  // namespace meshara
