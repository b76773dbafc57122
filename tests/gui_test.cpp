// The real main window under Xvfb: start-up state, menus, layout, the options bar's captions and routing,
// the two number dialogs, spinning from idle time, a screenshot and teardown.

#include <gtest/gtest.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <filesystem>
#include <utility>

#include "formats/lgt_file.h"
#include "gui/accessibility.h"
#include "gui/dialogs.h"
#include "gui/gl_wnd.h"
#include "gui/main_wnd.h"
#include "gui/options_bar.h"
#include "gui/toolkit_ids.h"
#include "gui/viewer_app.h"
#include "io/file_bytes.h"
#include "session/command_ids.h"
#include "session/messages.h"
#include "session/scene_setup.h"

namespace meshara {
namespace {

// Modal dialogs (message boxes above all) must not block a test: they are answered at once and their texts recorded.
class AnswerDialogs : public wxModalDialogHook {
public:
    std::vector<std::string> shown;
    std::vector<std::string> extended;  // the secondary text of each message box
    std::vector<std::string> paths;      // answers for real file dialogs, in order; none left cancels
    int Enter(wxDialog* dialog) override {
        if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
            shown.push_back("files:" + files->GetWildcard().utf8_string());
            if (paths.empty()) return wxID_CANCEL;
            const wxString path = wxString::FromUTF8(paths.front());
            paths.erase(paths.begin());
            files->SetPath(path);
            // The toolkit's chooser takes the file once it has read the
            // folder, which happens in the event loop.
            for (int i = 0; i < 200 && files->GetPath() != path; ++i) {
                wxTheApp->Yield(true);
                wxMilliSleep(5);
            }
            return wxID_OK;
        }
        auto* box = dynamic_cast<wxMessageDialog*>(dialog);
        shown.push_back(box ? box->GetMessage().utf8_string() : "dialog:" + dialog->GetTitle().utf8_string());
        if (box) extended.push_back(box->GetExtendedMessage().utf8_string());
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
};

AnswerDialogs g_dialogs;
const std::vector<std::string> kNotANumber = {"Please enter a number."};

void Pump() {
    for (int i = 0; i < 5; ++i) {
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
        wxTheApp->ProcessPendingEvents();
        wxYield();
    }
}

// A button press, menu command or choice sent to a window, as the control
// would send it; id is the program's, as the toolkit knows it.
void Press(wxWindow& window, int id, wxEventType type = wxEVT_BUTTON) {
    wxCommandEvent event(type, ToolkitId(id));
    event.SetEventObject(&window);
    window.GetEventHandler()->ProcessEvent(event);
}

std::vector<std::string> Messages() { return std::exchange(g_dialogs.shown, {}); }  // since the last call

void Fill(std::initializer_list<std::pair<wxTextCtrl*, const char*>> boxes) {
    for (auto [box, text] : boxes) box->SetValue(wxString::FromUTF8(text));
}

class Viewer : public ::testing::Test {
protected:
    void SetUp() override {
        ViewerApp& app = TheApp();
        if (app.mainFrame) {
            app.mainFrame->Close(true);
            Pump();
            wxTheApp->ProcessIdle();  // deletes the closed window
        }
        app.Doc() = Document{};
        ASSERT_TRUE(app.CreateMainWindow());
        frame = app.mainFrame;
        Pump();
        Messages();
    }

    Document& Doc() { return TheApp().Doc(); }
    OptionsBar& Bar() { return *frame->optionsBar; }
    void Click(int id) {
        ASSERT_NE(Bar().Button(id), nullptr) << id;
        Press(*Bar().Button(id), id);
        Pump();
    }
    std::string Captions(std::initializer_list<int> buttons) {  // each followed by "|"
        std::string out;
        for (int id : buttons) out += Bar().Button(id)->GetLabel().utf8_string() + "|";
        return out;
    }
    // The sample, skinned and lit by its own light, as the current model.
    ModelSlot& AddLitSample(std::shared_ptr<const Md2Model> model = nullptr) {
        ModelSlot& slot = model ? AddModel(Doc().models, std::move(model)) : AddSampleModel();
        EXPECT_TRUE(LoadMapFile(slot, MapKind::Texture, MESHARA_SAMPLES_DIR "/knot.pcx"));
        auto light = LoadLightFile(MESHARA_SAMPLES_DIR "/warm-key.lgt");
        EXPECT_TRUE(light);
        AddLightTo(Doc(), slot, light.Take());
        return slot;
    }
    ModelSlot& AddSampleModel() {
        auto slot = OpenModelFile(Doc().models, MESHARA_SAMPLES_DIR "/knot.md2");
        EXPECT_TRUE(slot);
        return *slot.Value();
    }
    MainWnd* frame = nullptr;
};

TEST_F(Viewer, StartsEmptyWithTheDefaultSettingsAndMenus) {
    EXPECT_EQ(frame->GetTitle(), "Torvane's Meshara");
    EXPECT_EQ(wxTheApp->GetVendorName(), "Torvane");
    const Document& d = Doc();
    const float* bg = d.settings.backgroundColor;
    // Models, current model, frame, selected light, texture filter (Tri-MIP), Fast, black background.
    EXPECT_EQ((std::vector{d.models.Count(), d.models.currentModel, d.models.currentFrame, d.lights.selectedGlobalLight,
                           d.settings.textureFilter, d.settings.multiPassMode, int(bg[0] + bg[1] + bg[2])}),
              (std::vector{0, -1, 0, -1, 4, 0, 0}));
    EXPECT_TRUE(frame->view->GlReady()) << "the context is made when the view is first shown";
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 3u);
    wxString labels = bar->GetMenuLabel(0) + bar->GetMenuLabel(1) + bar->GetMenuLabel(2) + "|";
    for (int id : {ids::kExportLight, ids::kImportLight, ids::kExit, ids::kTextureNearest, ids::kTextureLinear,
                   ids::kTextureNearMip, ids::kTextureBiMip, ids::kTextureTriMip, ids::kMultiPassFast,
                   ids::kMultiPassSafe, ids::kBackgroundColor, ids::kWireframe, ids::kEnvironmentMap, ids::kAbout})
        labels += (bar->FindItem(ToolkitId(id)) ? bar->FindItem(ToolkitId(id))->GetItemLabel() : "(none)") + "|";
    EXPECT_EQ(labels, "&File&Rendering&Help|Export to LGT|Import from LGT|E&xit|&Nearest|&Linear|Near-&MIP|"
                      "&Bi-MIP|&Tri-MIP|&Fast|&Safe|Background Color...|Wireframe|Environment Map|"
                      "&About Torvane's Meshara|");
    // One check per group; the environment map is greyed without a current model. Then Nearest, with a model.
    for (int filter : {4, 0}) {
        for (size_t i = 0; i < 3; ++i) bar->GetMenu(i)->UpdateUI(frame);
        for (int id = ids::kTextureNearest; id <= ids::kTextureTriMip; ++id)
            EXPECT_EQ(bar->IsChecked(ToolkitId(id)), id == ids::kTextureNearest + filter) << id;
        EXPECT_TRUE(bar->IsChecked(ToolkitId(ids::kMultiPassFast)) && !bar->IsChecked(ToolkitId(ids::kMultiPassSafe)));
        EXPECT_EQ(bar->IsEnabled(ToolkitId(ids::kEnvironmentMap)), filter == 0);
        frame->Cmd().SetTextureFilter(0);
        AddSampleModel();
    }
}

TEST_F(Viewer, BarKeepsItsWidthAtTheRightAndRowsFollowTheRowHeight) {
    for (int width : {300, 150}) {
        frame->SetClientSize(width, 320);
        Pump();
        frame->LayoutChildren();
        const wxRect bar = frame->optionsBar->GetRect(), view = frame->view->GetRect();
        EXPECT_EQ(bar, wxRect(width - 200, 0, 200, frame->GetClientSize().y)) << width;
        EXPECT_TRUE(view.x == 0 && view.width == std::max(0, width - 200)) << width;
    }
    frame->SetClientSize(500, 420);
    Pump();
    const int h = Bar().RowHeight();
    ASSERT_GT(h, 0);
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(Bar().Button(ids::kFirstBarButton + 3 * row)->GetRect(), wxRect(139, 1 + row * (h + 2), 20, h))
            << "row " << row;
    EXPECT_EQ(Bar().Button(ids::kLightProperties)->GetRect(), wxRect(139, 7 * h + 13, 60, h));
    EXPECT_EQ(Bar().globalLights->GetRect().y, 6 * h + 13);
    EXPECT_EQ(Bar().globalLights->GetRect().GetBottom(), Bar().GetClientSize().y - 2) << "one pixel above the bottom";
    for (auto [upper, lower] : {std::pair{0, 1}, {1, 2}, {2, 3}})  // texture, diffusion, specularity, glow
        EXPECT_LT(Bar().mapEdits[upper]->GetPosition().y, Bar().mapEdits[lower]->GetPosition().y) << upper;
}

TEST_F(Viewer, AboutPictureDialogLabelsAndTabOrderSitWhereTheyShould) {
    AboutDialog about(frame);
    EXPECT_EQ(about.picture->GetPosition(), about.ConvertDialogToPixels(wxPoint(2, 2)));
    EXPECT_EQ(about.picture->GetSize(), wxSize(216 + 2, 79 + 2)) << "its own size in a one-pixel frame";
    LightRecord light;
    LightPropertiesDialog dialog(frame, light, {});
    const struct { const char* label; wxPoint at; } labels[] = {
        {"Name", {4, 8}}, {"Position", {4, 25}}, {"Direction", {4, 40}},
        {"Ambient Color", {4, 56}}, {"Diffuse Color", {4, 72}}, {"Specular Color", {4, 88}},
    };
    for (const auto& l : labels) {
        const wxWindow* found = nullptr;
        for (const wxWindow* w : dialog.GetChildren())
            if (dynamic_cast<const wxStaticText*>(w) && w->GetLabel() == l.label) found = w;
        ASSERT_NE(found, nullptr) << l.label;
        EXPECT_EQ(found->GetPosition(), dialog.ConvertDialogToPixels(l.at)) << l.label;
    }
    // Tab visits the bar's boxes and lists from the top down.
    std::vector<int> tops;
    for (const wxWindow* w : Bar().GetChildren())
        if (w->CanAcceptFocusFromKeyboard()) tops.push_back(w->GetPosition().y);
    EXPECT_EQ(tops.size(), 7u);
    EXPECT_TRUE(std::is_sorted(tops.begin(), tops.end()));
}

TEST_F(Viewer, OpenedFilesFillTheBarEachClickRunsOneCommandAndRefreshesFireNoHandler) {
    int events = 0;
    auto count = [&](wxCommandEvent& e) { ++events; e.Skip(); };
    for (const auto& type : {wxEVT_CHOICE, wxEVT_LISTBOX, wxEVT_TEXT}) Bar().Bind(type, count);  // from any control
    std::vector<std::string> answers = {MESHARA_SAMPLES_DIR "/knot", MESHARA_SAMPLES_DIR "/knot.bmp"};
    std::vector<FileDialogRequest> asked;
    frame->fileChooser = [&](const FileDialogRequest& request, std::string& path, int& filter) {
        asked.push_back(request);
        filter = 0;
        if (asked.size() > answers.size()) return false;
        path = answers[asked.size() - 1];
        return true;
    };
    const std::initializer_list<int> toggles = {ids::kModelToggle, ids::kModelLightToggle, ids::kGlobalLightToggle,
                                                ids::kDiffusionMapLoad + 2, ids::kTextureMapLoad + 2};
    EXPECT_EQ(Captions(toggles), " | | | | |") << "blank until the first refresh";
    Click(ids::kGlobalLightAdd);
    EXPECT_EQ(Doc().lights.Count(), 1) << "one click, one light";
    EXPECT_EQ(Captions(toggles), "||*|||");
    Click(ids::kModelOpen);  // "knot" has no dot: ".md2" is added
    ASSERT_EQ(Doc().models.Count(), 1);
    EXPECT_EQ(asked[0].wildcard + " " + asked[0].initialName, "Quake2 Model (*.md2)|*.md2|All Files (*.*)|*.* *.md2");
    Click(ids::kDiffusionMapLoad);
    Click(ids::kModelLightAdd);
    EXPECT_EQ(Bar().modelList->GetStringSelection() + "|" + Bar().modelLights->GetStringSelection() + "|" +
                  Bar().globalLights->GetStringSelection(),
              "knot.md2|New Light|New Light");
    EXPECT_EQ(Bar().mapEdits[0]->GetValue() + "|" + Bar().mapEdits[1]->GetValue(), "|knot.bmp") << "texture, diffusion";
    EXPECT_EQ(Captions(toggles), "*|*|*|*||");
    Click(ids::kDiffusionMapLoad + 2);
    Click(ids::kGlobalLightToggle);
    EXPECT_EQ(Captions(toggles), "*|*||||");
    EXPECT_EQ(Bar().mapEdits[1]->GetValue(), "knot.bmp") << "switched off, still loaded";
    AddSampleModel();
    frame->RefreshOptionsBar();
    Pump();
    EXPECT_EQ(events, 0) << "refreshes fire no selection or text handler";
    // Model count and selection, the new model's light count, the global light selection.
    EXPECT_EQ((std::vector{int(Bar().modelList->GetCount()), Bar().modelList->GetSelection(),
                           int(Bar().modelLights->GetCount()), Bar().globalLights->GetSelection()}),
              (std::vector{2, 1, 0, 0}));
    Bar().modelList->SetSelection(0);  // a user's choice calls the frame's selection handler
    Press(*Bar().modelList, ids::kModelList, wxEVT_CHOICE);
    Pump();
    EXPECT_TRUE(Doc().models.currentModel == 0 && Bar().modelLights->GetCount() == 1u) << "the first, with its light";
    Press(*frame, ids::kNextFrame, wxEVT_MENU);  // the Right and Left arrows' commands step the frame
    EXPECT_EQ(Doc().models.currentFrame, 1);
    for (int i = 0; i < 2; ++i) Press(*frame, ids::kPreviousFrame, wxEVT_MENU);
    EXPECT_EQ(Doc().models.currentFrame, 11);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Viewer, NumberDialogsApplyRefuseBadNumbersAndStayOpenOnABadOk) {
    frame->Cmd().EditBackgroundColor();  // the hook answers OK at once with the boxes as they were
    EXPECT_EQ(Messages(), std::vector<std::string>{"dialog:Background Color"});
    EXPECT_EQ(Doc().settings.backgroundColor[0], 0);
    float rgb[3] = {0, 0, 0};
    std::vector<std::vector<float>> applied;
    BackgroundColorDialog background(frame, rgb, [&](const float* c) { applied.emplace_back(c, c + 3); });
    EXPECT_EQ(background.redBox->GetValue(), "0");
    Fill({{background.redBox, "2"}, {background.greenBox, "0.5"}, {background.blueBox, "-1"}});
    Press(background, ids::kApply);
    // Green is not a number: blue (read first) is applied, green and red keep their values.
    Fill({{background.redBox, "0.75"}, {background.greenBox, "abc"}, {background.blueBox, "0.25"}});
    Press(background, ids::kApply);
    EXPECT_EQ(Messages(), kNotANumber);
    EXPECT_EQ(applied, (std::vector<std::vector<float>>{{2, 0.5f, -1}, {2, 0.5f, 0.25f}}));
    // OK with a bad box prompts, stays open and copies nothing; beyond a float is not a number either.
    Press(background, wxID_OK);
    Fill({{background.greenBox, "1e40"}});
    Press(background, wxID_OK);
    EXPECT_EQ(Messages().size(), 2u);
    EXPECT_EQ(std::vector(rgb, rgb + 3), std::vector<float>(3, 0));
    LightRecord light;
    light.name = "Key";
    int lightApplied = 0;
    LightPropertiesDialog dialog(frame, light, [&] { ++lightApplied; });
    std::string shown;  // a new light's values, as the boxes show them
    for (int id : {1000, 1004, 1007, 1010, 1013, 1024}) shown += dialog.Box(id)->GetValue().utf8_string() + " ";
    EXPECT_EQ(shown, "150 -1 0 1 0.25 Key ");
    Fill({{dialog.Box(1007), "2"}});
    Press(dialog, ids::kApply);
    EXPECT_TRUE(lightApplied == 1 && light.ambient[0] == 2) << "Apply takes effect at once";
    // A letter in the first direction box: ambient and diffuse (read before it)
    // are taken; direction, position, specular and the name are not.
    Fill({{dialog.Box(1009), "0.5"}, {dialog.Box(1011), "0.75"}, {dialog.Box(1004), "x"}, {dialog.Box(1001), "7"},
          {dialog.Box(1015), "0.9"}, {dialog.Box(1024), "Renamed"}});
    Press(dialog, ids::kApply);
    EXPECT_EQ(Messages(), kNotANumber);
    EXPECT_TRUE(lightApplied == 2 && light.ambient[2] == 0.5f && light.diffuse[1] == 0.75f);
    EXPECT_TRUE(light.spotDirection[0] == -1 && light.position[1] == 150 && light.specular[2] == 0.25f &&
                light.name == "Key");
    // OK with the bad box keeps the dialog open and the light as it was; fixed, OK takes everything.
    Press(dialog, wxID_OK);
    EXPECT_TRUE(light.position[1] == 150 && light.name == "Key" && Messages() == kNotANumber);
    Fill({{dialog.Box(1004), "0"}});
    Press(dialog, wxID_OK);
    EXPECT_TRUE(light.spotDirection[0] == 0 && light.position[1] == 7 && light.name == "Renamed");
    EXPECT_EQ(light.position[3], 0) << "w is never edited";

    // Apply, then Cancel: the applied value stays and nothing else is read.
    LightPropertiesDialog again(frame, light, {});
    Fill({{again.Box(1010), "0.3"}});
    Press(again, ids::kApply);
    Fill({{again.Box(1013), "0.6"}});
    Press(again, wxID_CANCEL);
    EXPECT_TRUE(light.diffuse[0] == 0.3f && light.specular[0] == 0.25f);
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
    EXPECT_FALSE(camera.spinning);
    EXPECT_FALSE(idleTurns()) << "a click stops it";
}

TEST_F(Viewer, FilesFromTheCommandLineOpenByTheirContentAndARefusedOneSaysSo) {
    // Models first, whatever the order, so the picture lands on the last model opened.
    TheApp().OpenModels({MESHARA_SAMPLES_DIR "/knot.pcx", MESHARA_SAMPLES_DIR "/knot.md2",
                         MESHARA_SAMPLES_DIR "/missing.md2", MESHARA_SAMPLES_DIR "/warm-key.lgt",
                         MESHARA_SAMPLES_DIR "/knot.md2"});
    EXPECT_EQ(Doc().models.Count(), 2);
    EXPECT_EQ(Doc().models.currentModel, 1);
    EXPECT_EQ(Doc().lights.Count(), 1);
    ASSERT_TRUE(Doc().models.models[1]->Map(MapKind::Texture));
    EXPECT_EQ(Doc().models.models[1]->Map(MapKind::Texture)->fileName, "knot.pcx");
    EXPECT_EQ(Messages(), std::vector<std::string>{"There was an error loading the specified file!"});
    EXPECT_EQ(Bar().modelList->GetCount(), 2u);
}

TEST_F(Viewer, LightNameBytesSurviveTheRealDialogsAndRefusalsNameTheFile) {
    // Every byte value in a name, through the real Light Properties dialog:
    // a colour changed, Apply, OK; the name box untouched keeps the bytes.
    for (int b = 1; b < 256; ++b) {
        LightRecord light{.name = std::string("Caf") + static_cast<char>(b) + "!"};
        LightRecord expected = light;
        expected.ambient[0] = 0.5f;
        LightPropertiesDialog dialog(frame, light, {});
        Fill({{dialog.Box(1007), "0.5"}});
        Press(dialog, ids::kApply);
        Press(dialog, wxID_OK);
        ASSERT_EQ(SerializeLight(light), SerializeLight(expected)) << b;
    }
    EXPECT_TRUE(Messages().empty());
    // A typed name is stored as Windows-1252; a character outside it is refused.
    LightRecord typed{.name = "Old"};
    LightPropertiesDialog dialog(frame, typed, {});
    EXPECT_EQ(dialog.Box(1024)->GetValue(), "Old");
    Fill({{dialog.Box(1024), "Caf\u00e9 \u20ac"}});
    Press(dialog, ids::kApply);
    EXPECT_EQ(typed.name, "Caf\xE9 \x80");
    Fill({{dialog.Box(1024), "\u03a9"}});
    Press(dialog, wxID_OK);
    EXPECT_EQ(Messages(), std::vector<std::string>{msg::kNameOutsideSet});
    EXPECT_EQ(typed.name, "Caf\xE9 \x80") << "nothing of the refused box is stored";

    // Import and export through the real file dialogs: the list shows the
    // name as Windows-1252 and the exported file has the imported bytes.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "meshara-gui-names";
    std::filesystem::create_directories(dir);
    const LightRecord cafe{.name = "Caf\xE9"};
    const std::string in = (dir / "in.lgt").string(), out = (dir / "out.lgt").string();
    ASSERT_TRUE(WriteFileBytes(in, SerializeLight(cafe)));
    g_dialogs.paths = {in};
    frame->Cmd().ImportLight();
    ASSERT_EQ(Doc().lights.Count(), 1);
    EXPECT_EQ(Bar().globalLights->GetString(0), wxString::FromUTF8("Caf\u00e9"));
    Doc().lights.selectedGlobalLight = 0;
    g_dialogs.paths = {out};
    frame->Cmd().ExportLight();
    EXPECT_EQ(ReadFileBytes(out).Value(), SerializeLight(cafe));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"files:MSR Light (*.lgt)|*.lgt|All Files (*.*)|*.*",
                                                    "files:MSR Light (*.lgt)|*.lgt|All Files (*.*)|*.*"}));

    // A refused model and a refused light file: the fixed text, and beneath it the file and why.
    g_dialogs.extended.clear();
    frame->Cmd().OpenModelPath(in);
    const std::string junk = (dir / "junk.lgt").string();
    ASSERT_TRUE(WriteFileBytes(junk, std::vector<uint8_t>(300, 'j')));
    g_dialogs.paths = {junk};
    frame->Cmd().ImportLight();
    EXPECT_EQ(Messages(), (std::vector<std::string>{msg::kNotMd2, "files:MSR Light (*.lgt)|*.lgt|All Files (*.*)|*.*",
                                                    msg::kNotLight}));
    EXPECT_EQ(g_dialogs.extended, (std::vector<std::string>{in + ": the file does not start with \"IDP2\"",
                                                            junk + ": the file does not start with \"LGT0\""}));
    std::filesystem::remove_all(dir);
}

// What a window shows on the (virtual) screen, once its drawing has landed:
// the toolkit paints on its own clock, so the screen is read until two
// readings agree.
wxBitmap Capture(wxWindow& window) {
    window.Refresh(false);
    window.Update();
    const auto grab = [&] {
        Pump();
        wxScreenDC screen;
        const wxRect rect = window.GetScreenRect();
        wxBitmap shot(rect.width, rect.height);
        wxMemoryDC memory(shot);
        memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
        memory.SelectObject(wxNullBitmap);
        return shot;
    };
    wxBitmap shot = grab();
    for (int i = 0; i < 50; ++i) {
        wxBitmap again = grab();
        const wxImage a = shot.ConvertToImage(), b = again.ConvertToImage();
        shot = again;
        if (a.GetSize() == b.GetSize() &&
            std::equal(a.GetData(), a.GetData() + a.GetWidth() * a.GetHeight() * 3, b.GetData()))
            break;
    }
    return shot;
}

// The main window with the view's latest picture: a screen grab can lag
// behind the GL surface under Xvfb, so the view's part is read from GL.
wxBitmap CaptureFrame(MainWnd& frame) {
    wxImage image = Capture(frame).ConvertToImage();
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    if (!frame.view->ReadPixels(width, height, pixels)) return wxBitmap(image);
    const wxPoint at = frame.view->GetScreenPosition() - frame.GetScreenPosition();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
            if (at.x + x < image.GetWidth() && at.y + y < image.GetHeight())
                image.SetRGB(at.x + x, at.y + y, p[0], p[1], p[2]);
        }
    return wxBitmap(image);
}

// Screenshots go to MESHARA_SCREENSHOT_DIR (tools/make-screenshots points it
// at docs/images), else to the working folder.
void Save(const wxBitmap& shot, const char* name) {
    const char* dir = std::getenv("MESHARA_SCREENSHOT_DIR");
    const std::string path = ((dir ? std::filesystem::path(dir) : std::filesystem::current_path()) / name).string();
    ASSERT_TRUE(shot.SaveFile(path, wxBITMAP_TYPE_PNG)) << path;
    std::printf("screenshot: %s\n", path.c_str());
}

TEST_F(Viewer, ExtrasFollowEachMenusOwnEntriesAndEveryBarControlIsNamed) {
    wxMenuBar* bar = frame->GetMenuBar();
    auto labels = [](wxMenu* menu) {
        std::string out;
        for (const wxMenuItem* item : menu->GetMenuItems())
            out += (item->IsSeparator() ? std::string("-") : item->GetItemLabelText().utf8_string()) + "|";
        return out;
    };
    EXPECT_EQ(labels(bar->GetMenu(0)), "Light Transfer|-|Exit|-|Save View as PNG...|Load Skin from Model|");
    EXPECT_EQ(labels(bar->GetMenu(1)), "Texture|Multi-Pass|Background Color...|Wireframe|Environment Map|-|"
                                       "Play Animation|Fit Models|Reset View|");
    for (int id = ids::kFirstExtra; id <= ids::kPreviousAnimation - 2; ++id)
        EXPECT_TRUE(bar->FindItem(ToolkitId(id))) << id;
    EXPECT_TRUE(bar->FindItem(ToolkitId(ids::kPlayAnimation))->IsCheckable());
    // Every control of the bar says what it is to a screen reader and in a tooltip.
    std::set<std::string> names;
    for (wxWindow* w : Bar().GetChildren()) {
        EXPECT_FALSE(w->GetToolTipText().empty()) << w->GetLabel();
        names.insert(AccessibleName(w));
    }
    EXPECT_EQ(names.size(), 29u) << "one name each";
    EXPECT_EQ(AccessibleName(Bar().Button(ids::kModelOpen)), "Add model");
    EXPECT_EQ(AccessibleName(Bar().Button(ids::kModelToggle)), "Show or hide model");
}

TEST_F(Viewer, PlayRunsOnItsOwnClockAndAStepStopsItOnAWholeFrame) {
    AddLitSample();
    Press(*frame, ids::kPlayAnimation, wxEVT_MENU);
    const Playback& playback = frame->view->State().playback;
    ASSERT_TRUE(playback.playing);
    frame->GetMenuBar()->GetMenu(1)->UpdateUI(frame);
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(ToolkitId(ids::kPlayAnimation)));
    // 10 frames a second: two frames take 0.2 s of the real clock; a loaded
    // machine may take longer, so the wait ends on the frame, not on time.
    const wxLongLong deadline = wxGetLocalTimeMillis() + 10000;
    while (Doc().models.currentFrame < 2 && wxGetLocalTimeMillis() < deadline) {
        Pump();
        wxMilliSleep(5);
    }
    EXPECT_GE(Doc().models.currentFrame, 2) << "the timer moves playback on";
    Press(*frame, ids::kNextFrame, wxEVT_MENU);
    EXPECT_FALSE(playback.playing);
    EXPECT_FALSE(frame->PlaybackTimerRunning()) << "stopped means no more ticks";
}

TEST_F(Viewer, FitThenSaveViewWritesWhatTheCommandLineDrawsOfTheSameScene) {
    frame->SetClientSize(520, 300);
    Pump();
    AddLitSample();
    frame->view->State().camera.rotation = Quat{0.2f, 0.1f, 0, 0.974679f};
    Press(*frame, ids::kFitModels, wxEVT_MENU);
    EXPECT_EQ(frame->view->State().camera.rotation.w, 1.0f) << "turned back to the start orientation";
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "meshara-gui-save";
    std::filesystem::create_directories(dir);
    frame->fileChooser = [&](const FileDialogRequest& request, std::string& path, int&) {
        EXPECT_TRUE(request.forSaving);
        path = (dir / "view").string();  // no dot: ".png" is added
        return true;
    };
    Press(*frame, ids::kSaveView, wxEVT_MENU);
    const wxImage saved((dir / "view.png").string(), wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(saved.IsOk());
    const wxSize pixels = frame->view->PixelSize();
    EXPECT_EQ(saved.GetSize(), pixels) << "the view's own pixel size";
    const std::string command = std::string(MESHARA_CLI) + " render " MESHARA_SAMPLES_DIR "/knot.md2 --texture " +
                                MESHARA_SAMPLES_DIR "/knot.pcx --light " MESHARA_SAMPLES_DIR "/warm-key.lgt --fit --size " +
                                std::to_string(pixels.x) + "x" + std::to_string(pixels.y) + " -o " +
                                (dir / "cli.png").string() + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const wxImage drawn((dir / "cli.png").string(), wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(drawn.IsOk() && drawn.GetSize() == saved.GetSize());
    // Mesa rasterises a window and an offscreen buffer through different
    // paths: a few values along edges and highlights land a level or two
    // apart, nothing more.
    const int values = pixels.x * pixels.y * 3;
    int different = 0, worst = 0, lit = 0;
    for (int i = 0; i < values; ++i) {
        const int d = std::abs(saved.GetData()[i] - drawn.GetData()[i]);
        different += d != 0;
        worst = std::max(worst, d);
        lit += saved.GetData()[i] > 40;
    }
    EXPECT_LE(worst, 2);
    EXPECT_LT(different, values / 100) << "of " << values << " channel values";
    EXPECT_GT(lit, pixels.x * pixels.y / 10) << "the model is there, lit";
    std::filesystem::remove_all(dir);
    frame->RefreshOptionsBar();
    Save(CaptureFrame(*frame), "fitted.png");
}

TEST_F(Viewer, TheExtrasKeysAndMenuEntriesReachTheirCommands) {
    auto knot = ReadMd2File(MESHARA_SAMPLES_DIR "/knot.md2");
    ASSERT_TRUE(knot);
    knot.Value().frames[6].name = "other6";  // three animations: pulse 0-5, other 6, pulse 7-11
    ModelSlot& model = AddLitSample(std::make_shared<Md2Model>(MakeMd2Model(knot.Take(), "knot.md2")));
    model.path = MESHARA_SAMPLES_DIR "/knot.md2";
    model.Map(MapKind::Texture).reset();
    frame->DrivePlaybackByHand();  // nothing moves between the keys but the keys
    frame->Raise();
    frame->view->SetFocus();
    Pump();
    Camera& camera = frame->view->State().camera;
    const Playback& playback = frame->view->State().playback;
    std::string saved;
    frame->fileChooser = [&](const FileDialogRequest&, std::string& path, int&) {
        saved = path = (std::filesystem::temp_directory_path() / "meshara-f12.png").string();
        return true;
    };
    // Each check sees the shared frame as it was before its key.
    const struct { int key; std::function<bool(int32_t)> done; const char* what; } keys[] = {
        {WXK_HOME, [&](int32_t) { return camera.rotation.w == 1.0f && camera.zoom != Camera{}.zoom; }, "Home fits"},
        {WXK_SPACE, [&](int32_t) { return playback.playing; }, "Space plays"},
        {WXK_DOWN, [&](int32_t) { return Doc().models.currentFrame == 6; }, "Down: the next animation"},
        {WXK_UP, [&](int32_t) { return Doc().models.currentFrame == 0; }, "Up: the previous one"},
        {WXK_RIGHT, [&](int32_t was) { return !playback.playing && Doc().models.currentFrame == was + 1; },
         "Right stops and steps"},
        {WXK_RIGHT, [&](int32_t was) { return Doc().models.currentFrame == was + 1; }, "one whole frame a press"},
        {WXK_F12, [&](int32_t) { return std::filesystem::exists(saved); }, "F12 saves the view"},
    };
    wxUIActionSimulator simulate;
    camera.rotation = Quat{0.6f, 0, 0, 0.8f};
    for (const auto& k : keys) {
        const int32_t before = Doc().models.currentFrame;
        simulate.Char(k.key);
        Pump();
        EXPECT_TRUE(k.done(before)) << k.what;
    }
    std::filesystem::remove(saved);
    // The menu entries without keys.
    Press(*frame, ids::kLoadSkinFromModel, wxEVT_MENU);
    ASSERT_TRUE(model.Map(MapKind::Texture)) << "the skin the sample names, found beside it";
    EXPECT_EQ(model.Map(MapKind::Texture)->fileName, "knot.pcx");
    Press(*frame, ids::kResetView, wxEVT_MENU);
    EXPECT_TRUE(SameView(camera, Camera{}));
    EXPECT_TRUE(Messages().empty());
    simulate.Char('q', wxMOD_CONTROL);  // Ctrl+Q exits
    Pump();
    EXPECT_EQ(TheApp().mainFrame, nullptr);
}

TEST_F(Viewer, DroppedFilesGoWhereTheyWereDropped) {
    auto drop = [&](wxWindow* on, std::initializer_list<const char*> names) {
        wxArrayString files;
        for (const char* n : names) files.Add(wxString::FromUTF8(std::string(MESHARA_SAMPLES_DIR "/") + n));
        auto* target = dynamic_cast<wxFileDropTarget*>(on->GetDropTarget());
        ASSERT_NE(target, nullptr);
        EXPECT_TRUE(target->OnDropFiles(0, 0, files));
        Pump();
    };
    drop(frame->view, {"knot.bmp", "warm-key.lgt", "knot.md2"});  // a model with its skin and light, one drop
    ASSERT_EQ(Doc().models.Count(), 1);
    EXPECT_EQ(Doc().lights.Count(), 1);
    EXPECT_EQ(Bar().mapEdits[0]->GetValue(), "knot.bmp") << "texture row";
    drop(Bar().mapEdits[3], {"knot.pcx"});  // the glow map's box
    EXPECT_EQ(Bar().mapEdits[3]->GetValue(), "knot.pcx");
    drop(Bar().mapEdits[1], {"warm-key.lgt"});  // a light file is a light wherever it lands
    EXPECT_EQ(Doc().lights.Count(), 2);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Viewer, HiDpiViewDrawsAtItsPhysicalSizeWithTheModelInTheMiddle) {
    // Run a second time under GDK_SCALE=2 (see tests/CMakeLists.txt): the
    // picture must fill the whole view, not its lower-left quarter.
    const char* scaleText = std::getenv("GDK_SCALE");
    const double scale = frame->view->GetContentScaleFactor();
    EXPECT_EQ(scale, scaleText ? std::atof(scaleText) : scale);
    AddLitSample();
    frame->Cmd().FitModels();
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(frame->view->ReadPixels(width, height, rgb));
    const wxSize logical = frame->view->GetClientSize();
    EXPECT_EQ(wxSize(width, height), wxSize(std::lround(logical.x * scale), std::lround(logical.y * scale)));
    double sumX = 0, sumY = 0, count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            if (p[0] + p[1] + p[2] < 30) continue;
            sumX += x, sumY += y, count += 1;
        }
    ASSERT_GT(count, width * height / 20.0);
    EXPECT_NEAR(sumX / count / width, 0.5, 0.1);
    EXPECT_NEAR(sumY / count / height, 0.5, 0.1);
}

TEST_F(Viewer, ScreenshotOfTheSampleWithSkinAndLightThenClosingLeavesNothing) {
    frame->SetSize(720, 520);
    Pump();
    ModelSlot& model = AddLitSample();
    EXPECT_TRUE(LoadMapFile(model, MapKind::Glow, MESHARA_SAMPLES_DIR "/knot.bmp"));
    model.MapOn(MapKind::Glow) = false;  // loaded, not shown
    Doc().lights.selectedGlobalLight = model.currentLight = 0;
    frame->view->State().camera.rotation = Quat{0.2f, 0.1f, 0, 0.974679f};
    frame->RefreshOptionsBar();
    for (int i = 0; i < 2; ++i) {
        frame->RequestRedraw();
        Pump();
    }
    EXPECT_EQ(frame->view->LiveTextureCount(), 1) << "a texture for the picture drawn, none for the one switched off";
    const wxRect rect = frame->GetScreenRect();
    const wxBitmap shot = CaptureFrame(*frame);
    // The view's part of the window: the knot is lit and coloured.
    const wxImage image = shot.ConvertToImage();
    const wxRect view = frame->view->GetScreenRect();
    int lit = 0;
    for (int y = view.y - rect.y; y < view.GetBottom() - rect.y; ++y)
        for (int x = view.x - rect.x; x < view.GetRight() - rect.x; ++x)
            lit += image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y) > 120;
    EXPECT_GT(lit, view.width * view.height / 20) << "the lit model covers part of the view";
    Save(shot, "viewer.png");

    // The wireframe picture for the user guide.
    frame->Cmd().ToggleWireframe();
    Save(CaptureFrame(*frame), "wireframe.png");
    frame->Cmd().ToggleWireframe();
    frame->Close(true);
    Pump();
    EXPECT_EQ(Doc().models.Count() + Doc().lights.Count(), 0);
    TheApp().mainFrame = nullptr;
}

}  // namespace
}  // namespace meshara

wxIMPLEMENT_APP_NO_MAIN(meshara::ViewerApp);

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    wxApp::SetInstance(new meshara::ViewerApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start wxWidgets (is there a display?)\n");
        return 1;
    }
    wxInitAllImageHandlers();
    // The toolkit's own checks fail the test that trips them.
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                          const wxString& msg) {
        ADD_FAILURE_AT(file.utf8_str(), line) << "wxWidgets assertion in " << func << ": " << cond << " " << msg;
    });
    meshara::g_dialogs.Register();
    int rc = RUN_ALL_TESTS();
    if (meshara::TheApp().mainFrame) meshara::TheApp().mainFrame->Close(true);
    meshara::Pump();
    meshara::g_dialogs.Unregister();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
