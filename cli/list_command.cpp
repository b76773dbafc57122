// meshara-cli list: what a game archive holds, one entry a line, as the
// paths that reach them through the archive.

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "formats/archive.h"

namespace meshara::cli {

namespace {

int List(const Arguments& args) {
    const std::string& path = args.operands[0];
    auto archive = Archive::Open(path);
    if (!archive) return Refused(FileKind::Model, archive.Why(), path);
    const bool all = args.Has("all");
    const std::vector<size_t> models = all ? std::vector<size_t>{} : archive.Value().Models();
    const size_t listed = all ? archive.Value().Count() : models.size();
    for (size_t k = 0; k < listed; ++k) {
        const ArchiveEntry entry = archive.Value().Entry(all ? k : models[k]);
        // One line an entry, whatever a name holds.
        std::string name(entry.name);
        for (char& c : name)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
        std::printf("%12" PRIu64 "  %s\n", entry.size, name.c_str());
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
