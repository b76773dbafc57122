// The real main window under Xvfb: start-up state, menus and check marks,
// layout, the options bar's captions and routing, the Background Color
// dialog, spinning from idle time, teardown, and a screenshot.

#include <gtest/gtest.h>
#include <wx/modalhook.h>
#include <wx/wx.h>

#include <filesystem>

#include "app/dialogs.h"
#include "app/gl_wnd.h"
#include "app/main_wnd.h"
#include "app/ui_port.h"
#include "app/options_bar.h"
#include "app/viewer_app.h"
#include "lights/lgt_file.h"
#include "model/md2_loader.h"
#include "render/skin_texture.h"
#include "resources/ids.h"

namespace meshara {
namespace {

// Modal dialogs (message boxes above all) must not block a test: they are
// answered at once and their texts recorded.
class AnswerDialogs : public wxModalDialogHook {
public:
    std::vector<std::string> shown;

protected:
    int Enter(wxDialog* dialog) override {
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) shown.push_back(box->GetMessage().utf8_string());
        else shown.push_back("dialog:" + dialog->GetTitle().utf8_string());
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
};

AnswerDialogs* g_dialogs = nullptr;

void Pump() {
    for (int i = 0; i < 5; ++i) {
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
        wxTheApp->ProcessPendingEvents();
        wxYield();
    }
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
        g_dialogs->shown.clear();
    }

    Document& Doc() { return TheApp().Doc(); }
    OptionsBar& Bar() { return *frame->optionsBar; }

    void Click(int id) {
        wxButton* button = Bar().Button(id);
        ASSERT_NE(button, nullptr) << id;
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(button);
        button->GetEventHandler()->ProcessEvent(click);
        Pump();
    }

    std::string Caption(int id) { return Bar().Button(id)->GetLabel().utf8_string(); }

    void AddSampleModel() {
        auto model = LoadMd2Model(MESHARA_SAMPLES_DIR "/knot.md2");
        ASSERT_TRUE(model);
        Doc().models.models.push_back(model.Take());
        Doc().models.currentModel = Doc().models.Count() - 1;
    }

    MainWnd* frame = nullptr;
};

TEST_F(Viewer, StartsEmptyWithTheDefaultSettings) {
    EXPECT_EQ(frame->GetTitle(), "Torvane's Meshara");
    EXPECT_EQ(Doc().models.Count(), 0);
    EXPECT_EQ(Doc().models.currentModel, -1);
    EXPECT_EQ(Doc().models.currentFrame, 0);
    EXPECT_EQ(Doc().lights.selectedGlobalLight, -1);
    EXPECT_EQ(Doc().settings.textureFilter, 4);
    EXPECT_EQ(Doc().settings.multiPassMode, 0);
    EXPECT_EQ(Doc().settings.backgroundColor[0] + Doc().settings.backgroundColor[1] +
                  Doc().settings.backgroundColor[2],
              0);
    EXPECT_TRUE(frame->view->GlReady()) << "the context is made when the view is first shown";
    EXPECT_EQ(wxTheApp->GetVendorName(), "Torvane");
}

TEST_F(Viewer, MenusCarryTheirTextsAndIdsAndOneCheckPerGroup) {
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 3u);
    EXPECT_EQ(bar->GetMenuLabel(0), "&File");
    EXPECT_EQ(bar->GetMenuLabel(1), "&Rendering");
    EXPECT_EQ(bar->GetMenuLabel(2), "&Help");
    const struct {
        int id;
        const char* text;
    } items[] = {{ids::kExportLight, "Export to LGT"}, {ids::kImportLight, "Import from LGT"}, {ids::kExit, "E&xit"},
                 {ids::kTextureNearest, "&Nearest"},   {ids::kTextureLinear, "&Linear"},
                 {ids::kTextureNearMip, "Near-&MIP"},  {ids::kTextureBiMip, "&Bi-MIP"},
                 {ids::kTextureTriMip, "&Tri-MIP"},    {ids::kMultiPassFast, "&Fast"},
                 {ids::kMultiPassSafe, "&Safe"},       {ids::kBackgroundColor, "Background Color..."},
                 {ids::kWireframe, "Wireframe"},       {ids::kEnvironmentMap, "Environment Map"},
                 {ids::kAbout, "&About Torvane's Meshara"}};
    for (const auto& item : items) {
        wxMenuItem* found = bar->FindItem(item.id);
        ASSERT_NE(found, nullptr) << item.text;
        EXPECT_EQ(found->GetItemLabel(), item.text);
    }
    for (int i = 0; i < 3; ++i) bar->GetMenu(static_cast<size_t>(i))->UpdateUI(frame);
    int textureChecks = 0;
    for (int id = ids::kTextureNearest; id <= ids::kTextureTriMip; ++id) textureChecks += bar->IsChecked(id);
    EXPECT_EQ(textureChecks, 1);
    EXPECT_TRUE(bar->IsChecked(ids::kTextureTriMip));
    EXPECT_TRUE(bar->IsChecked(ids::kMultiPassFast));
    EXPECT_FALSE(bar->IsChecked(ids::kMultiPassSafe));
    EXPECT_FALSE(bar->IsEnabled(ids::kEnvironmentMap)) << "greyed without a current model";

    frame->Cmd().SetTextureFilter(0);
    AddSampleModel();
    for (int i = 0; i < 3; ++i) bar->GetMenu(static_cast<size_t>(i))->UpdateUI(frame);
    EXPECT_TRUE(bar->IsChecked(ids::kTextureNearest));
    EXPECT_FALSE(bar->IsChecked(ids::kTextureTriMip));
    EXPECT_TRUE(bar->IsEnabled(ids::kEnvironmentMap));
}

TEST_F(Viewer, BarKeepsItsWidthAtTheRightAndTheViewTakesTheRest) {
    for (int width : {300, 150}) {
        frame->SetClientSize(width, 320);
        Pump();
        frame->LayoutChildren();
        const wxRect bar = frame->optionsBar->GetRect();
        const wxRect view = frame->view->GetRect();
        EXPECT_EQ(bar.x, width - 200) << width;
        EXPECT_EQ(bar.width, 200) << width;
        EXPECT_EQ(bar.height, frame->GetClientSize().y) << width;
        EXPECT_EQ(view.x, 0) << width;
        EXPECT_EQ(view.width, std::max(0, width - 200)) << width;
    }
}

TEST_F(Viewer, BarRowsFollowTheRowHeight) {
    frame->SetClientSize(500, 420);
    Pump();
    const int h = Bar().RowHeight();
    ASSERT_GT(h, 0);
    for (int row = 0; row < 7; ++row) {
        wxButton* plus = Bar().Button(ids::kFirstBarButton + 3 * row);
        EXPECT_EQ(plus->GetPosition(), wxPoint(139, 1 + row * (h + 2))) << "row " << row;
        EXPECT_EQ(plus->GetSize(), wxSize(20, h));
    }
    EXPECT_EQ(Bar().Button(ids::kLightProperties)->GetPosition(), wxPoint(139, 7 * h + 13));
    EXPECT_EQ(Bar().Button(ids::kLightProperties)->GetSize().x, 60);
    const wxRect list = Bar().globalLights->GetRect();
    EXPECT_EQ(list.y, 6 * h + 13);
    EXPECT_EQ(list.GetBottom(), Bar().GetClientSize().y - 2) << "stops one pixel above the bottom";
    // Map rows top to bottom: texture, diffusion, specularity, glow.
    EXPECT_LT(Bar().mapEdits[0]->GetPosition().y, Bar().mapEdits[2]->GetPosition().y);
    EXPECT_LT(Bar().mapEdits[2]->GetPosition().y, Bar().mapEdits[1]->GetPosition().y);
    EXPECT_LT(Bar().mapEdits[1]->GetPosition().y, Bar().mapEdits[3]->GetPosition().y);
}

TEST_F(Viewer, TogglesShowABlankUntilTheFirstRefresh) {
    for (int id : {ids::kModelToggle, ids::kModelLightToggle, ids::kGlobalLightToggle}) EXPECT_EQ(Caption(id), " ");
    Click(ids::kGlobalLightAdd);
    EXPECT_EQ(Caption(ids::kGlobalLightToggle), "*");
    EXPECT_EQ(Caption(ids::kModelToggle), "");
    Click(ids::kGlobalLightToggle);
    EXPECT_EQ(Caption(ids::kGlobalLightToggle), "");
}

TEST_F(Viewer, AButtonClickRunsItsCommandOnceAndRefreshFiresNoSelectionHandler) {
    int selections = 0;
    auto count = [&](wxCommandEvent& e) {
        ++selections;
        e.Skip();
    };
    Bar().modelList->Bind(wxEVT_CHOICE, count);
    Bar().modelLights->Bind(wxEVT_CHOICE, count);
    Bar().globalLights->Bind(wxEVT_LISTBOX, count);

    Click(ids::kGlobalLightAdd);
    EXPECT_EQ(Doc().lights.Count(), 1) << "one click, one light";
    AddSampleModel();
    AddSampleModel();
    Click(ids::kModelLightAdd);
    frame->RefreshOptionsBar();
    Pump();
    EXPECT_EQ(selections, 0);
    EXPECT_EQ(Bar().modelList->GetCount(), 2u);
    EXPECT_EQ(Bar().modelList->GetSelection(), 1);
    EXPECT_EQ(Bar().modelLights->GetCount(), 1u);
    EXPECT_EQ(Bar().globalLights->GetSelection(), 0);
    EXPECT_EQ(Caption(ids::kModelToggle), "*");

    // A user's choice calls the frame's selection handler.
    Bar().modelList->SetSelection(0);
    wxCommandEvent choose(wxEVT_CHOICE, ids::kModelList);
    choose.SetEventObject(Bar().modelList);
    choose.SetInt(0);
    Bar().modelList->GetEventHandler()->ProcessEvent(choose);
    Pump();
    EXPECT_EQ(Doc().models.currentModel, 0);
    EXPECT_EQ(Bar().modelLights->GetCount(), 0u) << "the first model has no lights";
}

TEST_F(Viewer, BackgroundDialogAppliesCancelsAndRefusesBadNumbers) {
    float rgb[3] = {0, 0, 0};
    int applied = 0;
    float last[3] = {-9, -9, -9};
    BackgroundColorDialog dialog(frame, rgb, [&](const float* c) {
        ++applied;
        std::copy(c, c + 3, last);
    });
    EXPECT_EQ(dialog.redBox->GetValue(), "0");
    dialog.redBox->SetValue("2");
    dialog.greenBox->SetValue("0.5");
    dialog.blueBox->SetValue("-1");
    wxCommandEvent apply(wxEVT_BUTTON, ids::kApply);
    dialog.ProcessWindowEvent(apply);
    EXPECT_EQ(applied, 1);
    EXPECT_FLOAT_EQ(last[0], 2);
    EXPECT_FLOAT_EQ(last[1], 0.5f);
    EXPECT_FLOAT_EQ(last[2], -1);

    // Green is not a number: blue (read first) is applied, green and red keep their values.
    dialog.blueBox->SetValue("0.25");
    dialog.greenBox->SetValue("abc");
    dialog.redBox->SetValue("0.75");
    g_dialogs->shown.clear();
    dialog.ProcessWindowEvent(apply);
    ASSERT_EQ(g_dialogs->shown.size(), 1u);
    EXPECT_EQ(g_dialogs->shown[0], "Please enter a number.");
    EXPECT_FLOAT_EQ(last[2], 0.25f);
    EXPECT_FLOAT_EQ(last[1], 0.5f);
    EXPECT_FLOAT_EQ(last[0], 2);

    // OK with a bad box stays open and copies nothing.
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    dialog.ProcessWindowEvent(ok);
    EXPECT_EQ(rgb[0], 0);
    dialog.greenBox->SetValue("1e40");  // beyond a float: not a number either
    dialog.ProcessWindowEvent(ok);
    EXPECT_EQ(rgb[1], 0);
}

TEST_F(Viewer, BackgroundCommandKeepsWhatApplyDidWhenCancelled) {
    frame->Cmd().EditBackgroundColor();  // the hook answers OK at once with the boxes as they were
    EXPECT_EQ(Doc().settings.backgroundColor[0], 0);
    // Apply from inside, then Cancel: stays.
    float rgb[3] = {0, 0, 0};
    BackgroundColorDialog dialog(frame, rgb, [&](const float* c) {
        std::copy(c, c + 3, Doc().settings.backgroundColor);
    });
    dialog.redBox->SetValue("0.5");
    wxCommandEvent apply(wxEVT_BUTTON, ids::kApply);
    dialog.ProcessWindowEvent(apply);
    EXPECT_FLOAT_EQ(Doc().settings.backgroundColor[0], 0.5f);
}

TEST_F(Viewer, ReleasedDragKeepsTurningOnIdleAndAClickStopsIt) {
    GLWnd& view = *frame->view;
    Camera& camera = view.State().camera;
    const wxSize size = view.GetClientSize();
    ASSERT_GT(size.x, 10);
    OnLeftButtonDown(camera, view, MouseLeft, {size.x / 2, size.y / 2});
    OnMouseMove(camera, view, MouseLeft, {size.x / 2 + 10, size.y / 2});
    OnLeftButtonUp(camera, view, 0);
    ASSERT_EQ(spinActive, 1);
    const Quat before = camera.rotation;
    wxTheApp->ProcessIdle();
    wxTheApp->ProcessIdle();
    EXPECT_NE(camera.rotation.y, before.y) << "idle passes turn the model";

    OnLeftButtonDown(camera, view, MouseLeft, {3, 3});
    OnLeftButtonUp(camera, view, 0);
    EXPECT_EQ(spinActive, 0);
    const Quat stopped = camera.rotation;
    wxTheApp->ProcessIdle();
    EXPECT_EQ(camera.rotation.y, stopped.y);
    EXPECT_EQ(camera.rotation.w, stopped.w);
}

TEST_F(Viewer, ClosingTheWindowLeavesNoTextureBehind) {
    const int before = LiveTextureCount();
    AddSampleModel();
    ASSERT_TRUE(frame->view->EnsureGl());
    Md2Model& model = *Doc().models.models.back();
    model.textureMap = LoadSkinImage(MESHARA_SAMPLES_DIR "/knot.pcx").Take();
    model.glowMap = LoadSkinImage(MESHARA_SAMPLES_DIR "/knot.bmp").Take();
    Click(ids::kGlobalLightAdd);
    EXPECT_EQ(LiveTextureCount(), before + 2);
    frame->Close(true);
    Pump();
    EXPECT_EQ(LiveTextureCount(), before);
    EXPECT_EQ(Doc().models.Count(), 0);
    EXPECT_EQ(Doc().lights.Count(), 0);
    TheApp().mainFrame = nullptr;
}

TEST_F(Viewer, ScreenshotOfTheSampleWithSkinAndLight) {
    frame->SetSize(720, 520);
    Pump();
    AddSampleModel();
    Md2Model& model = *Doc().models.models.back();
    ASSERT_TRUE(frame->view->EnsureGl());
    model.textureMap = LoadSkinImage(MESHARA_SAMPLES_DIR "/knot.pcx").Take();
    auto light = LoadLightFile(MESHARA_SAMPLES_DIR "/warm-key.lgt");
    ASSERT_TRUE(light);
    AppendModelLight(model, light.Value().get());
    AppendGlobalLight(Doc().lights, light.Take());
    Doc().lights.selectedGlobalLight = 0;
    model.currentLight = 0;
    frame->view->State().camera.rotation = Quat{0.2f, 0.1f, 0, 0.974679f};
    frame->RequestRedraw();
    frame->RefreshOptionsBar();
    Pump();
    frame->RequestRedraw();
    Pump();

    wxScreenDC screen;
    const wxRect rect = frame->GetScreenRect();
    wxBitmap shot(rect.width, rect.height);
    {
        wxMemoryDC memory(shot);
        memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    }
    // The view's part of the window: the knot is lit and coloured.
    const wxImage image = shot.ConvertToImage();
    const wxRect view = frame->view->GetScreenRect();
    int lit = 0;
    for (int y = view.y - rect.y; y < view.GetBottom() - rect.y; ++y)
        for (int x = view.x - rect.x; x < view.GetRight() - rect.x; ++x)
            lit += image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y) > 120;
    EXPECT_GT(lit, view.width * view.height / 20) << "the lit model covers part of the view";

    const std::string path = (std::filesystem::current_path() / "viewer-screenshot.png").string();
    ASSERT_TRUE(shot.SaveFile(path, wxBITMAP_TYPE_PNG));
    std::printf("screenshot: %s\n", path.c_str());
}

TEST_F(Viewer, OpenedModelWithSkinAndLightFillsTheOptionsBar) {
    std::vector<std::string> answers = {MESHARA_SAMPLES_DIR "/knot", MESHARA_SAMPLES_DIR "/knot.bmp"};
    std::vector<FileDialogRequest> asked;
    frame->fileChooser = [&](const FileDialogRequest& request, std::string& path, int& filter) {
        asked.push_back(request);
        if (answers.empty()) return false;
        path = answers.front();
        answers.erase(answers.begin());
        filter = 0;
        return true;
    };
    Click(ids::kModelOpen);  // "knot" has no dot: ".md2" is added
    ASSERT_EQ(Doc().models.Count(), 1);
    EXPECT_EQ(asked[0].wildcard, "Quake2 Model (*.md2)|*.md2|All Files (*.*)|*.*");
    EXPECT_EQ(asked[0].initialName, "*.md2");
    Click(ids::kDiffusionMapLoad);
    Click(ids::kGlobalLightAdd);
    Click(ids::kModelLightAdd);

    EXPECT_EQ(Bar().modelList->GetStringSelection(), "knot.md2");
    EXPECT_EQ(Bar().modelLights->GetStringSelection(), "New Light");
    EXPECT_EQ(Bar().globalLights->GetStringSelection(), "New Light");
    EXPECT_EQ(Bar().mapEdits[2]->GetValue(), "knot.bmp") << "the diffusion row";
    EXPECT_EQ(Bar().mapEdits[0]->GetValue(), "");
    EXPECT_EQ(Caption(ids::kDiffusionMapLoad + 2), "*");
    EXPECT_EQ(Caption(ids::kTextureMapLoad + 2), "");
    EXPECT_EQ(Caption(ids::kModelLightToggle), "*");
    Click(ids::kDiffusionMapLoad + 2);
    EXPECT_EQ(Caption(ids::kDiffusionMapLoad + 2), "");
    EXPECT_EQ(Bar().mapEdits[2]->GetValue(), "knot.bmp") << "switched off, still loaded";

    // Right and Left arrows step the frame through the accelerators' commands.
    wxCommandEvent next(wxEVT_MENU, ids::kNextFrame);
    frame->ProcessWindowEvent(next);
    EXPECT_EQ(Doc().models.currentFrame, 1);
    wxCommandEvent previous(wxEVT_MENU, ids::kPreviousFrame);
    frame->ProcessWindowEvent(previous);
    frame->ProcessWindowEvent(previous);
    EXPECT_EQ(Doc().models.currentFrame, 11);
    EXPECT_TRUE(g_dialogs->shown.empty());
}

TEST_F(Viewer, LightPropertiesApplyBadNumberAndCancel) {
    LightRecord light;
    light.name = "Key";
    int applied = 0;
    LightPropertiesDialog dialog(frame, light, [&] { ++applied; });
    // A new light's values, as the boxes show them.
    EXPECT_EQ(dialog.Box(1000)->GetValue(), "150");
    EXPECT_EQ(dialog.Box(1004)->GetValue(), "-1");
    EXPECT_EQ(dialog.Box(1007)->GetValue(), "0");
    EXPECT_EQ(dialog.Box(1010)->GetValue(), "1");
    EXPECT_EQ(dialog.Box(1013)->GetValue(), "0.25");
    EXPECT_EQ(dialog.Box(1024)->GetValue(), "Key");

    wxCommandEvent apply(wxEVT_BUTTON, ids::kApply);
    dialog.Box(1007)->SetValue("2");
    dialog.ProcessWindowEvent(apply);
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(light.ambient[0], 2) << "Apply takes effect at once";

    // A letter in the first direction box: ambient and diffuse (read before it)
    // are taken, direction, position, specular and the name are not.
    dialog.Box(1009)->SetValue("0.5");
    dialog.Box(1011)->SetValue("0.75");
    dialog.Box(1004)->SetValue("x");
    dialog.Box(1001)->SetValue("7");
    dialog.Box(1015)->SetValue("0.9");
    dialog.Box(1024)->SetValue("Renamed");
    g_dialogs->shown.clear();
    dialog.ProcessWindowEvent(apply);
    ASSERT_EQ(g_dialogs->shown.size(), 1u);
    EXPECT_EQ(g_dialogs->shown[0], "Please enter a number.");
    EXPECT_EQ(light.ambient[2], 0.5f);
    EXPECT_EQ(light.diffuse[1], 0.75f);
    EXPECT_EQ(light.spotDirection[0], -1);
    EXPECT_EQ(light.position[1], 150);
    EXPECT_EQ(light.specular[2], 0.25f);
    EXPECT_EQ(light.name, "Key");
    EXPECT_EQ(applied, 2);

    // OK with the bad box keeps the dialog open and the light as it was.
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    dialog.ProcessWindowEvent(ok);
    EXPECT_EQ(light.position[1], 150);
    // Fixed, OK takes everything; Cancel later would keep it.
    dialog.Box(1004)->SetValue("0");
    dialog.ProcessWindowEvent(ok);
    EXPECT_EQ(light.spotDirection[0], 0);
    EXPECT_EQ(light.position[1], 7);
    EXPECT_EQ(light.name, "Renamed");
    EXPECT_EQ(light.position[3], 0) << "w is never edited";
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
    meshara::AnswerDialogs hook;
    hook.Register();
    meshara::g_dialogs = &hook;
    int rc = RUN_ALL_TESTS();
    if (meshara::TheApp().mainFrame) meshara::TheApp().mainFrame->Close(true);
    meshara::Pump();
    hook.Unregister();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
