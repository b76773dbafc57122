#pragma once
// Little-endian reads (and big-endian ones, for the formats that store their
// numbers that way) over a byte span that never leave it. A read past the
// end returns 0 and sets a sticky flag, so a decoder can read a whole block
// and check once whether any of it was missing.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace meshara {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t Size() const { return bytes_.size(); }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0; }
    bool Truncated() const { return truncated_; }

    // Moves to an absolute offset; an offset beyond the end marks the reader
    // truncated, an offset equal to the size is a valid empty position.
    void Seek(size_t offset) {
        if (offset > bytes_.size()) {
            truncated_ = true;
            pos_ = bytes_.size();
        } else {
            pos_ = offset;
        }
    }

    void Skip(size_t count) {
        if (count > Remaining()) {
            truncated_ = true;
            pos_ = bytes_.size();
        } else {
            pos_ += count;
        }
    }

    uint8_t U8() {
        if (pos_ >= bytes_.size()) {
            truncated_ = true;
            return 0;
        }
        return bytes_[pos_++];
    }

    uint16_t U16() {
        if (Remaining() < 2) return Fail<uint16_t>();
        uint16_t v = static_cast<uint16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }

    int16_t S16() { return static_cast<int16_t>(U16()); }

    uint32_t U32() {
        if (Remaining() < 4) return Fail<uint32_t>();
        uint32_t v = static_cast<uint32_t>(bytes_[pos_]) | (static_cast<uint32_t>(bytes_[pos_ + 1]) << 8) |
                     (static_cast<uint32_t>(bytes_[pos_ + 2]) << 16) |
                     (static_cast<uint32_t>(bytes_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }

    int32_t S32() { return static_cast<int32_t>(U32()); }

    uint16_t U16Be() {
        if (Remaining() < 2) return Fail<uint16_t>();
        uint16_t v = static_cast<uint16_t>((bytes_[pos_] << 8) | bytes_[pos_ + 1]);
        pos_ += 2;
        return v;
    }

    uint32_t U32Be() {
        if (Remaining() < 4) return Fail<uint32_t>();
        uint32_t v = (static_cast<uint32_t>(bytes_[pos_]) << 24) | (static_cast<uint32_t>(bytes_[pos_ + 1]) << 16) |
                     (static_cast<uint32_t>(bytes_[pos_ + 2]) << 8) | static_cast<uint32_t>(bytes_[pos_ + 3]);
        pos_ += 4;
        return v;
    }

    float F32() {
        uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

    // Copies count bytes into out; on a short read out is zero-filled.
    void Bytes(void* out, size_t count) {
        if (count == 0) return;  // out may be null then
        if (count > Remaining()) {
            std::memset(out, 0, count);
            truncated_ = true;
            pos_ = bytes_.size();
            return;
        }
        std::memcpy(out, bytes_.data() + pos_, count);
        pos_ += count;
    }

    // The next count bytes as a view, or an empty view when they are not all there.
    std::span<const uint8_t> View(size_t count) {
        if (count > Remaining()) {
            truncated_ = true;
            pos_ = bytes_.size();
            return {};
        }
        auto v = bytes_.subspan(pos_, count);
        pos_ += count;
        return v;
    }

private:
    template <class T>
    T Fail() {
        truncated_ = true;
        pos_ = bytes_.size();
        return 0;
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool truncated_ = false;
};

// True when a table of count entries of entrySize bytes starting at offset
// lies wholly inside a buffer of size bytes. Never overflows.
inline bool TableInside(size_t size, int64_t offset, int64_t count, int64_t entrySize) {
    if (offset < 0 || count < 0 || entrySize < 0) return false;
    if (count == 0) return true;
    if (static_cast<uint64_t>(offset) > size) return false;
    uint64_t room = size - static_cast<uint64_t>(offset);
    if (entrySize == 0) return true;
    return static_cast<uint64_t>(count) <= room / static_cast<uint64_t>(entrySize);
}

}  // namespace meshara
