#include "formats/game_fs.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "formats/archive.h"
#include "io/file_bytes.h"

namespace meshara {

namespace fs = std::filesystem;

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && SameIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

// Spelled alike but for the separators: the engines write either.
bool SameSpelling(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && !(IsSeparator(a[i]) && IsSeparator(b[i]))) return false;
    return true;
}

// A game path's components; "." ones say nothing and go. None at all for a
// path that is no game path: absolute, a drive, or climbing with "..".
std::vector<std::string> GameComponents(std::string_view path) {
    std::vector<std::string> out;
    if (path.empty() || IsSeparator(path.front())) return out;
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (part == "..") return {};
            if (!part.empty() && part != ".") out.push_back(std::move(part));
            part.clear();
        } else {
            part += path[i];
        }
    }
    if (!out.empty() && out.front().back() == ':') return {};
    return out;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
    return out;
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path.empty() ? "." : path), ec);
    if (ec) return path;
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
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

// The archives of a game folder in the order the engines search them.
constexpr size_t kMaxGameArchives = 64;
std::vector<std::string> GameArchives(const std::string& folder) {
    struct Found {
        std::optional<unsigned long> pak;
        std::string name;
    };
    std::vector<Found> found;
    std::error_code ec;
    for (fs::directory_iterator d(folder, ec), end; !ec && d != end; d.increment(ec)) {
        const std::string name = d->path().filename().string();
        std::error_code kind;
        if (NamesArchive(name) && d->is_regular_file(kind)) found.push_back({PakNumber(name), name});
    }
    // Numbered paks, the highest first; then the rest, later names first,
    // as a later archive overrides an earlier one.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.pak.has_value() != b.pak.has_value()) return a.pak.has_value();
        if (a.pak && *a.pak != *b.pak) return *a.pak > *b.pak;
        return a.name > b.name;
    });
    std::vector<std::string> out;
    for (size_t i = 0; i < found.size() && i < kMaxGameArchives; ++i) out.push_back(folder + "/" + found[i].name);
    return out;
}

std::string RealPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out(real);
    std::free(real);
    return out;
}

}  // namespace

// ---- The places --------------------------------------------------------------

class GameSource {
public:
    GameSource(std::string path, bool archive) : path_(std::move(path)), archive_(archive) {}
    virtual ~GameSource() = default;
    const std::string& Path() const { return path_; }
    bool IsArchive() const { return archive_; }

    virtual std::optional<GameFile> Find(const std::shared_ptr<const GameSource>& self,
                                         const std::vector<std::string>& components,
                                         std::vector<std::string>* passedOver) const = 0;
    virtual std::vector<GameFile> List(const std::shared_ptr<const GameSource>& self,
                                       const std::vector<std::string>& folder) const = 0;
    virtual Result<PathInput> Open(const GameFile& file, uint64_t largest) const = 0;

private:
    std::string path_;
    bool archive_;
};

namespace {

class ArchiveSource : public GameSource {
public:
    // Opened already, or opened when first searched.
    ArchiveSource(std::string path, std::optional<Archive> archive)
        : GameSource(std::move(path), true), archive_(std::move(archive)), tried_(archive_.has_value()) {}

    const Archive* Get() const {
        if (!tried_) {
            tried_ = true;
            // A file that is no usable archive holds nothing the game can find.
            if (auto opened = Archive::Open(Path())) archive_ = opened.Take();
        }
        return archive_ ? &*archive_ : nullptr;
    }

    // The entry spelled exactly so, else the first spelled so in any case.
    std::optional<size_t> Index(std::string_view name, bool& exact) const {
        const Archive* archive = Get();
        if (!archive) return std::nullopt;
        const auto first = archive->Find(name);
        if (!first) return std::nullopt;
        exact = true;
        if (SameSpelling(archive->Entry(*first).name, name)) return first;
        for (size_t i = *first + 1; i < archive->Count(); ++i)
            if (SameSpelling(archive->Entry(i).name, name)) return i;
        exact = false;
        return first;
    }

    std::optional<GameFile> Find(const std::shared_ptr<const GameSource>& self,
                                 const std::vector<std::string>& components,
                                 std::vector<std::string>*) const override {
        bool exact = true;
        const std::string name = Joined(components);
        const auto index = Index(name, exact);
        if (!index) return std::nullopt;
        return Made(self, *index, exact);
    }

    std::vector<GameFile> List(const std::shared_ptr<const GameSource>& self,
                               const std::vector<std::string>& folder) const override {
        std::vector<GameFile> out;
        const Archive* archive = Get();
        if (!archive) return out;
        const std::string prefix = folder.empty() ? "" : Joined(folder) + "/";
        for (size_t i = 0; i < archive->Count() && out.size() < GameFs::kMaxListedFiles; ++i) {
            const std::string_view name = archive->Entry(i).name;
            if (name.size() <= prefix.size() || !SameEntryName(name.substr(0, prefix.size()), prefix)) continue;
            if (std::any_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), IsSeparator)) continue;
            out.push_back(Made(self, i, SameSpelling(name.substr(0, prefix.size()), prefix)));
        }
        return out;
    }

    Result<PathInput> Open(const GameFile& file, uint64_t largest) const override {
        const Archive* archive = Get();
        if (!archive) return Failure{ErrorKind::CannotOpen, Path() + " cannot be read"};
        bool exact = true;
        const auto index = Index(file.gamePath, exact);
        if (!index) return Failure{ErrorKind::CannotOpen, "no entry " + file.gamePath + " in " + Path()};
        auto entry = archive->OpenEntry(*index, largest);
        if (!entry) {
            Failure why = entry.Why();
            why.detail = Path() + ": " + why.detail;
            return why;
        }
        return PathInput(entry.Take());
    }

private:
    GameFile Made(const std::shared_ptr<const GameSource>& self, size_t index, bool exact) const {
        const ArchiveEntry entry = archive_->Entry(index);
        std::string name(entry.name);
        std::replace(name.begin(), name.end(), '\\', '/');
        return GameFile{self, Path() + "/" + std::string(entry.name), name, exact, entry.size, archive_->DataAt(index)};
    }

    mutable std::optional<Archive> archive_;
    mutable bool tried_;
};

class LooseSource : public GameSource {
public:
    explicit LooseSource(std::string folder) : GameSource(std::move(folder), false) {}

    std::optional<GameFile> Find(const std::shared_ptr<const GameSource>& self,
                                 const std::vector<std::string>& components,
                                 std::vector<std::string>* passedOver) const override {
        if (components.empty()) return std::nullopt;
        bool exact = true;
        fs::path at(Path());
        std::string gamePath;
        struct stat st {};
        for (size_t i = 0; i < components.size(); ++i) {
            const bool last = i + 1 == components.size();
            auto next = Match(at, components[i], !last, st);
            if (!next) return std::nullopt;
            exact = exact && *next == components[i];
            at /= *next;
            gamePath += (gamePath.empty() ? "" : "/") + *next;
        }
        if (!Inside(at.string())) {
            if (passedOver)
                passedOver->push_back(at.string() + " leads outside " + Path() + " (to " + RealPath(at.string()) +
                                      "); it is not read");
            return std::nullopt;
        }
        return GameFile{self, at.string(), gamePath, exact, static_cast<uint64_t>(st.st_size)};
    }

    std::vector<GameFile> List(const std::shared_ptr<const GameSource>& self,
                               const std::vector<std::string>& folder) const override {
        std::vector<GameFile> out;
        fs::path at(Path());
        std::string prefix;
        bool exact = true;
        struct stat st {};
        for (const std::string& part : folder) {
            auto next = Match(at, part, true, st);
            if (!next) return out;
            exact = exact && *next == part;
            at /= *next;
            prefix += *next + "/";
        }
        for (const std::string& name : Names(at)) {
            if (out.size() >= GameFs::kMaxListedFiles) break;
            const fs::path file = at / name;
            if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !Inside(file.string())) continue;
            out.push_back({self, file.string(), prefix + name, exact, static_cast<uint64_t>(st.st_size)});
        }
        return out;
    }

    Result<PathInput> Open(const GameFile& file, uint64_t) const override {
        auto opened = InputFile::Open(file.path);
        if (!opened) return opened.Why();
        return PathInput(opened.Take());
    }

private:
    // The entry of folder spelled like name: the exact spelling when it is
    // there, else the first entry in name order that differs only in case.
    std::optional<std::string> Match(const fs::path& folder, const std::string& name, bool wantFolder,
                                     struct stat& st) const {
        const auto isWanted = [&](const std::string& entry) {
            return ::stat((folder / entry).c_str(), &st) == 0 && (wantFolder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
        };
        if (isWanted(name)) return name;
        for (const std::string& entry : Names(folder))
            if (SameIgnoringCase(entry, name) && isWanted(entry)) return entry;
        return std::nullopt;
    }

    // The names in each folder looked into, read once, in name order.
    const std::vector<std::string>& Names(const fs::path& folder) const {
        auto [it, added] = names_.try_emplace(folder.string());
        if (added) {
            std::error_code ec;
            for (fs::directory_iterator d(folder, ec), end; !ec && d != end && it->second.size() < kMaxFolderNames;
                 d.increment(ec))
                it->second.push_back(d->path().filename().string());
            std::sort(it->second.begin(), it->second.end());
        }
        return it->second;
    }

    // Whether a file found, its links resolved, still lies inside the folder.
    bool Inside(const std::string& file) const {
        if (!rootKnown_) {
            rootKnown_ = true;
            realRoot_ = RealPath(Path());
        }
        const std::string real = RealPath(file);
        return !realRoot_.empty() && real.size() > realRoot_.size() &&
               real.compare(0, realRoot_.size(), realRoot_) == 0 &&
               (realRoot_ == "/" || real[realRoot_.size()] == '/');
    }

    static constexpr size_t kMaxFolderNames = 65536;
    mutable std::map<std::string, std::vector<std::string>> names_;
    mutable bool rootKnown_ = false;
    mutable std::string realRoot_;
};

}  // namespace

// ---- Files -------------------------------------------------------------------

bool GameFile::SameAs(const GameFile& other) const {
    if (!source || !other.source) return false;
    if (source->IsArchive() || other.source->IsArchive())
        return source.get() == other.source.get() &&
               (SameSpelling(gamePath, other.gamePath) || (dataAt == other.dataAt && size == other.size));
    std::error_code ec;
    return fs::equivalent(path, other.path, ec);
}

bool GameFile::InArchive() const { return source && source->IsArchive(); }

std::string GameFile::SourcePath() const { return source ? source->Path() : std::string(); }

bool IsGameTopFolderName(std::string_view name) {
    static constexpr const char* kTops[] = {"models", "players", "textures", "pics", "sprites", "env", "maps", "sound"};
    return std::any_of(std::begin(kTops), std::end(kTops), [&](const char* top) { return SameIgnoringCase(name, top); });
}

// ---- The filesystem ------------------------------------------------------------

struct GameFs::State {
    std::string gameFolder;
    std::shared_ptr<const GameSource> opened;  // used where it belongs in the order
    bool listed = false;
    std::vector<std::shared_ptr<const GameSource>> sources;

    void AddGame(const std::string& folder) {
        for (const std::string& archive : GameArchives(folder)) {
            if (opened && opened->IsArchive() && opened->Path() == archive)
                sources.push_back(opened);
            else
                sources.push_back(std::make_shared<ArchiveSource>(archive, std::nullopt));
        }
        if (opened && !opened->IsArchive() && opened->Path() == folder)
            sources.push_back(opened);
        else
            sources.push_back(std::make_shared<LooseSource>(folder));
    }
};

GameFs::GameFs() : state_(std::make_shared<State>()) { state_->listed = true; }

GameFs GameFs::OfGameFolder(const std::string& folder, std::shared_ptr<const GameSource> opened) {
    GameFs out;
    out.state_->listed = false;
    out.state_->gameFolder = Absolute(folder);
    out.state_->opened = std::move(opened);
    return out;
}

GameFs GameFs::OfFolder(const std::string& folder) {
    GameFs out;
    out.state_->sources.push_back(std::make_shared<LooseSource>(Absolute(folder)));
    return out;
}

const std::string& GameFs::GameFolder() const { return state_->gameFolder; }

const std::vector<std::shared_ptr<const GameSource>>& GameFs::Sources() const {
    State& s = *state_;
    if (!s.listed) {
        s.listed = true;
        s.AddGame(s.gameFolder);
        // An archive named by its content rather than its name is searched first.
        if (s.opened && std::none_of(s.sources.begin(), s.sources.end(), [&](const auto& p) { return p == s.opened; }))
            s.sources.insert(s.sources.begin(), s.opened);
        // A mod beside baseq2 falls back on it, as the engine does.
        const fs::path game(s.gameFolder);
        if (!SameIgnoringCase(game.filename().string(), "baseq2")) {
            std::error_code ec;
            for (fs::directory_iterator d(game.parent_path(), ec), end; !ec && d != end; d.increment(ec)) {
                std::error_code kind;
                if (SameIgnoringCase(d->path().filename().string(), "baseq2") && d->is_directory(kind)) {
                    s.AddGame(d->path().string());
                    break;
                }
            }
        }
    }
    return s.sources;
}

std::optional<GameFile> GameFs::Find(std::string_view gamePath) const {
    const std::string path(gamePath);
    return FindFirst(std::span(&path, 1));
}

std::optional<GameFile> GameFs::FindFirst(std::span<const std::string> gamePaths) const {
    for (const auto& source : Sources())
        for (const std::string& path : gamePaths)
            if (auto found = FindIn(source, path)) return found;
    return std::nullopt;
}

std::vector<GameFile> GameFs::FindAll(std::string_view gamePath) const {
    std::vector<GameFile> out;
    for (const auto& source : Sources())
        if (auto found = FindIn(source, gamePath)) out.push_back(std::move(*found));
    return out;
}

std::vector<GameFile> GameFs::List(std::string_view folder) const {
    std::vector<GameFile> out;
    for (const auto& source : Sources())
        for (GameFile& file : ListIn(source, folder)) {
            const std::string_view name = std::string_view(file.gamePath).substr(file.gamePath.rfind('/') + 1);
            const bool seen = std::any_of(out.begin(), out.end(), [&](const GameFile& o) {
                return SameIgnoringCase(std::string_view(o.gamePath).substr(o.gamePath.rfind('/') + 1), name);
            });
            if (!seen && out.size() < kMaxListedFiles) out.push_back(std::move(file));
        }
    std::sort(out.begin(), out.end(), [](const GameFile& a, const GameFile& b) { return a.gamePath < b.gamePath; });
    return out;
}

std::optional<GameFile> FindIn(const std::shared_ptr<const GameSource>& source, std::string_view gamePath,
                               std::vector<std::string>* passedOver) {
    const std::vector<std::string> components = GameComponents(gamePath);
    if (!source || components.empty()) return std::nullopt;
    return source->Find(source, components, passedOver);
}

std::vector<GameFile> ListIn(const std::shared_ptr<const GameSource>& source, std::string_view folder) {
    if (!source) return {};
    const std::vector<std::string> components = GameComponents(folder);
    // Only the top may have no components; anything else that has none is no game path.
    if (components.empty() && !folder.empty() && folder != "." && folder != "/") return {};
    return source->List(source, components);
}

Result<PathInput> OpenGameFile(const GameFile& file, uint64_t largest) {
    if (!file.source) return Failure{ErrorKind::CannotOpen, "no such file"};
    return file.source->Open(file, largest);
}

// ---- Files named by path -------------------------------------------------------

std::string LocatedFile::Folder() const {
    const size_t cut = file.gamePath.rfind('/');
    return cut == std::string::npos ? std::string() : file.gamePath.substr(0, cut);
}

namespace {

// A refusal from inside an archive, saying which archive.
Failure Within(const std::string& archive, Failure failure) {
    failure.detail = archive + ": " + failure.detail;
    return failure;
}

Result<LocatedFile> InArchive(const std::string& archivePath, Archive archive, const std::string& entry) {
    const std::string path = Absolute(archivePath);
    auto source = std::make_shared<ArchiveSource>(path, std::move(archive));
    const std::shared_ptr<const GameSource> place = source;
    auto file = FindIn(place, entry);
    if (!file) return Failure{ErrorKind::CannotOpen, "no entry " + entry + " in " + archivePath};
    return LocatedFile{GameFs::OfGameFolder(fs::path(path).parent_path().string(), place), std::move(*file), true};
}

// Where path leads when a leading part named like an archive is one: the
// way nearly every path through an archive looks, read without trying the
// whole path and each shorter one in turn. A part that is a folder so named
// is passed over; nothing when no part names an archive.
std::optional<Result<LocatedFile>> ThroughNamedArchive(const std::string& path) {
    for (size_t cut = path.find('/', 1); cut != std::string::npos; cut = path.find('/', cut + 1)) {
        if (!NamesArchive(std::string_view(path).substr(0, cut))) continue;
        size_t from = cut;
        while (from < path.size() && path[from] == '/') ++from;
        if (from == path.size()) return std::nullopt;
        std::string head = path.substr(0, cut);
        auto archive = Archive::Open(head);
        if (archive) return InArchive(head, archive.Take(), path.substr(from));
        if (std::filesystem::is_directory(head)) continue;
        // Refused once is enough: a hostile archive is not read twice.
        if (IsArchiveFile(head)) return Result<LocatedFile>(Within(head, archive.Why()));
        return std::nullopt;
    }
    return std::nullopt;
}

// Whether a leading part of the path is named like an archive.
bool NamesArchiveOnTheWay(const std::string& path) {
    for (size_t cut = path.find('/', 1); cut != std::string::npos; cut = path.find('/', cut + 1))
        if (NamesArchive(std::string_view(path).substr(0, cut))) return true;
    return false;
}

LocatedFile Loose(const std::string& path, uint64_t size) {
    const fs::path file(Absolute(path));
    // The nearest folder that marks the top of a game folder, below it.
    for (fs::path folder = file.parent_path(); folder.has_relative_path(); folder = folder.parent_path()) {
        if (!IsGameTopFolderName(folder.filename().string())) continue;
        const std::string game = folder.parent_path().string();
        auto source = std::make_shared<LooseSource>(game);
        const std::string gamePath = fs::path(file).lexically_relative(folder.parent_path()).string();
        return {GameFs::OfGameFolder(game, source), {source, file.string(), gamePath, true, size}, true};
    }
    GameFs own = GameFs::OfFolder(file.parent_path().string());
    GameFile self{own.Sources().front(), file.string(), file.filename().string(), true, size};
    return {std::move(own), std::move(self), false};
}

}  // namespace

Result<LocatedFile> LocateFile(const std::string& path) {
    if (auto named = ThroughNamedArchive(path)) return std::move(*named);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return Loose(path, static_cast<uint64_t>(st.st_size));
    if (auto inside = SplitAtFile(path)) {
        auto archive = Archive::Open(inside->file);
        if (archive) return InArchive(inside->file, archive.Take(), inside->rest);
        if (IsArchiveFile(inside->file)) return Within(inside->file, archive.Why());
    }
    // Nothing there (yet): where it would be; opening it says why not.
    return Loose(path, 0);
}

namespace {

// The game folder above a loose folder, and the folder's game path in it.
std::optional<std::pair<std::string, std::string>> GameOfFolder(const fs::path& folder) {
    for (fs::path at = folder; at.has_relative_path(); at = at.parent_path()) {
        if (!IsGameTopFolderName(at.filename().string())) continue;
        return std::pair(at.parent_path().string(), folder.lexically_relative(at.parent_path()).string());
    }
    return std::nullopt;
}

}  // namespace

Result<LocatedFolder> LocateFolder(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) return Failure{ErrorKind::CannotOpen, "is not a folder"};
        const fs::path folder(Absolute(path));
        if (auto game = GameOfFolder(folder)) {
            auto source = std::make_shared<LooseSource>(game->first);
            return LocatedFolder{GameFs::OfGameFolder(game->first, source), source, game->second, folder.string(), true};
        }
        GameFs own = GameFs::OfFolder(folder.string());
        auto source = own.Sources().front();
        return LocatedFolder{std::move(own), std::move(source), "", folder.string(), false};
    }
    // Inside an archive: its folder is there when an entry lies below it.
    std::string archivePath, inside;
    std::optional<Archive> archive;
    for (size_t cut = path.find('/', 1); cut != std::string::npos && !archive; cut = path.find('/', cut + 1)) {
        const std::string head = path.substr(0, cut);
        if (::stat(head.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        auto opened = Archive::Open(head);
        if (!opened) return Within(head, opened.Why());
        archivePath = head;
        inside = path.substr(cut + 1);
        archive = opened.Take();
    }
    if (!archive) return Failure{ErrorKind::CannotOpen, "No such file or directory"};
    const std::string absolute = Absolute(archivePath);
    const std::shared_ptr<const GameSource> source = std::make_shared<ArchiveSource>(absolute, std::move(archive));
    const std::vector<std::string> parts = GameComponents(inside);
    const std::string folder = Joined(parts);
    if (ListIn(source, folder).empty())
        return Failure{ErrorKind::CannotOpen, "no folder " + inside + " in " + archivePath};
    return LocatedFolder{GameFs::OfGameFolder(fs::path(absolute).parent_path().string(), source), source, folder,
                         absolute + (folder.empty() ? "" : "/" + folder), true};
}

Result<PathInput> OpenPathInput(const std::string& path, uint64_t largest) {
    // The common case first: a plain file, opened without looking for its game.
    if (!NamesArchiveOnTheWay(path)) {
        auto file = InputFile::Open(path);
        if (file) return PathInput(file.Take());
    }
    auto located = LocateFile(path);
    if (!located) return located.Why();
    return OpenGameFile(located.Value().file, largest);
}

}  // namespace meshara
