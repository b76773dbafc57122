#pragma once
// Mending what the check finds without changing what the game draws, and
// the edits modders otherwise make in a hex editor, for meshara-cli fix and
// the viewer's Save As MD2 alike: a model file's bytes in, new bytes out
// with what was mended and what could not be.
//
// Everything not mended keeps its meaning exactly: kept vertices keep their
// bytes in every frame, kept triangles their corners and texture
// coordinates in order, frames their names, scales and translations. A file
// with nothing to mend comes out byte for byte as it went in.

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "io/result.h"
#include "session/check.h"

namespace meshara {

// The check's codes the mend knows, in the order it mends them.
const std::vector<std::string>& MendableCodes();

// What the skin search wore for one of a model's skin names, as the check judges it.
struct SkinFound {
    bool found = false;
    std::string code;               // "skin-not-at-game-path", "skin-letter-case", or empty when the name is right
    std::string name;               // the name that finds the picture where the game looks, '/' between folders
    int32_t width = 0, height = 0;  // the picture's size; 0 when it cannot be read
};

// The skin search of the model at modelPath (a file, or through an archive) for each name.
std::vector<SkinFound> LookUpSkins(const std::string& modelPath, const std::vector<std::string>& skinNames);

struct MendOptions {
    std::set<std::string> only;          // the codes to mend; empty for every one
    bool glCommandsFromTriangles = false;  // rebuild GL commands that do not draw the triangles
    std::vector<SkinFound> skins;        // per skin name, from LookUpSkins; none when not looked for

    // Edits, applied after the mends in this order; each refused past a limit.
    std::vector<std::pair<int32_t, std::string>> setSkins;  // skin N (from 0) gets the name
    std::vector<int32_t> removeSkins;                       // by their numbers before any is removed
    std::vector<std::string> addSkins;
    std::vector<std::pair<std::string, std::string>> renameAnimations;  // old animation name, new one
    bool playerNames = false;                         // a body of the engine's 198 frames gets its table's names
    std::optional<double> scale;                      // every position times this
    std::optional<std::array<double, 3>> translate;   // then moved by this
};

struct MendReport {
    std::vector<uint8_t> bytes;  // the whole file, the input's own bytes when nothing changed
    bool changed = false;
    struct Line {
        std::string code;  // a check code, or the edit's option ("set-skin")
        int32_t count = 0;
        std::string what;  // "2 triangles dropped"
    };
    std::vector<Line> mended;
    std::vector<Line> edited;        // the edits asked for, by option ("set-skin")
    std::vector<Finding> notMended;  // findings of the mendable codes left as they were, and why
    std::vector<std::string> notes;  // what a mend did that the user should know

    // One line for a status bar: what was mended, or that nothing needed to be.
    std::string Summary() const;
};

// The model's bytes mended by the options; DoesNotFit naming the edit that
// would break a limit, or the reason the bytes are no model.
Result<MendReport> MendMd2(std::span<const uint8_t> bytes, const MendOptions& options);

// The bytes of the model file at path (loose, or through an archive), read
// within the bounds every model is read in.
Result<std::vector<uint8_t>> ReadModelBytes(const std::string& path);

// The model at path mended, its skins looked for from where it lies: what fix writes.
Result<MendReport> MendModelFile(const std::string& path, MendOptions options);

}  // namespace meshara
