#include "convert/convert_file.h"

#include <filesystem>

#include "formats/format_names.h"
#include "formats/md2_writer.h"
#include "formats/path_input.h"

namespace meshara {

FileType OtherModelTypeByName(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == ".glb" || ext == ".gltf") return FileType::GltfText;
    return ext == ".obj" ? FileType::Obj : FileType::Unknown;
}

Result<ConvertedFile> ConvertModelFile(const std::string& path, GltfReadOptions read, const Md2BuildOptions& build) {
    auto input = OpenPathInput(path, kMaxOtherModelBytes);
    if (!input) return input.Why();
    if (input.Value().Size() > kMaxOtherModelBytes)
        return Failure{ErrorKind::TooLarge,
                       "the file holds " + std::to_string(input.Value().Size()) + " bytes, more than the " +
                           std::to_string(kMaxOtherModelBytes) + " read for a model"};
    std::vector<uint8_t> bytes;
    if (Status whole = input.Value().ReadMore(bytes, input.Value().Size()); !whole) return whole.Why();
    FileType type = ReaderOf(bytes).type;
    if (type == FileType::Unknown) type = OtherModelTypeByName(path);
    if (type != FileType::Glb && type != FileType::GltfText && type != FileType::Obj)
        return Failure{ErrorKind::NotThisFormat, "the file is neither glTF nor OBJ", format::kGltf};
    // A .gltf's external files lie beside it; one inside an archive has none read.
    std::error_code ec;
    read.folder = ThroughArchive(path) ? std::string() : std::filesystem::absolute(path, ec).parent_path().string();
    auto source = type == FileType::Obj ? ReadObj(bytes) : ReadGltf(bytes, read);
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
