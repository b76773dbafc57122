// meshara-cli thumbnail, run exactly as the installed thumbnailer entry
// says, for models, pictures and light files.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::RgbaPicture;
using testing::RunCli;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The value of "Key=" in the entry, or "".
std::string EntryValue(const std::string& entry, const std::string& key) {
    std::smatch m;
    return std::regex_search(entry, m, std::regex("(^|\n)" + key + "=([^\n]*)")) ? m[2].str() : "";
}

// The Exec line with the file manager's fields filled in and our build's meshara-cli.
std::string Command(const std::string& exec, int size, const fs::path& in, const fs::path& out) {
    std::istringstream words(exec);
    std::string word, args;
    words >> word;
    EXPECT_EQ(word, "meshara-cli");
    while (words >> word) {
        if (word == "%s") word = std::to_string(size);
        else if (word == "%i") word = Quote(in);
        else if (word == "%o") word = Quote(out);
        args += (args.empty() ? "" : " ") + word;
    }
    return args;
}

struct Coverage {
    int opaque = 0, transparent = 0, tinted = 0;  // tinted: opaque and not grey
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;  // of the opaque pixels
};
Coverage Cover(const RgbaPicture& p) {
    Coverage c;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = p.At(x, y);
            if (px[3] == 0) {
                ++c.transparent;
                continue;
            }
            if (px[3] != 255) continue;  // none expected, but an edge may blend
            ++c.opaque;
            if (px[0] != px[1] || px[1] != px[2]) ++c.tinted;
            c.left = std::min(c.left, x), c.right = std::max(c.right, x);
            c.top = std::min(c.top, y), c.bottom = std::max(c.bottom, y);
        }
    return c;
}

// The installed entry's Exec line, checked against our MIME declaration.
std::string ThumbnailerExec() {
    const std::string entry = ReadText(fs::path(MESHARA_DESKTOP_DIR) / "meshara.thumbnailer");
    EXPECT_EQ(entry.rfind("[Thumbnailer Entry]\n", 0), 0u);
    std::set<std::string> declared, listed;
    const std::string mime = ReadText(fs::path(MESHARA_DESKTOP_DIR) / "meshara-mime.xml");
    const std::regex type("<mime-type type=\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(mime.begin(), mime.end(), type); it != std::sregex_iterator(); ++it)
        declared.insert((*it)[1].str());
    std::istringstream types(EntryValue(entry, "MimeType"));
    for (std::string t; std::getline(types, t, ';');)
        if (!t.empty()) listed.insert(t);
    EXPECT_EQ(listed, declared) << "the entry covers the file types we declare, and only those";
    return EntryValue(entry, "Exec");
}

// Runs the entry for each model: a 128-pixel square, transparent around a
// model that fills it without being cut off, coloured when its skin is found.
void ExpectThumbnails(const std::vector<std::pair<fs::path, bool>>& models) {
    const std::string exec = ThumbnailerExec();
    testing::TempDir dir;
    const fs::path out = dir.Path() / "thumb.png";
    for (const auto& [model, skinFound] : models) {
        SCOPED_TRACE(model.filename().string());
        fs::remove(out);
        const testing::CliRun r = RunCli(Command(exec, 128, model, out));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const RgbaPicture p = testing::ReadPng(out);
        ASSERT_EQ(p.width, 128);
        ASSERT_EQ(p.height, 128);
        const Coverage c = Cover(p);
        EXPECT_GT(c.transparent, 128 * 128 / 10) << "the background is transparent";
        EXPECT_GT(c.opaque, 128 * 128 / 50);
        EXPECT_GT(std::max(c.right - c.left, c.bottom - c.top), 128 * 6 / 10);
        EXPECT_TRUE(c.left > 0 && c.top > 0 && c.right < 127 && c.bottom < 127);
        // A grey light on a white model gives only greys; a skin gives colour.
        if (skinFound)
            EXPECT_GT(c.tinted, c.opaque / 2) << "drawn with the skin the model names";
        else
            EXPECT_EQ(c.tinted, 0) << "plain: shades of grey";
    }
}

TEST(Thumbnailer, EntryCoversOurFileTypesAndDrawsTheSample) {
    ExpectThumbnails({{testing::SamplesDir() / "knot.md2", true}});
}

TEST(Thumbnailer, EntryDrawsEveryCorpusModelAndRefusesTheBrokenOne) {
    MESHARA_REQUIRE_CORPUS();
    const fs::path md2 = testing::CorpusDir() / "md2";
    // dolphin.md2 names its skin by a path of its maker's; the file name is
    // found beside it. The others name none.
    ExpectThumbnails({{md2 / "dolphin.md2", true}, {md2 / "faerie.md2", false}, {md2 / "sydney.md2", false},
                      {md2 / "horse.md2", false}, {md2 / "flag.md2", false}});
    testing::TempDir dir;
    const testing::CliRun r =
        RunCli(Command(ThumbnailerExec(), 128, md2 / "malformed_zero_numvertices.md2", dir.Path() / "t.png"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "t.png"));
}

TEST(Thumbnail, PicturesShowThemselvesAndLightsLightASphere) {
    testing::TempDir dir;
    const fs::path out = dir.Path() / "t.png";
    // A 4 x 2 picture in a 64-pixel square: 16-pixel cells in the middle half.
    fixtures::IndexedPicture picture{4, 2, {0, 1, 2, 3, 3, 2, 1, 0},
                                     {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {90, 80, 70}}};
    ASSERT_EQ(RunCli("thumbnail -s 64 " + Quote(dir.Write("p.pcx", fixtures::WritePcx(picture))) + " " + Quote(out))
                  .exitCode,
              0);
    RgbaPicture p = testing::ReadPng(out);
    ASSERT_EQ(p.width, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint8_t* px = p.At(x, y);
            if (y < 16 || y >= 48) {
                ASSERT_EQ(px[3], 0) << x << "," << y;
                continue;
            }
            const auto& rgb = picture.palette[picture.indices[static_cast<size_t>((y - 16) / 16 * 4 + x / 16)]];
            ASSERT_EQ((std::array{px[0], px[1], px[2], px[3]}), (std::array<uint8_t, 4>{rgb[0], rgb[1], rgb[2], 255}))
                << x << "," << y;
        }

    // A light from the upper right (New Light's) and one from the left: the
    // sphere is brighter on the side each comes from.
    fixtures::LgtSource fromLeft;
    fromLeft.position[0] = -1, fromLeft.position[1] = 0, fromLeft.position[2] = 0.3f;
    for (const auto& [light, leftBrighter] : {std::pair{fixtures::LgtSource{}, false}, std::pair{fromLeft, true}}) {
        ASSERT_EQ(RunCli("thumbnail -s 96 " + Quote(dir.Write("l.lgt", fixtures::WriteLgt(light))) + " " + Quote(out))
                      .exitCode,
                  0);
        p = testing::ReadPng(out);
        const Coverage c = Cover(p);
        EXPECT_GT(c.opaque, 96 * 96 / 3) << "a sphere filling most of the square";
        EXPECT_GT(c.transparent, 96 * 96 / 10);
        long left = 0, right = 0;
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 96; ++x) (x < 48 ? left : right) += p.At(x, y)[3] == 255 ? p.At(x, y)[0] : 0;
        EXPECT_EQ(left > right, leftBrighter) << left << " against " << right;
    }
}

TEST(Thumbnail, RefusalsWriteNothingAndUsageErrorsExitTwo) {
    testing::TempDir dir;
    const std::string out = Quote(dir.Path() / "t.png");
    const std::pair<std::string, const char*> refused[] = {
        {Quote(dir.Write("short.md2", {'I', 'D', 'P', '2', 8, 0})), "This MD2 file is damaged or incomplete!"},
        {Quote(dir.Write("bad.pcx", {'X', 'Y', 1, 2, 3})), "This file does not appear to be a valid skin"},
        {Quote(dir.Write("bad.lgt", {'L', 'G', 'T', '0', 1})), "This file does not appear to be a Light format file!"},
        {Quote(dir.Path() / "none.md2"), "There was an error loading the specified file!"},
    };
    for (const auto& [input, says] : refused) {
        const testing::CliRun r = RunCli("thumbnail " + input + " " + out);
        EXPECT_EQ(r.exitCode, 1) << input;
        EXPECT_NE(r.err.find(says), std::string::npos) << input << ": " << r.err;
        EXPECT_FALSE(fs::exists(dir.Path() / "t.png")) << input;
    }
    const std::string knot = Quote(testing::SamplesDir() / "knot.md2");
    for (const std::string& args : {std::string("thumbnail"), "thumbnail " + knot, "thumbnail -s 0 " + knot + " " + out,
                                    "thumbnail -s 4097 " + knot + " " + out, "thumbnail -s " + knot + " " + out,
                                    "thumbnail " + knot + " " + out + " extra", "thumbnail --bogus 9 " + knot + " " + out}) {
        const testing::CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage: meshara-cli"), std::string::npos) << args;
        EXPECT_FALSE(fs::exists(dir.Path() / "t.png")) << args;
    }
}

}  // namespace
}  // namespace meshara
