#pragma once
// File access is a thin shell around the span parsers. Reads are bounded by
// what the file is: only regular files are read, never more than their size
// when opened, and a reader may stop after the bytes it needs. Writes never
// leave a half-written file where a whole one was.

#include <cstdint>
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
    InPlaceWhenExists,  // an existing file is written into: whoever holds it open reads the new bytes
};

// Writes bytes to path. A symbolic link is followed and its target written.
// An existing regular file is replaced through a temporary file beside it
// that takes its mode, owner and group, so a failure leaves it whole; a file
// with several hard links, in a folder that takes no new file, or asked for
// InPlaceWhenExists is written in place, its room reserved first so a full
// disk fails before the old bytes are touched; a FIFO or device is written
// straight into. CannotCreate on any failure. No temporary file is left,
// also when SIGINT, SIGTERM or SIGHUP ends the program during the write.
Status WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes, WriteMode mode = WriteMode::Replace);

struct FileToWrite {
    std::string path;
    std::span<const uint8_t> bytes;
    WriteMode mode = WriteMode::Replace;
};

// Writes several files as one: each is first written whole beside its
// target, and only once all are written do they take their places, so a
// failure before then (a full disk, a folder that takes no file) replaces
// none of them. The failure's detail names the file it was about.
Status WriteFileSet(std::span<const FileToWrite> files);

// Removes the temporary files of writes not yet finished. Safe in a signal
// handler: for one that ends the program another way than the signals the
// writes guard against.
void RemovePendingTemporaries() noexcept;

// Whether both paths, links followed, name one existing file.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace meshara
