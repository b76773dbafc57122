#pragma once
// What a file is, told by its content and never by its name: one row for
// every kind of file the programs read, saying how it is told, what it is
// to the programs, its name in messages and, for the pictures, how its
// bytes are decoded. The viewer, every command and convert ask this table;
// a new format is one row and one file. glTF and OBJ are read by convert/,
// which sits above this layer and picks its reader by the row's type.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/skin_image.h"
#include "io/result.h"

namespace meshara {

enum class FileType { Md2, Light, Pcx, Bmp, Png, Jpeg, Tga, Glb, GltfText, Obj, Pak, Zip, Unknown };

// What a file is to the programs.
enum class InputKind {
    Model,         // an MD2 model
    OtherModel,    // a glTF or OBJ model, made into an MD2 to be shown
    Light,         // a light file
    Picture,       // a skin picture
    Archive,       // a game archive, holding files of the kinds above
    Unknown,
};

struct Reader {
    FileType type;
    InputKind kind;
    const char* format;  // its name in messages (formats/format_names.h)
    // Whether the file's first bytes are this kind's; whole: head is the
    // whole file, not only its start. Rows are asked in order: the formats
    // with a magic number first, TGA (a header that has to look right),
    // then the text formats, OBJ last.
    bool (*told)(std::span<const uint8_t> head, bool whole);
    // Pictures: the whole file decoded, and what its first kSkinHeaderBytes
    // already show refused (a picture of more than maxPixels included).
    Result<SkinImage> (*decodePicture)(std::span<const uint8_t> bytes) = nullptr;
    Status (*checkPicture)(std::span<const uint8_t> head, int64_t maxPixels) = nullptr;
};

// The row of the type the file's name says by its extension (any case):
// .md2, .lgt, the pictures', .glb, .gltf, .obj, .pak, .zip, .pk3; Unknown's
// for any other name.
const Reader& ReaderNamed(std::string_view path);

// Bytes of a file's start that are enough to tell every binary kind apart:
// TGA has no magic, only its 18-byte header to judge by.
constexpr size_t kSniffBytes = 18;
// The text kinds are told by their first statements or keys, which may lie
// further in: as much as this is looked at.
constexpr size_t kTextSniffBytes = size_t{1} << 20;

// The row of the first kind whose test the bytes pass; Unknown's when none does.
const Reader& ReaderOf(std::span<const uint8_t> head, bool whole = true);
// The row of a type.
const Reader& ReaderFor(FileType type);

inline FileType SniffFileType(std::span<const uint8_t> head) { return ReaderOf(head).type; }

inline bool IsPicture(FileType type) { return ReaderFor(type).kind == InputKind::Picture; }

// The type of the file at path, from its first bytes (as many as telling a
// text kind needs); CannotOpen when it cannot be read.
Result<FileType> SniffFile(const std::string& path);

// What the file at path is: told by its content and, when that tells
// nothing (the file is empty, cannot be read, or is of no kind known), by
// its name, so that such a file is refused as what it was meant to be.
InputKind KindOfFile(const std::string& path);

}  // namespace meshara
