#pragma once
// Checking models before a mod is released: what the engine, its tools and
// its players will meet in a model, a player's folder, an archive or a
// folder walked whole, as findings with stable codes (the man page and the
// user guide say what each means to the game and how to mend it).
//
// Every model is read through the game filesystem (formats/game_fs.h), so
// its skins are looked for where the engine looks, and each player's
// folder is judged as the game dresses a player (session/player.h). A file
// that cannot be read is a finding, never a stop. Each model is bounded as
// a thumbnail is: its header's counts are judged before the rest is read,
// its pictures have a size they may not pass, and its check a time it may
// not pass, each model on its own, so one file never ends the whole run.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/animations.h"

namespace meshara {

enum class Severity { Error, Warning, Note };

// "error", "warning", "note".
const char* SeverityName(Severity severity);

struct Finding {
    std::string code;  // "skin-missing"
    Severity severity = Severity::Note;
    std::string message;
    std::optional<int32_t> frame;  // the frame it is about, when it is about one
};

// One model as checked: a model file, or a player's folder (its body's
// counts, the player's skins).
struct CheckedModel {
    std::string path;      // as the programs show it: through an archive as ARCHIVE/ENTRY
    bool player = false;   // a player's folder
    std::string drawn;     // the path that draws it: the model, or the player's folder; empty when refused
    int32_t frames = 0, vertices = 0, triangles = 0;
    std::vector<std::string> skins;  // the names the model gives its skins, or the player's skins (UTF-8)
    std::vector<Md2Animation> animations;
    std::vector<Finding> findings;

    int32_t Count(Severity severity) const;
};

// One thing to check, as found at the paths given.
struct CheckTarget {
    enum class Kind { Model, Player, Unreadable } kind = Kind::Model;
    std::string path;
    std::string problem;  // Unreadable: why
};

// What the paths hold, in path order, each once: a model, a player's
// folder, an archive's models and players (read in place), or a folder's,
// walked whole (its archives read in place; links to folders not followed).
std::vector<CheckTarget> FindCheckTargets(std::span<const std::string> paths);

struct CheckLimits {
    std::chrono::milliseconds time{2000};              // for one target's check
    int64_t maxSkinPixels = int64_t{4096} * 4096;      // a picture larger is not decoded
};

// Checks one target: a model gives one record; a player's folder one for
// the player, then one for each of its weapons.
std::vector<CheckedModel> CheckOne(const CheckTarget& target, const CheckLimits& limits = {});

// The engine's own limits, which the findings are measured against.
namespace engine {
constexpr int32_t kMaxVertices = 2048, kMaxTriangles = 4096, kMaxFrames = 512, kMaxSkins = 32;
constexpr int32_t kMaxSkinHeight = 480;                    // a model's header skin height
constexpr int32_t kMaxPictureWidth = 640, kMaxPictureHeight = 480;  // a PCX the picture loader takes
}  // namespace engine

}  // namespace meshara
