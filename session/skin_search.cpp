#include "session/skin_search.h"

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

namespace meshara {

namespace fs = std::filesystem;

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void AddWithExtensions(std::vector<std::string>& out, const fs::path& place) {
    out.push_back(place.string());
    for (const char* extension : {".pcx", ".bmp", ".PCX", ".BMP"}) {
        fs::path other = place;
        other.replace_extension(extension);
        if (other != place) out.push_back(other.string());
    }
}

}  // namespace

std::vector<std::string> SkinCandidates(const std::string& modelPath, const std::string& skinName) {
    std::string name = skinName;
    std::replace(name.begin(), name.end(), '\\', '/');
    std::vector<std::string> out;
    if (name.empty()) return out;
    const fs::path given(name);
    const fs::path modelFolder = fs::path(modelPath).parent_path();
    if (given.is_absolute()) {
        AddWithExtensions(out, given);
    } else {
        for (fs::path folder = modelFolder;; folder = folder.parent_path()) {
            AddWithExtensions(out, folder / given);
            if (folder.empty() || folder == folder.parent_path()) break;
        }
    }
    if (given.has_filename()) AddWithExtensions(out, modelFolder / given.filename());
    return out;
}

std::string FindSkinFile(const std::string& modelPath, const std::vector<std::string>& skinNames) {
    for (const std::string& name : skinNames)
        for (const std::string& candidate : SkinCandidates(modelPath, name))
            if (IsRegularFile(candidate)) return candidate;
    return {};
}

}  // namespace meshara
