#pragma once
// The game's files as the engine finds them, and the one way every path the
// programs take is opened.
//
// A game folder ("baseq2", or a mod's folder) is searched in the engine's
// order: its numbered pakN.pak archives, the highest number first; then its
// other archives (.pak, .pk3, .zip), later names first; then its loose
// files. A mod's folder beside a "baseq2" folder searches baseq2 the same
// way after itself. A game path ("models/monsters/x/skin.pcx") matches in
// any letter case, '/' and '\\' alike; within each place its exact spelling
// is taken first.
//
// The game folder of a file: for one inside an archive, the archive's
// folder; for a loose file, the parent of its nearest folder named (in any
// letter case) models, players, textures, pics, sprites, env, maps or
// sound. A file in none of these has no game: only its own folder is
// searched beside it.
//
// Loose files are read only from inside the folder they are looked for in:
// one whose real path (links resolved) leaves it is passed over. Archives
// are opened once per filesystem, when first searched, and their entries
// read in place. A filesystem is used from one thread at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/path_input.h"
#include "io/result.h"

namespace meshara {

// One place the engine looks: an archive, or a folder's loose files.
class GameSource;

// A file found in one of the places.
struct GameFile {
    std::shared_ptr<const GameSource> source;
    std::string path;       // as the programs show it: the loose file, or ARCHIVE/ENTRY
    std::string gamePath;   // where it lies in its source, as spelled there, '/' between folders
    bool exactCase = true;  // spelled there just as it was asked for
    uint64_t size = 0;
    uint64_t dataAt = 0;    // in an archive, where the entry's data starts: entries of several names may share it

    // Whether both are the same file: one entry of one archive (or entries
    // sharing their data), or one file on disk.
    bool SameAs(const GameFile& other) const;
    bool InArchive() const;
    // The path of the archive or the folder it was found in.
    std::string SourcePath() const;
};

// The folder names that mark a game folder's top, as the engine lays it out.
bool IsGameTopFolderName(std::string_view name);

class GameFs {
public:
    // Searches nothing.
    GameFs();
    // The places of a game folder, in the engine's order (and baseq2's after
    // a mod's). An archive already opened is used again where it belongs.
    static GameFs OfGameFolder(const std::string& folder, std::shared_ptr<const GameSource> opened = nullptr);
    // The loose files of one folder alone: for a file that lies in no game.
    static GameFs OfFolder(const std::string& folder);

    // The game folder's path; empty for OfFolder's and the default.
    const std::string& GameFolder() const;
    // Every place, in the order they are searched (the game folder's
    // archives are listed the first time this or a search needs them).
    const std::vector<std::shared_ptr<const GameSource>>& Sources() const;

    // The file at a game path: in the first place that has it.
    std::optional<GameFile> Find(std::string_view gamePath) const;
    // The first of several game paths: every one in a place before the next place.
    std::optional<GameFile> FindFirst(std::span<const std::string> gamePaths) const;
    // Every place that has it, in order: the first is the one the engine takes.
    std::vector<GameFile> FindAll(std::string_view gamePath) const;
    // The files directly in a game folder ("players/male"; "" for the top),
    // across every place, the first of each name (any case), in name order;
    // at most kMaxListedFiles.
    std::vector<GameFile> List(std::string_view folder) const;

    static constexpr size_t kMaxListedFiles = 4096;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// The same searches in one place alone. A loose file passed over because its
// real path leaves the place is said in passedOver, when given.
std::optional<GameFile> FindIn(const std::shared_ptr<const GameSource>& source, std::string_view gamePath,
                               std::vector<std::string>* passedOver = nullptr);
std::vector<GameFile> ListIn(const std::shared_ptr<const GameSource>& source, std::string_view folder);

// Opens a file found. An archive entry larger than largest is refused before
// any of it is read.
Result<PathInput> OpenGameFile(const GameFile& file, uint64_t largest = kAnyEntrySize);

// A file named by its path, with the game it lies in: the filesystem of its
// game folder, or of its own folder when it lies in none.
struct LocatedFile {
    GameFs fs;
    GameFile file;
    bool inGame = false;  // whether fs is a game folder's

    // The folder it lies in, as a game path in its source ("" at the top).
    std::string Folder() const;
};

// Where the path leads: a loose file (which need not be there: opening it
// then says why not), or an entry of an archive the path runs through
// ("baseq2/pak0.pak/players/male/tris.md2"), matched in any letter case.
// CannotOpen, with the reason, when the archive has no such entry or
// cannot be read.
Result<LocatedFile> LocateFile(const std::string& path);

// A folder named by its path: a loose folder, or a folder inside an archive
// the path runs through ("baseq2/pak0.pak/players/male"), with the game it
// lies in, as LocateFile finds a file's.
struct LocatedFolder {
    GameFs fs;
    std::shared_ptr<const GameSource> source;  // the archive or loose folder it lies in
    std::string folder;                        // its game path in source ("" at the top)
    std::string path;                          // as the programs show it
    bool inGame = false;
};

// Where the path leads when it names a folder; CannotOpen, with the
// reason, when it names no folder (a file, nothing, an archive's entry).
Result<LocatedFolder> LocateFolder(const std::string& path);

}  // namespace meshara
