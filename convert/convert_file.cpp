#include "convert/convert_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "formats/md2_writer.h"
#include "io/file_bytes.h"

namespace meshara {

namespace {

std::string Extension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

}  // namespace

bool IsConvertibleModelPath(const std::string& path) {
    const std::string ext = Extension(path);
    return ext == ".glb" || ext == ".gltf" || ext == ".obj";
}

Result<ConvertedFile> ConvertModelFile(const std::string& path, GltfReadOptions read, const Md2BuildOptions& build) {
    auto bytes = ReadFileBytes(path);
    if (!bytes) return bytes.Why();
    std::error_code ec;
    read.folder = std::filesystem::absolute(path, ec).parent_path().string();
    auto source = Extension(path) == ".obj" ? ReadObj(bytes.Value()) : ReadGltf(bytes.Value(), read);
    if (!source) return source.Why();
    bytes = std::vector<uint8_t>();
    auto built = BuildMd2(source.Value(), build);
    if (!built) return built.Why();
    ConvertedFile out;
    out.md2 = EncodeMd2(built.Value().file);
    out.built = std::move(built.Value());
    out.skinSizeGuessed = build.skinWidth == 0 && source.Value().textureWidth == 0;
    out.texture = source.Value().texture;
    return out;
}

}  // namespace meshara
