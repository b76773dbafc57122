#include "formats/path_input.h"

#include <array>
#include <string_view>

namespace meshara {

std::optional<ArchivePath> ThroughArchive(const std::string& path) {
    auto split = SplitAtFile(path);
    if (!split || !IsArchiveFile(split->file)) return std::nullopt;
    return ArchivePath{std::move(split->file), std::move(split->rest)};
}

bool IsArchiveFile(const std::string& path) {
    auto file = InputFile::Open(path);
    if (!file) return false;
    std::array<uint8_t, kArchiveHeadBytes> head{};
    auto got = file.Value().ReadAt(0, head);
    return got && got.Value() == head.size() && IsArchiveHead(head);
}

}  // namespace meshara
