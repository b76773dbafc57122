// What the paths given to a check hold: models, players' folders, archives'
// models and players, and whole folders of them.

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "formats/archive.h"
#include "formats/path_input.h"
#include "session/check.h"
#include "session/messages.h"
#include "session/player.h"

namespace meshara {

namespace {

namespace fs = std::filesystem;

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

// Models a player's folder answers for: its body and the weapons it holds.
bool PlayerHolds(std::string_view fileName) {
    const std::string name = Lowered(fileName);
    return name == "tris.md2" || name == "weapon.md2" || name == "a_grenades.md2" ||
           (name.starts_with("w_") && name.ends_with(".md2"));
}

// An archive's models and players, as paths through it.
void ArchiveTargets(const std::string& path, std::vector<CheckTarget>& out) {
    auto archive = Archive::Open(path);
    if (!archive) {
        out.push_back({CheckTarget::Kind::Unreadable, path, FailureText(archive.Why())});
        return;
    }
    struct Entry {
        std::string folder, file;
    };
    std::vector<Entry> models;
    std::set<std::string> players;  // folders (lowered) holding a body, in a folder named players
    std::map<std::string, std::string> spelled;
    for (size_t index : archive.Value().Models()) {
        std::string name(archive.Value().Entry(index).name);
        std::replace(name.begin(), name.end(), '\\', '/');
        const size_t cut = name.rfind('/');
        Entry e{cut == std::string::npos ? "" : name.substr(0, cut), cut == std::string::npos ? name : name.substr(cut + 1)};
        const size_t up = e.folder.rfind('/');
        const std::string parent = e.folder.substr(0, up == std::string::npos ? 0 : up);
        const std::string parentName = parent.substr(parent.rfind('/') == std::string::npos ? 0 : parent.rfind('/') + 1);
        if (up != std::string::npos && Lowered(parentName) == "players" && Lowered(e.file) == "tris.md2") {
            players.insert(Lowered(e.folder));
            spelled[Lowered(e.folder)] = e.folder;
        }
        models.push_back(std::move(e));
    }
    for (const auto& [lowered, folder] : spelled) out.push_back({CheckTarget::Kind::Player, path + "/" + folder, {}});
    for (const Entry& e : models)
        if (!(players.contains(Lowered(e.folder)) && PlayerHolds(e.file)))
            out.push_back({CheckTarget::Kind::Model, path + "/" + (e.folder.empty() ? "" : e.folder + "/") + e.file, {}});
}

void FolderTargets(const fs::path& folder, std::vector<CheckTarget>& out) {
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error) {
        out.push_back({CheckTarget::Kind::Unreadable, folder.string(), "the folder cannot be read (" + error.message() + ")"});
        return;
    }
    std::vector<fs::path> playerFolders;
    for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        const fs::directory_entry& entry = *it;
        const std::string path = entry.path().string();
        if (entry.is_directory(error) && !entry.is_symlink(error)) {
            if (IsPlayerFolder(path)) {
                out.push_back({CheckTarget::Kind::Player, path, {}});
                playerFolders.push_back(entry.path());
            }
            continue;
        }
        if (!entry.is_regular_file(error)) continue;
        const std::string name = entry.path().filename().string();
        const bool inPlayer = std::find(playerFolders.begin(), playerFolders.end(), entry.path().parent_path()) !=
                              playerFolders.end();
        if (NamesArchive(name) && IsArchiveFile(path))
            ArchiveTargets(path, out);
        else if (NamesModel(name) && !(inPlayer && PlayerHolds(name)))
            out.push_back({CheckTarget::Kind::Model, path, {}});
    }
}

}  // namespace

std::vector<CheckTarget> FindCheckTargets(std::span<const std::string> paths) {
    std::vector<CheckTarget> out;
    for (const std::string& path : paths) {
        std::error_code error;
        if (IsPlayerFolder(path))
            out.push_back({CheckTarget::Kind::Player, path, {}});
        else if (fs::is_directory(path, error))
            FolderTargets(path, out);
        else if (IsArchiveFile(path))
            ArchiveTargets(path, out);
        else
            out.push_back({CheckTarget::Kind::Model, path, {}});
    }
    std::stable_sort(out.begin(), out.end(), [](const CheckTarget& a, const CheckTarget& b) { return a.path < b.path; });
    out.erase(std::unique(out.begin(), out.end(), [](const CheckTarget& a, const CheckTarget& b) { return a.path == b.path; }),
              out.end());
    return out;
}

}  // namespace meshara
