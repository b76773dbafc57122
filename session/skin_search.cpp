#include "session/skin_search.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "formats/skin_decoder.h"
#include "session/messages.h"

namespace meshara {

namespace fs = std::filesystem;

namespace {

// After the name's own extension, in the order the engines that replaced
// their pictures try them.
constexpr const char* kSkinExtensions[] = {".png", ".tga", ".jpg", ".pcx", ".bmp"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::vector<std::string> Components(const std::string& name) {
    std::vector<std::string> out;
    std::string part;
    for (char c : name) {
        if (c == '/' || c == '\\') {
            if (!part.empty()) out.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) out.push_back(std::move(part));
    return out;
}

// The names in each folder looked into, read once per search: a name is
// matched against every entry of its folder when its exact spelling is not
// there.
class FolderNames {
public:
    const std::vector<std::string>& Of(const fs::path& folder) {
        auto [it, added] = names_.try_emplace(folder.string());
        if (added) {
            std::error_code ec;
            for (fs::directory_iterator d(folder, ec), end; !ec && d != end; d.increment(ec))
                it->second.push_back(d->path().filename().string());
            std::sort(it->second.begin(), it->second.end());
        }
        return it->second;
    }

private:
    std::map<std::string, std::vector<std::string>> names_;
};

struct FileId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileId&) const = default;
};

// The entry of folder spelled like name: the exact spelling when it is
// there, else the first entry in name order that differs only in case.
std::optional<fs::path> Match(FolderNames& folders, const fs::path& folder, const std::string& name, bool wantFolder,
                              struct stat& st) {
    const auto isWanted = [&](const fs::path& p) {
        return ::stat(p.c_str(), &st) == 0 && (wantFolder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
    };
    if (isWanted(folder / name)) return folder / name;
    for (const std::string& entry : folders.Of(folder))
        if (SameIgnoringCase(entry, name) && isWanted(folder / entry)) return folder / entry;
    return std::nullopt;
}

// The file name's extension, dot included, or empty; a leading dot starts
// no extension.
size_t ExtensionStart(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName.size() : dot;
}

}  // namespace

std::vector<SkinPlace> SkinPlaces(const std::string& modelPath, const std::string& skinName) {
    std::vector<SkinPlace> places;
    std::vector<std::string> components = Components(skinName);
    if (components.empty()) return places;
    std::error_code ec;
    fs::path modelFolder = fs::absolute(fs::path(modelPath), ec).lexically_normal().parent_path();
    if (ec) modelFolder = fs::path(modelPath).parent_path();
    if (!skinName.empty() && skinName.front() == '/') {
        places.push_back({"/", components});
    } else {
        for (fs::path folder = modelFolder;; folder = folder.parent_path()) {
            places.push_back({folder.string(), components});
            if (folder.empty() || folder == folder.parent_path()) break;
        }
    }
    if (components.size() > 1 || places.front().folder != modelFolder.string())
        places.push_back({modelFolder.string(), {components.back()}});
    return places;
}

std::vector<std::string> SkinCandidates(const std::string& modelPath, const std::string& skinName) {
    std::vector<std::string> out;
    std::set<FileId> seen;
    FolderNames folders;
    struct stat st {};
    for (const SkinPlace& place : SkinPlaces(modelPath, skinName)) {
        fs::path folder = place.folder.empty() ? fs::path(".") : fs::path(place.folder);
        bool reached = true;
        for (size_t i = 0; i + 1 < place.components.size() && reached; ++i) {
            auto next = Match(folders, folder, place.components[i], true, st);
            if (next) folder = *next;
            reached = next.has_value();
        }
        if (!reached) continue;
        const std::string& file = place.components.back();
        const size_t dot = ExtensionStart(file);
        const std::string stem = file.substr(0, dot);
        const std::string own = file.substr(dot);
        std::vector<std::string> names{file};
        for (const char* extension : kSkinExtensions)
            if (!SameIgnoringCase(own, extension)) names.push_back(stem + extension);
        for (const std::string& name : names) {
            auto found = Match(folders, folder, name, false, st);
            if (found && seen.insert({st.st_dev, st.st_ino}).second) out.push_back(found->string());
        }
    }
    return out;
}

FoundSkin FindSkin(const std::string& modelPath, const std::string& skinName) {
    FoundSkin found;
    for (const std::string& candidate : SkinCandidates(modelPath, skinName)) {
        auto picture = ReadSkinImage(candidate);
        if (picture) {
            found.path = candidate;
            found.picture = picture.Take();
            return found;
        }
        found.notes.push_back(candidate + " could not be used: " + FailureText(picture.Why()));
    }
    return found;
}

FoundSkin FindSkin(const std::string& modelPath, const std::vector<std::string>& skinNames) {
    FoundSkin found;
    for (const std::string& name : skinNames) {
        FoundSkin one = FindSkin(modelPath, name);
        found.notes.insert(found.notes.end(), one.notes.begin(), one.notes.end());
        if (one.picture) {
            found.path = std::move(one.path);
            found.picture = std::move(one.picture);
            return found;
        }
    }
    return found;
}

}  // namespace meshara
