#pragma once
// The main window: the view at the left and the options bar in a fixed
// column at the right, under menus and accelerators made from the command
// table (gui/main_menus.cpp). Every command arrives here.

#include <wx/progdlg.h>
#include <wx/wx.h>

#include <memory>
#include <utility>
#include <vector>

#include "gui/frame_keys.h"
#include "session/commands.h"
#include "session/scene_setup.h"
#include "session/ui_port.h"

namespace meshara {

class GLWnd;
class LayoutWnd;
class OptionsBar;
enum class MenuPlace : uint8_t;

class MainWnd : public wxFrame, public UiPort {
public:
    // The document outlives the window; closing the window empties it.
    explicit MainWnd(Document& document);
    ~MainWnd() override;

    GLWnd* view = nullptr;
    // Holds the view kFocusRing pixels in from its edges; the ring it shows
    // there is coloured while the view has the focus, outside the picture.
    wxPanel* viewRing = nullptr;
    static constexpr int kFocusRing = 2;
    OptionsBar* optionsBar = nullptr;
    LayoutWnd* layoutWindow = nullptr;  // Rendering > Show > Skin Layout, made when first shown
    Commands& Cmd() { return *commands_; }

    // The options bar calls these when a selection changes.
    void OnModelSelected(int index);
    void OnModelLightSelected(int index);
    void OnGlobalLightSelected(int index);

    // Releases every model (while the GL context is current) and every light,
    // then the view and the options bar. Runs once.
    void TearDown();

    // Whether a released drag still turns the models; idle time steps them.
    bool Spinning() const;

    // UiPort
    void RequestRedraw() override;
    void RedrawView() override;
    void RefreshOptionsBar() override;
    void SpinStep() override;
    bool ChooseFile(const FileDialogRequest& request, std::string& path, int& filterIndex) override;
    bool ChooseFolder(const std::string& title, const std::string& folder, std::string& path) override;
    std::vector<size_t> ChooseArchiveModels(const std::string& archivePath, const std::vector<std::string>& models) override;
    void ShowMessage(const std::string& text, const std::string& detail) override;
    bool RunBackgroundColorDialog(float rgb[3], const std::function<void(const float*)>& apply) override;
    bool RunLightPropertiesDialog(LightRecord& light, const std::function<void()>& apply) override;
    void ShowAbout() override;
    void ShowSkinLayout(bool shown, const SkinLayout& layout) override;
    void ShowFindings(const std::vector<std::string>& lines) override;
    void SetPlaybackTimer(bool running) override;
    PixelSize ViewSize() const override;
    bool ReadViewPixels(PixelSize& size, std::vector<uint8_t>& rgb) override;
    bool ReadScenePixels(const Scene& scene, PixelSize& size, std::vector<uint8_t>& rgb) override;
    void BeginProgress(const std::string& title, const std::string& text, int total) override;
    bool StepProgress(int done) override;
    void EndProgress() override;

    // Lays out the two children for the current client size.
    void LayoutChildren();

    // Fills File > Skin for the current model, as when the File menu opens.
    void RebuildSkinMenu();
    wxMenu* SkinMenu() const { return skinMenu_; }
    // Fills Rendering > Animation for the playback model, as when its menu opens.
    void RebuildAnimationMenu();
    wxMenu* AnimationMenu() const { return animationMenu_; }
    // Fills File > Weapon for the current model's player, as when the File menu opens.
    void RebuildWeaponMenu();
    wxMenu* WeaponMenu() const { return weaponMenu_; }

    // When set, file choices are answered by this instead of a dialog
    // (scripted runs and tests).
    std::function<bool(const FileDialogRequest&, std::string&, int&)> fileChooser;

    // Playback moves on by a timer and the real clock. Scripted runs and
    // tests can take the clock in hand instead: no timer runs, and playback
    // moves only by AdvancePlaybackBy.
    void DrivePlaybackByHand() { playbackByHand_ = true; }
    void AdvancePlaybackBy(double seconds);
    bool PlaybackTimerRunning() const { return playbackTimer_.IsRunning(); }

private:
    // Repaints the frame and its children before returning.
    void RepaintWindow();
    void UpdateStatus();
    void AcceptDrops();
    void OnExit(wxCommandEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnEraseBackground(wxEraseEvent& event);
    void OnPlaybackTick(wxTimerEvent& event);
    // gui/main_menus.cpp: the menus, keys and check marks, made from the
    // command table, and what they send.
    void BuildMenus();
    void OnCommand(wxCommandEvent& event);
    void OnUpdateUI(wxUpdateUIEvent& event);
    void OnMenuOpen(wxMenuEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnSkinChosen(wxCommandEvent& event);
    void SyncMenuStates();
    void ShowFocusRing(bool focused);
    // Remakes a menu's ranges filled when it opens after its entries made with the menus.
    void RefillMenu(wxMenu* menu, MenuPlace place);

    Document& doc_;
    ViewState fallbackView_;  // used only when no view could be made
    std::unique_ptr<Commands> commands_;
    bool tornDown_ = false;
    // Ticks only while an animation plays; each tick moves playback on by
    // the real time passed, so the rate holds whatever a frame costs.
    static constexpr int kPlaybackTickMs = 33;  // about 30 pictures a second between the file's 10 frames
    wxTimer playbackTimer_;
    wxLongLong lastTick_ = 0;
    bool playbackByHand_ = false;
    wxMenu* fileMenu_ = nullptr;
    wxMenu* skinMenu_ = nullptr;
    wxMenu* renderingMenu_ = nullptr;
    wxMenu* animationMenu_ = nullptr;
    wxMenuItem* skinItem_ = nullptr;
    wxMenu* weaponMenu_ = nullptr;
    wxMenuItem* weaponItem_ = nullptr;
    std::vector<FrameKey> extraKeys_;  // the keys OnCharHook takes
    std::vector<SkinChoice> skinChoices_;  // as File > Skin shows them
    std::unique_ptr<wxProgressDialog> progress_;  // while a long task runs
    // File > Check Models...: made the first time, hidden when closed.
    wxDialog* findings_ = nullptr;
    wxListBox* findingList_ = nullptr;

public:
    wxListBox* FindingList() const { return findingList_; }  // null until Check Models... has run
    wxDECLARE_EVENT_TABLE();
};

}  // namespace meshara
