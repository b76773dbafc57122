#include "formats/path_input.h"

#include <array>

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

Result<PathInput> OpenPathInput(const std::string& path, uint64_t largest) {
    auto file = InputFile::Open(path);
    if (file) return PathInput(file.Take());
    auto inside = SplitAtFile(path);
    if (!inside) return file.Why();
    auto archive = Archive::Open(inside->file);
    if (!archive) {
        // A file that is no archive is no folder either: the reason the path itself cannot be opened.
        if (!IsArchiveFile(inside->file)) return file.Why();
        return Failure{archive.Error(), inside->file + ": " + archive.Detail()};
    }
    const auto index = archive.Value().Find(inside->rest);
    if (!index) return Failure{ErrorKind::CannotOpen, "no entry " + inside->rest + " in " + inside->file};
    auto entry = archive.Value().OpenEntry(*index, largest);
    if (!entry) return Failure{entry.Error(), inside->file + ": " + entry.Detail()};
    return PathInput(entry.Take());
}

}  // namespace meshara
