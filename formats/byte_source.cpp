#include "formats/byte_source.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "formats/archive_parts.h"

namespace meshara::archives {

Status ByteSource::ReadWhole(uint64_t offset, std::span<uint8_t> out, const char* what) const {
    auto got = ReadAt(offset, out);
    if (!got) return got.Why();
    if (got.Value() != out.size()) return Refused(std::string("the file ends inside ") + what);
    return {};
}

Result<size_t> MemorySource::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    if (offset >= bytes_.size()) return size_t{0};
    const size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
    if (n > 0) std::memcpy(out.data(), bytes_.data() + offset, n);
    return n;
}

Result<std::vector<uint8_t>> ReadBlock(const ByteSource& source, uint64_t offset, uint64_t size, const char* what) {
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::exception&) {
        return Refused(std::string("not enough memory for ") + what);
    }
    if (Status read = source.ReadWhole(offset, bytes, what); !read) return read.Why();
    return bytes;
}

}  // namespace meshara::archives
