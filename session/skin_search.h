#pragma once
// Finding the picture a model names as its skin, as the engines find it.
// Files name skins the way the game found them ("models/monsters/x/skin.pcx",
// relative to the game's folder), with backslashes, in another letter case
// than the files on disk, or with an extension the picture beside the model
// no longer has (a .pcx name for a .png skin).
//
// For each name: backslashes are separators and every path component
// matches case-insensitively. The places tried, in order: the name as given
// relative to the model's folder, then relative to the game's folder when
// the model lies inside the name's first folder (a model in
// .../baseq2/players/ogro naming players/ogro/x.pcx looks in .../baseq2,
// never higher), then its file name alone beside the model (SkinPlaces). An
// absolute name, one climbing with "..", or a Windows drive path is the
// author's own disk: only its file name is looked for beside the model. At
// each place the name's own extension first (when it names a picture), then
// .png, .tga, .jpg, .pcx and .bmp; only regular files are read.
//
// A model inside a game archive ("baseq2/pak0.pak/players/male/tris.md2")
// names its skins by game path, and they are looked for along the search
// path the engines build for the archive's folder: its archives (pakN.pak
// by number, highest first, then the other .pak, .pk3 and .zip files,
// later names first), then the loose files in the folder, then the file
// name alone beside the model in its own archive.

#include <memory>
#include <string>
#include <vector>

#include "formats/skin_decoder.h"
#include "formats/skin_image.h"

namespace meshara {

// Where a name is looked for: a folder (or an archive, or a folder inside
// one) and the name's components below it.
struct SkinPlace {
    std::string folder;
    std::vector<std::string> components;  // at least one; the last is the file
};

// Whether a skin name is a path inside the game's folders: not absolute, no
// drive, no ".." component.
bool SkinNameIsGamePath(const std::string& skinName);

// The places a skin name is looked for from a model at modelPath, in order.
// The one place that decides how far a name may reach.
std::vector<SkinPlace> SkinPlaces(const std::string& modelPath, const std::string& skinName);

// The archives of a game folder in the order the engines search them, as
// paths; at most kMaxGameArchives of them.
inline constexpr size_t kMaxGameArchives = 64;
std::vector<std::string> GameArchives(const std::string& folder);

// Every regular file or archive entry the name may mean, in the order they
// are tried, each once.
std::vector<std::string> SkinCandidates(const std::string& modelPath, const std::string& skinName);

struct FoundSkin {
    std::string path;                          // where the picture was read from; empty when none was usable
    std::shared_ptr<const SkinImage> picture;  // null when none was usable
    std::vector<std::string> notes;            // files that were there but could not be read, and why
};

// The first candidate of the name that decodes into at most maxPixels.
FoundSkin FindSkin(const std::string& modelPath, const std::string& skinName, int64_t maxPixels = kMaxSkinPixels);

// The first name, in the model's order, with a candidate that decodes; only
// the first kMaxSkinNamesSearched names are tried (four times the skins the
// game loads), so a file naming half a million costs no more.
inline constexpr size_t kMaxSkinNamesSearched = 128;
FoundSkin FindSkin(const std::string& modelPath, const std::vector<std::string>& skinNames,
                   int64_t maxPixels = kMaxSkinPixels);

}  // namespace meshara
