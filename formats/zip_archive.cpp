// Zip archives (.pk3, .zip). libzip reads the directory and inflates the
// entries. What it would allocate for is checked first: the end record it
// would take (and any other one it would try), the directory's size and
// every record in it.

#include <zip.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <optional>
#include <utility>

#include "formats/archive_parts.h"
#include "formats/byte_source.h"
#include "io/byte_reader.h"

namespace meshara {

using namespace archives;

namespace {

constexpr std::array<uint8_t, 4> kZipCentralMagic = {'P', 'K', 1, 2};
constexpr std::array<uint8_t, 4> kZip64EndMagic = {'P', 'K', 6, 6};
constexpr std::array<uint8_t, 4> kZip64LocatorMagic = {'P', 'K', 6, 7};

constexpr size_t kZipEndSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZipCentralSize = 46;
// libzip looks for the end record in this much of the file's end: the
// record, the longest comment, and the 64-bit locator before it.
constexpr size_t kZipTailBytes = 65535 + kZipEndSize + kZip64LocatorSize;

struct ZipEnd {
    uint64_t entries = 0, directorySize = 0, directoryOffset = 0;
    bool zip64 = false;
};

// The end record at `at` as a directory it describes inside the file before
// it; none when it describes no such directory (libzip then passes it over
// before allocating anything for it).
std::optional<ZipEnd> ReadZipEnd(const ByteSource& source, std::span<const uint8_t> record, uint64_t at) {
    ByteReader r(record);
    r.Skip(4);
    const uint16_t disk = r.U16(), directoryDisk = r.U16(), onDisk = r.U16(), total = r.U16();
    ZipEnd end{total, r.U32(), r.U32(), false};
    if (disk != 0 || directoryDisk != 0 || onDisk != total) return std::nullopt;
    std::array<uint8_t, kZip64LocatorSize> locator{};
    if (at >= kZip64LocatorSize && source.ReadWhole(at - kZip64LocatorSize, locator, "the zip64 locator") &&
        StartsWith(std::span<const uint8_t>(locator), kZip64LocatorMagic)) {
        ByteReader l(locator);
        l.Skip(8);
        const uint64_t where = l.U32() | (uint64_t{l.U32()} << 32);
        std::array<uint8_t, kZip64EndSize> big{};
        if (where > at || !source.ReadWhole(where, big, "the zip64 end record") ||
            !StartsWith(std::span<const uint8_t>(big), kZip64EndMagic))
            return std::nullopt;
        ByteReader b(big);
        b.Seek(16);
        const uint32_t disk64 = b.U32(), directoryDisk64 = b.U32();
        auto u64 = [&b] { return b.U32() | (uint64_t{b.U32()} << 32); };
        const uint64_t onDisk64 = u64();
        end = {u64(), u64(), u64(), true};
        if (disk64 != 0 || directoryDisk64 != 0 || onDisk64 != end.entries) return std::nullopt;
        at = where;
    }
    if (end.directoryOffset > at || end.directorySize > at - end.directoryOffset) return std::nullopt;
    return end;
}

// The one end record that describes a directory, checked so that libzip
// allocates no more than the limits allow whichever record it takes.
Result<ZipEnd> FindZipEnd(const ByteSource& source) {
    const uint64_t size = source.Size();
    const uint64_t tailStart = size > kZipTailBytes ? size - kZipTailBytes : 0;
    auto tail = ReadBlock(source, tailStart, size - tailStart, "the zip's end");
    if (!tail) return tail.Why();
    const std::vector<uint8_t>& t = tail.Value();
    std::vector<ZipEnd> ends;
    bool anyRecord = false;
    for (size_t i = 0; i + kZipEndSize <= t.size(); ++i) {
        if (t[i] != 'P' || !StartsWith(std::span(t).subspan(i), kZipEndMagic)) continue;
        anyRecord = true;
        auto end = ReadZipEnd(source, std::span(t).subspan(i, kZipEndSize), tailStart + i);
        if (end) ends.push_back(*end);
    }
    if (ends.empty())
        return Refused(anyRecord ? "the zip's central directory lies past its end record: the file was cut short"
                                 : "the zip has no end record: the file was cut short");
    if (ends.size() > 1)
        return Refused("the zip has " + std::to_string(ends.size()) +
                       " end records that each describe a directory; which one holds is not clear");
    const ZipEnd& end = ends.front();
    if (end.entries > kMaxArchiveEntries)
        return Refused("the zip lists " + std::to_string(end.entries) + " entries, more than the " +
                       std::to_string(kMaxArchiveEntries) + " read");
    if (end.directorySize > kMaxZipDirectoryBytes)
        return Refused("the zip's central directory of " + std::to_string(end.directorySize) +
                       " bytes is larger than the " + std::to_string(kMaxZipDirectoryBytes) + " read");
    if (end.entries > end.directorySize / kZipCentralSize)
        return Refused("the zip's central directory of " + std::to_string(end.directorySize) + " bytes cannot hold the " +
                       std::to_string(end.entries) + " entries it claims: it was cut short");
    return end;
}

// Every record of the directory, before libzip reads it: names that are
// short enough, whole and stay inside; where each entry's local header lies
// (the count of them is the entries').
Result<std::vector<uint64_t>> CheckZipDirectory(const ByteSource& source, const ZipEnd& end) {
    auto directory = ReadBlock(source, end.directoryOffset, end.directorySize, "the zip's central directory");
    if (!directory) return directory.Why();
    const std::vector<uint8_t>& d = directory.Value();
    uint64_t count = 0;
    std::vector<uint64_t> offsets;
    for (size_t at = 0; at < d.size(); ++count) {
        const std::string which = "the zip's central directory entry " + std::to_string(count);
        if (count >= kMaxArchiveEntries)
            return Refused("the zip's central directory holds more than the " + std::to_string(kMaxArchiveEntries) +
                           " entries read");
        if (d.size() - at < kZipCentralSize || !StartsWith(std::span(d).subspan(at), kZipCentralMagic))
            return Refused(which + " is damaged: the directory was cut short or overwritten");
        ByteReader r{std::span<const uint8_t>(d).subspan(at + 28, 18)};
        const size_t nameLength = r.U16(), extraLength = r.U16(), commentLength = r.U16();
        r.Skip(8);
        // 0xFFFFFFFF stands for an offset in the 64-bit extra field: such entries each count as their own.
        const uint32_t local = r.U32();
        offsets.push_back(local == 0xFFFFFFFFu ? (uint64_t{1} << 40) + count : local);
        const size_t recordSize = kZipCentralSize + nameLength + extraLength + commentLength;
        if (recordSize > d.size() - at) return Refused(which + " runs past the end of the directory: it was cut short");
        const std::string_view name(reinterpret_cast<const char*>(d.data() + at + kZipCentralSize), nameLength);
        if (nameLength > kMaxArchiveNameBytes)
            return Refused(which + " has a name of " + std::to_string(nameLength) + " bytes, more than the " +
                           std::to_string(kMaxArchiveNameBytes) + " read");
        if (name.find('\0') != std::string_view::npos) return Refused(which + " has a zero byte inside its name");
        if (ClimbsOut(name)) return Refused("zip entry " + Quoted(name) + " names a folder \"..\"");
        at += recordSize;
    }
    // Some writers store the count modulo 65536 rather than use the 64-bit end record.
    if (end.zip64 ? count != end.entries : count % 65536 != end.entries)
        return Refused("the zip's central directory holds " + std::to_string(count) + " entries where its end record says " +
                       std::to_string(end.entries));
    return offsets;
}

// libzip reads the archive through this, so every byte of it comes through
// the same bounded reads as any other file.
struct ZipSourceState {
    std::shared_ptr<const ByteSource> bytes;
    uint64_t position = 0;
    zip_error_t error{};
};

zip_int64_t ZipSourceCallback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* state = static_cast<ZipSourceState*>(userdata);
    const uint64_t size = state->bytes->Size();
    switch (command) {
        case ZIP_SOURCE_OPEN: state->position = 0; return 0;
        case ZIP_SOURCE_CLOSE: return 0;
        case ZIP_SOURCE_READ: {
            const uint64_t n = std::min<uint64_t>(length, size - std::min(size, state->position));
            auto got = state->bytes->ReadAt(state->position, std::span(static_cast<uint8_t*>(data), static_cast<size_t>(n)));
            if (!got) {
                zip_error_set(&state->error, ZIP_ER_READ, EIO);
                return -1;
            }
            state->position += got.Value();
            return static_cast<zip_int64_t>(got.Value());
        }
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t at = zip_source_seek_compute_offset(state->position, size, data, length, &state->error);
            if (at < 0) return -1;
            state->position = static_cast<uint64_t>(at);
            return 0;
        }
        case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(state->position);
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &state->error);
            if (!st) return -1;
            zip_stat_init(st);
            st->size = size;
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&state->error, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&state->error);
            delete state;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                                  ZIP_SOURCE_SUPPORTS, -1);
        default: zip_error_set(&state->error, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
}

std::string ZipErrorText(zip_error_t& error) { return zip_error_strerror(&error); }

class ZipArchive;

class ZipReader : public SizedReader {
public:
    ZipReader(std::shared_ptr<const ZipArchive> zip, zip_file_t* file, std::string name, uint64_t size)
        : SizedReader(size), zip_(std::move(zip)), file_(file), name_(std::move(name)) {}
    ~ZipReader() override { zip_fclose(file_); }

private:
    Result<size_t> Fill(std::span<uint8_t> into) override {
        size_t got = 0;
        while (got < into.size()) {
            const zip_int64_t n = zip_fread(file_, into.data() + got, into.size() - got);
            if (n < 0) return Damaged(zip_file_strerror(file_));
            if (n == 0)
                return Damaged("it ends after " + std::to_string(Position() + got) + " of its " +
                               std::to_string(size_) + " bytes");
            got += static_cast<size_t>(n);
        }
        // Once the whole entry is out, one more byte asked for makes libzip
        // check its checksum, and shows data past the size it was given.
        if (Position() + got == size_ && !checked_) {
            checked_ = true;
            uint8_t more = 0;
            const zip_int64_t n = zip_fread(file_, &more, 1);
            if (n < 0) return Damaged(zip_file_strerror(file_));
            if (n > 0) return Damaged("it holds more than the " + std::to_string(size_) + " bytes it claims");
        }
        return got;
    }

    Failure Damaged(const std::string& why) const { return Refused("zip entry " + Quoted(name_) + " is damaged: " + why); }

    std::shared_ptr<const ZipArchive> zip_;  // the archive stays open while the entry is read
    zip_file_t* file_;
    std::string name_;
    bool checked_ = false;
};

class ZipArchive : public Archive::Impl, public std::enable_shared_from_this<ZipArchive> {
public:
    static Result<std::shared_ptr<const Archive::Impl>> Read(std::shared_ptr<const ByteSource> source) {
        auto end = FindZipEnd(*source);
        if (!end) return end.Why();
        auto checked = CheckZipDirectory(*source, end.Value());
        if (!checked) return checked.Why();

        zip_error_t error;
        zip_error_init(&error);
        auto* state = new ZipSourceState{source, 0, {}};
        zip_error_init(&state->error);
        zip_source_t* zipSource = zip_source_function_create(ZipSourceCallback, state, &error);
        if (!zipSource) {
            zip_error_fini(&state->error);
            delete state;
            std::string why = ZipErrorText(error);
            zip_error_fini(&error);
            return Refused("the zip cannot be read: " + why);
        }
        zip_t* zip = zip_open_from_source(zipSource, ZIP_RDONLY, &error);
        if (!zip) {
            zip_source_free(zipSource);
            std::string why = ZipErrorText(error);
            zip_error_fini(&error);
            return Refused("the zip cannot be read: " + why);
        }
        zip_error_fini(&error);

        auto archive = std::make_shared<ZipArchive>();
        archive->zip_ = zip;
        const zip_int64_t count = zip_get_num_entries(zip, 0);
        if (count < 0 || static_cast<uint64_t>(count) != checked.Value().size())
            return Refused("the zip's directory as libzip reads it is not the one checked");
        try {
            archive->stored_.reserve(static_cast<size_t>(count));
            for (zip_int64_t i = 0; i < count; ++i) {
                zip_stat_t st;
                if (zip_stat_index(zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0 || !st.name ||
                    !(st.valid & ZIP_STAT_SIZE))
                    return Refused("zip entry " + std::to_string(i) + " cannot be read: " + zip_strerror(zip));
                archive->stored_.push_back({st.name, st.size});
            }
            for (const Stored& stored : archive->stored_) archive->entries.push_back({stored.name, stored.size});
            archive->count = archive->entries.size();
            archive->dataAt = std::move(checked.Value());
        } catch (const std::bad_alloc&) {
            return Refused("not enough memory for the zip's directory");
        }
        return std::shared_ptr<const Archive::Impl>(std::move(archive));
    }

    ~ZipArchive() override {
        if (zip_) zip_discard(zip_);
    }

    ZipArchive() : Impl(ArchiveKind::Zip) {}

    Result<std::unique_ptr<EntryReader>> OpenEntry(size_t index, uint64_t largest) const override {
        const Stored& entry = stored_[index];
        if (entry.size > largest) return Refused(TooLarge(entry.name, entry.size, largest));
        zip_file_t* file = zip_fopen_index(zip_, index, 0);
        if (!file) return Refused("zip entry " + Quoted(entry.name) + " cannot be read: " + zip_strerror(zip_));
        return std::unique_ptr<EntryReader>(std::make_unique<ZipReader>(
            std::static_pointer_cast<const ZipArchive>(shared_from_this()), file, entry.name, entry.size));
    }

private:
    struct Stored {
        std::string name;
        uint64_t size;
    };
    zip_t* zip_ = nullptr;
    std::vector<Stored> stored_;
};

}  // namespace

Result<std::shared_ptr<const Archive::Impl>> archives::ReadZip(std::shared_ptr<const ByteSource> source) {
    return ZipArchive::Read(std::move(source));
}

}  // namespace meshara
