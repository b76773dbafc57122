#pragma once
// The files fuzz_convert's glTF input may name beside itself, read through
// the reader of external files; make-fuzz-seeds writes seeds that name them.

#include <cstdint>
#include <cstring>
#include <vector>

namespace meshara::fuzzfiles {

inline constexpr const char* kTriangle = "triangle.bin";  // kTriangleBuffer's bytes
inline constexpr const char* kPicture = "skin.png";       // a 2 x 2 PNG
inline constexpr const char* kSelf = "self";              // the input itself

// Three positions (floats, bytes 0-35) and the indices 0 1 2 (16 bits, bytes 36-41), padded to 44 bytes.
inline std::vector<uint8_t> TriangleBuffer() {
    const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    std::vector<uint8_t> out(44, 0);
    std::memcpy(out.data(), positions, sizeof positions);
    const uint16_t indices[3] = {0, 1, 2};
    std::memcpy(out.data() + 36, indices, sizeof indices);
    return out;
}

}  // namespace meshara::fuzzfiles
