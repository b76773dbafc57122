#include "formats/path_input.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <utility>

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

namespace {

// A refusal from inside an archive, saying which archive.
Failure Within(const std::string& archive, Failure failure) {
    failure.detail = archive + ": " + failure.detail;
    return failure;
}

Result<PathInput> OpenEntry(const Archive& archive, const ArchivePath& inside, uint64_t largest) {
    const auto index = archive.Find(inside.entry);
    if (!index) return Failure{ErrorKind::CannotOpen, "no entry " + inside.entry + " in " + inside.archive};
    auto entry = archive.OpenEntry(*index, largest);
    if (!entry) return Within(inside.archive, entry.Why());
    return PathInput(entry.Take());
}

// Reads path through the first leading part that names an archive by its
// extension, the way nearly every path through an archive looks, without
// trying the whole path and each shorter one in turn. A part that is a
// folder so named is passed over; nothing when no part names an archive.
std::optional<Result<PathInput>> OpenThroughNamedArchive(const std::string& path, uint64_t largest) {
    for (size_t cut = path.find('/', 1); cut != std::string::npos; cut = path.find('/', cut + 1)) {
        if (!NamesArchive(std::string_view(path).substr(0, cut))) continue;
        size_t from = cut;
        while (from < path.size() && path[from] == '/') ++from;
        if (from == path.size()) return std::nullopt;
        std::string head = path.substr(0, cut);
        auto archive = Archive::Open(head);
        if (archive) return OpenEntry(archive.Value(), {std::move(head), path.substr(from)}, largest);
        if (std::filesystem::is_directory(head)) continue;
        // Refused once is enough: a hostile archive is not read twice.
        if (IsArchiveFile(head)) return Result<PathInput>(Within(head, archive.Why()));
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

Result<PathInput> OpenPathInput(const std::string& path, uint64_t largest) {
    // Where a part that names an archive is one, no other reading of the
    // path is possible: the parts after a regular file lead nowhere else.
    if (auto named = OpenThroughNamedArchive(path, largest)) return std::move(*named);
    auto file = InputFile::Open(path);
    if (file) return PathInput(file.Take());
    auto inside = SplitAtFile(path);
    if (!inside) return file.Why();
    auto archive = Archive::Open(inside->file);
    if (!archive) {
        // A file that is no archive is no folder either: the reason the path itself cannot be opened.
        if (!IsArchiveFile(inside->file)) return file.Why();
        return Within(inside->file, archive.Why());
    }
    return OpenEntry(archive.Value(), {inside->file, inside->rest}, largest);
}

}  // namespace meshara
