// The status line's order: a narrow window shows only its start, so the hints come first, then the frame and
// animation, the counts and what the file needed mending, and the path last.

#include <gtest/gtest.h>

#include "formats/md2_file.h"
#include "model/md2_model.h"
#include "session/scene_setup.h"
#include "session/status_line.h"
#include "tests/test_support.h"
#include "tools/writers/md2_writer.h"

namespace meshara {
namespace {

constexpr const char kSeparator[] = " \u00b7 ";

// The line cut at its separators.
std::vector<std::string> Parts(const std::string& line) {
    std::vector<std::string> parts;
    for (size_t at = 0; at <= line.size();) {
        const size_t next = std::min(line.find(kSeparator, at), line.size());
        parts.push_back(line.substr(at, next - at));
        at = next + sizeof kSeparator - 1;
    }
    return parts;
}

TEST(StatusLine, HintsComeFirstThenTheFrameAndTheAnimationAndThePathLast) {
    auto quad = testing::SmallQuad();
    quad.frames[0].vertices = {{0, 0, 0, 0}, {10, 0, 0, 0}, {20, 0, 0, 0}, {5, 0, 0, 0}};  // in one line: flat
    quad.frames[0].name = "walk1", quad.frames[1].name = "walk2";
    auto file = ParseMd2(fixtures::WriteMd2(quad));
    ASSERT_TRUE(file);
    const auto model = std::make_shared<Md2Model>(MakeMd2Model(file.Take(), "quad.md2"));
    const std::string noLight = "no light reaches the model: + in the Model Lights row gives it the selected light";
    const std::string flat = "this frame draws nothing: none of its triangles has an area";
    const struct { bool lit; int32_t frame; const char* path; std::vector<std::string> parts; } cases[] = {
        {false, 0, "/models/quad.md2",
         {noLight, flat, "frame 0 (2 frames): walk1", "walk 1/2", "stopped at 1\u00d7", "4 vertices, 2 triangles",
          "/models/quad.md2"}},
        {true, 0, "/models/quad.md2",
         {flat, "frame 0 (2 frames): walk1", "walk 1/2", "stopped at 1\u00d7", "4 vertices, 2 triangles", "/models/quad.md2"}},
        {true, 1, "", {"frame 1 (2 frames): walk2", "walk 2/2", "stopped at 1\u00d7", "4 vertices, 2 triangles", "quad.md2"}},
    };
    for (const auto& c : cases) {
        Document doc;
        ModelSlot& slot = AddModel(doc.models, model, c.path);
        if (c.lit) AddLightTo(doc, slot, std::make_unique<LightRecord>());
        doc.models.currentFrame = c.frame;
        EXPECT_EQ(Parts(StatusLine(doc, ViewState{})), c.parts) << StatusLine(doc, ViewState{});
    }
    EXPECT_EQ(StatusLine(Document{}, ViewState{}), "") << "nothing to say without a model";
}

}  // namespace
}  // namespace meshara
