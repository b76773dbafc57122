// The light file reader on arbitrary bytes; a light it accepts must write
// back to the same leading bytes it was read from (up to the name's first
// zero byte, which reading cuts).

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "formats/lgt_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto result = meshara::ParseLight(std::span<const uint8_t>(data, size));
    if (!result) return 0;
    const meshara::LightRecord& light = *result.Value();
    if (!light.on) std::abort();
    const auto again = meshara::SerializeLight(light);
    const size_t n = light.name.size();
    // Same magic, name and (unless the name was cut) the same fields.
    if (std::memcmp(again.data() + 6, data + 6, n) != 0) std::abort();
    const size_t stored = static_cast<size_t>(data[4] | data[5] << 8);
    if (stored == n && std::memcmp(again.data(), data, again.size()) != 0) std::abort();
    return 0;
}
