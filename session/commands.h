#pragma once
// The handlers behind every menu item, accelerator and options-bar button.
// Each checks its selection first and does nothing without one; after a
// change it repaints, then refreshes the options bar (with the exceptions
// noted per handler). Nothing here knows about windows: the user interface
// is reached through UiPort.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "render/scene.h"
#include "session/document.h"
#include "session/messages.h"
#include "session/scene_setup.h"
#include "session/skin_layout.h"
#include "session/ui_port.h"

namespace meshara {

class Commands {
public:
    Commands(Document& document, ViewState& view, UiPort& ui) : doc_(document), view_(view), ui_(ui) {}

    // Runs the handler of a command id (session/command_table.h); false
    // when the id has none.
    bool Run(int id);

    // ---- Rendering menu and Help ----
    // Filters and multi-pass repaint through SpinStep and change nothing when
    // the value is already in force.
    void SetTextureFilter(int32_t mode);
    void SetMultiPassMode(int32_t mode);
    void ToggleWireframe();  // repaints only
    void ToggleEnvironmentMap();
    void EditBackgroundColor();
    void ShowAbout();

    // ---- Models ----
    void OpenModel();
    // Opens a model from a path without a file dialog (command line); false
    // when refused (the refusal has been shown). A model inside an archive
    // comes with the skin it names as its texture map when the game's search
    // path has it; a path to an archive itself asks which of its models to
    // open (UiPort::ChooseArchiveModels). A glTF or OBJ file opens as an MD2
    // made of it in memory, unless convertOthers is false.
    bool OpenModelPath(std::string path, bool convertOthers = true);
    // Opens a player's folder as the game dresses it: the body in its first
    // skin, then its weapon (session/player.h); false when refused.
    bool OpenPlayerPath(const std::string& path);
    // The weapon the current model's player holds: one of PlayerWeapons'
    // names, or "none"; it takes the old weapon's place in the Model List.
    void ChooseWeapon(const std::string& weapon);
    // File > Open Player...: a folder chosen, opened, lit and framed.
    void OpenPlayerAndShow();
    void RemoveModel();
    void ToggleModelVisible();
    void SelectModel(int index);  // from the Model List selection
    void NextFrame();
    void PreviousFrame();

    // ---- Skin maps ----
    void LoadMap(MapKind row);
    void ClearMap(MapKind row);
    void ToggleMap(MapKind row);

    // ---- Lights ----
    void NewLight();
    void DeleteLight();
    void ToggleLight();
    void EditLightProperties();
    void SelectGlobalLight(int index);  // from the Global Light List selection
    void AddModelLight();
    void RemoveModelLight();
    void ToggleModelLight();
    void SelectModelLight(int index);  // from the Model Lights selection

    // ---- Light files ----
    void ExportLight();  // neither repaints nor refreshes
    void ImportLight();  // refreshes, then repaints

    // ---- Extras: playback, framing, saving the view, files from outside ----
    // Plays the animation holding the shared frame, looping inside it, or
    // stops; the frame then is a whole frame of the file.
    void TogglePlayback();
    void StopPlayback();
    // Moves playback on by the time passed; only redraws (the options bar
    // shows nothing of the frame).
    void AdvancePlayback(double seconds);
    // The first frame of the next or previous animation, wrapping round.
    void NextAnimation();
    void PreviousAnimation();
    // The first frame of the playback model's animation at index (Rendering >
    // Animation); playback goes on from there when it was playing.
    void GoToAnimation(int index);
    // Playback at speed times the file's rate (1 = 10 frames a second).
    void SetPlaybackSpeed(double speed);
    // File > Open Model...: Open Model, then the model is lit and framed as
    // one opened from outside the options bar.
    void OpenModelAndShow();
    // File > Save As MD2...: the MD2 the current model, opened from glTF or
    // OBJ, was made into, written where the user chooses.
    void SaveAsMd2();
    void FitModels();   // every visible model in view, start orientation
    void ResetView();   // the start camera exactly
    // The view's keys (view/camera.h): steps right and down, each a
    // 10-pixel drag; a turn never starts a spin.
    void TurnView(int right, int down);
    void MoveView(int right, int down);
    void ZoomView(bool in);
    void SaveView();    // the view's pixels as a PNG file
    // File > Save Animation...: the animation holding the shared frame, a
    // picture a frame at the playback speed's rate, drawn by the view as it
    // is (camera, maps, lights, show items) into a looping GIF or WebP,
    // with progress and a way to cancel; nothing is written when cancelled.
    void SaveAnimation();
    // Rendering > Show: one item on or off; repaints only.
    void ToggleShow(bool ShowItems::*item);
    // Rendering > Show > Skin Layout: its window shown or hidden.
    void ToggleSkinLayout();
    // The window closed by its own close box.
    void SkinLayoutClosed();
    // Sends the window the current model's layout when what it shows (the
    // model, its texture map, the frame, the triangle pointed at) changed
    // since it was last sent; the window asks on every repaint.
    void SyncSkinLayout();
    // The pointer at pixel (x, y) of the layout shown, or off it (x < 0):
    // the triangle there is picked out in the layout and the view.
    void PointAtLayout(int x, int y);
    // The same for the pointer at the view's pixel (x, y) (its logical
    // pixels, as the mouse measures them): the current model's triangle
    // drawn nearest there, while the layout is shown.
    void PointAtView(int x, int y);
    // The window's Save: the layout as shown, without the triangle picked out, as a PNG file.
    void SaveSkinLayout();
    // File > Check Models...: every open model's findings (session/check.h),
    // a line each, in the findings window; brought up to date whenever the
    // models change while it is open.
    void CheckModels();
    // A line of the findings window chosen: its model becomes the current
    // one and, for a finding about a frame, that frame is shown.
    void ChooseFinding(int index);
    void CloseFindings() { findingsOpen_ = false; }
    void LoadSkinFromModel();  // the first skin the current model names that can be found, as its texture map
    // One of SkinChoices(current model) as its texture map (File > Skin).
    void ChooseSkin(const SkinChoice& choice);
    // Files from a drop or the command line, told apart by their content:
    // models open, light files are imported, pictures load into row (the
    // texture map when none is given) of the current model; archives ask
    // which of their models to open. Anything else is refused as a model,
    // or as a picture when dropped on a map row.
    // Models go first, so a picture dropped with its model lands on it.
    // Each model opened is lit (LightOpened), and the view then fits them
    // all; the files refused are told in one message.
    void OpenFiles(const std::vector<std::string>& paths, std::optional<MapKind> row = std::nullopt);
    bool ImportLightPath(std::string path);
    bool LoadMapPath(MapKind row, std::string path);
    // Gives a model opened from outside the options bar a light: preferred
    // when given, else the light selected in the global list, else a new
    // light "Key" (session/scene_setup.h), which becomes the selection.
    void LightOpened(ModelSlot& slot, LightRecord* preferred = nullptr);

    // Menu item state, evaluated when a menu is shown; each command's rule
    // is in its row of the command table.
    struct ItemState {
        bool enabled = true;
        bool checked = false;
        bool setCheck = true;  // false: leave the check mark as it is
    };
    // The Texture and Multi-Pass rules also call SpinStep each time they run.
    ItemState UpdateRule(int id);
    static bool HasUpdateRule(int id);
    // The state a rule gives, without running it: for keeping check marks
    // true between the times a menu is shown.
    ItemState StateOf(int id) const;
    // The model whose animations playback follows (session/scene_setup.h).
    const Md2Model* AnimationModel() const;

    // The folder of the last file opened or saved in this run; file dialogs open there.
    const std::string& LastFolder() const { return lastFolder_; }
    // What the update rules read.
    const Document& Doc() const { return doc_; }
    const ViewState& View() const { return view_; }

private:
    void ChooseAndOpenModel(bool convertOthers);
    void Changed();  // RequestRedraw, then RefreshOptionsBar
    // A refused file: told at once, or kept for one message while files from
    // outside are being opened.
    void Refuse(FileKind kind, const Failure& failure, const std::string& path);
    struct Refusal {
        FileKind kind;
        Failure failure;
        std::string path;
    };
    bool Choose(FileDialogRequest request, std::string& path, int& filterIndex);
    // Writes the PNG encode makes to path, unless path is a file the document
    // was read from; says why not (noPicture when encode has none to give).
    void SavePng(const std::string& path, const std::function<std::optional<std::vector<uint8_t>>()>& encode,
                 const char* noPicture);
    void Remember(const std::string& path);
    const Md2Animation* AnimationAt(int32_t frame) const;
    int32_t NextInLoop(int32_t frame) const;
    void StepAnimation(int direction);
    bool OpenArchiveModels(const std::string& path);
    void RefreshFindings(bool always);

    Document& doc_;
    ViewState& view_;
    UiPort& ui_;
    std::string lastFolder_;
    std::vector<Refusal>* refusals_ = nullptr;  // set while OpenFiles runs
    // What the Skin Layout window was last sent, to tell when it is out of date.
    struct LayoutShown {
        std::weak_ptr<const Md2Model> model;
        std::weak_ptr<const SkinImage> map;
        int32_t frame = -1, triangle = -1;
        int scale = 1;
        bool sent = false;
    } layoutShown_;
    SkinLayoutRequest LayoutRequest(int32_t highlight) const;
    // The findings window: whether it is open, which models its lines are of
    // (each slot with the model it held), and what each line leads to.
    struct FindingLine {
        const ModelSlot* slot;
        std::optional<int32_t> frame;
    };
    bool findingsOpen_ = false;
    std::vector<std::pair<const ModelSlot*, const Md2Model*>> checked_;
    std::vector<FindingLine> findingLines_;
};

// A path without any "." (folders included) gets the extension appended.
std::string WithDefaultExtension(std::string path, const char* extension);

}  // namespace meshara
