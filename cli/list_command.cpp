// meshara-cli list: what a game archive holds, one entry a line, as the
// paths that reach them through the archive.

#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_common.h"
#include "formats/archive.h"
#include "formats/name_text.h"

namespace meshara::cli {

namespace {

// An entry's name as text (formats/name_text.h), one line whatever it holds:
// a control character, one of those Windows-1252 leaves undefined
// included, is shown as '?'.
std::string ListedName(std::string_view bytes) {
    std::string out;
    const std::string text = FileNameToUtf8(bytes);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            out += '?', ++i;  // C1
        } else {
            out += b < 0x20 || b == 0x7F ? '?' : text[i];
        }
    }
    return out;
}

int List(const Arguments& args) {
    const std::string& path = args.operands[0];
    auto archive = Archive::Open(path);
    if (!archive) return Refused(FileKind::Model, archive.Why(), path);
    const bool all = args.Has("all");
    const std::vector<size_t> models = all ? std::vector<size_t>{} : archive.Value().Models();
    const size_t listed = all ? archive.Value().Count() : models.size();
    for (size_t k = 0; k < listed; ++k) {
        const ArchiveEntry entry = archive.Value().Entry(all ? k : models[k]);
        std::printf("%12" PRIu64 "  %s\n", entry.size, ListedName(entry.name).c_str());
    }
    return std::fflush(stdout) == 0 ? kExitOk : kExitRefused;
}

}  // namespace

const Subcommand& ListCommand() {
    static constexpr Option kOptions[] = {
        {"all", 0, nullptr, "every entry, not only the models (.md2)"},
    };
    static constexpr CommandTable kTable{"list", "ARCHIVE", 1, 1,
                                       "the models in a PAK, PK3 or zip archive, with their sizes in bytes", kOptions};
    static constexpr Subcommand kCommand{kTable, List};
    return kCommand;
}

}  // namespace meshara::cli
