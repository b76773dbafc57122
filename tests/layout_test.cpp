// meshara-cli layout, pixel by pixel, and the triangles painted twice over.

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "model/md2_model.h"
#include "model/texture_layout.h"
#include "session/skin_layout.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

using testing::Quote;
using testing::RunCli;

// On a 64 x 32 skin: one triangle as painted (left) and one mirrored
// (right), joined in the model along vertices 1-2, which each takes from
// other pixels: that edge is a seam in both.
fixtures::Md2Source TwoTriangles() {
    fixtures::Md2Source s = testing::SmallQuad();
    s.texCoords = {{8, 4}, {32, 4}, {8, 28}, {40, 4}, {40, 24}, {60, 4}};
    s.triangles = {{{0, 1, 2}, {0, 1, 2}}, {{1, 3, 2}, {3, 4, 5}}};
    return s;
}

// A line of the layout from (x, y) in skin pixels, n steps of (dx, dy).
struct Edge {
    int x, y, dx, dy, n;
    const uint8_t* colour;
};
const Edge kEdges[] = {
    {8, 4, 1, 0, 24, kAsPaintedColour},  {8, 4, 0, 1, 24, kAsPaintedColour}, {32, 4, -1, 1, 24, kSeamColour},
    {40, 4, 0, 1, 20, kMirroredColour}, {40, 24, 1, -1, 20, kMirroredColour}, {40, 4, 1, 0, 20, kSeamColour},
};

std::vector<uint8_t> Pixel(const testing::RgbaPicture& p, int x, int y) { return {p.At(x, y), p.At(x, y) + 4}; }
std::vector<uint8_t> Opaque(const uint8_t* rgb) { return {rgb[0], rgb[1], rgb[2], 255}; }

// The skin under the lines: every pixel its own colour.
fixtures::RgbPicture Pattern(int width, int height) {
    fixtures::RgbPicture p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.pixels.insert(p.pixels.end(), {uint8_t(x * 4), uint8_t(y * 8), 100});
    return p;
}

TEST(Layout, EdgesFallExactlyOnTheirPixelsOverTheSkinUnchangedAtEveryScale) {
    testing::TempDir dir;
    const std::string model = Quote(dir.Write("two.md2", fixtures::WriteMd2(TwoTriangles())));
    const fixtures::RgbPicture skin = Pattern(64, 32);
    const std::string skinPath = Quote(dir.Write("skin.png", fixtures::WritePng(skin)));
    const std::string smallSkin = Quote(dir.Write("small.png", fixtures::WritePng(Pattern(32, 16))));
    const struct {
        std::string options;
        int scale;
        bool skinned;
        std::string note;  // what stderr says besides
    } kCases[] = {
        {"", 1, false, ""},
        {" --scale 2", 2, false, ""},
        {" --scale 3 -t " + skinPath, 3, true, ""},
        {" -t " + smallSkin, 1, false,
         "note: " + dir.Path().string() + "/two.md2: the skin small.png is 32 x 16, not the 64 x 32 the header gives; it is "
                                           "scaled to that under the layout\n"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.options);
        const auto out = dir.Path() / "out.png";
        const auto r = RunCli("layout " + model + " -o " + Quote(out) + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, c.note);
        const testing::RgbaPicture p = testing::ReadPng(out);
        ASSERT_EQ(std::pair(p.width, p.height), std::pair(64 * c.scale, 32 * c.scale));
        std::set<std::pair<int, int>> inked;
        for (const Edge& e : kEdges)
            for (int i = 0; i <= e.n * c.scale; ++i) {
                const int x = e.x * c.scale + e.dx * i, y = e.y * c.scale + e.dy * i;
                inked.emplace(x, y);
                // Corners meet other lines; between them each line has its own colour.
                if (i > 0 && i < e.n * c.scale) {
                    EXPECT_EQ(Pixel(p, x, y), Opaque(e.colour)) << x << "," << y;
                }
            }
        // Off the lines, the skin as it was or the ground; a skin scaled to the header's size is not compared.
        for (int y = 0; c.note.empty() && y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const uint8_t* under = c.skinned ? &skin.pixels[((y / c.scale) * 64 + x / c.scale) * 3] : kLayoutGround;
                if (!inked.count({x, y})) {
                    ASSERT_EQ(Pixel(p, x, y), Opaque(under)) << x << "," << y;
                }
            }
    }
}

TEST(Layout, CornersOffTheSkinAreNotedAndClippedAndBadArgumentsAreRefused) {
    testing::TempDir dir;
    fixtures::Md2Source s = TwoTriangles();
    s.texCoords[5] = {70, -3};  // 6 pixels past the right edge, 3 above the top
    const std::string model = Quote(dir.Write("off.md2", fixtures::WriteMd2(s)));
    const auto out = dir.Path() / "out.png";
    auto r = RunCli("layout " + model + " -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "note: " + dir.Path().string() + "/off.md2: 1 texture corner lies outside the 64 x 32 skin, up to 6 "
                                                     "pixels beyond its edge; they are drawn clipped\n");
    const testing::RgbaPicture p = testing::ReadPng(out);
    // The seam from (40, 4) heads for (70, -3): it leaves at the top.
    EXPECT_EQ(Pixel(p, 44, 3), Opaque(kSeamColour));
    EXPECT_EQ(Pixel(p, 63, 0), Opaque(kLayoutGround));
    const struct {
        std::string options;
        int exitCode;
        std::string err;
    } kRefusals[] = {
        {" -o " + Quote(out) + " --scale 9", 2, "meshara-cli: layout: --scale needs a whole number, 1 to 8\n"},
        {"", 2, "meshara-cli: layout: missing -o OUT.png\n"},
        {" -o " + Quote(dir.Path() / "out.jpg"), 2,
         "meshara-cli: layout: the template is a PNG, named OUT.png: " + (dir.Path() / "out.jpg").string() + "\n"},
        {" -o " + Quote(dir.Path() / "out.GIF"), 2,
         "meshara-cli: layout: the template is a PNG, named OUT.png: " + (dir.Path() / "out.GIF").string() + "\n"},
        {" -o " + Quote(out) + " -t a.png --header-skin", 2,
         "meshara-cli: layout: --texture and --header-skin or --skin both choose the skin\n"},
        {" -o " + Quote(out) + " --frame 7", 2,
         "meshara-cli: layout: frame 7 is out of range: the model has 2 frames\n"},
    };
    for (const auto& c : kRefusals) {
        r = RunCli("layout " + model + c.options);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.options;
        EXPECT_EQ(r.err.substr(0, r.err.find("try ")), c.err) << c.options;
    }
}

TEST(Layout, OnlyTrianglesFacingTheSameWayThatShareAreaOverlap) {
    fixtures::Md2Source s = TwoTriangles();
    s.texCoords.insert(s.texCoords.end(), {{12, 6}, {36, 6}, {12, 30}, {8, 28}, {32, 4}, {32, 28}});
    s.triangles = {
        {{0, 1, 2}, {0, 1, 2}},   // as painted
        {{1, 3, 2}, {3, 4, 5}},   // mirrored, apart
        {{0, 1, 2}, {6, 7, 8}},   // the first moved by (4, 2): over it, and over the last across the diagonal
        {{0, 2, 1}, {0, 2, 1}},   // the first mirrored onto itself: the usual shared half
        {{2, 1, 3}, {9, 10, 11}}, // beside the first along its diagonal, touching only
    };
    auto model = ParseMd2Model(fixtures::WriteMd2(s), "over.md2");
    ASSERT_TRUE(model);
    EXPECT_EQ(OverlappingTriangles(*model.Value()), (std::vector<std::pair<int32_t, int32_t>>{{0, 2}, {2, 4}}));
    // The last drawn is the one found at a point; outside every triangle, none.
    EXPECT_EQ(TriangleAtSkinPoint(*model.Value(), {10.5, 6.5}), 3);
    EXPECT_EQ(TriangleAtSkinPoint(*model.Value(), {50.5, 20.5}), -1);
}

}  // namespace
}  // namespace meshara
