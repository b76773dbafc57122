#include "session/inputs.h"

#include <filesystem>
#include <system_error>

#include "formats/game_fs.h"
#include "io/file_bytes.h"

namespace meshara {

namespace {

// The file on disk a path reads from: the archive for an entry of one.
std::string FileOnDisk(const std::string& path) {
    auto located = LocateFile(path);
    if (located && located.Value().file.InArchive()) return located.Value().file.SourcePath();
    return path;
}

std::string Normal(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

}  // namespace

std::string OutputThatIsAnInput(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs) {
    std::vector<std::string> files;
    for (const std::string& in : inputs)
        if (!in.empty()) files.push_back(FileOnDisk(in));
    for (const std::string& out : outputs) {
        if (out.empty() || out == "-") continue;
        for (const std::string& file : files)
            if (IsSameFile(out, file) || Normal(out) == Normal(file)) return out;
    }
    return {};
}

std::vector<std::string> InputsOf(const Document& doc) {
    std::vector<std::string> inputs;
    for (const auto& slot : doc.models.models) {
        inputs.push_back(slot->path);
        for (const auto& map : slot->maps)
            if (map) inputs.push_back(map->path);
    }
    return inputs;
}

}  // namespace meshara
