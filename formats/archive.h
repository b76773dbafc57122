#pragma once
// Game archives read in place: Quake 2's PAK files and zip files (.pk3,
// .zip, read through libzip). An archive's directory is checked against
// the file before anything is allocated for it, and refused whole when any
// of it is out of shape; an entry is read only as far as its reader asks,
// never past the size the directory gives it. Nothing is ever written.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/result.h"

namespace meshara {

// The most entries an archive may hold: as many as a zip without its 64-bit
// extension can, sixteen times what Quake 2's own loader took (4096).
constexpr size_t kMaxArchiveEntries = 65536;
// The longest entry name a zip may give (a PAK's field holds 55 bytes).
constexpr size_t kMaxArchiveNameBytes = 1024;
// The largest zip central directory read: the most entries with long names.
constexpr uint64_t kMaxZipDirectoryBytes = uint64_t{32} << 20;

// The first bytes that tell an archive, and whether head starts one: "PACK",
// or a zip's first local header (or the end record of an empty zip).
constexpr size_t kArchiveHeadBytes = 4;
bool IsArchiveHead(std::span<const uint8_t> head);

enum class ArchiveKind { Pak, Zip };

// An entry as the directory gives it. The name is the archive's: it holds
// while the archive is open.
struct ArchiveEntry {
    std::string_view name;  // as stored, folders separated by '/' (or '\\')
    uint64_t size = 0;      // its bytes as read out (inflated)
};

// Whether two entry names are the same as the games compare them: ASCII
// letters in either case, '/' and '\\' alike.
bool SameEntryName(std::string_view a, std::string_view b);

// Whether an entry's name says it is a model (ends in ".md2", any case);
// listing an archive does not read every entry to tell.
inline bool NamesModel(std::string_view entryName) {
    const size_t n = entryName.size();
    return n > 4 && entryName[n - 4] == '.' && (entryName[n - 3] | 0x20) == 'm' && (entryName[n - 2] | 0x20) == 'd' &&
           entryName[n - 1] == '2';
}

// Whether a file's name says it is an archive the games read: it ends in
// ".pak", ".pk3" or ".zip", any case.
inline bool NamesArchive(std::string_view fileName) {
    const size_t n = fileName.size();
    if (n < 4 || fileName[n - 4] != '.') return false;
    const char a = static_cast<char>(fileName[n - 3] | 0x20), b = static_cast<char>(fileName[n - 2] | 0x20),
               c = static_cast<char>(fileName[n - 1] | 0x20);
    return (a == 'p' && b == 'a' && c == 'k') || (a == 'p' && b == 'k' && fileName[n - 1] == '3') ||
           (a == 'z' && b == 'i' && c == 'p');
}

// Reads one entry: as a file is read, in pieces from the start.
class EntryReader {
public:
    virtual ~EntryReader() = default;
    // The entry's size as the directory gives it; no read goes past it.
    virtual uint64_t Size() const = 0;
    virtual uint64_t Position() const = 0;
    // Appends up to count more bytes to out, fewer at the end of the entry.
    // CannotOpen, with the reason, when the data is damaged or cannot be read.
    virtual Status ReadMore(std::vector<uint8_t>& out, uint64_t count) = 0;
};

// Kept with a PAK name's length (at most 55) when the name says it is a model.
constexpr uint8_t kPakModelFlag = 0x80;

// The check of a PAK directory's 64-byte records, most of the time taken to
// open a big PAK: the first record whose name does not end inside its
// 56-byte field or has a folder "..", or whose data does not lie inside a
// file of fileSize bytes; the number of records when all fit. Each record
// before it gets its name's length in lengths, with kPakModelFlag when the
// name ends in ".md2". It looks at 32 name bytes at a time where the
// processor has AVX2, else 16; Portable always takes 16, so the tests and
// the fuzzer can hold one form to the other on any machine.
enum class PakRecordCheck { Fastest, Portable };
size_t FirstPakRecordNotFitting(std::span<const uint8_t> directory, uint64_t fileSize, std::span<uint8_t> lengths,
                                PakRecordCheck how = PakRecordCheck::Fastest);

class Archive {
public:
    // Opens the regular file at path and reads its directory. CannotOpen,
    // with the reason, for a file that is no archive or one whose directory
    // does not hold together.
    static Result<Archive> Open(const std::string& path);
    // The same over bytes held in memory, which must outlive the archive.
    static Result<Archive> Read(std::span<const uint8_t> bytes);

    ArchiveKind Kind() const;
    size_t Count() const { return count_; }
    // The entry at index, which must be below Count(). Listing a big PAK is
    // mostly this, so a PAK's entries are read straight out of its
    // directory as it lies in memory (64-byte records: the name, then the
    // entry's offset and size), which was checked whole when it was read.
    ArchiveEntry Entry(size_t index) const {
        if (!pakRecords_) return entries_[index];
        const uint8_t* record = pakRecords_ + 64 * index;
        const uint8_t length = pakNameLengths_[index];
        const uint32_t size = record[60] | (record[61] << 8) | (record[62] << 16) | (uint32_t{record[63]} << 24);
        return {std::string_view(reinterpret_cast<const char*>(record), length & ~kPakModelFlag), size};
    }
    // The entries whose names say they are models (NamesModel), in order:
    // known since the archive was opened, so a listing of the models in a
    // big PAK looks only at theirs.
    std::vector<size_t> Models() const;
    // The first entry named name (SameEntryName), as the games take the
    // first of a name; none when there is no such entry.
    std::optional<size_t> Find(std::string_view name) const;
    // Where the entry's data starts in the archive's file: entries of
    // several names may share one.
    uint64_t DataAt(size_t index) const;
    // A reader of the entry at index. An entry larger than largest is
    // refused before any of it is read or inflated.
    Result<std::unique_ptr<EntryReader>> OpenEntry(size_t index, uint64_t largest) const;

    // What each kind of archive does; readers opened from an archive keep
    // what they need of it alive.
    struct Impl;
    explicit Archive(std::shared_ptr<const Impl> impl);

private:
    std::shared_ptr<const Impl> impl_;
    size_t count_ = 0;
    const uint8_t* pakRecords_ = nullptr;      // a PAK's directory, or null
    const uint8_t* pakNameLengths_ = nullptr;  // and its names' lengths, with kPakModelFlag
    std::span<const ArchiveEntry> entries_;    // any other archive's entries
};

}  // namespace meshara
