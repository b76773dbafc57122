#include "formats/sniff.h"

#include <algorithm>
#include <vector>

#include "formats/lgt_file.h"
#include "formats/md2_file.h"
#include "formats/path_input.h"
#include "io/file_bytes.h"

namespace meshara {

namespace {
template <size_t N>
bool StartsWith(std::span<const uint8_t> head, const std::array<uint8_t, N>& magic) {
    return head.size() >= N && std::equal(magic.begin(), magic.end(), head.begin());
}
}  // namespace

FileType SniffFileType(std::span<const uint8_t> head) {
    if (StartsWith(head, kMd2Magic)) return FileType::Md2;
    if (StartsWith(head, kLgtMagic)) return FileType::Light;
    // PCX: the maker byte, then version 5 (the only one with a 256-colour palette).
    if (StartsWith(head, std::array<uint8_t, 2>{0x0A, 0x05})) return FileType::Pcx;
    if (StartsWith(head, std::array<uint8_t, 2>{'B', 'M'})) return FileType::Bmp;
    return FileType::Unknown;
}

Result<FileType> SniffFile(const std::string& path) {
    auto file = OpenPathInput(path);
    if (!file) return file.Why();
    std::vector<uint8_t> head;
    if (Status read = file.Value().ReadMore(head, kSniffBytes); !read) return read.Why();
    return SniffFileType(head);
}

}  // namespace meshara
