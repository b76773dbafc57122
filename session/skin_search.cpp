#include "session/skin_search.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "formats/archive.h"
#include "formats/name_text.h"
#include "formats/path_input.h"
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

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && SameIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

// The name's components; "." ones say nothing and go.
std::vector<std::string> Components(const std::string& name) {
    std::vector<std::string> out;
    std::string part;
    for (char c : name + '/') {
        if (c == '/' || c == '\\') {
            if (!part.empty() && part != ".") out.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    return out;
}

// Whether a picture file may have this name: the formats are told by their
// bytes, but only a file named as a picture is ever opened for one.
bool NamesPicture(const std::string& file) {
    static constexpr const char* kPictureExtensions[] = {".pcx", ".bmp", ".png", ".tga", ".jpg", ".jpeg"};
    return std::any_of(std::begin(kPictureExtensions), std::end(kPictureExtensions),
                       [&](const char* e) { return EndsWithIgnoringCase(file, e); });
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

// The file's own name first when it names a picture, then the same stem
// with each picture extension.
std::vector<std::string> NameVariants(const std::string& file) {
    const size_t dot = ExtensionStart(file);
    const std::string stem = file.substr(0, dot);
    const std::string own = file.substr(dot);
    std::vector<std::string> names;
    if (NamesPicture(file)) names.push_back(file);
    for (const char* extension : kSkinExtensions)
        if (!SameIgnoringCase(own, extension)) names.push_back(stem + extension);
    return names;
}


// N of a "pakN.pak" file name (any letter case), as the engines number them.
std::optional<unsigned long> PakNumber(std::string_view name) {
    if (name.size() < 8 || !SameIgnoringCase(name.substr(0, 3), "pak") || !EndsWithIgnoringCase(name, ".pak"))
        return std::nullopt;
    const std::string_view digits = name.substr(3, name.size() - 7);
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoul(std::string(digits));
}

// The archives read during one search, each opened once; a file that is no
// usable archive is passed over.
class OpenArchives {
public:
    const Archive* Of(const std::string& path) {
        auto [it, added] = archives_.try_emplace(path);
        if (added)
            if (auto archive = Archive::Open(path)) it->second = archive.Take();
        return it->second ? &*it->second : nullptr;
    }

private:
    std::map<std::string, std::optional<Archive>> archives_;
};

// A place inside an archive: the archive, and the folder within it ("" for its top).
struct ArchiveFolder {
    std::string archive, folder;
};
std::optional<ArchiveFolder> InArchive(const std::string& place) {
    struct stat st {};
    if (::stat(place.c_str(), &st) == 0)
        return S_ISREG(st.st_mode) ? std::optional(ArchiveFolder{place, ""}) : std::nullopt;
    auto inside = ThroughArchive(place);
    if (!inside) return std::nullopt;
    return ArchiveFolder{inside->archive, inside->entry};
}

}  // namespace

std::vector<std::string> GameArchives(const std::string& folder) {
    struct Found {
        std::optional<unsigned long> pak;
        std::string name;
    };
    std::vector<Found> found;
    std::error_code ec;
    for (fs::directory_iterator d(folder.empty() ? "." : folder, ec), end; !ec && d != end; d.increment(ec)) {
        const std::string name = d->path().filename().string();
        std::error_code kind;
        if (NamesArchive(name) && d->is_regular_file(kind))
            found.push_back({PakNumber(name), name});
    }
    // Numbered paks, the highest first; then the rest, later names first,
    // as a later archive overrides an earlier one.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.pak.has_value() != b.pak.has_value()) return a.pak.has_value();
        if (a.pak && *a.pak != *b.pak) return *a.pak > *b.pak;
        return a.name > b.name;
    });
    std::vector<std::string> out;
    for (size_t i = 0; i < found.size() && i < kMaxGameArchives; ++i) out.push_back((fs::path(folder) / found[i].name).string());
    return out;
}

bool SkinNameIsGamePath(const std::string& skinName) {
    if (skinName.empty() || skinName.front() == '/' || skinName.front() == '\\') return false;
    const std::vector<std::string> components = Components(skinName);
    // "C:" starts a Windows path, the author's own disk.
    if (!components.empty() && components.front().back() == ':') return false;
    return std::none_of(components.begin(), components.end(), [](const std::string& c) { return c == ".."; });
}

std::vector<SkinPlace> SkinPlaces(const std::string& modelPath, const std::string& skinName) {
    std::vector<SkinPlace> places;
    std::vector<std::string> components = Components(skinName);
    if (components.empty()) return places;
    // A name that is no game path is never followed: its file name alone is
    // looked for beside the model.
    const bool gamePath = SkinNameIsGamePath(skinName);
    if (!gamePath) components.erase(components.begin(), components.end() - 1);
    std::error_code ec;
    if (auto inside = ThroughArchive(modelPath)) {
        // A game path, looked for along the game's search path and nowhere above it.
        fs::path archive = fs::absolute(fs::path(inside->archive), ec).lexically_normal();
        if (ec) archive = fs::path(inside->archive);
        const size_t cut = inside->entry.find_last_of("/\\");
        const std::string inner = cut == std::string::npos ? std::string() : inside->entry.substr(0, cut);
        const std::string beside = inner.empty() ? archive.string() : archive.string() + "/" + inner;
        if (!gamePath) return {{beside, components}};
        const std::string game = archive.parent_path().string();
        for (const std::string& other : GameArchives(game)) places.push_back({other, components});
        places.push_back({game, components});
        if (components.size() > 1 || !inner.empty()) places.push_back({beside, {components.back()}});
        return places;
    }
    fs::path modelFolder = fs::absolute(fs::path(modelPath), ec).lexically_normal().parent_path();
    if (ec) modelFolder = fs::path(modelPath).parent_path();
    places.push_back({modelFolder.string(), components});
    // A game path is relative to the game's folder, which holds the name's
    // first folder: the search climbs to a folder above the model only when
    // the model lies below that first folder (a model in
    // .../baseq2/players/ogro naming players/ogro/x.pcx reaches .../baseq2),
    // and never higher.
    std::vector<fs::path> above;
    for (fs::path folder = modelFolder; folder.has_relative_path(); folder = folder.parent_path())
        above.push_back(folder);
    for (size_t up = 1; up < components.size() && up <= above.size(); ++up) {
        if (SameIgnoringCase(above[up - 1].filename().string(), components.front()))
            places.push_back({above[up - 1].parent_path().string(), components});
    }
    if (components.size() > 1) places.push_back({modelFolder.string(), {components.back()}});
    return places;
}

std::vector<std::string> SkinCandidates(const std::string& modelPath, const std::string& skinName) {
    std::vector<std::string> out;
    std::set<FileId> seen;
    std::set<std::pair<std::string, size_t>> seenEntries;
    FolderNames folders;
    OpenArchives archives;
    struct stat st {};
    for (const SkinPlace& place : SkinPlaces(modelPath, skinName)) {
        if (auto inside = InArchive(place.folder)) {
            const Archive* archive = archives.Of(inside->archive);
            if (!archive) continue;
            std::string folder = inside->folder.empty() ? "" : inside->folder + "/";
            for (size_t i = 0; i + 1 < place.components.size(); ++i) folder += place.components[i] + "/";
            for (const std::string& name : NameVariants(place.components.back())) {
                const auto index = archive->Find(folder + name);
                if (index && seenEntries.insert({inside->archive, *index}).second)
                    out.push_back(inside->archive + "/" + std::string(archive->Entry(*index).name));
            }
            continue;
        }
        fs::path folder = place.folder.empty() ? fs::path(".") : fs::path(place.folder);
        bool reached = true;
        for (size_t i = 0; i + 1 < place.components.size() && reached; ++i) {
            auto next = Match(folders, folder, place.components[i], true, st);
            if (next) folder = *next;
            reached = next.has_value();
        }
        if (!reached) continue;
        for (const std::string& name : NameVariants(place.components.back())) {
            auto found = Match(folders, folder, name, false, st);
            if (found && seen.insert({st.st_dev, st.st_ino}).second) out.push_back(found->string());
        }
    }
    return out;
}

FoundSkin FindSkin(const std::string& modelPath, const std::string& skinName, int64_t maxPixels) {
    FoundSkin found;
    if (!SkinNameIsGamePath(skinName) && !Components(skinName).empty())
        found.notes.push_back("the skin name \"" + NameToUtf8(skinName) +
                              "\" is a path outside the game's folders; only its file name is looked for beside the model");
    for (const std::string& candidate : SkinCandidates(modelPath, skinName)) {
        auto picture = ReadSkinImage(candidate, maxPixels);
        if (picture) {
            found.path = candidate;
            found.picture = picture.Take();
            return found;
        }
        found.notes.push_back(candidate + " could not be used: " + FailureText(picture.Why()));
    }
    return found;
}

FoundSkin FindSkin(const std::string& modelPath, const std::vector<std::string>& skinNames, int64_t maxPixels) {
    FoundSkin found;
    if (skinNames.size() > kMaxSkinNamesSearched)
        found.notes.push_back("only the first " + std::to_string(kMaxSkinNamesSearched) + " of the " +
                              std::to_string(skinNames.size()) + " skin names are looked for");
    for (size_t i = 0; i < skinNames.size() && i < kMaxSkinNamesSearched; ++i) {
        FoundSkin one = FindSkin(modelPath, skinNames[i], maxPixels);
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
