// The PAK directory on arbitrary bytes (the magic is set, so every input
// reaches it): refused or read, never a crash; an archive it reads must
// find each of its entries by name and read none past its size. The bytes
// after the header, taken as records, must get the same answer from both
// forms of the record check.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "fuzz/archive_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    const uint8_t magic[4] = {'P', 'A', 'C', 'K'};
    std::copy(magic, magic + std::min<size_t>(4, bytes.size()), bytes.begin());
    meshara::fuzzing::CheckArchive(bytes);
    if (bytes.size() > 12) {
        const std::span<const uint8_t> records = std::span(bytes).subspan(12);
        std::vector<uint8_t> fastest(records.size() / 64), portable(fastest.size());
        const size_t bad = meshara::FirstPakRecordNotFitting(records, bytes.size(), fastest);
        const size_t badPortable = meshara::FirstPakRecordNotFitting(records, bytes.size(), portable,
                                                                     meshara::PakRecordCheck::Portable);
        if (bad != badPortable || !std::equal(fastest.begin(), fastest.begin() + bad, portable.begin())) std::abort();
    }
    return 0;
}
