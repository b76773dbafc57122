#pragma once
// What the command handlers need from the user interface. The wx frame
// implements it; tests use a recording fake, so every handler runs without
// a display.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/light_record.h"
#include "render/scene.h"
#include "session/skin_layout.h"

namespace meshara {

struct FileDialogRequest {
    std::string title;
    // The filter in the "Text|*.ext|Text|*.ext" form the file dialogs take.
    std::string wildcard;
    std::string initialName;
    bool forSaving = false;
    std::string folder;  // where the dialog opens; empty leaves it to the toolkit
};

struct PixelSize {
    int width = 0, height = 0;
};

class UiPort {
public:
    virtual ~UiPort() = default;

    // Repaints the main window and its children before returning.
    virtual void RequestRedraw() = 0;
    // Repaints the view alone, and the status line if its text changed,
    // before returning: a playback tick moves the picture and nothing else.
    virtual void RedrawView() = 0;
    // Rebuilds the options bar from the document; never fires a selection handler.
    virtual void RefreshOptionsBar() = 0;
    // Turns the models by the view's spin step and repaints the view.
    virtual void SpinStep() = 0;

    // The chosen path and the 0-based index of the filter in use; false when cancelled.
    virtual bool ChooseFile(const FileDialogRequest& request, std::string& path, int& filterIndex) = 0;
    // A folder chosen, starting in folder; false when cancelled.
    virtual bool ChooseFolder(const std::string& title, const std::string& folder, std::string& path) = 0;
    // The models inside the archive at archivePath (their names as stored),
    // to choose among: the indices of those chosen, in the list's order;
    // none when cancelled.
    virtual std::vector<size_t> ChooseArchiveModels(const std::string& archivePath,
                                                    const std::vector<std::string>& models) = 0;
    // An OK-only message box with the program's name as caption; detail,
    // when not empty, is its secondary text (which file, and why).
    virtual void ShowMessage(const std::string& text, const std::string& detail) = 0;

    // The Background Color dialog on rgb; apply(rgb) runs for each Apply.
    // True when closed with OK (rgb then holds the entered colour).
    virtual bool RunBackgroundColorDialog(float rgb[3], const std::function<void(const float*)>& apply) = 0;
    // The Light Properties dialog on light; apply runs after each Apply
    // has copied the fields into light. True when closed with OK.
    virtual bool RunLightPropertiesDialog(LightRecord& light, const std::function<void()>& apply) = 0;
    virtual void ShowAbout() = 0;
    // The Skin Layout window: shown with the layout (empty when the current
    // model has none), or hidden.
    virtual void ShowSkinLayout(bool shown, const SkinLayout& layout) = 0;
    // The Check Models window: shown with these lines (a finding each, in a
    // list named for screen readers), or its lines brought up to date when
    // it is shown already. Choosing a line calls Commands::ChooseFinding,
    // closing the window Commands::CloseFindings.
    virtual void ShowFindings(const std::vector<std::string>& lines) = 0;

    // Starts or stops the clock that calls Commands::AdvancePlayback while an
    // animation plays; nothing ticks while it is stopped.
    virtual void SetPlaybackTimer(bool running) = 0;
    // The view's size in its own (logical) pixels, as the mouse measures it;
    // zero without a view.
    virtual PixelSize ViewSize() const = 0;
    // The view's picture at its full (physical) pixel size, RGB, top row
    // first, drawn from the document as it is now; false without a view.
    virtual bool ReadViewPixels(PixelSize& size, std::vector<uint8_t>& rgb) = 0;
    // The same for a scene of the caller's (the document and the view's
    // own state are left as they are); false without a view.
    virtual bool ReadScenePixels(const Scene& scene, PixelSize& size, std::vector<uint8_t>& rgb) = 0;

    // A long task's progress, with a way to cancel it: Begin shows it for
    // total steps, Step tells how many are done and returns false once the
    // user has cancelled, End takes it away.
    virtual void BeginProgress(const std::string& title, const std::string& text, int total) = 0;
    virtual bool StepProgress(int done) = 0;
    virtual void EndProgress() = 0;
};

}  // namespace meshara
