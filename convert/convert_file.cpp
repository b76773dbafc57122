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

ExternalFileReader FilesBeside(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::canonical(fs::absolute(path, ec).parent_path(), ec);
    return [folder, found = !ec](const std::string& uri, uint64_t most) -> Result<std::vector<uint8_t>> {
        const auto refuse = [](std::string why) { return Failure{ErrorKind::CannotOpen, std::move(why)}; };
        if (!found) return refuse("cannot be read: the glTF's folder cannot be found");
        std::error_code error;
        const fs::path real = fs::canonical(folder / uri, error);
        if (error) return refuse("cannot be read: " + error.message());
        // Links are followed, but only to what lies in the folder too.
        const fs::path inside = real.lexically_relative(folder);
        if (inside.empty() || *inside.begin() == "..") return refuse("lies outside the glTF's folder");
        auto file = InputFile::Open(real.string());  // refuses folders, FIFOs and devices
        if (!file) return file.Why();
        if (file.Value().Size() > most)
            return refuse("holds " + std::to_string(file.Value().Size()) + " bytes, more than the " + std::to_string(most) + " asked for");
        std::vector<uint8_t> bytes;
        if (Status read = file.Value().ReadMore(bytes, most); !read) return read.Why();
        return bytes;
    };
}

bool IsConvertibleModelPath(const std::string& path) {
    const std::string ext = Extension(path);
    return ext == ".glb" || ext == ".gltf" || ext == ".obj";
}

Result<ConvertedFile> ConvertModelFile(const std::string& path, GltfReadOptions read, const Md2BuildOptions& build) {
    auto bytes = ReadFileBytes(path);
    if (!bytes) return bytes.Why();
    if (!read.readExternal) read.readExternal = FilesBeside(path);
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
