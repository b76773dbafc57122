// The archive whatever its kind: telling the kind from the first bytes,
// listing, finding an entry by name as the games do, and opening one. Each
// kind reads its own directory (pak_archive.cpp, zip_archive.cpp).

#include "formats/archive.h"

#include <array>
#include <bit>
#include <new>
#include <utility>

#include "formats/archive_parts.h"
#include "formats/byte_source.h"
#include "io/file_bytes.h"

namespace meshara {

using namespace archives;

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

Result<Archive> FromSource(std::shared_ptr<const ByteSource> source) {
    std::array<uint8_t, kPakHeaderSize> bytes{};
    auto got = source->ReadAt(0, bytes);
    if (!got) return got.Why();
    const std::span<const uint8_t> head(bytes.data(), got.Value());
    Result<std::shared_ptr<const Archive::Impl>> impl = Refused("not a PAK or zip archive");
    try {
        if (StartsWith(head, kPakMagic))
            impl = ReadPak(std::move(source), head);
        else if (IsArchiveHead(head))
            impl = ReadZip(std::move(source));
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
uint64_t Archive::DataAt(size_t index) const {
    if (!pakRecords_) return index < impl_->dataAt.size() ? impl_->dataAt[index] : 0;
    const uint8_t* at = pakRecords_ + 64 * index + 56;
    return at[0] | (at[1] << 8) | (at[2] << 16) | (uint64_t{at[3]} << 24);
}

Result<std::unique_ptr<EntryReader>> Archive::OpenEntry(size_t index, uint64_t largest) const {
    return impl_->OpenEntry(index, largest);
}

}  // namespace meshara
