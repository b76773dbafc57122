#include "convert/convert_file.h"

#include <filesystem>

#include "formats/format_names.h"
#include "formats/game_fs.h"
#include "formats/md2_writer.h"
#include "formats/path_input.h"
#include "io/file_bytes.h"

namespace meshara {

namespace {

Failure Refuse(std::string why) { return Failure{ErrorKind::CannotOpen, std::move(why)}; }

// At most `most` bytes of an input, or why not.
Result<std::vector<uint8_t>> Whole(PathInput input, uint64_t most) {
    if (input.Size() > most)
        return Refuse("holds " + std::to_string(input.Size()) + " bytes, more than the " + std::to_string(most) + " asked for");
    std::vector<uint8_t> bytes;
    if (Status read = input.ReadMore(bytes, most); !read) return read.Why();
    return bytes;
}

}  // namespace

FileType OtherModelTypeByName(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == ".glb" || ext == ".gltf") return FileType::GltfText;
    return ext == ".obj" ? FileType::Obj : FileType::Unknown;
}

ExternalFileReader FilesBeside(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::canonical(fs::absolute(path, ec).parent_path(), ec);
    return [folder, found = !ec](const std::string& uri, uint64_t most) -> Result<std::vector<uint8_t>> {
        if (!found) return Refuse("cannot be read: the glTF's folder cannot be found");
        std::error_code error;
        const fs::path real = fs::canonical(folder / uri, error);
        if (error) return Refuse("cannot be read: " + error.message());
        // Links are followed, but only to what lies in the folder too.
        const fs::path inside = real.lexically_relative(folder);
        if (inside.empty() || *inside.begin() == "..") return Refuse("lies outside the glTF's folder");
        auto file = InputFile::Open(real.string());  // refuses folders, FIFOs and devices
        if (!file) return file.Why();
        return Whole(PathInput(file.Take()), most);
    };
}

ExternalFileReader ExternalFilesOf(const std::string& path, std::shared_ptr<std::vector<std::string>> read) {
    auto located = LocateFile(path);
    if (!located || !located.Value().file.InArchive()) {
        ExternalFileReader beside = FilesBeside(path);
        if (!read) return beside;
        const std::string folder = std::filesystem::path(path).parent_path().string();
        return [beside, read, folder](const std::string& uri, uint64_t most) {
            auto bytes = beside(uri, most);
            if (bytes) read->push_back((std::filesystem::path(folder) / uri).string());
            return bytes;
        };
    }
    // Inside an archive: the glTF's folder in it, nothing above.
    auto source = located.Value().file.source;
    const std::string folder = located.Value().Folder();
    return [source, folder, read](const std::string& uri, uint64_t most) -> Result<std::vector<uint8_t>> {
        auto found = FindIn(source, folder.empty() ? uri : folder + "/" + uri);
        if (!found) return Refuse("is not in the archive beside the glTF");
        auto input = OpenGameFile(*found, most);
        if (!input) return input.Why();
        auto bytes = Whole(input.Take(), most);
        if (bytes && read) read->push_back(found->path);
        return bytes;
    };
}

Result<ConvertedFile> ConvertModelFile(const std::string& path, GltfReadOptions read, const Md2BuildOptions& build) {
    auto input = OpenPathInput(path, kMaxGltfBytes);
    if (!input) return input.Why();
    if (input.Value().Size() > kMaxGltfBytes)
        return Failure{ErrorKind::TooLarge,
                       "the file holds " + std::to_string(input.Value().Size()) + " bytes, more than the " +
                           std::to_string(kMaxGltfBytes) + " read for a model"};
    std::vector<uint8_t> bytes;
    if (Status whole = input.Value().ReadMore(bytes, input.Value().Size()); !whole) return whole.Why();
    FileType type = ReaderOf(bytes).type;
    if (type == FileType::Unknown) type = OtherModelTypeByName(path);
    if (type != FileType::Glb && type != FileType::GltfText && type != FileType::Obj)
        return Failure{ErrorKind::NotThisFormat, "the file is neither glTF nor OBJ", format::kGltf};
    auto externals = std::make_shared<std::vector<std::string>>();
    if (!read.readExternal) read.readExternal = ExternalFilesOf(path, externals);
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
    out.externalFiles = std::move(*externals);
    return out;
}

}  // namespace meshara
