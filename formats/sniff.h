#pragma once
// What a file is, told by its first bytes and never by its name: the one
// place that knows every format's signature.

#include <cstdint>
#include <span>
#include <string>

#include "io/result.h"

namespace meshara {

enum class FileType { Md2, Light, Pcx, Bmp, Png, Jpeg, Tga, Unknown };

// Bytes of a file's start that are enough to tell every type apart: TGA has
// no magic, only its 18-byte header to judge by.
constexpr size_t kSniffBytes = 18;

FileType SniffFileType(std::span<const uint8_t> head);

inline bool IsPicture(FileType type) {
    return type == FileType::Pcx || type == FileType::Bmp || type == FileType::Png || type == FileType::Jpeg ||
           type == FileType::Tga;
}

// The type of the file at path from its first bytes; CannotOpen when it
// cannot be read.
Result<FileType> SniffFile(const std::string& path);

}  // namespace meshara
