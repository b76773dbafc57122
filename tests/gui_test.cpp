// The real main window under Xvfb: menus, layout, the options bar, dialogs, input, files, screenshots, teardown.

#include <gtest/gtest.h>
#include <wx/dnd.h>
#include <wx/modalhook.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <cmath>
#include <dlfcn.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "formats/lgt_file.h"
#include "gui/accessibility.h"
#include "gui/archive_chooser.h"
#include "gui/dialogs.h"
#include "gui/gl_wnd.h"
#include "gui/layout_wnd.h"
#include "gui/main_wnd.h"
#include "gui/options_bar.h"
#include "gui/toolkit_ids.h"
#include "gui/viewer_app.h"
#include "io/file_bytes.h"
#include "session/command_ids.h"
#include "session/messages.h"
#include "session/scene_setup.h"
#include "tests/gui_support.h"
#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

ViewerApp& TheApp() { return *static_cast<ViewerApp*>(wxApp::GetInstance()); }

// Modal dialogs must not block a test: each is answered at once and what it said is recorded.
struct AnswerDialogs : wxModalDialogHook {
    std::vector<std::string> shown;  // what each said: a box its text and details, a file dialog its kind and filter
    std::vector<std::string> paths;  // what real file dialogs answer, in order; none left cancels
    std::function<void(wxDialog&)> act;  // what a test does in the next other dialog before it is answered
    int Enter(wxDialog* dialog) override {
        if (act && !dynamic_cast<wxMessageDialog*>(dialog) && !dynamic_cast<wxFileDialog*>(dialog))
            std::exchange(act, {})(*dialog);
        auto* box = dynamic_cast<wxMessageDialog*>(dialog);
        auto* files = dynamic_cast<wxFileDialog*>(dialog);
        const wxString detail = box ? box->GetExtendedMessage() : "";
        shown.push_back((files ? (files->HasFdFlag(wxFD_SAVE) ? "save:" : "open:") + files->GetWildcard()
                         : box ? box->GetMessage() + (detail.empty() ? "" : "\n" + detail)
                               : "dialog:" + dialog->GetTitle()).utf8_string());
        if (!files || paths.empty()) return files ? wxID_CANCEL : wxID_OK;
        const wxString path = wxString::FromUTF8(paths.front());
        paths.erase(paths.begin());
        files->SetPath(path);
        // The toolkit's chooser takes the file once it has read the folder, which happens in the event loop.
        for (int i = 0; i < 200 && files->GetPath() != path; ++i, wxMilliSleep(5)) wxTheApp->Yield(true);
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
} g_dialogs;

const std::string kNotANumber = "Please enter a number.";
const std::string kPngFiles = "save:PNG picture (*.png)|*.png|All Files (*.*)|*.*";

std::vector<std::string> Messages() { return std::exchange(g_dialogs.shown, {}); }  // since the last call

// A button press, menu command or choice sent to a window as the control would send it; id is the program's.
void Press(wxWindow& window, int id, wxEventType type = wxEVT_BUTTON) {
    wxCommandEvent event(type, ToolkitId(id));
    event.SetEventObject(&window);
    window.GetEventHandler()->ProcessEvent(event);
}

void Enter(wxWindow& dialog, std::initializer_list<std::pair<wxTextCtrl*, const char*>> boxes, int button) {
    for (auto [box, text] : boxes) box->SetValue(wxString::FromUTF8(text));
    Press(dialog, button);
}

struct Viewer : ::testing::Test {
    void SetUp() override {
        Doc() = Document{};
        ASSERT_TRUE(TheApp().CreateMainWindow());
        frame = TheApp().mainFrame;
        Pump();
        Messages();
    }
    void TearDown() override {  // the closed window is deleted at idle time
        if (TheApp().mainFrame) TheApp().mainFrame->Close(true);
        Pump();
        wxTheApp->ProcessIdle();
    }
    Document& Doc() { return TheApp().Doc(); }
    std::string Status() const { return frame->GetStatusBar()->GetStatusText().utf8_string(); }
    // What a submenu shows as the File menu opens: each entry's label, greyed (-) and checked (*).
    std::string Shown(wxMenu& menu) {
        wxMenuEvent opening(wxEVT_MENU_OPEN, 0, frame->GetMenuBar()->GetMenu(0));
        frame->GetEventHandler()->ProcessEvent(opening);
        std::string out;
        for (const wxMenuItem* item : menu.GetMenuItems())
            if (!item->IsSeparator())
                out += (item->IsEnabled() ? "" : "-") + std::string(item->IsChecked() ? "*" : "") +
                       item->GetItemLabelText().utf8_string() + "|";
        return out;
    }
    OptionsBar& Bar() { return *frame->optionsBar; }
    void Click(int id) {
        ASSERT_NE(Bar().Button(id), nullptr) << id;
        Press(*Bar().Button(id), id);
        Pump();
    }
    // The sample as the current model; lit: skinned and lit by its own light too.
    ModelSlot& AddSample(bool lit = true) {
        auto opened = OpenModelFile(Doc().models, MESHARA_SAMPLES_DIR "/knot.md2");
        auto light = LoadLightFile(MESHARA_SAMPLES_DIR "/warm-key.lgt");
        EXPECT_TRUE(opened && light);
        EXPECT_TRUE(!lit || LoadMapFile(*opened.Value(), MapKind::Texture, MESHARA_SAMPLES_DIR "/knot.pcx"));
        if (lit) AddLightTo(Doc(), *opened.Value(), light.Take());
        return *opened.Value();
    }
    // The lit sample fitted, the bar as a user sees it (for the screenshots); what the view shows in plain.
    void FitSample(int& width, int& height, std::vector<uint8_t>& plain) {
        AddSample();
        frame->RefreshOptionsBar();
        Press(*frame, ids::kFitModels, wxEVT_MENU);
        ASSERT_TRUE(frame->view->ReadPixels(width, height, plain));
    }
    MainWnd* frame = nullptr;
};

TEST_F(Viewer, StartsEmptyWithTheDefaultSettingsAndMenus) {
    const Document& d = Doc();
    // Models, current model, frame, light, filter (Tri-MIP), Fast, the GL context made on first show; black behind.
    EXPECT_EQ((std::vector{d.models.Count(), d.models.currentModel, d.models.currentFrame, d.lights.selectedGlobalLight,
                           d.settings.textureFilter, d.settings.multiPassMode, int(frame->view->GlReady())}),
              (std::vector{0, -1, 0, -1, 4, 0, 1}));
    EXPECT_EQ(std::vector(d.settings.backgroundColor, d.settings.backgroundColor + 3), std::vector<float>(3, 0));
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 3u);
    // The title and vendor, the menus, what some ids' entries say, then the File and Rendering menus' own entries.
    wxString labels = frame->GetTitle() + "|" + wxTheApp->GetVendorName() + "|" + bar->GetMenuLabel(0) +
                      bar->GetMenuLabel(1) + bar->GetMenuLabel(2) + "|";
    for (int id : {ids::kExportLight, ids::kImportLight, ids::kExit, ids::kTextureNearest, ids::kTextureLinear,
                   ids::kTextureNearMip, ids::kTextureBiMip, ids::kTextureTriMip, ids::kMultiPassFast,
                   ids::kMultiPassSafe, ids::kBackgroundColor, ids::kWireframe, ids::kEnvironmentMap, ids::kAbout})
        labels += (bar->FindItem(ToolkitId(id)) ? bar->FindItem(ToolkitId(id))->GetItemLabel() : "(none)") + "|";
    for (size_t menu : {0u, 1u})
        for (const wxMenuItem* item : bar->GetMenu(menu)->GetMenuItems())
            labels += (item->IsSeparator() ? wxString("-") : item->GetItemLabelText()) + "|";
    EXPECT_EQ(labels, "Torvane's Meshara|Torvane|&File&Rendering&Help|Export to LGT|Import from LGT|E&xit|&Nearest|"
                      "&Linear|Near-&MIP|&Bi-MIP|&Tri-MIP|&Fast|&Safe|Background Color...|Wireframe|Environment Map|"
                      "&About Torvane's Meshara|Light Transfer|-|Exit|-|Open Model...|Open Player...|Save View as PNG...|"
                      "Load Skin from Model|Skin|Weapon|Save Animation...|Save As MD2...|-|Check Models...|"
                      "Texture|Multi-Pass|Background Color...|Wireframe|"
                      "Environment Map|-|Play Animation|Fit Models|Reset View|Animation|Show|-|View|");
    for (int id = ids::kFirstExtra; id <= ids::kLastExtra; ++id) EXPECT_TRUE(bar->FindItem(ToolkitId(id))) << id;
    // One check per group; the environment map is greyed without a current model. Then Nearest, with a model.
    for (int filter : {4, 0}) {
        for (size_t i = 0; i < 3; ++i) bar->GetMenu(i)->UpdateUI(frame);
        for (int id = ids::kTextureNearest; id <= ids::kTextureTriMip; ++id)
            EXPECT_EQ(bar->IsChecked(ToolkitId(id)), id == ids::kTextureNearest + filter) << id;
        EXPECT_TRUE(bar->IsChecked(ToolkitId(ids::kMultiPassFast)) && !bar->IsChecked(ToolkitId(ids::kMultiPassSafe)));
        EXPECT_EQ(bar->IsEnabled(ToolkitId(ids::kEnvironmentMap)), filter == 0);
        frame->Cmd().SetTextureFilter(0);
        AddSample(false);
    }
}

TEST_F(Viewer, TheBarAndTheDialogsLayOutByTheirRulesAndEveryBarControlIsNamed) {
    for (int width : {300, 150, 500}) {
        frame->SetClientSize(width, width == 500 ? 420 : 320);
        Pump();
        frame->LayoutChildren();
        const wxRect view = frame->viewRing->GetRect();
        EXPECT_EQ(frame->optionsBar->GetRect(), wxRect(width - 200, 0, 200, frame->GetClientSize().y)) << width;
        EXPECT_TRUE(view.x == 0 && view.width == std::max(0, width - 200)) << width;
    }
    const int h = Bar().RowHeight();
    ASSERT_GT(h, 0);
    for (int r = 0; r < 7; ++r)
        EXPECT_EQ(Bar().Button(ids::kFirstBarButton + 3 * r)->GetRect(), wxRect(139, 1 + r * (h + 2), 20, h)) << r;
    EXPECT_EQ(Bar().Button(ids::kLightProperties)->GetRect(), wxRect(139, 7 * h + 13, 60, h));
    const wxRect lights = Bar().globalLights->GetRect();  // its bottom one pixel above the bar's
    EXPECT_EQ(std::pair(lights.y, lights.GetBottom()), std::pair(6 * h + 13, Bar().GetClientSize().y - 2));
    for (size_t upper = 0; upper < 3; ++upper)  // texture, diffusion, specularity, glow
        EXPECT_LT(Bar().mapEdits[upper]->GetPosition().y, Bar().mapEdits[upper + 1]->GetPosition().y) << upper;
    // Each control tells a screen reader and a tooltip what it is; a toggle tells its state too.
    std::set<std::string> names;
    for (wxWindow* w : Bar().GetChildren()) {
        EXPECT_FALSE(w->GetToolTipText().empty()) << w->GetLabel();
        names.insert(AccessibleName(w));
    }
    EXPECT_EQ(names.size(), 29u) << "one name each";
    EXPECT_EQ(AccessibleName(Bar().Button(ids::kModelOpen)) + "|" + AccessibleName(Bar().Button(ids::kModelToggle)),
              "Add model|Show or hide model");
    AboutDialog about(frame);
    EXPECT_EQ(about.picture->GetRect(), wxRect(about.ConvertDialogToPixels(wxPoint(2, 2)), wxSize(216 + 2, 79 + 2)))
        << "its own size in a one-pixel frame";
    LightRecord light;
    LightPropertiesDialog dialog(frame, light, {});
    std::map<wxString, wxPoint> at;
    for (const wxWindow* w : dialog.GetChildren())
        if (dynamic_cast<const wxStaticText*>(w)) at[w->GetLabel()] = w->GetPosition();
    for (auto [label, y] : {std::pair{"Name", 8}, {"Position", 25}, {"Direction", 40}, {"Ambient Color", 56},
                            {"Diffuse Color", 72}, {"Specular Color", 88}})
        EXPECT_EQ(at.count(label) ? at[label] : wxDefaultPosition, dialog.ConvertDialogToPixels(wxPoint(4, y)))
            << label;
}

TEST_F(Viewer, DialogsApplyRefuseBadNumbersAndNamesAndStayOpenOnABadOk) {
    frame->Cmd().EditBackgroundColor();  // the hook answers OK at once with the boxes as they were
    EXPECT_EQ(std::pair(Messages(), Doc().settings.backgroundColor[0]),
              std::pair(std::vector<std::string>{"dialog:Background Color"}, 0.0f));
    float rgb[3] = {0, 0, 0};
    std::vector<std::vector<float>> applied;
    BackgroundColorDialog color(frame, rgb, [&](const float* c) { applied.emplace_back(c, c + 3); });
    EXPECT_EQ(color.redBox->GetValue(), "0");
    Enter(color, {{color.redBox, "2"}, {color.greenBox, "0.5"}, {color.blueBox, "-1"}}, ids::kApply);
    // Bad green: blue, read first, is applied, red is not; a bad OK prompts and copies nothing; 1e40 is no float.
    Enter(color, {{color.redBox, "0.75"}, {color.greenBox, "abc"}, {color.blueBox, "0.25"}}, ids::kApply);
    Press(color, wxID_OK);
    Enter(color, {{color.greenBox, "1e40"}}, wxID_OK);
    EXPECT_EQ(Messages(), std::vector(3, kNotANumber));
    EXPECT_EQ(applied, (std::vector<std::vector<float>>{{2, 0.5f, -1}, {2, 0.5f, 0.25f}}));
    EXPECT_EQ(std::vector(rgb, rgb + 3), std::vector<float>(3, 0));
    LightRecord light{.name = "Key"};
    int lightApplied = 0;
    LightPropertiesDialog dialog(frame, light, [&] { ++lightApplied; });
    std::string shown;  // a new light's values, as the boxes show them
    for (int id : {1000, 1004, 1007, 1010, 1013, 1024}) shown += dialog.Box(id)->GetValue().utf8_string() + " ";
    EXPECT_EQ(shown, "150 -1 0 1 0.25 Key ");
    Enter(dialog, {{dialog.Box(1007), "2"}}, ids::kApply);
    EXPECT_TRUE(lightApplied == 1 && light.ambient[0] == 2) << "Apply takes effect at once";
    // A letter in the first direction box: ambient and diffuse, read before it, are taken; the rest is not.
    Enter(dialog, {{dialog.Box(1009), "0.5"}, {dialog.Box(1011), "0.75"}, {dialog.Box(1004), "x"},
                   {dialog.Box(1001), "7"}, {dialog.Box(1015), "0.9"}, {dialog.Box(1024), "Renamed"}}, ids::kApply);
    EXPECT_TRUE(lightApplied == 2 && light.ambient[2] == 0.5f && light.diffuse[1] == 0.75f && light.name == "Key" &&
                light.spotDirection[0] == -1 && light.position[1] == 150 && light.specular[2] == 0.25f);
    // OK with the bad box prompts again, stays open and keeps the light; fixed, OK takes all but w, never edited.
    Press(dialog, wxID_OK);
    EXPECT_TRUE(light.position[1] == 150 && light.name == "Key" && Messages() == std::vector(2, kNotANumber));
    Enter(dialog, {{dialog.Box(1004), "0"}}, wxID_OK);
    EXPECT_TRUE(light.spotDirection[0] == 0 && light.position[1] == 7 && light.name == "Renamed" &&
                light.position[3] == 0);
    // Names are typed in Windows-1252, others refused whole; Cancel after Apply keeps what Apply took, reads no more.
    LightPropertiesDialog again(frame, light, {});
    Enter(again, {{again.Box(1010), "0.3"}, {again.Box(1024), "Caf\u00e9 \u20ac"}}, ids::kApply);
    Enter(again, {{again.Box(1024), "\u03a9"}}, wxID_OK);
    Enter(again, {{again.Box(1013), "0.6"}}, wxID_CANCEL);
    EXPECT_TRUE(light.diffuse[0] == 0.3f && light.specular[0] == 0.25f && light.name == "Caf\xE9 \x80") << light.name;
    EXPECT_EQ(Messages(), std::vector<std::string>{msg::kNameOutsideSet});
}

TEST_F(Viewer, ReleasedDragKeepsTurningOnIdleAndAClickStopsIt) {
    GLWnd& view = *frame->view;
    Camera& camera = view.State().camera;
    const wxSize size = view.GetClientSize();
    ASSERT_GT(size.x, 10);
    OnLeftButtonDown(camera, view, MouseLeft, {size.x / 2, size.y / 2});
    OnMouseMove(camera, view, MouseLeft, {size.x / 2 + 10, size.y / 2});
    OnLeftButtonUp(camera, view, 0);
    ASSERT_TRUE(camera.spinning);
    auto idleTurns = [&] {
        const Quat before = camera.rotation;
        wxTheApp->ProcessIdle();
        return camera.rotation.y != before.y || camera.rotation.w != before.w;
    };
    EXPECT_TRUE(idleTurns() || idleTurns()) << "idle passes turn the model";
    OnLeftButtonDown(camera, view, MouseLeft, {3, 3});
    OnLeftButtonUp(camera, view, 0);
    EXPECT_FALSE(camera.spinning || idleTurns()) << "a click stops it";
}

TEST_F(Viewer, FilesFromButtonsTheCommandLineOrDropsFillTheBarAndEachClickRunsOneCommand) {
    const std::string dir = MESHARA_SAMPLES_DIR "/";
    int events = 0;  // calls of the lists' and boxes' handlers: a user's choice calls them, a refresh never
    for (const auto& type : {wxEVT_CHOICE, wxEVT_LISTBOX, wxEVT_TEXT})
        Bar().Bind(type, [&](wxCommandEvent& e) { ++events, e.Skip(); });
    std::vector<std::string> answers = {dir + "knot", dir + "knot.bmp"}, asked;
    frame->fileChooser = [&](const FileDialogRequest& request, std::string& path, int& filter) {
        asked.push_back(request.wildcard + " " + request.initialName);
        filter = 0;
        return asked.size() <= answers.size() && !(path = answers[asked.size() - 1]).empty();
    };
    auto drop = [&](wxWindow* on, std::initializer_list<const char*> names) {
        wxArrayString files;
        for (const char* n : names) files.Add(wxString::FromUTF8(dir + n));
        auto* target = dynamic_cast<wxFileDropTarget*>(on->GetDropTarget());
        EXPECT_TRUE(target && target->OnDropFiles(0, 0, files)) << names.size();
    };
    // Handler calls; the model, model light, global light, diffusion and texture switches' captions; each list's
    // selection/size; the model, model light and global light chosen; the texture, diffusion and glow boxes.
    auto bar = [&] {
        std::string out = std::to_string(events) + " ";
        for (int id : {ids::kModelToggle, ids::kModelLightToggle, ids::kGlobalLightToggle, ids::kDiffusionMapLoad + 2,
                       ids::kTextureMapLoad + 2})
            out += Bar().Button(id)->GetLabel().utf8_string() + "|";
        const OptionsBar& b = Bar();
        return out + wxString::Format(" %d/%u %d/%u %d/%u %s|%s|%s %s|%s|%s", b.modelList->GetSelection(),
                                      b.modelList->GetCount(), b.modelLights->GetSelection(), b.modelLights->GetCount(),
                                      b.globalLights->GetSelection(), b.globalLights->GetCount(),
                                      b.modelList->GetStringSelection(), b.modelLights->GetStringSelection(),
                                      b.globalLights->GetStringSelection(), b.mapEdits[0]->GetValue(),
                                      b.mapEdits[1]->GetValue(), b.mapEdits[3]->GetValue()).utf8_string();
    };
    const struct { std::function<void()> act; const char* then; } steps[] = {
        {[] {}, "0  | | | | | -1/0 -1/0 -1/0 || ||"},  // blank until the first refresh
        {[&] { Click(ids::kGlobalLightAdd); }, "0 ||*||| -1/0 -1/0 0/1 ||New Light ||"},  // one click, one light
        {[&] { Click(ids::kModelOpen); }, "0 *||*||| 0/1 -1/0 0/1 knot.md2||New Light ||"},  // "knot": ".md2" is added
        {[&] { Click(ids::kDiffusionMapLoad), Click(ids::kModelLightAdd); },
         "0 *|*|*|*|| 0/1 0/1 0/1 knot.md2|New Light|New Light |knot.bmp|"},
        {[&] { Click(ids::kDiffusionMapLoad + 2), Click(ids::kGlobalLightToggle); },  // off, still loaded
         "0 *|*|||| 0/1 0/1 0/1 knot.md2|New Light|New Light |knot.bmp|"},
        {[&] { AddSample(false), frame->RefreshOptionsBar(); }, "0 *||||| 1/2 -1/0 0/1 knot.md2||New Light ||"},
        // A user's choice calls the frame's selection handler: the first model, with its light.
        {[&] { Bar().modelList->SetSelection(0), Press(*Bar().modelList, ids::kModelList, wxEVT_CHOICE); },
         "1 *|*|||| 0/2 0/1 0/1 knot.md2|New Light|New Light |knot.bmp|"},
        // From the command line: models first, whatever the order, so the picture lands on the last model opened,
        // and each model lit by the light that came with them.
        {[&] { TheApp().OpenModels({dir + "knot.pcx", dir + "knot.md2", dir + "missing.md2", dir + "warm-key.lgt",
                                    dir + "knot.md2"}); }, "1 *|*|||*| 3/4 0/1 0/2 knot.md2|Warm Key|New Light knot.pcx||"},
        // Dropped: on the view, a model with its skin and light at once; on a map's box, that map; a light anywhere.
        {[&] { drop(frame->view, {"knot.bmp", "warm-key.lgt", "knot.md2"}); },
         "1 *|*|||*| 4/5 0/1 0/3 knot.md2|Warm Key|New Light knot.bmp||"},
        {[&] { drop(Bar().mapEdits[3], {"knot.pcx"}); }, "1 *|*|||*| 4/5 0/1 0/3 knot.md2|Warm Key|New Light knot.bmp||knot.pcx"},
        {[&] { drop(Bar().mapEdits[1], {"warm-key.lgt"}); },
         "1 *|*|||*| 4/5 0/1 0/4 knot.md2|Warm Key|New Light knot.bmp||knot.pcx"}, };
    for (const auto& [act, then] : steps) {
        act();
        Pump();
        EXPECT_EQ(bar(), then);
    }
    EXPECT_EQ(asked.empty() ? "" : asked[0], "Quake2 Model (*.md2)|*.md2|All Files (*.*)|*.* *.md2");
    EXPECT_EQ(Messages(), std::vector<std::string>{"There was an error loading the specified file!\n" + dir +
                                                   "missing.md2: No such file or directory"});
}

TEST_F(Viewer, LightNameBytesSurviveTheRealDialogsAndARefusedFileIsNamed) {
    // Every byte of a name survives the real dialog when its box is left alone: a colour changed, Apply, OK.
    for (int b = 1; b < 256; ++b) {
        LightRecord light{.name = std::string("Caf") + static_cast<char>(b) + "!"}, expected = light;
        expected.ambient[0] = 0.5f;
        LightPropertiesDialog dialog(frame, light, {});
        Enter(dialog, {{dialog.Box(1007), "0.5"}}, ids::kApply);
        Press(dialog, wxID_OK);
        ASSERT_EQ(SerializeLight(light), SerializeLight(expected)) << b;
    }
    // The list shows an imported name as Windows-1252; a refused file: the fixed text, beneath it the file and why.
    const std::string dir = std::filesystem::temp_directory_path().string(), in = dir + "/meshara-gui-in.lgt",
                      junk = dir + "/meshara-gui-junk.lgt";
    ASSERT_TRUE(WriteFileBytes(in, SerializeLight({.name = "Caf\xE9"})) &&
                WriteFileBytes(junk, std::vector<uint8_t>(300, 'j')));
    g_dialogs.paths = {in, junk};
    frame->Cmd().ImportLight();
    EXPECT_EQ(wxJoin(Bar().globalLights->GetStrings(), '|'), wxString::FromUTF8("Caf\u00e9"));
    frame->Cmd().ImportLight();
    const std::string lgt = "open:MSR Light (*.lgt)|*.lgt|All Files (*.*)|*.*";
    EXPECT_EQ(Messages(), (std::vector<std::string>{lgt, lgt, std::string(msg::kNotLight) + "\n" + junk +
                                                    ": the file does not start with \"LGT0\""}));
    std::filesystem::remove(in), std::filesystem::remove(junk);
}

TEST_F(Viewer, HiDpiFitThenSaveViewWritesWhatTheCommandLineDrawsAtThePhysicalSize) {
    // Also run under GDK_SCALE=2 (tests/CMakeLists.txt): the picture must fill the view, not its lower-left quarter.
    const double scale = frame->view->GetContentScaleFactor();
    EXPECT_TRUE(!std::getenv("GDK_SCALE") || scale == std::atof(std::getenv("GDK_SCALE"))) << scale;
    frame->SetClientSize(520, 300);
    Pump();
    AddSample();
    frame->view->State().camera.rotation = Quat{0.2f, 0.1f, 0, 0.974679f};  // Fit turns it back, as the CLI draws
    Press(*frame, ids::kFitModels, wxEVT_MENU);
    const wxSize logical = frame->view->GetClientSize(), pixels = frame->view->PixelSize();
    EXPECT_EQ(pixels, wxSize(std::lround(logical.x * scale), std::lround(logical.y * scale)));
    // Named after the process: the scaled run of this test may be running beside it.
    const std::string view =
        (std::filesystem::temp_directory_path() / ("meshara-gui-view-" + std::to_string(getpid()))).string();
    g_dialogs.paths = {view};  // no dot: ".png" is added
    Press(*frame, ids::kSaveView, wxEVT_MENU);
    EXPECT_EQ(Messages(), std::vector{kPngFiles});
    const std::string command = MESHARA_CLI " render " MESHARA_SAMPLES_DIR "/knot.md2 --texture " MESHARA_SAMPLES_DIR
                                "/knot.pcx --light " MESHARA_SAMPLES_DIR "/warm-key.lgt --fit --size " +
                                std::to_string(pixels.x) + "x" + std::to_string(pixels.y) + " -o " + view + "-cli.png";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const wxImage saved(view + ".png"), drawn(view + "-cli.png");
    std::filesystem::remove(view + ".png"), std::filesystem::remove(view + "-cli.png");
    ASSERT_TRUE(saved.IsOk() && drawn.IsOk() && saved.GetSize() == pixels && drawn.GetSize() == pixels)
        << "both at the view's own pixel size";
    // Mesa draws windows and offscreen buffers through different paths: a few values land a level or two apart.
    const int values = pixels.x * pixels.y * 3;
    int different = 0, worst = 0, lit = 0;
    double sumX = 0, sumY = 0, count = 0;  // of the pixels that are not background
    for (int i = 0; i < values; ++i) {
        const uint8_t* p = saved.GetData() + i;
        const int d = std::abs(*p - drawn.GetData()[i]);
        different += d != 0, worst = std::max(worst, d), lit += *p > 40;
        if (i % 3 == 0 && p[0] + p[1] + p[2] >= 30) sumX += i / 3 % pixels.x, sumY += i / 3 / pixels.x, count += 1;
    }
    EXPECT_TRUE(worst <= 2 && different < values / 100) << worst << " at worst; " << different << " of " << values;
    EXPECT_GT(lit, pixels.x * pixels.y / 10) << "the model is there, lit";
    ASSERT_GT(count, pixels.x * pixels.y / 20.0);
    EXPECT_NEAR(sumX / count / pixels.x, 0.5, 0.1);
    EXPECT_NEAR(sumY / count / pixels.y, 0.5, 0.1);
    frame->RefreshOptionsBar();
    Save(CaptureFrame(*frame), "fitted.png");
}

TEST_F(Viewer, PlayRunsOnItsOwnClockAndTheExtrasKeysAndMenuEntriesReachTheirCommands) {
    auto knot = ReadMd2File(MESHARA_SAMPLES_DIR "/knot.md2");
    ASSERT_TRUE(knot);
    knot.Value().frames[6].name = "other6";  // three animations: pulse 0-5, other 6, pulse 7-11
    AddModel(Doc().models, std::make_shared<Md2Model>(MakeMd2Model(knot.Take(), "knot.md2")),
             MESHARA_SAMPLES_DIR "/knot.md2");  // no skin yet
    int32_t& shown = Doc().models.currentFrame;  // the frame every model shows
    const Playback& playback = frame->view->State().playback;
    Press(*frame, ids::kPlayAnimation, wxEVT_MENU);
    frame->GetMenuBar()->GetMenu(1)->UpdateUI(frame);
    ASSERT_TRUE(playback.playing && frame->GetMenuBar()->IsChecked(ToolkitId(ids::kPlayAnimation))) << "and checked";
    // 10 frames a second; a loaded machine may take longer than 0.2 s for two, so the wait ends on the frame.
    for (auto end = wxGetLocalTimeMillis() + 10000; shown < 2 && wxGetLocalTimeMillis() < end; wxMilliSleep(5))
        Pump();
    EXPECT_GE(shown, 2) << "the timer moves playback on";
    Press(*frame, ids::kNextFrame, wxEVT_MENU);
    EXPECT_FALSE(playback.playing || frame->PlaybackTimerRunning()) << "a step stops it: no more ticks";

    shown = 0;
    frame->DrivePlaybackByHand();  // from here nothing moves between the keys but the keys
    frame->Raise();
    frame->view->SetFocus();
    Pump();
    Camera& camera = frame->view->State().camera;
    const std::string saved = (std::filesystem::temp_directory_path() / "meshara-f12.png").string();
    std::filesystem::remove(saved);
    g_dialogs.paths = {saved};
    // Each check sees the shared frame as it was before its key.
    const struct { int key; std::function<bool(int32_t)> done; const char* what; } keys[] = {
        {WXK_HOME, [&](int32_t) { return camera.rotation.w == 1.0f && camera.zoom != Camera{}.zoom; }, "Home fits"},
        {WXK_SPACE, [&](int32_t) { return playback.playing; }, "Space plays"},
        {WXK_DOWN, [&](int32_t) { return shown == 6; }, "Down: the next animation"},
        {WXK_UP, [&](int32_t) { return shown == 0; }, "Up: the previous one"},
        {WXK_RIGHT, [&](int32_t was) { return !playback.playing && shown == was + 1; }, "Right stops and steps"},
        {WXK_RIGHT, [&](int32_t was) { return shown == was + 1; }, "one whole frame a press"},
        {WXK_LEFT, [&](int32_t was) { return shown == was - 1; }, "Left steps back"},
        {WXK_F12, [&](int32_t) { return Messages() == std::vector{kPngFiles} && std::filesystem::remove(saved); },
         "F12 saves the view"}, };
    wxUIActionSimulator simulate;
    camera.rotation = Quat{0.6f, 0, 0, 0.8f};
    for (const auto& k : keys) {
        const int32_t before = shown;
        simulate.Char(k.key);
        Pump();
        EXPECT_TRUE(k.done(before)) << k.what;
    }
    Press(*frame, ids::kLoadSkinFromModel, wxEVT_MENU);  // the entries without keys
    EXPECT_EQ(Bar().mapEdits[0]->GetValue(), "knot.pcx") << "the skin the sample names, found beside it";
    Press(*frame, ids::kResetView, wxEVT_MENU);
    EXPECT_TRUE(SameView(camera, Camera{}) && Messages().empty());
    simulate.Char('q', wxMOD_CONTROL);  // Ctrl+Q exits
    Pump();
    EXPECT_EQ(TheApp().mainFrame, nullptr);
}

TEST_F(Viewer, FileSkinOffersTheNamedSkinsThenThePicturesBesideAndTheStatusLineTellsOfLostCoordinates) {
    testing::TempDir dir;
    auto quad = testing::SmallQuad();
    quad.skins = {"models/x/Blue.pcx", "red.pcx", "missing.pcx"};
    quad.triangles[0].texCoord[1] = 65535;  // as games shipped some: a corner without a coordinate
    const fixtures::IndexedPicture picture{2, 1, {0, 1}, {{1, 2, 3}, {4, 5, 6}}};
    const std::string model = dir.Write("models/x/tris.md2", fixtures::WriteMd2(quad)).string();
    const std::string blue = dir.Write("models/x/BLUE.PCX", fixtures::WritePcx(picture)).string();
    const std::string red = dir.Write("models/x/red.png", fixtures::WriteBmp8(picture)).string();
    dir.Write("models/x/other.bmp", fixtures::WriteBmp8(picture));
    dir.Write("models/x/notes.txt", {'h', 'i'});
    frame->Cmd().OpenFiles({model});
    EXPECT_NE(Status().find(
                  "4 vertices, 2 triangles \u00b7 1 triangle corner names a texture coordinate the model does not "
                  "have; it uses the picture's corner (0, 0) \u00b7 " + model),
              std::string::npos);
    const auto menu = [&] { return Shown(*frame->SkinMenu()); };
    // Opened from outside, it wears the first skin it names that is there.
    EXPECT_EQ(menu(), "No Skin|*models/x/Blue.pcx (" + blue + ")|red.pcx (" + red +
                          ")|-missing.pcx (not found)|other.bmp|");
    for (const auto& [id, texture] : {std::pair{ids::kFirstSkinChoice + 1, "red.png"},
                                      {ids::kFirstSkinChoice + 3, "other.bmp"}, {ids::kSkinNone, ""}}) {
        Press(*frame, id, wxEVT_MENU);
        EXPECT_EQ(Bar().mapEdits[0]->GetValue(), texture) << id;
    }
    Press(*frame, ids::kFirstSkinChoice, wxEVT_MENU);
    EXPECT_EQ(menu(), "No Skin|*models/x/Blue.pcx (" + blue + ")|red.pcx (" + red +
                          ")|-missing.pcx (not found)|other.bmp|");
    Click(ids::kModelRemove);
    EXPECT_EQ(menu() + Status(), "") << "no model, nothing to say";
    EXPECT_TRUE(Messages().empty());
}

// A player's folder on the command line opens as the game dresses it: its body wearing the first player skin and
// its weapon, the player's skins first in File > Skin, its weapons in File > Weapon, which swaps the weapon's entry.
// A model from outside naming a picture beside it opens wearing it.
TEST_F(Viewer, APlayerFolderOpensDressedWithItsSkinsAndWeaponsInTheFileMenu) {
    testing::TempDir dir;
    const std::vector<uint8_t> model = fixtures::WriteMd2(testing::SmallQuad());
    const auto pcx = [](uint8_t v) { return fixtures::WritePcx({1, 1, {0}, {{v, v, v}}}); };
    for (const char* name : {"tris.md2", "weapon.md2", "W_Railgun.md2"}) dir.Write(std::string("baseq2/players/male/") + name, model);
    for (const char* name : {"weapon.pcx", "grunt.pcx", "grunt_i.pcx", "Cipher.PCX", "cipher_I.pcx", "nobody.pcx"})
        dir.Write(std::string("baseq2/players/male/") + name, pcx(7));
    const std::string folder = (dir.Path() / "baseq2/players/male").string();
    frame->Cmd().OpenFiles({folder});
    Pump();
    const auto list = [&] {
        std::string out;
        for (unsigned i = 0; i < Bar().modelList->GetCount(); ++i) out += Bar().modelList->GetString(i).utf8_string() + "|";
        return out + Bar().mapEdits[0]->GetValue().utf8_string();
    };
    EXPECT_EQ(list(), "tris.md2|weapon.md2|Cipher.PCX");
    const std::string skins = Shown(*frame->SkinMenu());
    EXPECT_EQ(skins.substr(0, 22), "No Skin|*Cipher|grunt|") << "the player's skins, then the other pictures: " << skins;
    EXPECT_EQ(Shown(*frame->WeaponMenu()), "*weapon|W_Railgun|None|");
    Press(*frame, ids::kFirstWeaponChoice + 1, wxEVT_MENU);
    EXPECT_EQ(list(), "tris.md2|W_Railgun.md2|Cipher.PCX");
    EXPECT_EQ(Shown(*frame->WeaponMenu()), "weapon|*W_Railgun|None|");
    Press(*frame, ids::kFirstWeaponChoice + 2, wxEVT_MENU);
    EXPECT_EQ(list(), "tris.md2|Cipher.PCX");
    // A model of no player has no weapons: the submenu is greyed and empty.
    auto dolphin = testing::SmallQuad();
    dolphin.skins = {"dolphin_f.bmp"};
    const std::string outside = dir.Write("Downloads/dolphin.md2", fixtures::WriteMd2(dolphin)).string();
    dir.Write("Downloads/dolphin_f.bmp", fixtures::WriteBmp8({1, 1, {0}, {{1, 2, 3}}}));
    frame->Cmd().OpenFiles({outside});
    Pump();
    EXPECT_EQ(list(), "tris.md2|dolphin.md2|dolphin_f.bmp");
    EXPECT_EQ(Shown(*frame->WeaponMenu()), "");
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Viewer, AnArchiveOpensWhatIsChosenInItsChooserAndTheStatusLineAndTipSayWhereFrom) {
    testing::TempDir dir;
    auto quad = testing::SmallQuad();
    quad.skins = {"players/ogro/skin.pcx"};
    const std::vector<uint8_t> model = fixtures::WriteMd2(quad);
    const std::string pak0 = dir.Write("baseq2/pak0.pak", fixtures::WritePak({{"players/male/tris.md2", model},
                                                                            {"players/ogro/tris.md2", model},
                                                                            {"players/ogro/weapon.md2", model}}));
    dir.Write("baseq2/pak1.pak", fixtures::WritePak({{"players/ogro/skin.pcx", fixtures::WritePcx({1, 1, {0}, {{9, 9, 9}}})}}));
    std::vector<std::string> rows;  // what the chooser listed: all, filtered, all again
    g_dialogs.act = [&](wxDialog& dialog) {
        auto& chooser = dynamic_cast<ArchiveChooserDialog&>(dialog);
        const auto listed = [&] {
            std::string out;
            for (unsigned i = 0; i < chooser.list->GetCount(); ++i)
                out += (chooser.list->IsSelected(static_cast<int>(i)) ? "*" : "") + chooser.list->GetString(i).utf8_string() + "|";
            rows.push_back(out);
        };
        listed();
        chooser.filter->SetValue("OGRO/T");  // typing filters, whatever the case
        listed();
        chooser.list->SetSelection(0);
        wxCommandEvent picked(wxEVT_LISTBOX, chooser.list->GetId());
        picked.SetEventObject(chooser.list);
        chooser.list->GetEventHandler()->ProcessEvent(picked);
        chooser.filter->SetValue("");  // the choice outlives the filter
        listed();
    };
    frame->Cmd().OpenFiles({pak0});  // as a drop
    Pump();
    EXPECT_EQ(rows, (std::vector<std::string>{"players/male/tris.md2|players/ogro/tris.md2|players/ogro/weapon.md2|",
                                              "players/ogro/tris.md2|",
                                              "players/male/tris.md2|*players/ogro/tris.md2|players/ogro/weapon.md2|"}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"dialog:Models in pak0.pak"});
    const std::string path = pak0 + "/players/ogro/tris.md2";
    EXPECT_EQ(std::tuple(Bar().modelList->GetString(0).utf8_string(), Bar().mapEdits[0]->GetValue().utf8_string(),
                         Bar().modelList->GetToolTipText().utf8_string()),
              std::tuple(std::string("tris.md2"), std::string("skin.pcx"),
                         "The open models: the one chosen here is the current model\n" + path));
    EXPECT_TRUE(Status().ends_with("4 vertices, 2 triangles \u00b7 " + path));
}

TEST_F(Viewer, AModelFromOutsideOpensLitAndFramedAndTheKeyboardStatusLineAndAnimationMenuDriveIt) {
    const std::string knot = MESHARA_SAMPLES_DIR "/knot.md2";
    frame->SetSize(720, 520);
    Pump();
    TheApp().OpenModels({knot, "/nonexistent/a.md2", "/nonexistent/b.pcx"});
    Pump();
    Save(CaptureFrame(*frame), "first-open.png");
    const ModelSlot& slot = *Doc().models.CurrentModel();
    const Camera& camera = frame->view->State().camera;
    EXPECT_TRUE(IsLit(slot) && Doc().lights.lights.front()->name == "Key" && camera.zoom != Camera{}.zoom)
        << "lit by a new Key light and framed";
    ASSERT_EQ(Messages().size(), 1u) << "one box for both refused files";
    // The status line follows the frame, the animation and playback.
    const auto starts = [&](const std::string& prefix) { return Status().rfind(prefix, 0) == 0; };
    EXPECT_TRUE(starts("frame 0 (12 frames): pulse0 \u00b7 pulse 1/12 \u00b7 stopped")) << Status();
    Press(*frame, ids::kNextFrame, wxEVT_MENU);
    Press(*frame, ids::kFirstPlaybackSpeed + 1, wxEVT_MENU);  // half speed
    Press(*frame, ids::kPlayAnimation, wxEVT_MENU);
    EXPECT_TRUE(starts("frame 1 (12 frames): pulse1 \u00b7 pulse 2/12 \u00b7 playing at \u00bd\u00d7")) << Status();
    Press(*frame, ids::kPlayAnimation, wxEVT_MENU);
    // Rendering > Animation: the stepping entries, the sample's one animation (checked), the speeds.
    frame->RebuildAnimationMenu();
    std::string entries;
    for (const wxMenuItem* item : frame->AnimationMenu()->GetMenuItems())
        entries += (item->IsSeparator() ? std::string("-")
                                        : (item->IsCheckable() && item->IsChecked() ? "*" : "") +
                                              item->GetItemLabelText().utf8_string()) + "|";
    EXPECT_EQ(entries, "Next Animation|Previous Animation|-|*pulse (12)|-|\u00bc\u00d7|*\u00bd\u00d7|1\u00d7|2\u00d7|4\u00d7|");
    // Tab reaches every control of the bar, row by row and left to right; Space presses the button it is on.
    wxUIActionSimulator simulate;
    frame->Raise();
    Bar().modelList->SetFocus();
    Pump();
    const auto getFocus = reinterpret_cast<void* (*)(void*)>(dlsym(RTLD_DEFAULT, "gtk_window_get_focus"));
    const auto isAncestor = reinterpret_cast<int (*)(void*, void*)>(dlsym(RTLD_DEFAULT, "gtk_widget_is_ancestor"));
    ASSERT_TRUE(getFocus && isAncestor);
    std::vector<wxPoint> visited;
    std::string seen;
    for (int i = 0; i < 29; ++i, simulate.Char(WXK_TAB), Pump()) {
        // The control holding the toolkit's focus: a drop-down's focus is on a button inside it.
        wxWindow* focus = nullptr;
        void* widget = getFocus(frame->GetHandle());
        for (wxWindow* w : Bar().GetChildren())
            if (widget && (widget == w->GetHandle() || isAncestor(widget, w->GetHandle()))) focus = w;
        if (focus) visited.push_back(focus->GetPosition());
        seen += focus ? AccessibleName(focus) + "|" : "?|";
    }
    EXPECT_EQ(visited.size(), 29u) << seen;
    EXPECT_TRUE(std::is_sorted(visited.begin(), visited.end(),
                               [](wxPoint a, wxPoint b) { return a.y != b.y ? a.y < b.y : a.x < b.x; }));
    Bar().Button(ids::kGlobalLightAdd)->SetFocus();
    Pump();
    const bool playing = frame->view->State().playback.playing;
    simulate.Char(WXK_SPACE);
    Pump();
    EXPECT_EQ(std::pair(Doc().lights.Count(), frame->view->State().playback.playing), std::pair(2, playing))
        << "Space pressed the focused button, not Play";
    // Home in a box moves its caret rather than fitting the view.
    wxTextCtrl* box = Bar().mapEdits[0];
    box->ChangeValue("knot.pcx");
    box->SetFocus();
    box->SetInsertionPointEnd();
    frame->view->State().camera.zoom = 3;
    simulate.Char(WXK_HOME);
    Pump();
    EXPECT_EQ(std::pair(box->GetInsertionPoint(), frame->view->State().camera.zoom), std::pair(0L, 3.0f));
    // The About box's picture tells what it shows.
    AboutDialog about(frame);
    EXPECT_EQ(AccessibleName(about.picture), "Torvane's Meshara");
}

TEST_F(Viewer, ShowEntriesDrawOverTheViewAndSaveAnimationWritesEveryFrameWithProgress) {
    frame->SetClientSize(520, 300);
    Pump();
    int width = 0, height = 0;
    std::vector<uint8_t> plain, shown;
    ASSERT_NO_FATAL_FAILURE(FitSample(width, height, plain));
    wxMenuBar* bar = frame->GetMenuBar();
    for (int id : {ids::kShowNormals, ids::kShowBoundingBox, ids::kShowFloorGrid}) {
        Press(*frame, id, wxEVT_MENU);
        bar->GetMenu(1)->UpdateUI(frame);
        EXPECT_TRUE(bar->IsChecked(ToolkitId(id))) << id;
        ASSERT_TRUE(frame->view->ReadPixels(width, height, shown));
        EXPECT_NE(shown, plain) << id;
        plain = shown;
    }
    Save(CaptureFrame(*frame), "show-items.png");
    // The sample's "pulse", twelve frames, as the view shows it.
    const std::string saved =
        (std::filesystem::temp_directory_path() / ("meshara-gui-pulse-" + std::to_string(getpid()) + ".gif")).string();
    g_dialogs.paths = {saved};
    Press(*frame, ids::kSaveAnimation, wxEVT_MENU);
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "save:GIF animation (*.gif)|*.gif|WebP animation (*.webp)|*.webp|All Files (*.*)|*.*"});
    EXPECT_EQ(wxImage::GetImageCount(saved, wxBITMAP_TYPE_GIF), 12);
    const wxImage first(saved, wxBITMAP_TYPE_GIF, 0);
    EXPECT_TRUE(first.IsOk() && first.GetWidth() == width && first.GetHeight() == height);
    std::filesystem::remove(saved);
    EXPECT_EQ(Doc().models.currentFrame, 0) << "the view's own frame is left alone";
}

TEST_F(Viewer, SkinLayoutOpensFromTheMenuFollowsTheModelAndPicksOutTheTriangleUnderThePointer) {
    int width = 0, height = 0;
    std::vector<uint8_t> plain, picked;
    ASSERT_NO_FATAL_FAILURE(FitSample(width, height, plain));
    Press(*frame, ids::kShowSkinLayout, wxEVT_MENU);
    Pump();
    wxMenuBar* bar = frame->GetMenuBar();
    bar->GetMenu(1)->UpdateUI(frame);
    ASSERT_TRUE(frame->layoutWindow && frame->layoutWindow->IsShown());
    EXPECT_TRUE(bar->IsChecked(ToolkitId(ids::kShowSkinLayout)));
    LayoutWnd& layout = *frame->layoutWindow;
    EXPECT_EQ(layout.Shown().GetSize(), wxSize(128 * 4, 128 * 4)) << "the knot's 128 x 128 skin, 4 pixels a pixel";
    EXPECT_GE(layout.picture->GetClientSize().x, 512) << "shown whole";
    const auto point = [&](int x, int y) {
        wxMouseEvent motion(wxEVT_MOTION);
        motion.SetPosition(wxPoint(x, y));
        motion.SetEventObject(layout.picture);
        layout.picture->GetEventHandler()->ProcessEvent(motion);
        Pump();
        return frame->view->State().pointedTriangle;
    };
    const auto at = [&](int x, int y) {
        const wxImage shown = layout.Shown().ConvertToImage();
        return std::vector{shown.GetRed(x, y), shown.GetGreen(x, y), shown.GetBlue(x, y)};
    };
    const auto before = at(256, 256);
    EXPECT_GE(point(256, 256), 0);
    ASSERT_TRUE(frame->view->ReadPixels(width, height, picked));
    EXPECT_NE(picked, plain) << "the triangle picked out in the view";
    EXPECT_NE(at(256, 256), before) << "and in the layout";
    if (std::getenv("MESHARA_SCREENSHOT_DIR")) {  // the user guide's picture: the layout beside the main window
        const wxImage main = CaptureFrame(*frame).ConvertToImage();
        layout.SetPosition(wxPoint(main.GetWidth(), 0));
        layout.Raise();
        for (int i = 0; i < 10; ++i, wxMilliSleep(20)) Pump();
        const wxRect rect = layout.GetScreenRect();
        wxBitmap grab(rect.width, rect.height);
        wxScreenDC screen;
        wxMemoryDC(grab).Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
        wxImage both(main.GetWidth() + rect.width, std::max(main.GetHeight(), rect.height));
        both.Paste(main, 0, 0);
        both.Paste(grab.ConvertToImage(), main.GetWidth(), 0);
        Save(wxBitmap(both), "skin-layout.png");
    }
    // Another model: the layout follows it (64 x 32, 8 pixels a pixel); its two halves are found where they lie.
    const testing::TempDir dir;
    ASSERT_TRUE(frame->Cmd().OpenModelPath(dir.Write("quad.md2", fixtures::WriteMd2(testing::SmallQuad())).string()));
    Pump();
    EXPECT_EQ(layout.Shown().GetSize(), wxSize(512, 256));
    EXPECT_EQ((std::vector{point(384, 64), point(64, 192), point(600, 10)}), (std::vector{0, 1, -1}));
    // Its own Save writes the layout; its close box hides it and clears the check.
    const std::string saved = (dir.Path() / "layout.png").string();
    g_dialogs.paths = {saved};
    Press(*layout.saveButton, layout.saveButton->GetId());
    EXPECT_EQ(Messages(), std::vector<std::string>{kPngFiles});
    EXPECT_EQ(wxImage(saved, wxBITMAP_TYPE_PNG).GetSize(), wxSize(512, 256));
    layout.Close();
    Pump();
    bar->GetMenu(1)->UpdateUI(frame);
    EXPECT_FALSE(layout.IsShown() || bar->IsChecked(ToolkitId(ids::kShowSkinLayout)) || frame->view->State().layoutShown);
}

TEST_F(Viewer, ScreenshotOfTheSampleWithSkinAndLightThenClosingLeavesNothing) {
    frame->SetSize(720, 520);
    Pump();
    ModelSlot& model = AddSample();
    EXPECT_TRUE(LoadMapFile(model, MapKind::Glow, MESHARA_SAMPLES_DIR "/knot.bmp"));
    model.MapOn(MapKind::Glow) = false;  // loaded, not shown
    Doc().lights.selectedGlobalLight = model.currentLight = 0;
    frame->view->State().camera.rotation = Quat{0.2f, 0.1f, 0, 0.974679f};
    frame->RefreshOptionsBar();
    for (int i = 0; i < 2; ++i, Pump()) frame->RequestRedraw();
    EXPECT_EQ(frame->view->LiveTextureCount(), 1) << "a texture for the picture drawn, none for the one switched off";
    const wxBitmap shot = CaptureFrame(*frame);
    // The view's place in the frame; its sunken border may reach a pixel past the frame's bottom.
    const wxRect view = wxRect(frame->view->GetScreenPosition() - frame->GetScreenPosition(), frame->view->GetSize())
                            .Intersect(wxRect(shot.GetSize()));
    const wxImage part = shot.ConvertToImage().GetSubImage(view);
    int lit = 0;
    for (const uint8_t* p = part.GetData(); p < part.GetData() + 3 * view.width * view.height; p += 3)
        lit += p[0] + p[1] + p[2] > 120;
    EXPECT_GT(lit, view.width * view.height / 20) << "the view's part: the knot, lit and coloured";
    Save(shot, "viewer.png");
    frame->Cmd().ToggleWireframe();  // the wireframe picture for the user guide
    Save(CaptureFrame(*frame), "wireframe.png");
    frame->Close(true);
    Pump();
    EXPECT_EQ(Doc().models.Count() + Doc().lights.Count(), 0);
    TheApp().mainFrame = nullptr;
}

}  // namespace
}  // namespace meshara

wxIMPLEMENT_APP_NO_MAIN(meshara::ViewerApp);

int main(int argc, char** argv) { return meshara::RunViewerTests(argc, argv, meshara::g_dialogs); }
