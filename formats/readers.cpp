#include "formats/readers.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "formats/format_names.h"
#include "formats/lgt_file.h"
#include "formats/md2_file.h"
#include "formats/path_input.h"
#include "formats/picture_decoders.h"
#include "io/byte_reader.h"

namespace meshara {

namespace {

template <size_t N>
bool StartsWith(std::span<const uint8_t> head, const std::array<uint8_t, N>& magic) {
    return head.size() >= N && std::equal(magic.begin(), magic.end(), head.begin());
}

bool IsMd2(std::span<const uint8_t> h, bool) { return StartsWith(h, kMd2Magic); }
bool IsLight(std::span<const uint8_t> h, bool) { return StartsWith(h, kLgtMagic); }
// PCX: the maker byte, then version 5 (the only one with a 256-colour palette).
bool IsPcx(std::span<const uint8_t> h, bool) { return StartsWith(h, std::array<uint8_t, 2>{0x0A, 0x05}); }
bool IsBmp(std::span<const uint8_t> h, bool) { return StartsWith(h, std::array<uint8_t, 2>{'B', 'M'}); }
bool IsPng(std::span<const uint8_t> h, bool) {
    return StartsWith(h, std::array<uint8_t, 8>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
}
// Start of image, then the first marker of any segment.
bool IsJpeg(std::span<const uint8_t> h, bool) { return StartsWith(h, std::array<uint8_t, 3>{0xFF, 0xD8, 0xFF}); }
// "glTF" and version 2, the only binary glTF there is.
bool IsGlb(std::span<const uint8_t> h, bool) {
    if (!StartsWith(h, std::array<uint8_t, 4>{'g', 'l', 'T', 'F'}) || h.size() < 8) return false;
    ByteReader r(h.subspan(4, 4));
    return r.U32() == 2;
}
bool IsPak(std::span<const uint8_t> h, bool) { return StartsWith(h, std::array<uint8_t, 4>{'P', 'A', 'C', 'K'}); }
// A zip's first local header, or the end record of an empty zip.
bool IsZip(std::span<const uint8_t> h, bool) {
    return StartsWith(h, std::array<uint8_t, 4>{'P', 'K', 3, 4}) || StartsWith(h, std::array<uint8_t, 4>{'P', 'K', 5, 6});
}

bool IsTgaDepth(uint8_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// TGA has no magic number, so its header has to look like one that a writer
// made: a known image type, a colour map where the type needs one, depths
// that go with the type, a size, and the two descriptor bits that were never
// used left clear. Every other format's magic has a byte other than 0 or 1
// where TGA keeps its colour-map type, so the two cannot meet.
bool IsTga(std::span<const uint8_t> head, bool) {
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

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Past a JSON string whose opening quote is at, escapes respected; the
// index after its closing quote, or the end.
size_t PastString(std::span<const uint8_t> t, size_t at) {
    for (size_t i = at + 1; i < t.size(); ++i) {
        if (t[i] == '\\') ++i;
        else if (t[i] == '"') return i + 1;
    }
    return t.size();
}

// Past one JSON value starting at at (nested ones counted, not followed):
// the index after it, or the end when the text ends first.
size_t PastValue(std::span<const uint8_t> t, size_t at) {
    size_t depth = 0;
    for (size_t i = at; i < t.size();) {
        const uint8_t c = t[i];
        if (c == '"') {
            i = PastString(t, i);
            if (depth == 0) return i;
            continue;
        }
        if (c == '{' || c == '[') ++depth;
        if (c == '}' || c == ']') {
            if (depth == 0) return i;  // the end of the object holding the value
            if (--depth == 0) return i + 1;
        }
        if (depth == 0 && (c == ',' || IsSpace(c))) return i;
        ++i;
    }
    return t.size();
}

// A text glTF: a JSON object with the key "asset" at its top, every key met
// before it one a glTF file has there. When the start of the file runs out
// before "asset", glTF's own keys so far are enough.
bool IsGltfText(std::span<const uint8_t> t, bool whole) {
    static constexpr std::string_view kTopKeys[] = {
        "asset", "buffers", "bufferViews", "accessors", "meshes", "nodes", "scenes", "scene", "materials",
        "textures", "images", "samplers", "animations", "skins", "cameras", "extensions", "extensionsUsed",
        "extensionsRequired", "extras"};
    size_t i = StartsWith(t, std::array<uint8_t, 3>{0xEF, 0xBB, 0xBF}) ? 3 : 0;
    const auto skipSpace = [&] { while (i < t.size() && IsSpace(t[i])) ++i; };
    skipSpace();
    if (i >= t.size() || t[i] != '{') return false;
    ++i;
    size_t keys = 0;
    while (true) {
        skipSpace();
        if (i >= t.size()) return !whole && keys > 0;
        if (t[i] != '"') return false;
        const size_t end = PastString(t, i);
        if (end >= t.size()) return !whole && keys > 0;
        const std::string_view key(reinterpret_cast<const char*>(t.data()) + i + 1, end - i - 2);
        if (key == "asset") return true;
        if (std::find(std::begin(kTopKeys), std::end(kTopKeys), key) == std::end(kTopKeys)) return false;
        ++keys;
        i = end;
        skipSpace();
        if (i >= t.size()) return !whole;
        if (t[i] != ':') return false;
        ++i;
        skipSpace();
        i = PastValue(t, i);
        skipSpace();
        if (i >= t.size()) return !whole;
        if (t[i] != ',') return false;
        ++i;
    }
}

// Wavefront OBJ: text whose first statements (comments and blank lines
// aside) are all ones an OBJ file makes, followed by their arguments.
bool IsObj(std::span<const uint8_t> t, bool whole) {
    static constexpr std::string_view kStatements[] = {"v", "vt", "vn", "vp", "f", "l", "p", "o", "g", "s",
                                                       "mtllib", "usemtl"};
    constexpr int kLooked = 16;
    int statements = 0;
    size_t i = 0;
    while (i < t.size() && statements < kLooked) {
        const size_t end = static_cast<size_t>(std::find(t.begin() + static_cast<std::ptrdiff_t>(i), t.end(), '\n') - t.begin());
        std::string_view line(reinterpret_cast<const char*>(t.data()) + i, end - i);
        // A line cut by the end of what was read says nothing yet.
        if (end == t.size() && !whole && statements > 0) break;
        for (const char c : line)
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r') || c == 0x7F) return false;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        i = end + 1;
        if (line.empty() || line.front() == '#') continue;
        const size_t cut = line.find_first_of(" \t");
        if (cut == std::string_view::npos) return false;
        if (std::find(std::begin(kStatements), std::end(kStatements), line.substr(0, cut)) == std::end(kStatements))
            return false;
        ++statements;
    }
    return statements > 0;
}

bool Nothing(std::span<const uint8_t>, bool) { return false; }

constexpr Reader kReaders[] = {
    {FileType::Md2, InputKind::Model, format::kMd2, IsMd2},
    {FileType::Light, InputKind::Light, format::kLight, IsLight},
    {FileType::Pcx, InputKind::Picture, format::kPcx, IsPcx, pictures::DecodePcx, pictures::CheckPcxHeader},
    {FileType::Bmp, InputKind::Picture, format::kBmp, IsBmp, pictures::DecodeBmp, pictures::CheckBmpHeader},
    {FileType::Png, InputKind::Picture, format::kPng, IsPng, pictures::DecodePng, pictures::CheckPngHeader},
    {FileType::Jpeg, InputKind::Picture, format::kJpeg, IsJpeg, pictures::DecodeJpeg, pictures::CheckJpegHeader},
    {FileType::Glb, InputKind::OtherModel, format::kGltf, IsGlb},
    {FileType::Pak, InputKind::Archive, format::kPak, IsPak},
    {FileType::Zip, InputKind::Archive, format::kZip, IsZip},
    // Only what no magic above has claimed is judged by its header, or as text.
    {FileType::Tga, InputKind::Picture, format::kTga, IsTga, pictures::DecodeTga, pictures::CheckTgaHeader},
    {FileType::GltfText, InputKind::OtherModel, format::kGltf, IsGltfText},
    {FileType::Obj, InputKind::OtherModel, format::kObj, IsObj},
    {FileType::Unknown, InputKind::Unknown, nullptr, Nothing},
};

// What the names of files say they are. The content says more and is asked first.
constexpr struct { std::string_view extension; FileType type; } kNames[] = {
    {"md2", FileType::Md2}, {"lgt", FileType::Light}, {"pcx", FileType::Pcx}, {"bmp", FileType::Bmp},
    {"png", FileType::Png}, {"jpg", FileType::Jpeg}, {"jpeg", FileType::Jpeg}, {"tga", FileType::Tga},
    {"glb", FileType::Glb}, {"gltf", FileType::GltfText}, {"obj", FileType::Obj}, {"pak", FileType::Pak},
    {"zip", FileType::Zip}, {"pk3", FileType::Zip},
};

// Whether a start of a file may be text: a text kind is then worth reading further for.
bool MayBeText(std::span<const uint8_t> head) {
    return !head.empty() && std::all_of(head.begin(), head.end(), [](uint8_t c) { return c >= 0x20 || IsSpace(c) || c == '\f'; });
}

}  // namespace

const Reader& ReaderOf(std::span<const uint8_t> head, bool whole) {
    for (const Reader& r : kReaders)
        if (r.told(head, whole)) return r;
    return kReaders[std::size(kReaders) - 1];
}

const Reader& ReaderFor(FileType type) {
    for (const Reader& r : kReaders)
        if (r.type == type) return r;
    return kReaders[std::size(kReaders) - 1];
}

const Reader& ReaderNamed(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return ReaderFor(FileType::Unknown);
    const std::string_view extension = path.substr(dot + 1);
    for (const auto& name : kNames)
        if (extension.size() == name.extension.size() &&
            std::equal(extension.begin(), extension.end(), name.extension.begin(),
                       [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; }))
            return ReaderFor(name.type);
    return ReaderFor(FileType::Unknown);
}

InputKind KindOfFile(const std::string& path) {
    const auto type = SniffFile(path);
    if (type && type.Value() != FileType::Unknown) return ReaderFor(type.Value()).kind;
    return ReaderNamed(path).kind;
}

Result<FileType> SniffFile(const std::string& path) {
    auto file = OpenPathInput(path);
    if (!file) return file.Why();
    std::vector<uint8_t> head;
    if (Status read = file.Value().ReadMore(head, kSniffBytes); !read) return read.Why();
    const bool whole = file.Value().Size() <= head.size();
    const Reader& first = ReaderOf(head, whole);
    if (first.type != FileType::Unknown || whole || !MayBeText(head)) return first.type;
    if (Status read = file.Value().ReadMore(head, kTextSniffBytes - head.size()); !read) return read.Why();
    return ReaderOf(head, file.Value().Size() <= head.size()).type;
}

}  // namespace meshara
