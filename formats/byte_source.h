#pragma once
// Where an archive's bytes come from: the file, or memory (fuzzing, tests),
// read at any offset. Only the archive readers in formats/ include this.

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "io/file_bytes.h"
#include "io/result.h"

namespace meshara::archives {

// Random access to the archive's bytes: the file, or memory (fuzzing, tests).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Fills out from offset; fewer bytes only at the end. The count read.
    virtual Result<size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) const = 0;

    // Exactly out.size() bytes from offset, or why not (what names the part).
    Status ReadWhole(uint64_t offset, std::span<uint8_t> out, const char* what) const;
};

class FileSource : public ByteSource {
public:
    explicit FileSource(InputFile file) : file_(std::move(file)) {}
    uint64_t Size() const override { return file_.Size(); }
    Result<size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) const override { return file_.ReadAt(offset, out); }

private:
    InputFile file_;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    Result<size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) const override;

private:
    std::span<const uint8_t> bytes_;
};

// Bytes of a size the directory claims, allocated only once it has been
// checked against the file.
Result<std::vector<uint8_t>> ReadBlock(const ByteSource& source, uint64_t offset, uint64_t size, const char* what);

}  // namespace meshara::archives
