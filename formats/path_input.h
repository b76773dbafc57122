#pragma once
// Every reader that takes a path opens it here, so a path that runs through
// a game archive ("baseq2/pak0.pak/players/male/tris.md2") reads the entry
// in place, as if the archive were a folder. Entries are matched whatever
// their letter case, as the games match them.

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/archive.h"
#include "formats/skin_decoder.h"
#include "io/file_bytes.h"
#include "io/result.h"

namespace meshara {

// The largest entry read from an archive for a model: far above the 4 MB or
// so the engines' own limits let a model reach (2048 vertices, 512 frames).
constexpr uint64_t kMaxModelEntryBytes = uint64_t{64} << 20;
// For a picture: the largest picture taken, at four bytes a pixel, and room
// for its headers and palette.
constexpr uint64_t kMaxPictureEntryBytes = static_cast<uint64_t>(kMaxSkinPixels) * 4 + (uint64_t{1} << 20);
// For readers that stop after the bytes they need whatever the size.
constexpr uint64_t kAnyEntrySize = std::numeric_limits<uint64_t>::max();

// A path that runs through an archive: the archive's path and the entry's
// name inside it.
struct ArchivePath {
    std::string archive;
    std::string entry;
};

// Where path leads when one of its leading parts is an archive (told by its
// first bytes); none for a path that runs through no archive.
std::optional<ArchivePath> ThroughArchive(const std::string& path);

// Whether the regular file at path is an archive, by its first bytes.
bool IsArchiveFile(const std::string& path);

// A file or an archive's entry, read in pieces from the start as InputFile reads.
class PathInput {
public:
    explicit PathInput(InputFile file) : file_(std::move(file)) {}
    explicit PathInput(std::unique_ptr<EntryReader> entry) : entry_(std::move(entry)) {}

    uint64_t Size() const { return file_ ? file_->Size() : entry_->Size(); }
    Status ReadMore(std::vector<uint8_t>& out, uint64_t count) {
        return file_ ? file_->ReadMore(out, count) : entry_->ReadMore(out, count);
    }

private:
    std::optional<InputFile> file_;
    std::unique_ptr<EntryReader> entry_;
};

// Opens path for reading: a regular file as InputFile::Open opens it, or
// the entry a path through an archive names. An entry larger than largest
// is refused before any of it is read. CannotOpen, with the reason, when
// there is no such file or entry or the archive cannot be read.
Result<PathInput> OpenPathInput(const std::string& path, uint64_t largest = kAnyEntrySize);

}  // namespace meshara
