#pragma once
// Finding the picture a model names as its skin, as the engines find it.
// Files name skins the way the game found them ("models/monsters/x/skin.pcx",
// relative to the game's folder), with backslashes, in another letter case
// than the files on disk, or with an extension the picture beside the model
// no longer has (a .pcx name for a .png skin).
//
// A name that is a game path is looked for along the game's search path
// (formats/game_fs.h: the archives of the model's game folder, then its
// loose files, then baseq2's for a mod), then by its file name alone beside
// the model (in its own folder, or its own archive's). An absolute name, one
// climbing with "..", or a Windows drive path is the author's own disk: only
// its file name is looked for beside the model; so is every name of a model
// that lies in no game folder. At each place the name's own extension first
// (when it names a picture), then .png, .tga, .jpg, .pcx and .bmp.

#include <memory>
#include <string>
#include <vector>

#include "formats/game_fs.h"
#include "formats/skin_decoder.h"
#include "formats/skin_image.h"

namespace meshara {

// Whether a skin name is a path inside the game's folders: not absolute, no
// drive, no ".." component.
bool SkinNameIsGamePath(const std::string& skinName);

// The picture a game file holds, read within the bounds every skin is read in, or why not.
Result<std::shared_ptr<const SkinImage>> ReadGameSkin(const GameFile& file, int64_t maxPixels = kMaxSkinPixels);

struct FoundSkin {
    std::string path;                          // where the picture was read from; empty when none was usable
    std::shared_ptr<const SkinImage> picture;  // null when none was usable
    std::vector<std::string> notes;            // files that were there but could not be read, and why
};

// The first kMaxSkinNamesSearched names are tried at most (four times the
// skins the game loads), so a file naming half a million costs no more.
inline constexpr size_t kMaxSkinNamesSearched = 128;

// One model's skin search: its game's archives are opened once, however
// many names are looked for.
class SkinSearch {
public:
    // For the model at modelPath (a file, or a path through an archive); a
    // model made in memory (an empty path), or one whose file cannot be
    // found, searches nowhere.
    explicit SkinSearch(const std::string& modelPath);
    // For a model located already.
    explicit SkinSearch(LocatedFile model) : model_(std::move(model)), found_(true) {}

    // Every file the name may mean, in the order they are tried, each once;
    // files passed over because they lead outside the folder they were
    // looked for in are said in passedOver, when given.
    std::vector<GameFile> Candidates(const std::string& skinName, std::vector<std::string>* passedOver = nullptr) const;
    // The first candidate of the name that decodes into at most maxPixels.
    FoundSkin Find(const std::string& skinName, int64_t maxPixels = kMaxSkinPixels) const;
    // The same, passing over the files in tried (which it adds to): an
    // archive's entry is read once however many names lead to it.
    FoundSkin Find(const std::string& skinName, int64_t maxPixels, std::vector<GameFile>& tried) const;
    // The first name, in the model's order, with a candidate that decodes.
    FoundSkin Find(const std::vector<std::string>& skinNames, int64_t maxPixels = kMaxSkinPixels) const;
    // The files beside the model (its folder, or its folder in its archive), in name order.
    std::vector<GameFile> FilesBeside() const;

    // The candidates as Candidates gives them, each with where it was found.
    struct Candidate {
        GameFile file;
        bool beside;  // found by its file name beside the model, not at its game path
    };
    std::vector<Candidate> Marked(const std::string& skinName, std::vector<std::string>* passedOver = nullptr) const;
    // The model's file and the game it lies in; empty when it was not found.
    const LocatedFile& Model() const { return model_; }

private:
    LocatedFile model_;
    bool found_ = false;
};

// The same for one search only.
FoundSkin FindSkin(const std::string& modelPath, const std::string& skinName, int64_t maxPixels = kMaxSkinPixels);
FoundSkin FindSkin(const std::string& modelPath, const std::vector<std::string>& skinNames,
                   int64_t maxPixels = kMaxSkinPixels);

}  // namespace meshara
