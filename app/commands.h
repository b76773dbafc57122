#pragma once
// The handlers behind every menu item, accelerator and options-bar button.
// Each checks its selection first and does nothing without one; after a
// change it repaints, then refreshes the options bar (with the exceptions
// noted per handler). Nothing here knows about windows: the user interface
// is reached through UiPort.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/document.h"
#include "app/ui_port.h"
#include "io/load_result.h"
#include "skins/skin_image.h"

namespace meshara {

// Reads a skin picture and makes its texture; the viewer passes
// LoadSkinImage, tests pass a loader that needs no GL.
using SkinLoader = std::function<LoadResult<std::unique_ptr<SkinImage>>(const std::string& path)>;

// The four map rows of the options bar, top to bottom.
enum class MapRow { Texture = 0, Diffusion = 1, Specularity = 2, Glow = 3 };

class Commands {
public:
    Commands(Document& document, ViewState& view, UiPort& ui, SkinLoader loadSkin)
        : doc_(document), view_(view), ui_(ui), loadSkin_(std::move(loadSkin)) {}

    // Runs the handler of a command id; false when the id has none.
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
    // Opens a model from a path without a dialog (command line); false when refused
    // (the refusal has been shown).
    bool OpenModelPath(std::string path);
    void RemoveModel();
    void ToggleModelVisible();
    void SelectModel(int index);  // from the Model List selection
    void NextFrame();
    void PreviousFrame();

    // ---- Skin maps ----
    void LoadMap(MapRow row);
    void ClearMap(MapRow row);
    void ToggleMap(MapRow row);

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

    // Menu item state, evaluated when a menu is shown.
    struct ItemState {
        bool enabled = true;
        bool checked = false;
        bool setCheck = true;  // false: leave the check mark as it is
    };
    // The Texture and Multi-Pass rules also call SpinStep each time they run.
    ItemState UpdateRule(int id);
    static bool HasUpdateRule(int id);

private:
    void Changed();  // RequestRedraw, then RefreshOptionsBar

    Document& doc_;
    ViewState& view_;
    UiPort& ui_;
    SkinLoader loadSkin_;
};

// A path without any "." (folders included) gets the extension appended.
std::string WithDefaultExtension(std::string path, const char* extension);

}  // namespace meshara
