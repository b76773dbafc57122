#pragma once
// What the command line draws or writes, made ready in one step: the model
// opened (through the game filesystem, glTF and OBJ as the MD2 convert makes
// of them), its frame chosen, its skin found, its maps and lights loaded,
// the camera fitted, and everything worth telling collected as notes.
// Nothing is printed here: the commands say what they are told.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "formats/md2_file.h"
#include "formats/skin_decoder.h"
#include "io/result.h"
#include "session/document.h"
#include "session/messages.h"
#include "session/scene_setup.h"

namespace meshara {

// How the camera is brought to the model.
enum class Framing {
    Start,         // the camera the viewer starts with
    Front,         // every visible model in view from the start orientation, as Fit Models does
    ThreeQuarter,  // turned a little and seen from a little above, as one holds a model up to look
};

struct PrepareRequest {
    std::string model;
    std::string frame;      // a number or a frame's name; empty for frame 0
    std::string animation;  // the first frame of this animation instead
    // The skin the model names as its texture, when no texture map is given:
    // every name in turn, or only skin when one is given.
    bool namedSkin = false;
    std::optional<int32_t> skin;
    const char* withoutSkin = "it is drawn untextured";  // what a note says happens when none is found
    int64_t maxSkinPixels = kMaxSkinPixels;
    std::array<std::string, kMapKinds> maps;  // map files by MapKind; empty = none
    // Lights in order; an empty path stands for a light with the "New Light" values.
    std::vector<std::string> lights;
    // For a player's folder (session/player.h): its skin, by name or number
    // in its list (empty: the first), and the weapon it holds, as
    // PlayerWeapons names them or "none" (empty: weapon.md2).
    std::string playerSkin;
    std::string weapon;
    bool needsTriangles = false;                // refused without triangles, not only without frames
    std::optional<Md2Counts> most;              // refused, before it is read, when the header says more
    const char* mostFor = "this command draws";  // in that refusal: "more than the 2048 a thumbnail draws"
    Framing framing = Framing::Start;
    FitSpan fitSpan = FitSpan::Frame;  // a still to its frame, an animated picture to its animation
    int width = 0, height = 0;  // the picture the camera is fitted to
};

struct PreparedModel {
    Document doc;
    ViewState view;
    ModelSlot* slot = nullptr;       // the model, in doc (a player's body)
    ModelSlot* weapon = nullptr;     // a player's weapon, in doc, when it holds one
    std::vector<std::string> notes;  // to tell once the command has succeeded
    // Every file read: the model, its skin, maps and light files. No output
    // may be one of these.
    std::vector<std::string> inputs;
};

// Why a model could not be made ready, in the form the command reports it.
struct PrepareProblem {
    enum class As {
        Refusal,   // a file was refused: the message for its kind, and the failure
        Unusable,  // the file was read but cannot be used: what
        Usage,     // the arguments do not fit the model: what
    } as = As::Refusal;
    FileKind kind = FileKind::Model;
    Failure failure;
    std::string path;
    std::string what;
};

std::variant<PreparedModel, PrepareProblem> PrepareModel(const PrepareRequest& request);

// Appends light to the global list and an enabled entry for it to every
// model: a player's weapon is lit as its body is.
void LightEveryModel(Document& doc, std::unique_ptr<LightRecord> light);

// The frame that text names: its number, or the name of one of the model's
// frames (as text, spaces around it ignored). The problem, or empty.
std::string ResolveFrame(const Md2Model& model, const std::string& text, int32_t& frame);

// The first frame of the animation named text. The problem, or empty.
std::string ResolveAnimation(const Md2Model& model, const std::string& text, int32_t& frame);

// Turns the camera as Framing::ThreeQuarter does and fits the turned
// models (over the animation holding the shared frame) into width x height.
void FitThreeQuarter(Camera& camera, const ModelList& models, int width, int height,
                     FitSpan span = FitSpan::Frame);

}  // namespace meshara
