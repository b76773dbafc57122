// meshara-cli render as a user runs it with few options or none: what its
// defaults draw, and the format its output's name asks for.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "formats/skin_decoder.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using testing::CliRun;
using testing::Quote;
using testing::RunCli;

struct CliRender : ::testing::Test {
    testing::TempDir dir;
    const std::string knot = Quote(testing::SamplesDir() / "knot.md2");
};

// What a 128 x 96 render on blue shows: pixels of a hue (a skin, or what --show draws), grey ones (lit, bare),
// black ones (unlit), and the box the model takes.
struct RenderSeen {
    int tinted = 0, grey = 0, black = 0;
    int left = 128, top = 96, right = -1, bottom = -1;
};

RenderSeen Seen(const testing::RgbaPicture& p) {
    RenderSeen seen;
    if (p.width != 128 || p.height != 96) return seen;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = p.At(x, y);
            if (c[0] == 0 && c[1] == 0 && c[2] == 255) continue;
            const int most = std::max({c[0], c[1], c[2]}), least = std::min({c[0], c[1], c[2]});
            ++(most < 8 ? seen.black : most - least <= 12 ? seen.grey : seen.tinted);
            seen.left = std::min(seen.left, x), seen.right = std::max(seen.right, x);
            seen.top = std::min(seen.top, y), seen.bottom = std::max(seen.bottom, y);
        }
    return seen;
}

// With no options a render looks as the viewer shows a model opened from outside: lit, in its named skin, and
// framed as the thumbnail frames it; each default has its option for the bare, unlit, or start picture.
TEST_F(CliRender, RenderLightsSkinsAndFramesTheModelUnlessToldNot) {
    const auto out = dir.Path() / "knot.png";
    const std::string common = " --size 128x96 --background 0,0,1 -o " + Quote(out);
    const std::string bmp = Quote(testing::SamplesDir() / "knot.bmp");
    constexpr int kAll = 128 * 96;
    const struct { std::string flags; std::pair<int, int> tinted, grey, black; } renders[] = {
        // How many pixels of each, from and to.
        {"", {1000, kAll}, {0, kAll}, {0, 0}},
        {"--no-skin", {0, 20}, {1000, kAll}, {0, 0}},
        {"--no-light", {0, 40}, {0, kAll}, {1000, kAll}},  // edges may blend
        {"--no-light --show grid,normals,box", {1000, kAll}, {0, kAll}, {0, kAll}},
        {"-t " + bmp + " --new-light", {1000, kAll}, {0, kAll}, {0, kAll}},  // the new light leaves a dark side
        {"--header-skin --start-view", {500, kAll}, {0, kAll}, {0, 0}},
    };
    const auto within = [](int count, std::pair<int, int> range) { return count >= range.first && count <= range.second; };
    for (const auto& c : renders) {
        const CliRun r = RunCli("render " + knot + " " + c.flags + common);
        ASSERT_EQ(r.exitCode, 0) << c.flags << ": " << r.err;
        EXPECT_TRUE(r.err.empty()) << c.flags << ": the knot names its skin, so nothing needs saying: " << r.err;
        const RenderSeen seen = Seen(testing::ReadPng(out));
        EXPECT_TRUE(within(seen.tinted, c.tinted) && within(seen.grey, c.grey) && within(seen.black, c.black))
            << c.flags << ": " << seen.tinted << " tinted, " << seen.grey << " grey, " << seen.black << " black";
    }
    // Framed: whole, off the edges, and filling most of the width or the height; the start view is another picture.
    ASSERT_EQ(RunCli("render " + knot + common).exitCode, 0);
    const testing::RgbaPicture framed = testing::ReadPng(out);
    const RenderSeen seen = Seen(framed);
    EXPECT_TRUE(seen.left > 0 && seen.top > 0 && seen.right < 127 && seen.bottom < 95);
    EXPECT_TRUE(seen.right - seen.left > 128 * 7 / 10 || seen.bottom - seen.top > 96 * 7 / 10)
        << seen.left << "," << seen.top << " to " << seen.right << "," << seen.bottom;
    ASSERT_EQ(RunCli("render " + knot + " --start-view" + common).exitCode, 0);
    EXPECT_NE(testing::ReadPng(out).pixels, framed.pixels);
    // Over the black model, what --show asks for goes in once, its items together.
    EXPECT_EQ(RunCli("render " + knot + " --show grid,normals --show box" + common).exitCode, 2);
}

// The output's format follows its name; -s takes both forms of a size.
TEST_F(CliRender, RenderWritesTheFormatItsOutputIsNamedFor) {
    const std::string common = " --size 128x96 --background 0,0,1 -o ";
    ASSERT_EQ(RunCli("render " + knot + common + Quote(dir.Path() / "k.png")).exitCode, 0);
    const testing::RgbaPicture png = testing::ReadPng(dir.Path() / "k.png");
    for (const char* name : {"k.jpg", "K.JPEG"}) {
        const CliRun r = RunCli("render " + knot + common + Quote(dir.Path() / name));
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
        const Bytes bytes = testing::ReadAll(dir.Path() / name);
        ASSERT_TRUE(bytes.size() > 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) << name;
        auto decoded = DecodeSkinImage(bytes);
        ASSERT_TRUE(decoded) << name;
        ASSERT_EQ(decoded.Value().width * decoded.Value().height, png.width * png.height) << name;
        // The same picture, within what the compression loses.
        double difference = 0;
        for (size_t i = 0; i < decoded.Value().pixels.size(); ++i)
            difference += std::abs(decoded.Value().pixels[i] - png.pixels[i / 3 * 4 + i % 3]);
        EXPECT_LT(difference / static_cast<double>(decoded.Value().pixels.size()), 4) << name;
    }
    for (const char* size : {"40x30", "40,30"}) {
        ASSERT_EQ(RunCli("render " + knot + " -s " + size + " -o " + Quote(dir.Path() / "s.png")).exitCode, 0) << size;
        const testing::RgbaPicture p = testing::ReadPng(dir.Path() / "s.png");
        EXPECT_EQ(p.width * 1000 + p.height, 40030) << size;
    }
    const CliRun r = RunCli("render " + knot + " -o " + Quote(dir.Path() / "k.bmp"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "meshara-cli: render: the output's name tells the format, .png, "
                                                  ".jpg, .jpeg, .gif or .webp (\"-\" for a PNG on standard output): " +
                                                      (dir.Path() / "k.bmp").string());
    EXPECT_FALSE(fs::exists(dir.Path() / "k.bmp"));
}

}  // namespace
}  // namespace meshara
