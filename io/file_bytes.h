#pragma once
// File access is a thin shell around the span parsers. Reads are bounded by
// what the file is: only regular files are read, never more than their size
// when opened, and a reader may stop after the bytes it needs. Writes never
// leave a half-written file where a whole one was.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/result.h"

namespace meshara {

class InputFile {
public:
    // Opens path for reading. Anything but a regular file (a folder, a FIFO,
    // a socket, a device, also behind a symbolic link) is refused at once
    // with CannotOpen, as is a path that cannot be opened; the detail says
    // why ("is a directory", "No such file or directory"). A FIFO with no
    // writer does not block the open.
    static Result<InputFile> Open(const std::string& path);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // The file's size when it was opened; no read goes past it.
    uint64_t Size() const { return size_; }
    uint64_t Position() const { return position_; }

    // Appends up to count more bytes to out, fewer at the end of the file.
    // CannotOpen on a read error or when the memory for them cannot be had.
    Status ReadMore(std::vector<uint8_t>& out, uint64_t count);

    // Fills out from offset, leaving Position alone: for files read in
    // pieces out of order (a directory at the end, then the parts it points to).
    // Fewer bytes than out holds only at the end of the file; the count read.
    Result<size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) const;

private:
    InputFile() = default;
    int fd_ = -1;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
};

// When path names nothing because one of its leading parts is a regular
// file ("a/bundle/b/c.dat", where "a/bundle" is a file), that file ("a/bundle")
// and the rest of the path after it ("b/c.dat"); otherwise nothing. Only the
// folders on the way are looked at, nothing is opened.
struct PathThroughFile {
    std::string file;
    std::string rest;
};
std::optional<PathThroughFile> SplitAtFile(const std::string& path);

// The whole of a regular file (as much as it held when opened), or
// CannotOpen with the reason.
Result<std::vector<uint8_t>> ReadFileBytes(const std::string& path);

enum class WriteMode {
    Replace,            // a new file renamed over the old one
    InPlaceWhenExists,  // an existing file of one name is written into: whoever holds it open reads the new bytes
};

// Writes bytes to path. A symbolic link is followed and its target written.
// An existing regular file is replaced through a temporary file beside it
// that takes its mode, owner and group, so a failure or an interruption
// leaves it whole; a file with several hard links is replaced the same way,
// its other names keeping the old bytes, so none of them is ever seen half
// written. Only a file of one name, asked for InPlaceWhenExists or in a
// folder that takes no new file, is written in place, its room reserved
// first so a full disk fails before the old bytes are touched; a FIFO or
// device is written straight into. CannotCreate on any failure. No
// temporary file is left, also when SIGINT, SIGTERM or SIGHUP ends the
// program during the write.
Status WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes, WriteMode mode = WriteMode::Replace);

struct FileToWrite {
    std::string path;
    std::span<const uint8_t> bytes;
    WriteMode mode = WriteMode::Replace;
};

// Writes several files as one, all or nothing: each is first written whole
// beside its target, and only once all are written do they take their
// places; should one of them fail to (a folder whose rules forbid it), those
// already in place are put back, so a failure replaces none of them. The
// set takes its places with SIGINT, SIGTERM and SIGHUP held off, so they do
// not split it either. A FIFO or device among them is written last, once
// the others are in place. The failure's detail names the file it was about.
Status WriteFileSet(std::span<const FileToWrite> files);

// Where bytes go as they are made: in order, and a few of them put back
// later over bytes already there (a length in a header).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual Status Append(std::span<const uint8_t> bytes) = 0;
    virtual Status Overwrite(uint64_t offset, std::span<const uint8_t> bytes) = 0;
    virtual uint64_t Size() const = 0;
};

// Bytes made in memory (for tests, and outputs that go elsewhere than a file).
class MemorySink final : public ByteSink {
public:
    Status Append(std::span<const uint8_t> bytes) override;
    Status Overwrite(uint64_t offset, std::span<const uint8_t> bytes) override;
    uint64_t Size() const override { return bytes.size(); }
    std::vector<uint8_t> bytes;
};

struct PendingWrite;

// A file written as it is made, so an output never has to be held in
// memory whole. The bytes go to a temporary file beside the target (or, for
// a target written in place, elsewhere) and take the target's place only on
// Finish, with WriteFileBytes's guarantees; dropped unfinished, or ended by
// a failure, nothing of it is left and the target is as it was.
class StreamedFile final : public ByteSink {
public:
    static Result<StreamedFile> Create(const std::string& path, WriteMode mode = WriteMode::Replace);

    StreamedFile(StreamedFile&& other) noexcept;
    StreamedFile& operator=(StreamedFile&& other) noexcept;
    ~StreamedFile() override;

    Status Append(std::span<const uint8_t> bytes) override;
    Status Overwrite(uint64_t offset, std::span<const uint8_t> bytes) override;
    uint64_t Size() const override;
    Status Finish();

private:
    explicit StreamedFile(std::unique_ptr<PendingWrite> write);
    std::unique_ptr<PendingWrite> write_;
};

// Removes the temporary files of writes not yet finished. Safe in a signal
// handler: for one that ends the program another way than the signals the
// writes guard against.
void RemovePendingTemporaries() noexcept;

// Whether both paths, links followed, name one existing file.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace meshara
