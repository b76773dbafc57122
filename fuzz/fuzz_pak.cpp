// The PAK directory on arbitrary bytes (the magic is set, so every input
// reaches it): refused or read, never a crash; an archive it reads must
// find each of its entries by name and read none past its size.

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
    return 0;
}
