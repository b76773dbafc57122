// A long session through the real commands, drawn by a real renderer: models
// opened and removed, maps loaded, replaced, refused and cleared, lights added
// and deleted, a hundred times over. Nothing may leak (the sanitizer build
// checks memory) and no texture may be left behind.

#include <GL/gl.h>

#include "session/commands.h"
#include "session/scene_setup.h"
#include "tests/fake_ui_port.h"
#include "tests/render_support.h"
#include "tests/test_support.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara::testing {
namespace {

using LongSession = RenderTest;

TEST_F(LongSession, HundredRoundsLeaveNoTextureAndNoModel) {
    TempDir dir;
    const std::string model = dir.Write("quad.md2", fixtures::WriteMd2(SmallQuad())).string();
    fixtures::IndexedPicture picture{6, 4, std::vector<uint8_t>(24, 1), {{0, 0, 0}, {200, 10, 10}}};
    const std::string pcx = dir.Write("skin.pcx", fixtures::WritePcx(picture)).string();
    const std::string bmp = dir.Write("skin.bmp", fixtures::WriteBmp8(picture)).string();
    const std::string bad = dir.Write("bad.pcx", {0x0A, 0x05, 1}).string();

    FakeUiPort ui;
    Commands commands(doc_, view_, ui);
    for (int round = 0; round < 100; ++round) {
        ui.AnswerFile(model);
        commands.OpenModel();
        ui.AnswerFile(model);
        commands.OpenModel();
        for (MapKind row : {MapKind::Texture, MapKind::Diffusion, MapKind::Specularity, MapKind::Glow}) {
            ui.AnswerFile(pcx);
            commands.LoadMap(row);
            Render();
            ui.AnswerFile(round % 2 ? bmp : pcx);
            commands.LoadMap(row);  // replace
            ui.AnswerFile(bad);
            commands.LoadMap(row);  // refused: keeps the map
        }
        commands.ClearMap(MapKind::Glow);
        commands.NewLight();
        commands.NewLight();
        commands.AddModelLight();
        commands.AddModelLight();
        Render();
        commands.DeleteLight();
        // The second model is current and holds three maps (glow was cleared).
        ASSERT_EQ(renderer_->LiveTextureCount(), 3) << "round " << round;
        commands.RemoveModel();
        commands.RemoveModel();
        commands.DeleteLight();
        Render();
        ASSERT_EQ(renderer_->LiveTextureCount(), 0) << "round " << round;
        ASSERT_EQ(doc_.models.Count() + doc_.lights.Count(), 0);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace meshara::testing
