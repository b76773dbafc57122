#include "tests/hostile_archives.h"

#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/byte_writer.h"

namespace meshara::testing {

namespace {
using fixtures::ArchiveFile;
using Bytes = std::vector<uint8_t>;

const std::string kModel = "models/quad/tris.md2";

std::vector<ArchiveFile> Quad() { return {{kModel, fixtures::WriteMd2(SmallQuad())}, {"models/quad/skin.pcx", Bytes(900, 1)}}; }

// The quad's PAK with one field changed: in the header, or in record 0.
Bytes Pak(size_t offset, int32_t value, bool inRecord = false) {
    Bytes pak = fixtures::WritePak(Quad());
    fixtures::PatchS32(pak, (inRecord ? fixtures::pakfield::RecordAt(pak, 0) : 0) + offset, value);
    return pak;
}
Bytes PakNamed(const std::string& name) { return fixtures::WritePak({{name, fixtures::WriteMd2(SmallQuad())}}); }
Bytes ZipNamed(const std::string& name) { return fixtures::WriteZip({{name, fixtures::WriteMd2(SmallQuad())}}); }
}  // namespace

std::vector<HostileArchive> HostileArchives() {
    using namespace fixtures;
    Bytes unterminated = PakNamed("x");
    std::fill_n(unterminated.begin() + static_cast<long>(pakfield::RecordAt(unterminated, 0)), 56, 'a');
    const Bytes zip = WriteZip(Quad());
    Bytes cut(zip.begin(), zip.end() - 40);  // into the central directory
    Bytes shortDirectory = zip;
    shortDirectory.erase(shortDirectory.end() - 32, shortDirectory.end() - 22);  // its last bytes, before the end record
    Bytes twoEnds = zip;
    twoEnds.insert(twoEnds.end(), zip.end() - 22, zip.end());
    std::vector<ArchiveFile> many(200000, ArchiveFile{"a", {}});
    std::vector<ArchiveFile> bomb = Quad();
    bomb[0].bytes.resize(64u << 20);  // a model's bytes, then 64 MiB of zeros: 64 KiB deflated
    bomb[0].claimedSize = static_cast<uint32_t>(WriteMd2(SmallQuad()).size());
    std::vector<ArchiveFile> damaged = Quad();
    damaged[0].badChecksum = true;
    std::vector<ArchiveFile> huge = Quad();
    huge[0].claimedSize = 3000000000u;
    return {
        {"past-end.pak", Pak(pakfield::kDirectoryOffset, 1 << 20), "lies past the end of the", kModel},
        {"negative.pak", Pak(pakfield::kDirectoryOffset, -64), "negative offset (-64)", kModel},
        {"ragged.pak", Pak(pakfield::kDirectoryLength, 100), "no whole number of 64-byte entries", kModel},
        {"many.pak", Pak(pakfield::kDirectoryLength, 200000 * 64), "200000 entries, more than the 65536", kModel},
        {"entry-past-end.pak", Pak(60, 1 << 30, true), "lies outside the", kModel},
        {"entry-negative.pak", Pak(56, -8, true), "at offset -8) lies outside", kModel},
        {"unterminated.pak", unterminated, "without its terminating zero", kModel},
        {"climbs.pak", PakNamed("models/../../tris.md2"), "names a folder \"..\"", "tris.md2"},
        {"cut.pk3", cut, "the file was cut short", kModel},
        {"short-directory.pk3", shortDirectory, "lies past its end record", kModel},
        {"two-ends.pk3", twoEnds, "2 end records", kModel},
        {"claims-more.pk3", WriteZip(Quad(), {.claimedEntries = 3}), "cannot hold the 3 entries", kModel},
        {"claims-fewer.pk3", WriteZip(Quad(), {.claimedEntries = 1}), "holds 2 entries where its end record says 1", kModel},
        {"many.pk3", WriteZip(many, {.deflate = false}), "more than the 65536 entries", "a"},
        {"many64.pk3", WriteZip(Quad(), {.zip64End = true, .claimedEntries = 200000}), "200000 entries, more than", kModel},
        {"climbs.pk3", ZipNamed("../tris.md2"), "names a folder \"..\"", "tris.md2"},
        {"zero.pk3", ZipNamed(std::string("tris\0.md2", 9)), "zero byte inside its name", "tris"},
        {"long.pk3", ZipNamed(std::string(2000, 'a') + ".md2"), "name of 2004 bytes", "a.md2"},
        {"gigabytes.pk3", WriteZip(huge), "holds 3000000000 bytes, more than the 67108864", kModel},
        {"bomb.pk3", WriteZip(bomb), "holds more than the", kModel},
        {"checksum.pk3", WriteZip(damaged), "is damaged: CRC error", kModel},
    };
}

}  // namespace meshara::testing
