#include "io/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <unistd.h>

namespace meshara {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

LoadResult<std::vector<uint8_t>> ReadFileBytes(const std::string& path) {
    using Result = LoadResult<std::vector<uint8_t>>;
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) return Result::Fail(LoadError::CannotOpen, path + ": " + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(f.get())) return Result::Fail(LoadError::CannotOpen, path + ": " + std::strerror(errno));
    return bytes;
}

bool WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes) {
    // Renaming would replace a file the user may not write; refuse as opening it would.
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) return false;
    std::string temp = path + ".partial";
    {
        FilePtr f(std::fopen(temp.c_str(), "wb"));
        if (!f) return false;
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
        ok = std::fflush(f.get()) == 0 && ok;
        if (!ok) {
            f.reset();
            ::unlink(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace meshara
