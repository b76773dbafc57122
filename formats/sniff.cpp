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

bool IsTgaDepth(uint8_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// TGA has no magic number, so its header has to look like one that a writer
// made: a known image type, a colour map where the type needs one, depths
// that go with the type, a size, and the two descriptor bits that were never
// used left clear. Every other format's magic has a byte other than 0 or 1
// where TGA keeps its colour-map type, so the two cannot meet.
bool IsTgaHeader(std::span<const uint8_t> head) {
    if (head.size() < 18) return false;
    const uint8_t mapType = head[1], imageType = head[2], mapDepth = head[7], depth = head[16];
    const bool sized = (head[12] | head[13]) != 0 && (head[14] | head[15]) != 0;
    if (mapType > 1 || !sized || (head[17] & 0xC0) != 0 || (head[17] & 0x0F) > 8) return false;
    if (mapType == 1 && (!IsTgaDepth(mapDepth) || (head[5] | head[6]) == 0)) return false;
    switch (imageType & ~8) {
        case 1: return mapType == 1 && (depth == 8 || depth == 16);
        case 2: return IsTgaDepth(depth);
        case 3: return depth == 8 || depth == 16;
        default: return false;
    }
}
}  // namespace

FileType SniffFileType(std::span<const uint8_t> head) {
    if (StartsWith(head, kMd2Magic)) return FileType::Md2;
    if (StartsWith(head, kLgtMagic)) return FileType::Light;
    // PCX: the maker byte, then version 5 (the only one with a 256-colour palette).
    if (StartsWith(head, std::array<uint8_t, 2>{0x0A, 0x05})) return FileType::Pcx;
    if (StartsWith(head, std::array<uint8_t, 2>{'B', 'M'})) return FileType::Bmp;
    if (StartsWith(head, std::array<uint8_t, 8>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return FileType::Png;
    // Start of image, then the first marker of any segment.
    if (StartsWith(head, std::array<uint8_t, 3>{0xFF, 0xD8, 0xFF})) return FileType::Jpeg;
    // Last: only what no magic above has claimed is judged by its header.
    if (IsTgaHeader(head)) return FileType::Tga;
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
