// The small dialogs and the bar's toggles as readers see them, at the scale the desktop runs at (1, and 2 under
// GDK_SCALE=2): every label whole, nothing but labels moved, toggles that tell their state.

#include <gtest/gtest.h>
#include <wx/wx.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/light_record.h"
#include "gui/accessibility.h"
#include "gui/dialogs.h"

namespace meshara {
namespace {

void Pump() {
    for (int i = 0; i < 5; ++i, wxTheApp->ProcessPendingEvents(), wxYield())
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
}

// Screenshots go to MESHARA_SCREENSHOT_DIR (tools/make-screenshots: docs/images) when it is set: one dialog a
// process, as a window shown after another has gone may not reach the virtual screen.
void SaveShot(wxDialog& dialog, const std::string& name) {
    const char* dir = std::getenv("MESHARA_SCREENSHOT_DIR");
    if (!dir) return;
    dialog.Move(0, 0);
    dialog.Show();
    dialog.Raise();
    const wxRect rect = dialog.GetScreenRect();
    // At the desktop's scale, so a scaled desktop's picture keeps its own pixels. The toolkit paints on its
    // own clock, so the screen is read until two readings agree.
    const double factor = dialog.GetContentScaleFactor();
    wxBitmap grab;
    wxImage shot, last;
    for (int i = 0; i < 60 && (i < 10 || std::memcmp(shot.GetData(), last.GetData(), 3 * shot.GetWidth() * shot.GetHeight()));
         ++i, wxMilliSleep(20)) {
        Pump();
        last = shot;
        grab.CreateWithDIPSize(rect.GetSize(), factor);
        wxScreenDC screen;
        wxMemoryDC(grab).Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
        shot = grab.ConvertToImage();
    }
    EXPECT_EQ(shot.GetSize(), rect.GetSize() * factor);
    const std::string scale = std::to_string(static_cast<int>(factor));
    const std::string path = (std::filesystem::path(dir) / (name + "-scale" + scale + ".png")).string();
    EXPECT_TRUE(grab.SaveFile(path, wxBITMAP_TYPE_PNG)) << path;
    dialog.Hide();
}

// One dialog: its labels with the left edge (dialog units) of the control beside each, and where some boxes sit.
struct Layout {
    std::unique_ptr<wxDialog> dialog;
    std::vector<std::pair<wxString, int>> labels;
    std::vector<std::pair<wxTextCtrl*, wxRect>> boxes;  // in dialog units
};

struct Dialogs : ::testing::TestWithParam<std::string> {
    wxFrame* parent = new wxFrame(nullptr, wxID_ANY, "Torvane's Meshara", wxDefaultPosition, wxSize(512, 384));
    LightRecord light;
    float rgb[3] = {};
    void TearDown() override {
        parent->Destroy();
        Pump();
    }
    Layout Make(const std::string& name) {
        if (name == "background-color") {
            auto* color = new BackgroundColorDialog(parent, rgb, {});
            return {std::unique_ptr<wxDialog>(color), {{"Background Color", 68}},
                    {{color->redBox, {68, 4, 32, 14}}, {color->blueBox, {132, 4, 32, 14}}}};
        }
        auto* lights = new LightPropertiesDialog(parent, light, {});
        return {std::unique_ptr<wxDialog>(lights),
                {{"Name", 28}, {"Position", 55}, {"Direction", 55}, {"Ambient Color", 55}, {"Diffuse Color", 55},
                 {"Specular Color", 55}},
                {{lights->Box(1024), {28, 4, 124, 14}}, {lights->Box(1000), {55, 20, 32, 14}},
                 {lights->Box(1006), {119, 36, 32, 14}}, {lights->Box(1007), {55, 52, 32, 14}},
                 {lights->Box(1015), {119, 84, 32, 14}}}};
    }
};

TEST_P(Dialogs, EveryLabelIsWholeUpToTheControlBesideItAndNothingElseMoves) {
    const Layout layout = Make(GetParam());
    wxDialog& dialog = *layout.dialog;
    const char* scale = std::getenv("GDK_SCALE");
    ASSERT_TRUE(!scale || dialog.GetContentScaleFactor() == std::atof(scale)) << "runs at the scale asked for";
    size_t seen = 0;
    for (wxWindow* w : dialog.GetChildren()) {
        auto* label = dynamic_cast<wxStaticText*>(w);
        if (!label) continue;
        const auto found = std::find_if(layout.labels.begin(), layout.labels.end(),
                                        [&](const auto& l) { return label->GetLabel() == l.first; });
        ASSERT_NE(found, layout.labels.end()) << label->GetLabel();
        ++seen;
        const wxRect at = label->GetRect();
        const wxSize whole = label->GetBestSize();
        EXPECT_TRUE(whole.x <= at.width && whole.y <= at.height)
            << found->first << ": needs " << whole.x << "x" << whole.y << ", has " << at.width << "x" << at.height;
        EXPECT_LT(at.GetRight(), dialog.ConvertDialogToPixels(wxPoint(found->second, 0)).x) << found->first;
    }
    EXPECT_EQ(seen, layout.labels.size());
    for (const auto& [box, units] : layout.boxes)
        EXPECT_EQ(box->GetRect(), wxRect(dialog.ConvertDialogToPixels(units.GetPosition()),
                                         dialog.ConvertDialogToPixels(units.GetSize())))
            << AccessibleName(box);
    SaveShot(dialog, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Both, Dialogs, ::testing::Values("light-properties", "background-color"));

TEST(Toggle, TellsTheStateLastSetWhileAPlainButtonTellsNone) {
    wxFrame parent(nullptr, wxID_ANY, "Torvane's Meshara");
    auto* toggle = new wxButton(&parent, wxID_ANY, "");
    auto* plain = new wxButton(&parent, wxID_ANY, "+");
    SetAccessibleName(toggle, "Show or hide model");
    std::string seen;
    for (bool on : {true, true, false, true}) {
        SetToggleState(toggle, on);
        seen += std::to_string(ToggleState(toggle)) + std::to_string(ToggleState(plain));
    }
    EXPECT_EQ(seen, "10100010");
    EXPECT_EQ(toggle->GetLabel(), "") << "the caption stays the caller's";
    EXPECT_EQ(AccessibleName(toggle), "Show or hide model");
}

}  // namespace
}  // namespace meshara

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) return std::fprintf(stderr, "cannot start wxWidgets (is there a display?)\n"), 1;
    wxInitAllImageHandlers();
    wxTheApp->CallOnInit();
    const int rc = RUN_ALL_TESTS();
    wxEntryCleanup();
    return rc;
}
