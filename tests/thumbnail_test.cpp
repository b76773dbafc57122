// meshara-cli thumbnail, run exactly as the installed thumbnailer entry
// says, for models, pictures and light files.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::RunCli;

struct Coverage {
    int opaque = 0, transparent = 0, tinted = 0;  // tinted: opaque and not grey
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;  // of the opaque pixels
    long redLeft = 0, redRight = 0;  // the opaque pixels' red in either half
};
Coverage Cover(const testing::RgbaPicture& p) {
    Coverage c;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = p.At(x, y);
            c.transparent += px[3] == 0;
            if (px[3] != 255) continue;  // none expected, but an edge may blend
            ++c.opaque;
            c.tinted += px[0] != px[1] || px[1] != px[2];
            (2 * x < p.width ? c.redLeft : c.redRight) += px[0];
            c.left = std::min(c.left, x), c.right = std::max(c.right, x);
            c.top = std::min(c.top, y), c.bottom = std::max(c.bottom, y);
        }
    return c;
}

// The installed entry's Exec line with the file manager's fields filled in,
// run with our build's meshara-cli; the entry must list the types we declare.
std::string EntryCommand(int size, const fs::path& in, const fs::path& out) {
    const std::vector<uint8_t> e = testing::ReadAll(fs::path(MESHARA_DESKTOP_DIR) / "meshara.thumbnailer"),
                               m = testing::ReadAll(fs::path(MESHARA_DESKTOP_DIR) / "meshara-mime.xml");
    const std::string entry(e.begin(), e.end()), mime(m.begin(), m.end());
    EXPECT_TRUE(entry.starts_with("[Thumbnailer Entry]\n")) << entry;
    std::smatch types, exec;
    std::regex_search(entry, types, std::regex("\nMimeType=([^\n]*)"));
    EXPECT_TRUE(std::regex_search(entry, exec, std::regex("\nExec=meshara-cli ([^\n]*)"))) << entry;
    std::set<std::string> declared, listed;
    const std::regex type("<mime-type type=\"([^\"]+)\""), item("[^;]+");
    for (std::sregex_iterator it(mime.begin(), mime.end(), type), end; it != end; ++it) declared.insert((*it)[1]);
    for (std::sregex_iterator it(types[1].first, types[1].second, item), end; it != end; ++it) listed.insert(it->str());
    EXPECT_EQ(listed, declared) << "the entry covers the file types we declare, and only those";
    std::istringstream words(exec[1].str());
    std::string args;
    for (std::string w; words >> w;)
        args += " " + (w == "%s" ? std::to_string(size) : w == "%i" ? Quote(in) : w == "%o" ? Quote(out) : w);
    return args;
}

// Runs the entry for each model: a 128-pixel square, transparent around a
// model that fills it without being cut off, coloured when its skin is found.
void ExpectThumbnails(const std::vector<std::pair<fs::path, bool>>& models) {
    testing::TempDir dir;
    const fs::path out = dir.Path() / "thumb.png";
    for (const auto& [model, skinFound] : models) {
        SCOPED_TRACE(model.filename().string());
        fs::remove(out);
        const testing::CliRun r = RunCli(EntryCommand(128, model, out));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const testing::RgbaPicture p = testing::ReadPng(out);
        ASSERT_TRUE(p.width == 128 && p.height == 128) << p.width << " x " << p.height;
        const Coverage c = Cover(p);
        EXPECT_TRUE(c.transparent > 128 * 128 / 10 && c.opaque > 128 * 128 / 50) << "a model on a transparent square";
        EXPECT_GT(std::max(c.right - c.left, c.bottom - c.top), 128 * 6 / 10);
        EXPECT_TRUE(c.left > 0 && c.top > 0 && c.right < 127 && c.bottom < 127);
        // A grey light on a white model gives only greys; a skin gives colour.
        EXPECT_TRUE(skinFound ? c.tinted > c.opaque / 2 : c.tinted == 0) << c.tinted << " of " << c.opaque;
    }
}

// A still is framed on its own frame and on what triangles draw: a death frame far off, or vertices no triangle
// uses, leave the model filling the square.
TEST(Thumbnail, AModelFillsTheSquareWhateverItsOtherFramesOrStrayVertices) {
    testing::TempDir dir;
    const auto quad = [](std::vector<std::array<uint8_t, 3>> extra, bool farFrame) {
        fixtures::Md2Source m;
        m.skinWidth = m.skinHeight = 8;
        m.texCoords = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
        m.triangles = {{{0, 2, 1}, {0, 2, 1}}, {{0, 3, 2}, {0, 3, 2}}};
        // One animation, its last frame far from its first.
        for (const char* name : {"death101", "death102", "death103"}) {
            const bool far = farFrame && std::string(name) == "death103";
            const uint8_t at = far ? 235 : 0;
            fixtures::Md2Source::Frame f{.name = name, .vertices = {{at, 0, at, 0}, {uint8_t(at + 20), 0, at, 0},
                                                                   {uint8_t(at + 20), 0, uint8_t(at + 20), 0},
                                                                   {at, 0, uint8_t(at + 20), 0}}};
            for (const auto& [x, y, z] : extra) f.vertices.push_back({x, y, z, 0});
            m.frames.push_back(f);
        }
        return fixtures::WriteMd2(m);
    };
    ExpectThumbnails({{dir.Write("death.md2", quad({}, true)), false},
                      {dir.Write("stray.md2", quad({{255, 255, 255}, {255, 0, 0}}, false)), false}});
}

TEST(Thumbnailer, EntryCoversOurFileTypesAndDrawsTheSample) {
    ExpectThumbnails({{testing::SamplesDir() / "knot.md2", true}});
}

TEST(Thumbnailer, EntryDrawsEveryCorpusModelAndRefusesTheBrokenOne) {
    MESHARA_REQUIRE_CORPUS();
    const fs::path md2 = testing::CorpusDir() / "md2";
    // dolphin.md2 names its skin by its maker's path, found by the file name beside it; the others name none.
    ExpectThumbnails({{md2 / "dolphin.md2", true}, {md2 / "faerie.md2", false}, {md2 / "sydney.md2", false},
                      {md2 / "horse.md2", false}, {md2 / "flag.md2", false}});
    testing::TempDir dir;
    const testing::CliRun r = RunCli(EntryCommand(128, md2 / "malformed_zero_numvertices.md2", dir.Path() / "t.png"));
    EXPECT_TRUE(r.exitCode == 1 && r.err.find("damaged") != std::string::npos && !fs::exists(dir.Path() / "t.png"))
        << r.exitCode << ": " << r.err;
}

TEST(Thumbnail, PicturesShowThemselvesAndLightsLightASphere) {
    testing::TempDir dir;
    const auto draw = [&](int size, const char* name, const std::vector<uint8_t>& bytes) {
        const fs::path in = dir.Write(name, bytes), out = dir.Path() / "t.png";
        EXPECT_EQ(RunCli("thumbnail -s " + std::to_string(size) + " " + Quote(in) + " " + Quote(out)).exitCode, 0);
        testing::RgbaPicture p = testing::ReadPng(out);
        EXPECT_TRUE(p.width == size && p.height == size) << name << ": " << p.width << " x " << p.height;
        return p;
    };
    // A 4 x 2 picture in a 64-pixel square: 16-pixel cells in the middle half.
    const fixtures::IndexedPicture picture{4, 2, {0, 1, 2, 3, 3, 2, 1, 0},
                                           {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {90, 80, 70}}};
    const testing::RgbaPicture p = draw(64, "p.pcx", fixtures::WritePcx(picture));
    ASSERT_EQ(p.pixels.size(), 64u * 64 * 4);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint8_t* px = p.At(x, y);
            if (y < 16 || y >= 48) {
                ASSERT_EQ(px[3], 0) << x << "," << y;  // outside the picture only the alpha matters
                continue;
            }
            const fixtures::Rgb& rgb = picture.palette[picture.indices[(y - 16) / 16 * 4 + x / 16]];
            ASSERT_EQ((std::array{px[0], px[1], px[2], px[3]}), (std::array{rgb[0], rgb[1], rgb[2], uint8_t{255}}))
                << x << "," << y;
        }
    // New Light's light comes from the upper right, the other from the left: the sphere is brighter on that side.
    for (const auto& [light, leftBrighter] :
         {std::pair{fixtures::LgtSource{}, false}, std::pair{fixtures::LgtSource{.position = {-1, 0, 0.3f}}, true}}) {
        const Coverage c = Cover(draw(96, "l.lgt", fixtures::WriteLgt(light)));
        EXPECT_TRUE(c.opaque > 96 * 96 / 3 && c.transparent > 96 * 96 / 10) << "a sphere filling most of the square";
        EXPECT_EQ(c.redLeft > c.redRight, leftBrighter) << c.redLeft << " against " << c.redRight;
    }
}

}  // namespace
}  // namespace meshara
