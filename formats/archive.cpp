#include "formats/archive.h"

#include <zip.h>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "io/byte_reader.h"
#include "io/file_bytes.h"

namespace meshara {

namespace {

Failure Refused(std::string detail) { return Failure{ErrorKind::CannotOpen, std::move(detail)}; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

template <size_t N>
bool StartsWith(std::span<const uint8_t> bytes, const std::array<uint8_t, N>& magic) {
    return bytes.size() >= N && std::equal(magic.begin(), magic.end(), bytes.begin());
}

constexpr std::array<uint8_t, 4> kPakMagic = {'P', 'A', 'C', 'K'};
constexpr std::array<uint8_t, 4> kZipLocalMagic = {'P', 'K', 3, 4};
constexpr std::array<uint8_t, 4> kZipCentralMagic = {'P', 'K', 1, 2};
constexpr std::array<uint8_t, 4> kZipEndMagic = {'P', 'K', 5, 6};
constexpr std::array<uint8_t, 4> kZip64EndMagic = {'P', 'K', 6, 6};
constexpr std::array<uint8_t, 4> kZip64LocatorMagic = {'P', 'K', 6, 7};

// A name one of whose folders is "..": harmless while nothing is unpacked,
// but no game writes one, and a path built from it could leave the archive.
bool ClimbsOut(std::string_view name) {
    for (size_t at = name.find(".."); at != std::string_view::npos; at = name.find("..", at + 1)) {
        const bool startsPart = at == 0 || IsSeparator(name[at - 1]);
        const bool endsPart = at + 2 == name.size() || IsSeparator(name[at + 2]);
        if (startsPart && endsPart) return true;
    }
    return false;
}

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

std::string TooLarge(std::string_view name, uint64_t size, uint64_t largest) {
    return "entry " + Quoted(name) + " holds " + std::to_string(size) + " bytes, more than the " +
           std::to_string(largest) + " read from an archive for this kind of file";
}

// ---- Where the bytes come from ---------------------------------------------

// Random access to the archive's bytes: the file, or memory (fuzzing, tests).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Fills out from offset; fewer bytes only at the end. The count read.
    virtual Result<size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) const = 0;

    // Exactly out.size() bytes from offset, or why not (what names the part).
    Status ReadWhole(uint64_t offset, std::span<uint8_t> out, const char* what) const {
        auto got = ReadAt(offset, out);
        if (!got) return got.Why();
        if (got.Value() != out.size()) return Refused(std::string("the file ends inside ") + what);
        return {};
    }
};

class FileSource : public ByteSource {
public:
    explicit FileSource(InputFile file) : file_(std::move(file)) {}
    uint64_t Size() const override { return file_.Size(); }
    Result<size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) const override { return file_.ReadAt(offset, out); }

private:
    InputFile file_;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    Result<size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) const override {
        if (offset >= bytes_.size()) return size_t{0};
        const size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
        if (n > 0) std::memcpy(out.data(), bytes_.data() + offset, n);
        return n;
    }

private:
    std::span<const uint8_t> bytes_;
};

// Bytes of a size the directory claims, allocated only once it has been
// checked against the file.
Result<std::vector<uint8_t>> ReadBlock(const ByteSource& source, uint64_t offset, uint64_t size, const char* what) {
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::exception&) {
        return Refused(std::string("not enough memory for ") + what);
    }
    if (Status read = source.ReadWhole(offset, bytes, what); !read) return read.Why();
    return bytes;
}

}  // namespace

// ---- The archive, whatever its kind ----------------------------------------

struct Archive::Impl {
    explicit Impl(ArchiveKind k) : kind(k) {}
    virtual ~Impl() = default;
    virtual Result<std::unique_ptr<EntryReader>> OpenEntry(size_t index, uint64_t largest) const = 0;

    ArchiveKind kind;
    size_t count = 0;
    // A PAK's directory and its names' lengths, or the entries of any other kind.
    const uint8_t* pakRecords = nullptr;
    std::vector<uint8_t> pakNameLengths;
    std::vector<ArchiveEntry> entries;  // names are views into what the kind keeps
};

namespace {

// ---- PAK -------------------------------------------------------------------
// "PACK", the directory's offset and length (signed 32-bit); the directory
// is 64-byte records: a zero-terminated name in 56 bytes, the entry's
// offset and length.

constexpr size_t kPakHeaderSize = 12;
constexpr size_t kPakRecordSize = 64;
constexpr size_t kPakNameSize = 56;

uint32_t LoadU32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Where a name field holds zeros and dots, a bit a byte: the name ends at
// its first zero, and a folder ".." needs two dots in a row. Big
// directories are mostly this, so it looks at the field 16 bytes at a time
// (32 where the processor can).
struct NameMasks {
    uint64_t zeros = 0, dots = 0;
};
NameMasks ScanName(const uint8_t* field) {
    static_assert(kPakNameSize == 56);
    NameMasks m;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), dot = _mm_set1_epi8('.');
    const auto scan = [&](int at) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field + at));
        m.zeros |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)))} << at;
        m.dots |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, dot)))} << at;
    };
    // Most names end within 32 bytes; the last load overlaps the one before, within the field.
    scan(0);
    scan(16);
    if (m.zeros == 0) {
        scan(32);
        scan(40);
    }
#else
    for (size_t k = 0; k < kPakNameSize; ++k) {
        m.zeros |= uint64_t{field[k] == 0} << k;
        m.dots |= uint64_t{field[k] == '.'} << k;
    }
#endif
    return m;
}

// Whether a record fits, given its name's masks: the name ends inside its
// field and has no folder "..", and the data lies inside the file. Keeps
// the name's length, with kPakModelFlag when the name says it is a model,
// so a listing need not look at the name again. Builds no message.
inline bool RecordFits(const uint8_t* record, NameMasks masks, uint64_t fileSize, uint8_t& lengthOut) {
    const unsigned length = static_cast<unsigned>(std::countr_zero(masks.zeros));  // 64 without a zero
    const uint32_t at = LoadU32(record + kPakNameSize), size = LoadU32(record + kPakNameSize + 4);
    // Both are signed in the file: a top bit set is a negative number. An
    // end short of 2 GiB and of the file's end says both at once.
    const uint64_t end = uint64_t{at} + size;
    const bool inside = end <= std::min<uint64_t>(fileSize, INT32_MAX) || (((at | size) >> 31) == 0 && end <= fileSize);
    if (masks.zeros == 0 || !inside) return false;
    // Only a name with two dots in a row can climb out; most have none.
    // (The mask up to the first zero keeps the dots before it.)
    const uint64_t dots = masks.dots & (masks.zeros ^ (masks.zeros - 1));
    if ((dots & (dots >> 1)) != 0 && ClimbsOut(std::string_view(reinterpret_cast<const char*>(record), length)))
        return false;
    // The name's last four bytes (the field's first four for a shorter
    // name, which then is no model): ".md2" with m and d in either case.
    const uint32_t tail = LoadU32(record + (length < 4 ? 0 : length - 4));
    const bool model = length > 4 && (tail | 0x00202000u) == 0x32646d2eu;
    lengthOut = static_cast<uint8_t>(length | (model ? kPakModelFlag : 0));
    return true;
}

// The first of count records that does not fit, or count when all do.
// Listing a big PAK is mostly this loop; it works on local pointers, since
// a byte store could otherwise alias anything it reads.
size_t CheckRecords(const uint8_t* directory, size_t count, uint64_t fileSize, uint8_t* lengths) {
    for (size_t i = 0; i < count; ++i)
        if (!RecordFits(directory + i * kPakRecordSize, ScanName(directory + i * kPakRecordSize), fileSize, lengths[i]))
            return i;
    return count;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same, 32 bytes at a time: half the instructions a record.
__attribute__((target("avx2"))) NameMasks ScanNameAvx2(const uint8_t* field) {
    const __m256i zero = _mm256_setzero_si256(), dot = _mm256_set1_epi8('.');
    const auto scan = [&](const uint8_t* at, NameMasks& m, int shift) __attribute__((target("avx2"))) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        m.zeros |= uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, zero)))} << shift;
        m.dots |= uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, dot)))} << shift;
    };
    NameMasks m;
    scan(field, m, 0);
    if (m.zeros == 0) scan(field + kPakNameSize - 32, m, kPakNameSize - 32);
    return m;
}

__attribute__((target("avx2,bmi,bmi2"))) size_t CheckRecordsAvx2(const uint8_t* directory, size_t count, uint64_t fileSize,
                                                        uint8_t* lengths) {
    for (size_t i = 0; i < count; ++i)
        if (!RecordFits(directory + i * kPakRecordSize, ScanNameAvx2(directory + i * kPakRecordSize), fileSize,
                        lengths[i]))
            return i;
    return count;
}
#endif

}  // namespace

size_t FirstPakRecordNotFitting(std::span<const uint8_t> directory, uint64_t fileSize, std::span<uint8_t> lengths,
                                PakRecordCheck how) {
    const size_t count = std::min(directory.size() / kPakRecordSize, lengths.size());
#if defined(__x86_64__) && defined(__GNUC__)
    if (how == PakRecordCheck::Fastest && __builtin_cpu_supports("avx2"))
        return CheckRecordsAvx2(directory.data(), count, fileSize, lengths.data());
#endif
    (void)how;
    return CheckRecords(directory.data(), count, fileSize, lengths.data());
}

namespace {

// Room for wanted more bytes at the end of out, or a refusal (not an
// exception) when there is no memory for them.
Status MakeRoom(std::vector<uint8_t>& out, uint64_t wanted) {
    try {
        out.resize(out.size() + static_cast<size_t>(wanted));
    } catch (const std::exception&) {
        return Refused("not enough memory to read " + std::to_string(wanted) + " bytes");
    }
    return {};
}

// An entry read in order from its start, never past the size its
// directory gives it; each kind says only how its next bytes are read.
class SizedReader : public EntryReader {
public:
    explicit SizedReader(uint64_t size) : size_(size) {}
    uint64_t Size() const final { return size_; }
    uint64_t Position() const final { return position_; }
    Status ReadMore(std::vector<uint8_t>& out, uint64_t count) final {
        const uint64_t wanted = std::min(count, size_ - position_);
        const size_t start = out.size();
        if (Status room = MakeRoom(out, wanted); !room) return room;
        auto got = Fill(std::span(out).subspan(start));
        if (!got) {
            out.resize(start);
            return got.Why();
        }
        out.resize(start + got.Value());
        position_ += got.Value();
        return {};
    }

protected:
    // Reads the entry's next bytes, from Position() on, into `into`: how
    // many, fewer only when they are not there.
    virtual Result<size_t> Fill(std::span<uint8_t> into) = 0;
    const uint64_t size_;

private:
    uint64_t position_ = 0;
};

class PakReader : public SizedReader {
public:
    PakReader(std::shared_ptr<const ByteSource> source, uint64_t offset, uint64_t size)
        : SizedReader(size), source_(std::move(source)), offset_(offset) {}

private:
    // Fewer bytes than asked when the archive shrank since it was opened.
    Result<size_t> Fill(std::span<uint8_t> into) override { return source_->ReadAt(offset_ + Position(), into); }

    std::shared_ptr<const ByteSource> source_;
    uint64_t offset_;
};

class PakArchive : public Archive::Impl {
public:
    // header: the file's first bytes, as many as there are up to the header's size.
    static Result<std::shared_ptr<const Archive::Impl>> Read(std::shared_ptr<const ByteSource> source,
                                                              std::span<const uint8_t> header) {
        if (header.size() < kPakHeaderSize) return Refused("the file ends inside the PAK header");
        ByteReader r(header);
        r.Skip(4);
        const int64_t offset = r.S32(), length = r.S32();
        const uint64_t fileSize = source->Size();
        if (offset < 0 || length < 0)
            return Refused("the PAK directory has a negative offset (" + std::to_string(offset) + ") or length (" +
                           std::to_string(length) + ")");
        if (length % kPakRecordSize != 0)
            return Refused("the PAK directory's " + std::to_string(length) + " bytes are no whole number of " +
                           std::to_string(kPakRecordSize) + "-byte entries");
        const uint64_t count = static_cast<uint64_t>(length) / kPakRecordSize;
        if (count > kMaxArchiveEntries)
            return Refused("the PAK directory lists " + std::to_string(count) + " entries, more than the " +
                           std::to_string(kMaxArchiveEntries) + " read");
        if (!TableInside(fileSize, offset, static_cast<int64_t>(count), kPakRecordSize))
            return Refused("the PAK directory (" + std::to_string(length) + " bytes at offset " + std::to_string(offset) +
                           ") lies past the end of the " + std::to_string(fileSize) + "-byte file");

        auto pak = std::make_shared<PakArchive>();
        // Not zeroed first (every byte is read into before it is looked at),
        // and a record to a cache line.
        pak->directory_.reset(new (std::align_val_t{kPakRecordSize}, std::nothrow) uint8_t[static_cast<size_t>(length)]);
        if (!pak->directory_) return Refused("not enough memory for the PAK directory");
        pak->count = static_cast<size_t>(count);
        const std::span<uint8_t> directory(pak->directory_.get(), static_cast<size_t>(length));
        pak->pakNameLengths.resize(pak->count);
        if (Status read = source->ReadWhole(static_cast<uint64_t>(offset), directory, "the PAK directory"); !read)
            return read.Why();
        if (const size_t bad = FirstPakRecordNotFitting(directory, fileSize, pak->pakNameLengths);
            bad < pak->count)
            return pak->WhyRecordDoesNotFit(bad, fileSize);
        pak->pakRecords = pak->directory_.get();
        pak->source_ = std::move(source);
        return std::shared_ptr<const Archive::Impl>(std::move(pak));
    }

    PakArchive() : Impl(ArchiveKind::Pak) {}

    Result<std::unique_ptr<EntryReader>> OpenEntry(size_t index, uint64_t largest) const override {
        const uint64_t size = LoadU32(Record(index) + kPakNameSize + 4);
        const std::string_view name(reinterpret_cast<const char*>(Record(index)), pakNameLengths[index] & ~kPakModelFlag);
        if (size > largest) return Refused(TooLarge(name, size, largest));
        return std::unique_ptr<EntryReader>(
            std::make_unique<PakReader>(source_, LoadU32(Record(index) + kPakNameSize), size));
    }

private:
    // Records were checked at open: offsets and sizes are inside the file.
    const uint8_t* Record(size_t i) const { return directory_.get() + i * kPakRecordSize; }

    Failure WhyRecordDoesNotFit(size_t i, uint64_t fileSize) const {
        const uint8_t* record = Record(i);
        const void* end = std::memchr(record, 0, kPakNameSize);
        if (!end) return Refused("PAK entry " + std::to_string(i) + " has a name without its terminating zero");
        const std::string_view name(reinterpret_cast<const char*>(record), static_cast<const uint8_t*>(end) - record);
        if (ClimbsOut(name)) return Refused("PAK entry " + Quoted(name) + " names a folder \"..\"");
        const int64_t at = static_cast<int32_t>(LoadU32(record + kPakNameSize));
        const int64_t size = static_cast<int32_t>(LoadU32(record + kPakNameSize + 4));
        return Refused("PAK entry " + Quoted(name) + " (" + std::to_string(size) + " bytes at offset " +
                       std::to_string(at) + ") lies outside the " + std::to_string(fileSize) + "-byte file");
    }

    std::shared_ptr<const ByteSource> source_;
    struct AlignedDelete {
        void operator()(uint8_t* p) const { ::operator delete[](p, std::align_val_t{kPakRecordSize}); }
    };
    std::unique_ptr<uint8_t[], AlignedDelete> directory_;
};

// ---- Zip -------------------------------------------------------------------
// libzip reads the directory and inflates the entries. What it would
// allocate for is checked first: the end record it would take (and any
// other one it would try), the directory's size and every record in it.

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

// Every record of the directory, before libzip reads it: how many there
// are (the count), and names that are short enough, whole and stay inside.
Result<uint64_t> CheckZipDirectory(const ByteSource& source, const ZipEnd& end) {
    auto directory = ReadBlock(source, end.directoryOffset, end.directorySize, "the zip's central directory");
    if (!directory) return directory.Why();
    const std::vector<uint8_t>& d = directory.Value();
    uint64_t count = 0;
    for (size_t at = 0; at < d.size(); ++count) {
        const std::string which = "the zip's central directory entry " + std::to_string(count);
        if (count >= kMaxArchiveEntries)
            return Refused("the zip's central directory holds more than the " + std::to_string(kMaxArchiveEntries) +
                           " entries read");
        if (d.size() - at < kZipCentralSize || !StartsWith(std::span(d).subspan(at), kZipCentralMagic))
            return Refused(which + " is damaged: the directory was cut short or overwritten");
        ByteReader r{std::span<const uint8_t>(d).subspan(at + 28, 6)};
        const size_t nameLength = r.U16(), extraLength = r.U16(), commentLength = r.U16();
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
    return count;
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
        if (count < 0 || static_cast<uint64_t>(count) != checked.Value())
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

Result<Archive> FromSource(std::shared_ptr<const ByteSource> source) {
    std::array<uint8_t, kPakHeaderSize> bytes{};
    auto got = source->ReadAt(0, bytes);
    if (!got) return got.Why();
    const std::span<const uint8_t> head(bytes.data(), got.Value());
    Result<std::shared_ptr<const Archive::Impl>> impl = Refused("not a PAK or zip archive");
    try {
        if (StartsWith(head, kPakMagic))
            impl = PakArchive::Read(std::move(source), head);
        else if (IsArchiveHead(head))
            impl = ZipArchive::Read(std::move(source));
    } catch (const std::bad_alloc&) {
        return Refused("not enough memory for the archive's directory");
    }
    if (!impl) return impl.Why();
    return Archive(impl.Take());
}

}  // namespace

bool IsArchiveHead(std::span<const uint8_t> head) {
    return StartsWith(head, kPakMagic) || StartsWith(head, kZipLocalMagic) || StartsWith(head, kZipEndMagic);
}

bool SameEntryName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]) && !(IsSeparator(a[i]) && IsSeparator(b[i]))) return false;
    return true;
}

Result<Archive> Archive::Open(const std::string& path) {
    auto file = InputFile::Open(path);
    if (!file) return file.Why();
    return FromSource(std::make_shared<FileSource>(file.Take()));
}

Result<Archive> Archive::Read(std::span<const uint8_t> bytes) { return FromSource(std::make_shared<MemorySource>(bytes)); }

Archive::Archive(std::shared_ptr<const Impl> impl)
    : impl_(std::move(impl)),
      count_(impl_->count),
      pakRecords_(impl_->pakRecords),
      pakNameLengths_(impl_->pakNameLengths.data()),
      entries_(impl_->entries) {}

ArchiveKind Archive::Kind() const { return impl_->kind; }

std::vector<size_t> Archive::Models() const {
    std::vector<size_t> models;
    size_t i = 0;
    if (pakRecords_) {
#if defined(__SSE2__)
        // The flags are the lengths' top bits: sixteen entries a test.
        for (; i + 16 <= count_; i += 16) {
            const __m128i lengths = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pakNameLengths_ + i));
            for (unsigned flags = static_cast<unsigned>(_mm_movemask_epi8(lengths)); flags != 0; flags &= flags - 1)
                models.push_back(i + static_cast<size_t>(std::countr_zero(flags)));
        }
#endif
        for (; i < count_; ++i)
            if (pakNameLengths_[i] & kPakModelFlag) models.push_back(i);
    } else {
        for (; i < count_; ++i)
            if (NamesModel(entries_[i].name)) models.push_back(i);
    }
    return models;
}

std::optional<size_t> Archive::Find(std::string_view name) const {
    for (size_t i = 0; i < count_; ++i) {
        if ((pakRecords_ ? (pakNameLengths_[i] & ~kPakModelFlag) : entries_[i].name.size()) != name.size()) continue;
        if (SameEntryName(Entry(i).name, name)) return i;
    }
    return std::nullopt;
}
Result<std::unique_ptr<EntryReader>> Archive::OpenEntry(size_t index, uint64_t largest) const {
    return impl_->OpenEntry(index, largest);
}

}  // namespace meshara
