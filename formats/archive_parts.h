#pragma once
// What the archive readers share: the archive as every kind keeps it, the
// refusals they word alike, the entry reader they build on, and each kind's
// way in. Only formats/*.cpp include this; formats/archive.h is what the
// rest of the program sees.

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A PAK's directory is checked, and its models listed, 16 or 32 bytes at a time.
#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "formats/archive.h"
#include "io/result.h"

namespace meshara {

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
    std::vector<uint64_t> dataAt;       // any other kind's: where each entry's data starts in the file
};

namespace archives {

class ByteSource;

inline Failure Refused(std::string detail) { return Failure{ErrorKind::CannotOpen, std::move(detail)}; }

inline bool IsSeparator(char c) { return c == '/' || c == '\\'; }

template <size_t N>
bool StartsWith(std::span<const uint8_t> bytes, const std::array<uint8_t, N>& magic) {
    return bytes.size() >= N && std::equal(magic.begin(), magic.end(), bytes.begin());
}

// The first bytes that tell an archive (IsArchiveHead); a zip reader also
// looks for the end record's.
constexpr std::array<uint8_t, 4> kPakMagic = {'P', 'A', 'C', 'K'};
constexpr std::array<uint8_t, 4> kZipLocalMagic = {'P', 'K', 3, 4};
constexpr std::array<uint8_t, 4> kZipEndMagic = {'P', 'K', 5, 6};

// A name one of whose folders is "..": harmless while nothing is unpacked,
// but no game writes one, and a path built from it could leave the archive.
inline bool ClimbsOut(std::string_view name) {
    for (size_t at = name.find(".."); at != std::string_view::npos; at = name.find("..", at + 1)) {
        const bool startsPart = at == 0 || IsSeparator(name[at - 1]);
        const bool endsPart = at + 2 == name.size() || IsSeparator(name[at + 2]);
        if (startsPart && endsPart) return true;
    }
    return false;
}

inline std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

inline std::string TooLarge(std::string_view name, uint64_t size, uint64_t largest) {
    return "entry " + Quoted(name) + " holds " + std::to_string(size) + " bytes, more than the " +
           std::to_string(largest) + " read from an archive for this kind of file";
}

// Room for wanted more bytes at the end of out, or a refusal (not an
// exception) when there is no memory for them.
inline Status MakeRoom(std::vector<uint8_t>& out, uint64_t wanted) {
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

// A PAK's header: "PACK", the directory's offset and length. This much of
// a file's start is read to tell its kind.
constexpr size_t kPakHeaderSize = 12;

// Each kind's directory, read and checked whole, or why it is refused.
// header: the file's first bytes, as many as there are up to kPakHeaderSize.
Result<std::shared_ptr<const Archive::Impl>> ReadPak(std::shared_ptr<const ByteSource> source,
                                                     std::span<const uint8_t> header);
Result<std::shared_ptr<const Archive::Impl>> ReadZip(std::shared_ptr<const ByteSource> source);

}  // namespace archives

}  // namespace meshara
