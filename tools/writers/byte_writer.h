#pragma once
// Little-endian byte building for the fixture writers.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace meshara::fixtures {

class ByteWriter {
public:
    std::vector<uint8_t>& Bytes() { return bytes_; }
    size_t Size() const { return bytes_.size(); }

    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void S16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
    }
    void S32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        U32(bits);
    }
    void Text(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
    // s, cut or zero-padded to exactly n bytes.
    void FixedText(std::string_view s, size_t n) {
        for (size_t i = 0; i < n; ++i) U8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void Append(const std::vector<uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }

    void PatchS32(size_t offset, int32_t v) { PatchU32(offset, static_cast<uint32_t>(v)); }
    void PatchU32(size_t offset, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    }

private:
    std::vector<uint8_t> bytes_;
};

// Overwrites a little-endian 32-bit value inside an already written file.
inline void PatchS32(std::vector<uint8_t>& bytes, size_t offset, int32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}
inline void PatchU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t v) {
    bytes[offset] = static_cast<uint8_t>(v);
    bytes[offset + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace meshara::fixtures
