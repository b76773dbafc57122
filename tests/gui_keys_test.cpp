// The real main window under Xvfb and the keyboard: which keys reach the view and which stay with the focused
// control, the view's keys, the menus' mnemonics, the focus ring and the status line at the window's first size.

#include <gtest/gtest.h>
#include <wx/modalhook.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "gui/gl_wnd.h"
#include "gui/main_wnd.h"
#include "gui/options_bar.h"
#include "gui/toolkit_ids.h"
#include "gui/viewer_app.h"
#include "session/command_ids.h"
#include "formats/md2_file.h"
#include "model/md2_model.h"
#include "session/command_table.h"
#include "session/scene_setup.h"
#include "tests/gui_support.h"

namespace meshara {
namespace {

ViewerApp& TheApp() { return *static_cast<ViewerApp*>(wxApp::GetInstance()); }

// No dialog is expected here: one that comes fails the test instead of blocking it.
struct RefuseDialogs : wxModalDialogHook {
    int Enter(wxDialog* dialog) override {
        ADD_FAILURE() << "a dialog came up: " << dialog->GetTitle();
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
} g_dialogs;

struct Keys : ::testing::Test {
    void SetUp() override {
        TheApp().Doc() = Document{};
        ASSERT_TRUE(TheApp().CreateMainWindow());
        frame = TheApp().mainFrame;
        frame->DrivePlaybackByHand();
        Pump();
    }
    void TearDown() override {
        if (TheApp().mainFrame) TheApp().mainFrame->Close(true);
        Pump();
        wxTheApp->ProcessIdle();
    }
    // The sample as from outside: lit by a new light and framed.
    void OpenSample() {
        TheApp().OpenModels({MESHARA_SAMPLES_DIR "/knot.md2"});
        Pump();
    }
    // The sample with three animations (pulse 0-5, other 6, pulse 7-11), so Up and Down have somewhere to go.
    void AddSteppedSample() {
        auto knot = ReadMd2File(MESHARA_SAMPLES_DIR "/knot.md2");
        ASSERT_TRUE(knot);
        knot.Value().frames[6].name = "other6";
        AddModel(TheApp().Doc().models, std::make_shared<Md2Model>(MakeMd2Model(knot.Take(), "knot.md2")),
                 MESHARA_SAMPLES_DIR "/knot.md2");
        frame->RefreshOptionsBar();
        Pump();
    }
    Camera& View() { return frame->view->State().camera; }
    std::string Status() const { return frame->GetStatusBar()->GetStatusText().utf8_string(); }
    MainWnd* frame = nullptr;
};

// The keys with the focus on the view and on each kind of control: the extras' keys reach the view only from the
// view itself; the frame keys (Left, Right) reach it from everywhere. (With no focus at all the toolkit gives the
// window no keys.)
TEST_F(Keys, TheExtrasKeysActOnlyForTheViewAndTheFrameKeysEverywhere) {
    AddSteppedSample();
    OptionsBar& bar = *frame->optionsBar;
    const std::pair<const char*, wxWindow*> places[] = {{"view", frame->view},
        {"Models box", bar.modelList}, {"light list", bar.globalLights}, {"map box", bar.mapEdits[0]}};
    const struct { int key, modifiers; bool everywhere; } keys[] = {
        {WXK_HOME, 0, false}, {WXK_DOWN, 0, false}, {WXK_UP, 0, false}, {WXK_LEFT, wxMOD_SHIFT, false},
        {WXK_DOWN, wxMOD_SHIFT, false}, {WXK_RIGHT, wxMOD_CONTROL, false}, {WXK_UP, wxMOD_CONTROL, false},
        {WXK_NUMPAD_ADD, 0, false}, {'=', wxMOD_SHIFT, false}, {'-', 0, false}, {WXK_NUMPAD_SUBTRACT, 0, false},
        {WXK_RIGHT, 0, true}, {WXK_LEFT, 0, true}, {WXK_SPACE, 0, false}};
    Camera start = View();
    start.rotation = Quat{0.6f, 0, 0, 0.8f};
    int32_t& shown = TheApp().Doc().models.currentFrame;
    const auto state = [&] {
        const Camera& c = View();
        char text[200];
        std::snprintf(text, sizeof text, "%g %g %g %g | %g %g | %g | %d %d", c.rotation.x, c.rotation.y, c.rotation.z,
                      c.rotation.w, c.pan.x, c.pan.y, c.zoom, frame->view->State().playback.playing, shown);
        return std::string(text);
    };
    wxUIActionSimulator simulate;
    frame->Raise();
    for (const auto& [where, window] : places) {
        for (const auto& k : keys) {
            View() = start;
            shown = 3;
            if (frame->view->State().playback.playing) frame->Cmd().TogglePlayback();
            const std::string before = state();
            window->SetFocus();
            Pump();
            simulate.Char(k.key, k.modifiers);
            Pump();
            const bool acts = k.everywhere || window == frame->view;
            EXPECT_EQ(state() != before, acts) << where << ": key " << k.key << " with " << k.modifiers << ": " << state();
        }
        simulate.Char(WXK_ESCAPE);  // Space opened the drop-down list
        Pump();
    }
    if (frame->view->State().playback.playing) frame->Cmd().TogglePlayback();
    // Tab from the bar's last control comes round to the view, so the keyboard alone reaches it.
    bar.Button(ids::kLightProperties)->SetFocus();
    Pump();
    simulate.Char(WXK_TAB);
    for (int i = 0; i < 50 && wxWindow::FindFocus() != frame->view; ++i, wxMilliSleep(10)) Pump();
    EXPECT_EQ(wxWindow::FindFocus(), frame->view) << "Tab reaches the view";
    // What the keys do, as their 10-pixel drags would.
    frame->view->SetFocus();
    View() = start;
    Pump();
    Camera expected = start;
    for (const auto& [key, modifiers, step] : std::initializer_list<std::tuple<int, int, std::function<void()>>>{
             {WXK_RIGHT, wxMOD_SHIFT, [&] { TurnByKey(expected, {1, 0}, {frame->view->ClientSize()}); }},
             {WXK_UP, wxMOD_CONTROL, [&] { MoveByKey(expected, {0, -1}); }},
             {WXK_NUMPAD_ADD, 0, [&] { ZoomByKey(expected, true, frame->view->ClientSize()); }}}) {
        simulate.Char(key, modifiers);
        Pump();
        step();
        EXPECT_TRUE(SameView(View(), expected)) << key;
    }
}

// Every entry of the menus the program adds has a mnemonic, and no two entries of one menu share one; the
// program's own entries keep their texts, mnemonic or not.
TEST_F(Keys, EveryExtraMenuEntryHasAMnemonicAndNoneIsSharedWithinAMenu) {
    const auto own = [](const wxMenuItem* item) {
        const int id = ProgramId(item->GetId());
        return (id >= ids::kFirstBaseCommand && id <= ids::kLastBaseCommand) || id == ids::kExit || id == ids::kAbout;
    };
    const auto mnemonic = [](const wxString& label) {
        for (size_t i = 0; i + 1 < label.size(); ++i)
            if (label[i] == '&' && label[i + 1] != '&') return wxString(label[i + 1]).Lower();
            else if (label[i] == '&') ++i;
        return wxString();
    };
    std::string faults;
    int walked = 0;
    std::function<bool(wxMenu&, const wxString&)> walk = [&](wxMenu& menu, const wxString& path) {
        std::map<wxString, wxString> taken;
        bool allOwn = menu.GetMenuItemCount() > 0;
        for (const wxMenuItem* item : menu.GetMenuItems()) {
            if (item->IsSeparator()) continue;
            ++walked;
            const bool mine = item->GetSubMenu() ? walk(*item->GetSubMenu(), path + item->GetItemLabelText() + " > ")
                                                 : own(item);
            allOwn = allOwn && mine;
            const wxString key = mnemonic(item->GetItemLabel());
            if (key.empty() && !mine) faults += (path + item->GetItemLabelText()).utf8_string() + ": none; ";
            if (!key.empty() && taken.count(key))
                faults += (path + item->GetItemLabelText() + " and " + taken[key]).utf8_string() + ": " + key + "; ";
            if (!key.empty()) taken[key] = item->GetItemLabelText();
        }
        return allOwn;
    };
    wxMenuBar& bar = *frame->GetMenuBar();
    for (size_t i = 0; i < bar.GetMenuCount(); ++i) walk(*bar.GetMenu(i), bar.GetMenuLabelText(i) + " > ");
    EXPECT_EQ(faults, "");
    EXPECT_GE(walked, 40) << "every menu and submenu was walked";
}

// Save View writes the picture, never the ring: the same size and bytes with the focus on the view or elsewhere;
// the ring takes the selection colour only while the view has the focus.
TEST_F(Keys, TheFocusRingIsOutsideThePictureSaveViewWritesTheSameWithTheRingOnTheView) {
    OpenSample();
    const std::string saved = (std::filesystem::temp_directory_path() / ("meshara-ring-" + std::to_string(getpid()))).string();
    frame->fileChooser = [&](const FileDialogRequest&, std::string& path, int&) { return path = saved, true; };
    std::map<bool, wxImage> pictures;
    frame->Raise();
    for (bool focused : {true, false}) {
        wxWindow* target = focused ? static_cast<wxWindow*>(frame->view) : frame->optionsBar->modelList;
        target->SetFocus();
        for (int i = 0; i < 100 && wxWindow::FindFocus() != target; ++i, wxMilliSleep(10)) Pump();  // it comes late
        Pump();
        frame->Cmd().SaveView();
        pictures[focused] = wxImage(saved + ".png");
        std::filesystem::remove(saved + ".png");
        EXPECT_EQ(frame->viewRing->GetBackgroundColour(),
                  wxSystemSettings::GetColour(focused ? wxSYS_COLOUR_HIGHLIGHT : wxSYS_COLOUR_BTNSHADOW));
        // Under Xvfb a later grab of a window can miss what its panels painted since the first: one shot a run.
        if (focused) Save(CaptureFrame(*frame), "view-focused.png");
    }
    const wxImage &on = pictures[true], &off = pictures[false];
    ASSERT_TRUE(on.IsOk() && off.IsOk());
    EXPECT_EQ(on.GetSize(), frame->view->PixelSize());
    EXPECT_EQ(off.GetSize(), on.GetSize());
    EXPECT_EQ(0, std::memcmp(on.GetData(), off.GetData(), 3 * on.GetWidth() * on.GetHeight()));
}

// The user guide's picture of the view without the focus (tools/make-screenshots runs it on its own).
TEST_F(Keys, TheFocusRingIsOutsideThePictureElsewhere) {
    OpenSample();
    frame->optionsBar->modelList->SetFocus();
    Pump();
    Save(CaptureFrame(*frame), "view-not-focused.png");
    EXPECT_EQ(frame->viewRing->GetBackgroundColour(), wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW));
}

// At 512 x 384 the hint comes first; the tooltip and the accessible name (tests/atspi_keys.py) hold the whole line.
TEST_F(Keys, TheStatusLineAtTheFirstSizeStartsWithTheHintAndItsTipHoldsAllOfIt) {
    EXPECT_EQ(frame->GetSize(), wxSize(512, 384));
    OpenSample();
    frame->Cmd().RemoveModelLight();
    EXPECT_EQ(Status().rfind("no light reaches the model: + in the Model Lights row gives it the selected light \u00b7 "
                             "frame 0 (12 frames): pulse0 \u00b7 pulse 1/12", 0), 0u) << Status();
    EXPECT_TRUE(Status().ends_with(" \u00b7 " MESHARA_SAMPLES_DIR "/knot.md2")) << Status();
    EXPECT_EQ(frame->GetStatusBar()->GetToolTipText().utf8_string(), Status());
    frame->Cmd().AddModelLight();
    EXPECT_EQ(Status().rfind("frame 0 (12 frames)", 0), 0u) << Status();
    EXPECT_EQ(frame->GetStatusBar()->GetToolTipText().utf8_string(), Status());
}

}  // namespace
}  // namespace meshara

wxIMPLEMENT_APP_NO_MAIN(meshara::ViewerApp);

int main(int argc, char** argv) { return meshara::RunViewerTests(argc, argv, meshara::g_dialogs); }
