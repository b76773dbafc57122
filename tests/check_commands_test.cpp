// File > Check Models... driven through the recording user interface: the findings of the open models, a
// line each, following the Model List while the window is open; a finding about a frame shows that frame.

#include <gtest/gtest.h>

#include <filesystem>

#include "session/command_ids.h"
#include "session/commands.h"
#include "tests/fake_ui_port.h"
#include "tests/test_support.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

using Log = std::vector<std::string>;

struct CheckModels : ::testing::Test {
    testing::TempDir dir;
    Document doc;
    ViewState view;
    testing::FakeUiPort ui;
    Commands commands{doc, view, ui};

    // A quad in a game folder, its GL commands drawing its triangles, wearing a skin of its size: nothing to
    // find, unless changed. Opened, and what that logged forgotten.
    void Open(const std::string& name, void (*change)(fixtures::Md2Source&) = nullptr) {
        fixtures::Md2Source s = testing::SmallQuad();
        s.glCommands = true;
        s.skins = {"models/quad/skin.pcx"};
        if (change) change(s);
        std::filesystem::create_directories(dir.Path() / "models/quad");
        dir.Write("models/quad/skin.pcx", fixtures::WritePcx({64, 32, std::vector<uint8_t>(64 * 32, 1), {{0, 0, 0}, {1, 2, 3}}}));
        ASSERT_TRUE(commands.OpenModelPath(dir.Write("models/quad/" + name, fixtures::WriteMd2(s)).string()));
        ui.log.clear();
    }
};

TEST_F(CheckModels, ListsEachModelsFindingsFollowsTheModelListAndShowsAFindingsFrame) {
    Open("clean.md2");
    Open("flat.md2", [](fixtures::Md2Source& s) {
        s.frames.resize(3, s.frames[0]);
        s.frames[2].vertices.assign(4, {3, 3, 3, 0});  // draws nothing
        s.skins = {"models/quad/gone.pcx"};
    });
    EXPECT_TRUE(commands.Run(ids::kCheckModels));
    EXPECT_EQ(ui.TakeLog(), Log{"findings:3"});
    EXPECT_EQ(ui.findings, (Log{"clean.md2: nothing found",
                                "flat.md2: warning: frame 2 (frame) draws nothing: none of its triangles has an area "
                                "[empty-frame]",
                                "flat.md2: warning: the skin models/quad/gone.pcx is found nowhere the game looks (" +
                                    dir.Path().string() + ") [skin-missing]"}));

    // The frame finding: its model current, its frame shown; the models are the same, so the lines stay.
    commands.ChooseFinding(1);
    EXPECT_EQ(doc.models.currentModel, 1);
    EXPECT_EQ(doc.models.currentFrame, 2);
    EXPECT_EQ(ui.TakeLog(), (Log{"redraw", "refresh"}));
    // One about no frame only selects its model; a line that is not there does nothing.
    commands.ChooseFinding(0);
    EXPECT_EQ(doc.models.currentModel, 0);
    EXPECT_EQ(doc.models.currentFrame, 2);
    ui.log.clear();
    commands.ChooseFinding(3);
    commands.ChooseFinding(-1);
    EXPECT_EQ(ui.TakeLog(), Log{});

    // Removing a model brings the lines up to date at once.
    commands.RemoveModel();
    EXPECT_EQ(ui.log.back(), "findings:2");
    EXPECT_EQ(ui.findings.front().substr(0, 10), "flat.md2: ");
    // Closed, the window follows the models no more; asked for again, it is up to date.
    commands.CloseFindings();
    ui.log.clear();
    Open("clean2.md2");
    commands.RemoveModel();
    for (const std::string& entry : ui.TakeLog()) EXPECT_NE(entry.substr(0, 9), "findings:") << entry;
    commands.CheckModels();
    EXPECT_EQ(ui.TakeLog(), Log{"findings:2"});
}

}  // namespace
}  // namespace meshara
