// PAK archives: "PACK", the directory's offset and length (signed 32-bit);
// the directory is 64-byte records: a zero-terminated name in 56 bytes, the
// entry's offset and length. The whole directory is read and checked at
// open, and entries are read straight from the file.

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

#include "formats/archive_parts.h"
#include "formats/byte_source.h"
#include "io/byte_reader.h"

namespace meshara {

using namespace archives;

namespace {

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

}  // namespace

Result<std::shared_ptr<const Archive::Impl>> archives::ReadPak(std::shared_ptr<const ByteSource> source,
                                                               std::span<const uint8_t> header) {
    return PakArchive::Read(std::move(source), header);
}

}  // namespace meshara
