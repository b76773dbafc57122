#pragma once
// Builds PAK and zip archives from named files, written field by field
// without the program's reader or libzip, with knobs for the damaged and
// hostile archives tests need.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace meshara::fixtures {

struct ArchiveFile {
    std::string name;
    std::vector<uint8_t> bytes;
    // Zip only: the size the headers give instead of the real one, and a
    // checksum made wrong on purpose.
    std::optional<uint32_t> claimedSize = std::nullopt;
    bool badChecksum = false;
};

// "PACK", the files one after another, then the directory. Names longer
// than 55 bytes are cut.
std::vector<uint8_t> WritePak(const std::vector<ArchiveFile>& files);

// Byte offsets in a PAK WritePak wrote, for patching: the header's fields
// and the fields of directory record i.
namespace pakfield {
inline constexpr size_t kDirectoryOffset = 4, kDirectoryLength = 8;
size_t RecordAt(const std::vector<uint8_t>& pak, size_t i);  // its name; offset at +56, size at +60
}

struct ZipOptions {
    bool deflate = true;  // raw deflate, as zip stores it; otherwise stored
    // The 64-bit end record and its locator before the end record.
    bool zip64End = false;
    // The count the end records give instead of the real one.
    std::optional<uint64_t> claimedEntries = std::nullopt;
};

// Local headers and data, the central directory and its end record. More
// than 65535 files are counted modulo 65536 in the end record (unless it
// is a 64-bit one), as some writers do.
std::vector<uint8_t> WriteZip(const std::vector<ArchiveFile>& files, const ZipOptions& options = {});

}  // namespace meshara::fixtures
