// meshara-cli check over a game folder built here: a clean player, faulty
// players and weapons, models over the engine's limits, skins missing or
// misplaced, and an archive holding models. Each file's codes are checked
// exactly, and the clean player makes none.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "model/animations.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using fixtures::Md2Source;
using testing::Quote;
using testing::RunCli;
using testing::Tetrahedron;
using testing::Pcx;

// What the check said of each path: its codes with their severities.
using Said = std::map<std::string, std::multiset<std::string>>;

Said ReadFindings(const std::string& out, const std::string& root) {
    Said said;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t code = line.rfind(" [");
        if (code == std::string::npos) continue;  // the summary
        std::string path = line.substr(0, line.find(": "));
        if (path.starts_with(root)) path = path.substr(root.size());
        const size_t severity = line.find(": ") + 2;
        said[path].insert(line.substr(severity, line.find(':', severity) - severity) + " " +
                          line.substr(code + 2, line.size() - code - 3));
    }
    return said;
}

size_t Count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(needle, at)) != std::string::npos; ++at) ++n;
    return n;
}

struct Check : ::testing::Test {
    static inline testing::TempDir* dir = nullptr;
    static std::string Root() { return (dir->Path() / "baseq2").string() + "/"; }

    static void Put(const std::string& name, const Bytes& bytes) { dir->Write("baseq2/" + name, bytes); }
    // A tetrahedron of that many frames, changed by edit.
    static Bytes Md2(int frames, const std::function<void(Md2Source&)>& edit) {
        Md2Source s = Tetrahedron(frames);
        edit(s);
        return fixtures::WriteMd2(s);
    }

    static void SetUpTestSuite() {
        dir = new testing::TempDir;
        // The clean player: the engine's 198 frames, a weapon with as many, PCX skins with icons.
        Put("players/clean/tris.md2", fixtures::WriteMd2(Tetrahedron(198)));
        Put("players/clean/weapon.md2", fixtures::WriteMd2(Tetrahedron(198)));
        Put("players/clean/weapon.pcx", Pcx(32, 32));
        // Named as the engine's own players' vweps name theirs.
        Put("players/clean/w_railgun.md2", Md2(198, [](Md2Source& s) { s.skins = {"players/clean/weapon.pcx"}; }));
        for (const char* skin : {"grunt", "major"}) {
            Put(std::string("players/clean/") + skin + ".pcx", Pcx(32, 32));
            Put(std::string("players/clean/") + skin + "_i.pcx", Pcx(8, 8));
        }

        // A player made by a tool that names frames its own way and stops short; its weapons differ.
        Put("players/faulty/tris.md2", Md2(40, [](Md2Source& s) {
            for (size_t f = 0; f < s.frames.size(); ++f) s.frames[f].name = "frame" + std::to_string(f + 1);
        }));
        Put("players/faulty/weapon.md2", fixtures::WriteMd2(Tetrahedron(20)));
        Put("players/faulty/w_long.md2", Md2(60, [](Md2Source& s) { s.skins = {"players/faulty/weapon.pcx"}; }));
        Put("players/faulty/red.pcx", Pcx(32, 32));
        Put("players/faulty/blue.pcx", Pcx(64, 32));
        Put("players/faulty/BLUE_I.pcx", Pcx(8, 8));
        // No skin with an icon at all.
        Put("players/bare/tris.md2", fixtures::WriteMd2(Tetrahedron(198)));

        // Past the engine's limits, one each.
        Put("models/limits/vertices.md2", Md2(1, [](Md2Source& s) {
            s.frames[0].vertices.resize(2049, {1, 2, 3, 0});
            s.skins = {"models/limits/skin.pcx"};
        }));
        Put("models/limits/tables.md2", fixtures::WriteOverlappingTables(4097, 513));
        Put("models/limits/skins.md2", Md2(1, [](Md2Source& s) {
            s.skinHeight = 512;
            s.skins.assign(33, "models/limits/skin.pcx");
        }));
        Put("models/limits/skin.pcx", Pcx(32, 32));
        Put("models/limits/none.md2", Md2(1, [](Md2Source& s) { s.triangles.clear(); }));
        Put("models/limits/huge.md2", [] {  // judged by its header alone, which the file cannot hold
            Bytes b = fixtures::WriteMd2(Tetrahedron(1));
            fixtures::PatchS32(b, fixtures::md2field::kVertexCount, 9000);
            return b;
        }());
        Put("models/limits/damaged.md2", [] {
            Bytes b = fixtures::WriteMd2(Tetrahedron(3));
            b.resize(b.size() / 2);
            return b;
        }());

        // A model with every flaw of its own, and skins found wrong in every way.
        Put("models/messy/tris.md2", Md2(3, [](Md2Source& s) {
            s.glCommands = false;
            s.frames[1].vertices.assign(4, {5, 5, 5, 0});                          // draws nothing
            for (auto& f : s.frames) f.vertices.push_back({9, 9, 9, 0});            // used by no triangle
            s.texCoords.push_back({-8, 40});                                        // off the skin
            s.triangles.push_back({{0, 0, 1}, {0, 1, 2}});                          // degenerate
            s.triangles.push_back({{1, 2, 0}, {1, 2, 0}});                          // the first, turned
            s.triangles.push_back({{0, 1, 3}, {4, 9, 1}});                          // off the skin, past the table
            s.skins = {"models/messy/skin.pcx", "models/elsewhere/beside.pcx", "models/messy/gone.pcx",
                       "models/messy/wide.pcx", "models/messy/photo.png", "models/messy/broken.pcx",
                       std::string(64, 'x')};
        }));
        Put("models/messy/SKIN.pcx", Pcx(32, 32));
        Put("models/messy/beside.pcx", Pcx(32, 32));
        Put("models/messy/wide.pcx", Pcx(700, 20));
        Put("models/messy/photo.png", fixtures::WritePng(fixtures::ToRgb({32, 32, Bytes(32 * 32, 1), {{0, 0, 0}, {9, 9, 9}}})));
        Put("models/messy/broken.pcx", Bytes(200, 0x41));

        // An archive holding models, one of them also loose, where the archive wins.
        Md2Source inPak = Tetrahedron(2);
        inPak.skins = {"models/inpak/skin.pcx"};
        Put("pak0.pak", fixtures::WritePak({{"models/inpak/tris.md2", fixtures::WriteMd2(inPak)},
                                            {"models/inpak/skin.pcx", Pcx(32, 32)},
                                            {"models/shadow/tris.md2", fixtures::WriteMd2(inPak)}}));
        Put("models/shadow/tris.md2", fixtures::WriteMd2(inPak));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
};

// Every code of the check, by the file that makes it; the clean player and its weapons make none.
TEST_F(Check, EveryCodeComesFromItsFileAndNoneFromTheCleanPlayer) {
    const auto r = RunCli("check " + Quote(dir->Path() / "baseq2"));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const Said said = ReadFindings(r.out, Root());
    const Said expected = {
        {"players/faulty", {"warning player-frames", "note player-frame-names", "warning skin-icon-missing",
                            "warning skin-icon-letter-case", "warning skin-size-differs"}},
        {"players/faulty/weapon.md2", {"warning weapon-frames-differ", "warning skin-missing"}},
        {"players/faulty/w_long.md2", {"note weapon-frames-differ", "warning skin-missing"}},
        {"players/bare", {"warning no-player-skin"}},
        {"models/limits/vertices.md2", {"error too-many-vertices", "note unused-vertices"}},
        {"models/limits/tables.md2", {"warning too-many-triangles", "warning too-many-frames", "warning skin-missing",
                                      "note degenerate-triangles", "warning duplicate-triangles", "warning empty-frame",
                                      "warning empty-frame", "warning empty-frame", "warning empty-frame",
                                      "warning empty-frame", "warning empty-frame", "warning empty-frame",
                                      "warning empty-frame", "warning empty-frame", "note glcmds-differ"}},
        {"models/limits/skins.md2", {"error too-many-skins", "error skin-too-tall", "warning skin-size-differs"}},
        {"models/limits/none.md2", {"error no-geometry", "warning skin-missing", "note unused-vertices"}},
        {"models/limits/damaged.md2", {"error damaged"}},
        {"models/limits/huge.md2", {"error too-many-vertices", "warning check-incomplete"}},
        {"models/messy/tris.md2",
         {"warning skin-letter-case", "warning skin-not-at-game-path", "warning skin-missing", "warning skin-missing",
          "warning skin-picture-too-large", "warning skin-size-differs", "note skin-not-pcx", "warning skin-unreadable",
          "warning skin-name-unterminated", "warning empty-frame", "note degenerate-triangles",
          "warning duplicate-triangles", "note unused-vertices", "note texcoord-index-past-table",
          "note texcoord-outside-skin", "note texcoord-overlap", "note glcmds-differ"}},
        {"models/shadow/tris.md2", {"note entry-shadowed"}},
        {"pak0.pak/models/shadow/tris.md2", {"note entry-shadowed"}},
    };
    for (const auto& [path, codes] : expected) {
        const auto it = said.find(path);
        EXPECT_EQ(it == said.end() ? std::multiset<std::string>{} : it->second, codes) << path;
    }
    for (const auto& [path, codes] : said) EXPECT_TRUE(expected.contains(path)) << path << " said " << *codes.begin();
    // The summary counts what was said: 3 players, the rest models.
    EXPECT_NE(r.out.find("\n14 models, 3 players: 6 errors, "), std::string::npos) << r.out;
}

// Exit status: errors fail, warnings only with --strict, usage errors are 2; a missing file is a finding.
TEST_F(Check, ExitStatusFollowsTheWorstFinding) {
    const fs::path base = dir->Path() / "baseq2";
    const struct {
        std::string args;
        int exit;
        std::string last;  // the summary line
    } cases[] = {
        {Quote(base / "players/clean"), 0, "2 models, 1 player: 0 errors, 0 warnings, 0 notes"},
        {"--strict " + Quote(base / "players/clean"), 0, "2 models, 1 player: 0 errors, 0 warnings, 0 notes"},
        {Quote(base / "players/bare"), 0, "0 models, 1 player: 0 errors, 1 warning, 0 notes"},
        {"--strict " + Quote(base / "players/bare"), 1, "0 models, 1 player: 0 errors, 1 warning, 0 notes"},
        {Quote(base / "models/limits/damaged.md2") + " " + Quote(base / "players/bare"), 1,
         "1 model, 1 player: 1 error, 1 warning, 0 notes"},
        {Quote(base / "nothing.md2"), 1, "1 model, 0 players: 1 error, 0 warnings, 0 notes"},
        {"--jobs 0 " + Quote(base), 2, ""},
        {"--json", 2, ""},
    };
    for (const auto& c : cases) {
        const auto r = RunCli("check " + c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.args << "\n" << r.out << r.err;
        if (c.exit == 2) continue;
        const std::string out = r.out.substr(0, r.out.size() - 1);
        EXPECT_EQ(out.substr(out.rfind('\n') + 1), c.last) << c.args;
    }
}

// The JSON holds each model's counts and the same findings the text does; one worker or several say the same.
TEST_F(Check, JsonAndTextSayTheSameOnAnyNumberOfWorkers) {
    const std::string base = Quote(dir->Path() / "baseq2");
    const auto text = RunCli("check --jobs 1 " + base), two = RunCli("check --jobs 2 " + base),
               json = RunCli("check --json " + base);
    EXPECT_EQ(text.out, two.out);
    EXPECT_EQ(json.exitCode, text.exitCode);
    EXPECT_EQ(Count(json.out, "{\"code\": "), size_t(std::count(text.out.begin(), text.out.end(), '\n')) - 1);
    const std::string root = Root();
    for (const std::string& expected : std::vector<std::string>
         {"{\"path\": \"" + root + "players/clean\", \"kind\": \"player\", \"frames\": 198, \"vertices\": 4, "
          "\"triangles\": 4, \"skins\": [\"grunt\", \"major\"], \"animations\": [{\"name\": \"stand\", \"first\": 0, "
          "\"last\": 39}, {\"name\": \"run\", \"first\": 40, \"last\": 45}",
          "{\"path\": \"" + root + "pak0.pak/models/inpak/tris.md2\", \"kind\": \"model\", \"frames\": 2, "
          "\"vertices\": 4, \"triangles\": 4, \"skins\": [\"models/inpak/skin.pcx\"], \"animations\": [{\"name\": "
          "\"stand\", \"first\": 0, \"last\": 1}], \"findings\": []}",
          "{\"code\": \"empty-frame\", \"severity\": \"warning\", \"message\": \"frame 1 (stand02) draws nothing: none "
          "of its triangles has an area\", \"frame\": 1}",
          "\"summary\": {\"models\": 14, \"players\": 3, \"errors\": 6, "})
        EXPECT_NE(json.out.find(expected), std::string::npos) << expected << "\n" << json.out;
}

// The page: every model under its heading with its picture, the counts by code as the text has them; Chromium
// opens it without a console error (a script's error, a blocked fetch) and draws it.
TEST_F(Check, PageHoldsEveryModelAndOpensInChromiumWithoutConsoleErrors) {
    const fs::path base = dir->Path() / "baseq2", page = dir->Path() / "page.html", shot = dir->Path() / "page.png";
    const auto text = RunCli("check " + Quote(base));
    const auto r = RunCli("check --html " + Quote(page) + " " + Quote(base));
    ASSERT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, text.out);
    const Bytes bytes = testing::ReadAll(page);
    const std::string html(bytes.begin(), bytes.end());
    std::map<std::string, int> byCode;
    for (const auto& [path, codes] : ReadFindings(text.out, ""))
        for (const std::string& c : codes) ++byCode[c];
    for (const auto& [code, n] : byCode) {
        const std::string severity = code.substr(0, code.find(' ')), name = code.substr(code.find(' ') + 1);
        EXPECT_NE(html.find("<tr class=\"" + severity + "\"><td>" + severity + "</td><td>" + name + "</td><td>" +
                            std::to_string(n) + "</td></tr>"), std::string::npos) << code;
    }
    // 17 records; all but the damaged one and the one judged by its header have a picture, with its alt text.
    EXPECT_EQ(std::tuple(Count(html, "<h2 id=\"model-"), Count(html, "src=\"data:image/png;base64,"),
                         Count(html, "drawn in its skin\"")), std::tuple(17u, 15u, 15u));
    EXPECT_EQ(html.find("://"), std::string::npos) << "the page fetches nothing";

    const std::string log = (dir->Path() / "chromium.log").string();
    const int code = std::system(("'" CHROMIUM "' --headless --no-sandbox --disable-gpu --hide-scrollbars "
                                  "--user-data-dir=" + Quote(dir->Path() / "profile") +
                                  " --window-size=1000,1400 --enable-logging=stderr --log-level=0 --v=0 --screenshot=" +
                                  Quote(shot) + " " + Quote("file://" + page.string()) + " 2>" + Quote(log))
                                     .c_str());
    ASSERT_EQ(code, 0);
    const Bytes said = testing::ReadAll(log);
    std::istringstream lines(std::string(said.begin(), said.end()));
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.find(":CONSOLE"), std::string::npos) << line;
    const auto picture = testing::ReadPng(shot);
    EXPECT_EQ(picture.width, 1000);
    EXPECT_EQ(picture.height, 1400);
    // The user guide's screenshot is this one.
    if (const char* keep = std::getenv("MESHARA_CHECK_SCREENSHOT")) fs::copy_file(shot, keep, fs::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace meshara
