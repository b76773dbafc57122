#pragma once
// The names of the formats as refusals carry them (Failure::format) and as
// messages show them. The readers and writers set them; the layers above
// compare against them to word a refusal for the user.

#include <string_view>

namespace meshara::format {

inline constexpr const char* kMd2 = "MD2";
inline constexpr const char* kLight = "light";
inline constexpr const char* kPicture = "picture";  // not a picture of any format read
inline constexpr const char* kPcx = "PCX";
inline constexpr const char* kBmp = "BMP";
inline constexpr const char* kPng = "PNG";
inline constexpr const char* kJpeg = "JPEG";
inline constexpr const char* kTga = "TGA";
inline constexpr const char* kGltf = "glTF";
inline constexpr const char* kObj = "OBJ";
inline constexpr const char* kPak = "PAK";
inline constexpr const char* kZip = "zip";
inline constexpr const char* kGif = "GIF";
inline constexpr const char* kWebp = "WebP";

// Whether a refusal's format is this one (null matches nothing).
inline bool Is(const char* format, const char* name) { return format && std::string_view(format) == name; }

}  // namespace meshara::format
