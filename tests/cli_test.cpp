// meshara-cli as a user runs it: output format, exit codes, messages.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <tuple>

#include "model/md2_model.h"
#include "model/normals.h"
#include "tests/cli_support.h"
#include "tests/hostile_archives.h"
#include "tests/test_support.h"
#include "tools/writers/archive_writers.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using testing::CliRun;
using testing::Quote;
using testing::RunCli;

// A file's bytes as text, to look for what it must or must not hold.
std::string FileText(const fs::path& path) {
    const Bytes b = testing::ReadAll(path);
    return std::string(b.begin(), b.end());
}

// Runs make in a child process and waits for it: a command started later begins with its parent's peak memory,
// so fixtures built here would count in the commands' own.
void InChild(const std::function<void()>& make) {
    if (const pid_t pid = ::fork(); pid == 0) {
        make();
        ::_exit(0);
    } else {
        ::waitpid(pid, nullptr, 0);
    }
}

// A picture of one pixel, of that colour.
fixtures::IndexedPicture Solid(uint8_t r, uint8_t g, uint8_t b) { return {1, 1, {0}, {{r, g, b}}}; }

// The middle pixel's strongest channel: 0 red, 1 green, 2 blue, 3 none (grey); -1 without a picture.
int MiddleChannel(const fs::path& png) {
    const testing::RgbaPicture p = testing::ReadPng(png);
    if (p.pixels.empty()) return -1;
    const uint8_t* c = p.At(p.width / 2, p.height / 2);
    const auto [low, high] = std::minmax_element(c, c + 3);
    return *high - *low < 40 ? 3 : static_cast<int>(high - c);
}

// A run-length BMP of a kilobyte claiming 8192 x 8192 pixels.
Bytes RleBmpClaiming8192() {
    Bytes bmp = fixtures::WriteBmp8(Solid(9, 9, 9), {.rle8 = true});
    fixtures::PatchS32(bmp, 18, 8192);
    fixtures::PatchS32(bmp, 22, 8192);
    return bmp;
}

// Every test gets a folder holding the small quad model.
struct Cli : ::testing::Test {
    testing::TempDir dir;
    const fs::path quadPath = dir.Write("quad.md2", fixtures::WriteMd2(testing::SmallQuad()));
    const std::string quad = Quote(quadPath);
    const std::string knot = Quote(testing::SamplesDir() / "knot.md2");
};

TEST_F(Cli, InfoPrintsNameCountsAndEveryVertexOfAFrame) {
    CliRun r = RunCli("info " + quad);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "name: quad.md2\nframes: 2\nvertices: 4\ntriangles: 2\nskins: 0\nanimations: 1\nframe 0-1\n");
    EXPECT_EQ(RunCli("info " + knot).out.substr(std::string("name: knot.md2\nframes: 12\nvertices: 384\ntriangles: 768\n").size()),
              "skins: 1\nskin: models/knot/knot.pcx\nanimations: 1\npulse 0-11\n");
    r = RunCli("info " + quad + " --frame 1");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto model = LoadMd2Model(quadPath.string());
    ASSERT_TRUE(model);
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line) && line != "frame 1: frame") {}  // the counts, skins and animations
    const Md2Frame& f = model.Value()->frames[1];
    const std::vector<Vec3d> normals = FrameNormals(*model.Value(), 1);
    for (size_t v = 0; v < f.vertices.size(); ++v) {
        ASSERT_TRUE(std::getline(lines, line)) << "vertex " << v;
        std::array<double, 6> got;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf", &got[0], &got[1], &got[2], &got[3], &got[4], &got[5]), 6);
        const Vec3d p = VertexPosition(f, v), &n = normals[v];
        EXPECT_EQ(got, (std::array{p.x, p.y, p.z, n.x, n.y, n.z})) << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << "extra line: " << line;
}

TEST_F(Cli, LightPrintsEveryFieldAndNewWritesTheNewLight) {
    // The three attenuations differ, so their order shows.
    const fixtures::LgtSource s{.name = "Key", .position = {150, 150, 150, 1}, .linearAttenuation = 0.125f,
                                .quadraticAttenuation = 0.5f, .spotCutoff = 45};
    CliRun r = RunCli("light " + Quote(dir.Write("key.lgt", fixtures::WriteLgt(s))));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "name: Key\nposition: 150 150 150 1\nspotDirection: -1 -1 -1 0\nambient: 0 0 0 1\n"
              "diffuse: 1 1 1 1\nspecular: 0.25 0.25 0.25 1\nconstantAttenuation: 1\nlinearAttenuation: 0.125\n"
              "quadraticAttenuation: 0.5\nspotExponent: 0\nspotCutoff: 45\n");
    // A new light, named as typed (UTF-8) and stored as Windows-1252, to a file or standard output.
    for (const char* out : {"fill.lgt", "-"}) {
        r = RunCli(std::string("light --new --name 'Caf\xC3\xA9 Fill' -o ") + (*out == '-' ? "-" : Quote(dir.Path() / out)));
        const Bytes written = *out == '-' ? Bytes(r.out.begin(), r.out.end()) : testing::ReadAll(dir.Path() / out);
        EXPECT_EQ(written, fixtures::WriteLgt({.name = "Caf\xE9 Fill"})) << out << ": " << r.err;
    }
}

TEST_F(Cli, RefusalsExitOneUsageErrorsExitTwoAndNothingIsWritten) {
    auto deep = fixtures::WriteBmp24(fixtures::RgbPicture{1, 1, {1, 2, 3}});
    fixtures::PatchU16(deep, 28, 4);
    auto frameless = testing::SmallQuad();
    frameless.frames.clear();
    frameless.vertexCount = 4;  // four vertices, no frame to draw them in
    const std::string notMd2 = Quote(dir.Write("x.md2", {'P', 'K', 3, 4, 0, 0})),
                      damaged = Quote(dir.Write("short.md2", {'I', 'D', 'P', '2', 8, 0})),
                      empty = Quote(dir.Write("empty.md2", fixtures::WriteMd2(frameless))),
                      notSkin = Quote(dir.Write("bad.bmp", {'X', 'Y', 1, 2, 3})),
                      fourBits = Quote(dir.Write("deep.bmp", deep)),
                      notLight = Quote(dir.Write("bad.lgt", {'L', 'G', 'T', '1'})),
                      shortLight = Quote(dir.Write("l.lgt", {'L', 'G', 'T', '0', 1})),
                      skin = Quote(dir.Write("skin.pcx", fixtures::WritePcx({2, 1, {0, 1}, {{1, 2, 3}, {4, 5, 6}}}))),
                      // 70,000 frames in 3 MB, in one animation: 4.9 billion weights, past 32-bit places.
                      manyFrames = Quote(dir.Write("many.md2", fixtures::WriteOverlappingTables(1, 70000))),
                      missing = Quote(dir.Path() / "none");
    // Files whose bytes tell nothing: refused as what their names say.
    const auto blank = [&](const char* name) { return Quote(dir.Write(name, {})); };
    const std::string blankLight = blank("blank.lgt"), blankModel = blank("blank.md2"), blankPak = blank("blank.pak");
    const auto out = [&](const char* name) { return " -o " + Quote(dir.Path() / name); };
    const std::string thumb = " " + Quote(dir.Path() / "t.png");
    const std::set<std::string> inputs = testing::FileNames(dir.Path());
    const auto expectFails = [&](const std::string& args, int exitCode, const char* says) {
        CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, exitCode) << args;
        EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << args;
        EXPECT_EQ(testing::FileNames(dir.Path()), inputs) << args << ": nothing may be written";
    };
    const std::pair<std::string, const char*> refused[] = {
        {"info " + notMd2, "This is not an MD2!"}, {"info " + damaged, "This MD2 file is damaged or incomplete!"},
        {"info " + missing, "There was an error loading the specified file!"},
        {"decode " + notSkin + out("o"), "This file does not appear to be a valid skin"},
        {"decode " + fourBits + out("o"), "unsupported BMP file (BMP of 4 bits per pixel)"},
        {"decode " + missing + out("o"), "cannot be opened"},
        {"light " + notLight, "This file does not appear to be a Light format file!"},
        {"light " + missing, "Unable to open the file specified!"},
        {"light --new -o " + Quote(dir.Path() / "no" / "dir.lgt"), "Unable to create the file specified!"},
        {"render " + missing + out("o.png"), "There was an error loading the specified file!"},
        {"render " + knot + " --glow " + notSkin + out("o.png"), "This file does not appear to be a valid skin"},
        {"render " + knot + " --light " + notLight + out("o.png"), "This file does not appear to be a Light format file!"},
        {"render " + empty + out("o.png"), "no frames"},
        {"export " + damaged + out("o.glb"), "This MD2 file is damaged or incomplete!"},
        {"export " + empty + out("o.obj"), "no frames"},
        {"export " + quad + out("o.gltf") + " --texture " + notSkin, "This file does not appear to be a valid skin"},
        {"export " + quad + out("o.obj") + " --texture " + missing, "cannot be opened"},
        {"export " + manyFrames + out("o.glb"), "would need more than 2^32 morph weights"},
        {"thumbnail " + damaged + thumb, "This MD2 file is damaged or incomplete!"},
        {"thumbnail " + notSkin + thumb, "This file does not appear to be a valid skin"},
        {"thumbnail " + shortLight + thumb, "This file does not appear to be a Light format file!"},
        {"thumbnail " + missing + thumb, "There was an error loading the specified file!"},
        {"thumbnail " + blankLight + thumb, "This file does not appear to be a Light format file!"},
        {"thumbnail " + Quote(dir.Path() / "none.lgt") + thumb, "Unable to open the file specified!"},
        {"thumbnail " + blankModel + thumb, "This is not an MD2!"},
        {"thumbnail " + blankPak + thumb, "error loading the specified file! (not a PAK or zip archive)"}, };
    for (const auto& [args, says] : refused) expectFails(args, 1, says);
    const std::string png = "render " + knot + out("o.png") + " ", glb = "export " + quad + out("o.glb") + " ",
                      obj = "export " + quad + out("o.obj") + " ";
    const std::string usageErrors[] = {
        "", "info", "frobnicate", "info " + quad + " --frame", "info " + quad + " --frame -1",
        "info " + quad + " --frame x", "info " + quad + " --frame 2", "info " + quad + " " + quad,
        "info " + quad + " --bogus", "decode " + notSkin, "light", "light --new", "light a.lgt -o b.lgt",
        "light --name x a.lgt", "render " + knot, "render" + out("o.png"), png + "--size 0x5", png + "--filter 5",
        png + "--frame 12" /* it has 12 */, png + "--background 1,2", png + "--drag 3", png + "--skin 1",
        "render " + knot + out("o"), png + "--no-light --new-light", png + "--fit --start-view",
        png + "--no-skin --skin 0", png + "--no-skin -t " + skin, png + "-s 8,8,8", png + "-s 8x", png + "--show box,",
        png + "--show floor", "render " + knot + out("o.gif") + " --turntable 0", png + "--turntable 4",
        "render " + knot + out("o.webp") + " --fps 0", "render " + knot + out("o.gif") + " --animation nosuch",
        "thumbnail --skin -1 " + knot + thumb, "export", "export " + quad, "export " + quad + out("o.png"),
        "export " + quad + " -o -", glb + "--frame 1", obj + "--animation frame", obj + "--fps 5", obj + "--frame 2",
        glb + "--fps 0", glb + "--scale -1", glb + "--scale 1e999", glb + "--animation nosuch", glb + quad,
        "thumbnail", "thumbnail " + knot, "thumbnail -s 0 " + knot + thumb, "thumbnail -s 4097 " + knot + thumb,
        "thumbnail -s " + knot + thumb, "thumbnail " + knot + thumb + " extra", "thumbnail --bogus 9 " + knot + thumb};
    for (const std::string& args : usageErrors) expectFails(args, 2, "try 'meshara-cli");
    for (const char* drag : {"-9223372036854775808,0", "0,9223372036854775807", "8193,0", "1e3,0"})
        expectFails("render " + quad + " --drag " + drag + out("o.png"), 2, "try 'meshara-cli");
    // The OBJ cannot be written (a folder has its name): the picture and
    // material written before it go again.
    fs::create_directory(dir.Path() / "blocked.obj");
    const CliRun r = RunCli("export " + quad + out("blocked.obj") + " --texture " + skin);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "blocked.mtl") || fs::exists(dir.Path() / "blocked.png")) << r.err;
}

TEST_F(Cli, OutputDashIsStandardOutputAndEachInputIsNamedOnceWhenRefused) {
    fixtures::IndexedPicture p{3, 2, {1, 2, 3, 3, 2, 1}, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}};
    const std::string pcx = Quote(dir.Write("p.pcx", fixtures::WritePcx(p)));
    const Bytes ppm = fixtures::WritePpm(fixtures::ToRgb(p));  // the decoded pixels, whole
    const struct { std::string args; std::string starts; } toStdout[] = {
        {"decode " + pcx + " -o -", std::string(ppm.begin(), ppm.end())},
        {"render " + knot + " --size 8x8 -o -", "\x89PNG\r\n"}, };
    for (const auto& c : toStdout) {
        CliRun r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.args << ": " << r.err;
        EXPECT_EQ(r.out.substr(0, c.starts.size()), c.starts) << c.args;
    }
    EXPECT_EQ(RunCli("light " + Quote(dir.Write("c.lgt", fixtures::WriteLgt({.name = "Caf\xE9"})))).out.substr(0, 12),
              "name: Caf\xC3\xA9\n") << "shown as UTF-8 text";
    const std::string missing = (dir.Path() / "missing.bmp").string();
    for (const std::string flag : {"--texture", "--light"}) {
        CliRun r = RunCli("render " + knot + " " + flag + " " + Quote(missing) + " -o " + Quote(dir.Path() / "o.png"));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.find(missing), r.err.rfind(missing)) << "named once: " << r.err;
    }
}

// The conventions of command-line tools: --version, --help anywhere, one line per usage error, the same short and
// long forms everywhere, frames by name, and notes only from a command that succeeded.
TEST_F(Cli, VersionHelpShortFormsFrameNamesAndNotesFollowTheConventions) {
    const std::string o = " -o " + Quote(dir.Path() / "o.png");
    const struct { std::string args; int exitCode; std::string out, err; } runs[] = {
        {"--version", 0, "meshara-cli 0.", ""},
        {"export " + quad + " --frame 1 --help", 0, "usage: meshara-cli export MODEL ", ""},
        {"render -h", 0, "usage: meshara-cli render", ""},
        {"render " + knot + " -s 0x5" + o, 2, "", "meshara-cli: render: --size needs WxH or W,H, each 1 to 8192\n"
                                                 "try 'meshara-cli render --help'\n"},
        {"info " + knot + " -f pulse6", 0, "name: knot.md2", ""},
        {"info " + knot + " --frame nosuch", 2, "", "meshara-cli: info: the model has no frame nosuch"},
        {"render " + knot + " -s 8x8 -f pulse3 -t " + Quote(testing::SamplesDir() / "knot.pcx") + o, 0, "", ""},
        {"render " + quad + " -s 8x8" + o, 0, "", "note: " + quadPath.string() + ": the model names no skin; it is drawn untextured"},
        {"render " + knot + " -s 8x8 -a pulse -l " + Quote(dir.Path() / "none.lgt") + o, 1, "",
         "meshara-cli: " + (dir.Path() / "none.lgt").string()},  // refused: no note
        {"thumbnail --skin 0 -s 8 " + knot + " -", 0, "\x89PNG", ""}, };
    for (const auto& c : runs) {
        const CliRun r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << ": " << r.err;
        EXPECT_EQ(r.out.substr(0, c.out.size()), c.out) << c.args;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args;
        if (c.err.empty() || c.exitCode != 0) {
            EXPECT_EQ(r.err.find("note:"), std::string::npos) << c.args << r.err;
        }
    }
    EXPECT_NE(RunCli("info " + knot + " -f pulse6").out.find("frame 6: pulse6\n"), std::string::npos);
}

// A model shaped like those players and games ship: frame names dressed by exporters, a corner without a texture
// coordinate, several skins named by game paths in another letter case or with another extension than the files
// beside the model, one name in Windows-1252. Drawn square on, so the middle pixel shows the skin.
TEST_F(Cli, CommunityShapedModelsOpenGroupTheirAnimationsAndDrawTheSkinChosen) {
    fixtures::Md2Source m;
    m.skinWidth = m.skinHeight = 8;
    m.skins = {"players/ogro/Ogro.pcx", "players\\ogro\\gib.pcx", "players/ogro/caf\xF6.pcx"};
    m.texCoords = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
    m.triangles = {{{0, 2, 1}, {0, 2, 65535}}, {{0, 3, 2}, {0, 3, 2}}};
    for (const char* name : {"stand01 ", "stand02 ", "run1.lwo", "run2.lwo", "pain_01", "ca\xED" "da1"})
        m.frames.push_back({.name = name, .vertices = {{0, 0, 0, 0}, {40, 0, 0, 0}, {40, 0, 40, 0}, {0, 0, 40, 0}}});
    const std::string model = Quote(dir.Write("baseq2/players/ogro/tris.md2", fixtures::WriteMd2(m)));
    // The .pcx names found as the PNG and JPEG that replaced them, one in another letter case.
    dir.Write("baseq2/players/ogro/OGRO.png", fixtures::WritePng(fixtures::ToRgb(Solid(255, 0, 0))));
    dir.Write("baseq2/players/ogro/gib.jpg", fixtures::WriteJpeg(fixtures::ToRgb(Solid(0, 255, 0))));

    CliRun r = RunCli("info " + model);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("skin: players/ogro/caf\xC3\xB6.pcx\nanimations: 4\nstand 0-1\nrun 2-3\npain 4-4\nca\xC3\xAD" "da 5-5\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.err.find("1 triangle corner names a texture coordinate the model does not have"), std::string::npos);
    const auto out = dir.Path() / "o.png";
    const std::string render = "render " + model + " --fit --new-light --background 0,0,1 --size 32x32 -o " + Quote(out);
    const struct { std::string args; int exitCode, channel; const char* note; } runs[] = {
        {render + " --header-skin", 0, 0, nullptr},
        {render + " --skin 1", 0, 1, nullptr},
        {render + " --skin 2", 0, 3, "its skin players/ogro/caf\xC3\xB6.pcx was not found; it is drawn untextured"},
        {render + " --skin 3", 2, -1, "skin 3 is out of range: the model names 3 skins"},
        {"thumbnail -s 32 --skin 1 " + model + " " + Quote(out), 0, 1, nullptr},
        {"export " + model + " --skin 2 -o " + Quote(dir.Path() / "o.gltf"), 0, -1, "it is exported without a texture"},
    };
    for (const auto& c : runs) {
        fs::remove(out);
        r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << ": " << r.err;
        if (c.channel >= 0 || c.exitCode) {
            EXPECT_EQ(MiddleChannel(out), c.channel) << c.args << r.err;
        }
        if (c.note) {
            EXPECT_NE(r.err.find(c.note), std::string::npos) << c.args << ": " << r.err;
        }
    }
    EXPECT_NE(FileText(dir.Path() / "o.gltf").find("\"ca\xC3\xAD" "da\""), std::string::npos) << "named as text";

    // A weapon whose first frame is flat, naming a skin the game would not find where it says: both are told.
    m.skins = {"models/elsewhere/skin.pcx"};
    m.frames.resize(2);
    m.frames[0].vertices = {{0, 0, 0, 0}, {40, 0, 0, 0}, {80, 0, 0, 0}, {20, 0, 0, 0}};
    const std::string weapon = Quote(dir.Write("baseq2/models/w/tris.md2", fixtures::WriteMd2(m)));
    dir.Write("baseq2/models/w/skin.pcx", fixtures::WritePcx(Solid(0, 255, 0)));
    for (const char* frame : {"0", "1"}) {
        r = RunCli("render " + weapon + " --header-skin --fit --new-light -f " + frame + " -s 8x8 -o " + Quote(out));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err.find(": frame 0 (stand01 ) draws nothing: none of its triangles has an area") != std::string::npos,
                  frame == std::string("0")) << r.err;
        EXPECT_NE(r.err.find("the skin models/elsewhere/skin.pcx is not where the game looks for it, in " +
                             (dir.Path() / "baseq2").string() + "; " + (dir.Path() / "baseq2/models/w/skin.pcx").string() +
                             ", found beside the model, is worn instead"), std::string::npos) << r.err;
    }
}

// A player's folder is taken wherever a model is: its body and weapon drawn together, dressed in the player's
// skins (those with an icon, paired in any letter case, in name order), the weapon chosen among its vweps.
TEST_F(Cli, APlayersFolderIsDressedAsTheGameDressesIt) {
    const auto quad = [](uint8_t size, int frames) {
        fixtures::Md2Source m;
        m.skinWidth = m.skinHeight = 8;
        m.texCoords = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
        m.triangles = {{{0, 2, 1}, {0, 2, 1}}, {{0, 3, 2}, {0, 3, 2}}};
        for (int f = 0; f < frames; ++f)
            m.frames.push_back({.name = "stand0" + std::to_string(f + 1),
                                .vertices = {{0, 0, 0, 0}, {size, 0, 0, 0}, {size, 0, size, 0}, {0, 0, size, 0}}});
        return fixtures::WriteMd2(m);
    };
    const auto solid = [](uint8_t r, uint8_t g, uint8_t b) { return fixtures::WritePcx(Solid(r, g, b)); };
    const fs::path folder = dir.Path() / "baseq2/players/Male";
    dir.Write("baseq2/players/Male/tris.md2", quad(200, 3));
    dir.Write("baseq2/players/Male/weapon.md2", quad(10, 3));
    dir.Write("baseq2/players/Male/w_railgun.md2", quad(12, 2));
    dir.Write("baseq2/players/Male/weapon.pcx", solid(255, 255, 255));
    dir.Write("baseq2/players/Male/Grunt.pcx", solid(255, 0, 0));
    dir.Write("baseq2/players/Male/grunt_I.pcx", solid(1, 1, 1));
    dir.Write("baseq2/players/Male/Cypher.PCX", solid(0, 255, 0));
    dir.Write("baseq2/players/Male/Cypher_i.PCX", solid(1, 1, 1));
    dir.Write("baseq2/players/Male/noicon.pcx", solid(0, 0, 255));
    CliRun r = RunCli("info " + Quote(folder));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "player: Male\nbody: tris.md2, 3 frames\nweapon: weapon.md2, 3 frames\nweapon skin: weapon.pcx\n"
                     "vweps: 1\nvwep: w_railgun.md2, 2 frames\nskins: 2\nskin: Cypher, icon Cypher_i.PCX\n"
                     "skin: Grunt, icon grunt_I.pcx (another letter case)\n"
                     "skin without icon: noicon (the game's menu does not list it)\n");
    const auto out = dir.Path() / "o.png";
    const std::string render = "render " + Quote(folder) + " --fit --new-light --size 32x32 -o " + Quote(out);
    const struct { std::string args; int exitCode, channel; } runs[] = {
        {render, 0, 1},  // Cypher, the first in name order
        {render + " --skin grunt", 0, 0}, {render + " --skin 1", 0, 0}, {render + " --skin 0", 0, 1},
        {render + " --skin noicon", 2, -1},  // no icon: not one of the player's skins
        {render + " --weapon w_railgun", 0, 1}, {render + " --weapon none", 0, 1}, {render + " --weapon w_bfg", 2, -1},
        // A model in a player's folder that names no skin wears the player's first.
        {"render " + Quote(folder / "tris.md2") + " --header-skin --fit --new-light --size 32x32 -o " + Quote(out), 0, 1},
        {"thumbnail -s 32 " + Quote(folder) + " " + Quote(out), 0, 1},
        {"thumbnail -s 32 --skin Grunt " + Quote(folder) + " " + Quote(out), 0, 0},
        {"export " + Quote(folder) + " -o " + Quote(dir.Path() / "p.glb"), 0, -1},
        // The body's layout, or a weapon's. The middle lies on the diagonal, a line of a mirrored triangle (cyan:
        // blue highest), as the skin's top row is at the quad's foot.
        {"layout " + Quote(folder) + " -o " + Quote(out), 0, 2},
        {"layout " + Quote(folder) + " --weapon w_railgun -o " + Quote(out), 0, 2},
        {"layout " + Quote(folder) + " --weapon w_bfg -o " + Quote(out), 2, -1},
        {"layout " + Quote(folder / "tris.md2") + " --weapon weapon -o " + Quote(out), 2, -1},  // no player's folder
    };
    for (const auto& c : runs) {
        fs::remove(out);
        r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << ": " << r.err;
        EXPECT_EQ(MiddleChannel(out), c.channel) << c.args;
    }
    // The weapon is drawn with the body: without it the picture differs.
    const auto drawn = [&](const std::string& weapon) {
        EXPECT_EQ(RunCli("render " + Quote(folder) + " --new-light --start-view --size 64x64 --weapon " + weapon + " -o " + Quote(out)).exitCode, 0);
        return testing::ReadAll(out);
    };
    EXPECT_NE(drawn("weapon"), drawn("none"));
}

// File names from older systems are bytes in their own set: a model's and an archive entry's name that are not
// UTF-8 are shown, and exported, as Windows-1252 text, as the names inside models are.
TEST_F(Cli, FileNamesThatAreNotUtf8AreWindows1252Text) {
    const Bytes md2 = fixtures::WriteMd2(testing::SmallQuad());
    const fs::path model = dir.Write("caf\xE9.md2", md2);
    const std::string skin = Quote(dir.Write("\x93sk\xEEn\x94.pcx", fixtures::WritePcx(Solid(1, 2, 3))));
    const fs::path pak = dir.Write("pak0.pak", fixtures::WritePak({{"models/caf\xE9.md2", md2},
                                                                   {"models/ogr\xC3\xB3.md2", md2},
                                                                   {"odd/\x81\x1b[2J\x9d.md2", md2}}));
    CliRun r = RunCli("list --all " + Quote(pak));
    std::string listed;
    for (const char* name : {"models/caf\xC3\xA9.md2", "models/ogr\xC3\xB3.md2", "odd/??[2J?.md2"})
        listed += std::string(12 - std::to_string(md2.size()).size(), ' ') + std::to_string(md2.size()) + "  " + name + "\n";
    EXPECT_EQ(std::pair(r.exitCode, r.out), std::pair(0, listed)) << r.err;
    r = RunCli("info " + Quote(model));
    EXPECT_EQ(r.out.substr(0, 16), "name: caf\xC3\xA9.md2\n") << r.err;
    for (const std::string& in : {model.string(), pak.string() + "/models/caf\xE9.md2"})
        for (const char* out : {"o.gltf", "o.glb"}) {
            r = RunCli("export " + Quote(in) + " -t " + skin + " -o " + Quote(dir.Path() / out));
            ASSERT_EQ(r.exitCode, 0) << in << " " << out << ": " << r.err;
            const std::string text = FileText(dir.Path() / out);
            for (const char* name : {"\"name\":\"caf\xC3\xA9\"", "\"name\":\"\xE2\x80\x9Csk\xC3\xAEn\xE2\x80\x9D\""}) {
                std::string wanted = name;
                if (std::string(out) == "o.gltf") wanted.insert(wanted.find(':') + 1, " ");
                EXPECT_NE(text.find(wanted), std::string::npos) << in << " " << out << ": " << name;
            }
        }
    ASSERT_EQ(RunCli("export " + Quote(model) + " -o " + Quote(dir.Path() / "o.obj")).exitCode, 0);
    EXPECT_NE(FileText(dir.Path() / "o.mtl").find("\nnewmtl caf\xC3\xA9\n"), std::string::npos);
}

// Runs a shell line and gives back the exit status of the meshara-cli in it (written to CODE) and its stderr.
std::pair<int, std::string> Shell(const testing::TempDir& dir, const std::string& line) {
    const fs::path code = dir.Path() / "code", err = dir.Path() / "err";
    std::string command = line;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"CLI", MESHARA_CLI},
                                   {"CODE", Quote(code)}, {"ERR", Quote(err)}})
        for (size_t at; (at = command.find(from)) != std::string::npos;) command.replace(at, from.size(), to);
    if (std::system(command.c_str()) == -1) return {-1, ""};
    return {std::atoi(FileText(code).c_str()), FileText(err)};
}

// What could lose a user's files or reach their terminal: outputs that are inputs, pictures the OBJ export did
// not write, names that carry line breaks or escape sequences, a reader that leaves, a memory limit, a file
// manager that holds the thumbnail open.
TEST_F(Cli, NoCommandDestroysAnInputOrAPictureOfTheUsersOrLetsANameOutUnescaped) {
    auto source = testing::SmallQuad();
    source.frames[0].name = "a\nv 9 9 9";
    source.frames[1].name = "\x1b[31mred";
    const std::string model = Quote(dir.Write("m.md2", fixtures::WriteMd2(source)));
    const fs::path skin = dir.Write("s.pcx", fixtures::WritePcx(Solid(1, 2, 3)));
    fs::create_symlink(dir.Path() / "m.md2", dir.Path() / "link.glb");
    const Bytes mine = {'m', 'i', 'n', 'e'};
    dir.Write("out-skin.png", mine);
    const auto before = testing::ReadAll(dir.Path() / "m.md2");
    // Nor the archive an input lies in: the model, a map, a picture, or the skin a loose model wears from its pak.
    auto named = testing::SmallQuad();
    named.skins = {"models/q/skin.pcx"};
    dir.Write("game/models/q/tris.md2", fixtures::WriteMd2(named));
    const fs::path pak = dir.Write("game/pak0.pak", fixtures::WritePak({{"models/q/tris.md2", fixtures::WriteMd2(named)},
                                                                       {"models/q/skin.pcx", testing::ReadAll(skin)}}));
    const auto pakBefore = testing::ReadAll(pak);
    const std::string inPak = Quote(pak / "models/q/tris.md2"), skinInPak = Quote(pak / "models/q/skin.pcx");
    // A picture is told by its bytes, so a PCX named like the output is read as the skin.
    const fs::path skinAsPng = dir.Write("skin-as.png", testing::ReadAll(skin));
    const struct { std::string args; int exitCode; const char* says; } runs[] = {
        {"render " + inPak + " -o " + Quote(pak), 2, "the output's name tells the format"},
        {"render " + model + " -t " + Quote(skinAsPng) + " -o " + Quote(skinAsPng), 1, "is one of the command's inputs"},
        {"thumbnail " + inPak + " " + Quote(pak), 1, "is the command's input"},
        {"thumbnail " + Quote(dir.Path() / "game/models/q/tris.md2") + " " + Quote(pak), 1, "is one of the command's inputs"},
        {"decode " + skinInPak + " -o " + Quote(pak), 1, "is the command's input"},
        {"render " + model + " -t " + skinInPak + " -o " + Quote(pak), 2, "the output's name tells the format"},
        {"export " + model + " -o " + Quote(dir.Path() / "link.glb"), 1, "is one of the command's inputs"},
        {"thumbnail " + Quote(skin) + " " + Quote(skin), 1, "is the command's input"},
        {"export " + model + " -t " + Quote(skin) + " -o " + Quote(dir.Path() / "out.obj"), 1,
         "the texture would replace this file"},
        {"info " + model + " -f 1", 0, "\\x1b[31mred"}, };
    for (const auto& r : runs) {
        const CliRun run = RunCli(r.args);
        EXPECT_EQ(run.exitCode, r.exitCode) << r.args << ": " << run.err;
        EXPECT_NE((run.err + run.out).find(r.says), std::string::npos) << r.args << ": " << run.err << run.out;
        EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << r.args;
    }
    EXPECT_EQ(testing::ReadAll(dir.Path() / "m.md2"), before);
    EXPECT_EQ(testing::ReadAll(pak), pakBefore);
    EXPECT_EQ(testing::ReadAll(dir.Path() / "out-skin.png"), mine);
    EXPECT_FALSE(fs::exists(dir.Path() / "out.obj") || fs::exists(dir.Path() / "out.mtl")) << "all or nothing";
    // An OBJ's comments keep a frame's line break from becoming a vertex.
    ASSERT_EQ(RunCli("export " + model + " -o " + Quote(dir.Path() / "plain.obj")).exitCode, 0);
    EXPECT_EQ(FileText(dir.Path() / "plain.obj").find("\nv 9 9 9"), std::string::npos);
    // A reader that leaves early: a refusal, not a silent death by SIGPIPE.
    auto [code, err] = Shell(dir, "(CLI render " + knot + " -s 1024x1024 -o - 2>ERR; echo $? >CODE) | true");
    EXPECT_EQ(code, 1) << err;
    EXPECT_NE(err.find("Broken pipe"), std::string::npos) << err;
    // A file manager's thumbnail file, held open across the command, shows the picture through its handle.
    const fs::path thumb = dir.Write("held.png", {});
    std::tie(code, err) = Shell(dir, "exec 3<" + Quote(thumb) + "; CLI thumbnail -s 16 " + knot + " " + Quote(thumb) +
                                         " 2>ERR; echo $? >CODE; head -c 4 <&3 | grep -q PNG || echo 9 >CODE");
    EXPECT_EQ(code, 0) << err;
#ifndef __SANITIZE_ADDRESS__
    // Out of memory: said, and exit 1, not an abort (exit 134). Two million frames take some 200 MB to hold.
    const fs::path hugePath = dir.Write("huge.md2", Bytes(fixtures::WriteOverlappingTables(1, 1)));
    Bytes hugeHead = testing::ReadAll(hugePath);
    fixtures::PatchS32(hugeHead, fixtures::md2field::kFrameCount, 2000000);
    fs::resize_file(dir.Write("huge.md2", hugeHead), 68 + 44 * uintmax_t{2000000} + 16);  // sparse: costs no disk
    const std::string huge = Quote(hugePath);
    std::tie(code, err) = Shell(dir, "(ulimit -v 150000; CLI export " + huge + " -o " + Quote(dir.Path() / "h.glb") +
                                         " 2>ERR; echo $? >CODE)");
    EXPECT_EQ(code, 1) << err;
    EXPECT_NE(err.find("not enough memory"), std::string::npos) << err;
#endif
}

// A model of `vertices` vertices in `frames` frames, every vertex in a triangle and moving from frame to frame,
// each frame named apart (`stems` different names, then numbered).
fixtures::Md2Source Busy(int vertices, int frames, int stems = 1) {
    fixtures::Md2Source m;
    for (int v = 0; v < vertices; ++v) m.texCoords.push_back({int16_t(v % 256), int16_t(v / 256)});
    for (int t = 0; t + 2 < vertices; t += 3)
        m.triangles.push_back({{uint16_t(t), uint16_t(t + 1), uint16_t(t + 2)}, {uint16_t(t), uint16_t(t + 1), uint16_t(t + 2)}});
    uint32_t seed = 1;
    const auto next = [&seed] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24); };
    for (int f = 0; f < frames; ++f) {
        fixtures::Md2Source::Frame& frame = m.frames.emplace_back();
        std::string stem;
        for (int k = f % stems; stem.size() < 4; k /= 26) stem += char('a' + k % 26);
        frame.name = stem + std::to_string(f / stems + 1);
        for (int v = 0; v < vertices; ++v) frame.vertices.push_back({next(), next(), next(), uint8_t(next() % 162)});
    }
    return m;
}

// Whether process pid has a file in folder open for writing that holds at least `bytes`: a write under way.
bool WritingInto(pid_t pid, const fs::path& folder, uintmax_t bytes) {
    const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fds, ec)) {
        const fs::path target = fs::read_symlink(e.path(), ec);
        if (ec || !target.string().starts_with(folder.string())) continue;
        std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + e.path().filename().string());
        std::string key, flags;
        while (info >> key >> flags && key != "flags:") {}
        struct stat st {};
        if (key == "flags:" && (std::stoul(flags, nullptr, 8) & 3) != 0 && ::stat(e.path().c_str(), &st) == 0 &&
            static_cast<uintmax_t>(st.st_size) >= bytes)
            return true;
    }
    return false;
}

// Outputs that are never torn: a file of two names gets a new file under the name written, killed or not; an
// OBJ's three files are replaced together or not at all; and the material and picture beside an .obj are
// replaced only when an earlier export wrote them and they are as it left them.
TEST_F(Cli, ExportsNeverTearALinkedFileNorReplaceFilesTheyDidNotWrite) {
    const fs::path busy = dir.Write("busy.md2", fixtures::WriteMd2(Busy(600, 1500)));
    const fs::path user = dir.Write("user.gltf", {'m', 'i', 'n', 'e'});
    fs::create_hard_link(user, dir.Path() / "snap.gltf");
    const Bytes mine = testing::ReadAll(user);
    const auto names = testing::FileNames(dir.Path());
    for (int signal : {SIGTERM, SIGKILL}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", ("exec " + std::string(MESHARA_CLI) + " export " + Quote(busy) + " -o " +
                                            Quote(user) + " >/dev/null 2>&1").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        bool ended = false;
        const auto start = std::chrono::steady_clock::now();
        while (!WritingInto(pid, dir.Path(), 1 << 20) && !(ended = ::waitpid(pid, &status, WNOHANG) == pid) &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
            ::usleep(500);
        if (!ended) ::kill(pid, signal), ::waitpid(pid, &status, 0);  // never a pid already reaped
        EXPECT_TRUE(WIFSIGNALED(status)) << "ended by signal " << signal << " while it wrote, not before or after";
        EXPECT_EQ(testing::ReadAll(user), mine) << signal;
        EXPECT_EQ(testing::ReadAll(dir.Path() / "snap.gltf"), mine) << signal;
        EXPECT_EQ(testing::FileNames(dir.Path()), names) << signal << ": nothing left behind";
    }
    ASSERT_EQ(RunCli("export " + Quote(busy) + " -o " + Quote(user)).exitCode, 0);
    EXPECT_EQ(testing::ReadAll(user).size(), fs::file_size(user));
    EXPECT_NE(testing::ReadAll(user), mine);
    EXPECT_EQ(testing::ReadAll(dir.Path() / "snap.gltf"), mine) << "the other name keeps the old file";

    // A disk too full for the .obj, whose other name is a snapshot: the material, the picture and the .obj stay as
    // they were, all three.
    const std::string skin = Quote(dir.Write("s.pcx", fixtures::WritePcx(Solid(1, 2, 3))));
    const fs::path obj = dir.Path() / "full.obj";
    ASSERT_EQ(RunCli("export " + Quote(busy) + " -o " + Quote(obj)).exitCode, 0);
    fs::create_hard_link(obj, dir.Path() / "snap.obj");
    const Bytes objBefore = testing::ReadAll(obj), mtlBefore = testing::ReadAll(dir.Path() / "full.mtl");
    ASSERT_GT(objBefore.size(), 32u << 10);
    auto [code, err] = Shell(dir, "(ulimit -f 16; CLI export " + Quote(busy) + " -t " + skin + " -o " + Quote(obj) +
                                      " 2>ERR; echo $? >CODE)");
    EXPECT_EQ(code, 1) << err;
    EXPECT_NE(err.find("File too large"), std::string::npos) << err;
    EXPECT_EQ(testing::ReadAll(obj), objBefore);
    EXPECT_EQ(testing::ReadAll(dir.Path() / "snap.obj"), objBefore);
    EXPECT_EQ(testing::ReadAll(dir.Path() / "full.mtl"), mtlBefore);
    EXPECT_FALSE(fs::exists(dir.Path() / "full-skin.png"));

    // An earlier export's material and picture are replaced; the user's, or the export's edited since, never.
    const std::string quadObj = Quote(dir.Path() / "out.obj");
    const auto exportObj = [&](const std::string& options) { return RunCli("export " + quad + options + " -o " + quadObj); };
    ASSERT_EQ(exportObj(" -t " + skin).exitCode, 0);
    EXPECT_EQ(exportObj(" -t " + skin + " -f 1").exitCode, 0) << "its own files";
    const fs::path mtl = dir.Path() / "out.mtl", png = dir.Path() / "out-skin.png";
    const Bytes exportedMtl = testing::ReadAll(mtl), exportedPng = testing::ReadAll(png);
    const std::string handWritten = "newmtl mine\nmap_Kd out-skin.png\n";
    const struct { const char* why; Bytes mtl, png; std::string options; const char* says; } theirs[] = {
        {"a hand-written material naming the picture", Bytes(handWritten.begin(), handWritten.end()), mine,
         " -t " + skin, "out.mtl: the material would replace this file"},
        {"a hand-written material, exported without a picture", Bytes(handWritten.begin(), handWritten.end()), {},
         "", "out.mtl: the material would replace this file"},
        {"the export's material, edited", [&] { Bytes b = exportedMtl; b.insert(b.begin(), '#'); return b; }(),
         exportedPng, " -t " + skin, "out.mtl: the material would replace this file"},
        {"the export's picture, edited", exportedMtl, [&] { Bytes b = exportedPng; b.push_back(0); return b; }(),
         " -t " + skin, "out-skin.png: the texture would replace this file"},
        {"a picture without the material", {}, exportedPng, " -t " + skin,
         "out-skin.png: the texture would replace this file"},
    };
    for (const auto& c : theirs) {
        fs::remove(mtl), fs::remove(png), fs::remove(dir.Path() / "out.obj");
        if (!c.mtl.empty()) dir.Write("out.mtl", c.mtl);
        if (!c.png.empty()) dir.Write("out-skin.png", c.png);
        const CliRun r = exportObj(c.options);
        EXPECT_EQ(r.exitCode, 1) << c.why;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.why << ": " << r.err;
        EXPECT_EQ(fs::exists(mtl) ? testing::ReadAll(mtl) : Bytes(), c.mtl) << c.why;
        EXPECT_EQ(fs::exists(png) ? testing::ReadAll(png) : Bytes(), c.png) << c.why;
        EXPECT_FALSE(fs::exists(dir.Path() / "out.obj")) << c.why;
    }
}

// Runs meshara-cli and returns its peak resident memory in KiB (-1 when it did not run).
long PeakMemoryKiB(const std::string& args, double* seconds = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", ("exec " + std::string(MESHARA_CLI) + " " + args + " >/dev/null 2>&1").c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 127) return -1;
    if (seconds) *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return usage.ru_maxrss;
}

// Files made to cost a reader time and memory: each command ends soon, in
// little memory, and a thumbnail stays within its bounds whatever it is given.
TEST_F(Cli, CraftedFilesCostLittleAndThumbnailsStayBounded) {
    InChild([&] {  // half a million skin names among them
        const auto sparse = [&](const char* name, Bytes head, uintmax_t size) {
            fs::resize_file(dir.Write(name, head), size);  // sparse: costs no disk
        };
        for (const char* name : {"big.md2", "big.bmp", "big.pcx", "big.lgt"}) {
            // Each starts like its kind, so every reader gets past its magic; the rest is zeros.
            const std::string kind = fs::path(name).extension().string();
            const Bytes head = kind == ".md2" ? Bytes{'I', 'D', 'P', '2'} : kind == ".bmp" ? Bytes{'B', 'M'}
                               : kind == ".pcx" ? Bytes{0x0A, 0x05} : Bytes{'L', 'G', 'T', '0'};
            sparse(name, head, 300u << 20);
        }
        Bytes junk = fixtures::WriteMd2(testing::SmallQuad());  // a header whose frames pass the end of 4 GiB
        fixtures::PatchS32(junk, fixtures::md2field::kFrameCount, 2000000);
        fixtures::PatchS32(junk, fixtures::md2field::kVertexCount, 1000);
        sparse("junk.md2", junk, uintmax_t{4} << 30);
        fixtures::Md2Source many = testing::SmallQuad(), wide = testing::SmallQuad(), named = testing::SmallQuad();
        many.skins.assign(500000, "models/x/missing.pcx");
        wide.triangles.assign(16385, wide.triangles.front());
        named.skins = {"huge.bmp"};
        fixtures::Md2Source slow = wide;  // upright: every triangle covers half the view, facing either way
        for (auto& frame : slow.frames) frame.vertices = {{0, 0, 0, 0}, {255, 0, 0, 0}, {255, 0, 255, 0}, {0, 0, 255, 0}};
        slow.triangles.resize(16384);
        for (size_t i = 0; i < slow.triangles.size(); ++i)
            slow.triangles[i] = {{0, uint16_t(i % 2 ? 1 : 2), uint16_t(i % 2 ? 2 : 1)}, {0, 0, 0}};
        dir.Write("huge.bmp", RleBmpClaiming8192());
        for (const auto& [name, model] : {std::pair{"many.md2", &many}, {"wide.md2", &wide}, {"named.md2", &named},
                                          {"slow.md2", &slow}})
            dir.Write(name, fixtures::WriteMd2(*model));
    });
    const auto in = [&](const char* name) { return Quote(dir.Path() / name); };
    const std::string thumb = " " + in("t.png"), ppm = " -o " + in("o.ppm");
    const struct { std::string args; int exitCode; const char* says; long mostMiB; double mostSeconds = 2; } runs[] = {
        // Each starts like its kind, so every reader gets past its magic; the rest is zeros.
        {"info " + in("big.md2"), 0, "", 64},
        {"decode " + in("big.bmp") + ppm, 1, "", 64},
        {"decode " + in("big.pcx") + ppm, 1, "", 64},
        {"light " + in("big.lgt"), 0, "", 64},
        {"info " + in("junk.md2"), 1, "does not fit in the 4294967296-byte file", 64},
        {"render --header-skin " + in("many.md2") + " -o " + in("r.png"), 0, "first 128 of the 500000", 256},
        {"thumbnail " + in("many.md2") + thumb, 1, "500000 skin names, more than the 128", 64},
        {"thumbnail " + in("wide.md2") + thumb, 1, "16385 triangles", 64},
        {"thumbnail -s 2048 " + in("named.md2") + thumb, 0, "more than 4194304 pixels (2048 x 2048)", 256},
        // What no check foresees ends at the processor-time bound, in a refusal (on a busy machine
        // those 2 s of processor time take longer on the clock).
        {"thumbnail -s 2048 " + in("slow.md2") + thumb, 1, "more than 2 s of processor time", 256, 60},
    };
    for (const auto& r : runs) {
        double seconds = 0;
        const long peak = PeakMemoryKiB(r.args, &seconds);
        EXPECT_GT(peak, 0) << r.args;
#ifndef __SANITIZE_ADDRESS__  // its shadow memory and its slowness are not the program's
        EXPECT_LT(peak, r.mostMiB * 1024) << r.args << ": peak " << peak << " KiB";
        EXPECT_LT(seconds, r.mostSeconds) << r.args;
#endif
        const CliRun run = RunCli(r.args);
        EXPECT_EQ(run.exitCode, r.exitCode) << r.args << ": " << run.err;
        EXPECT_NE(run.err.find(r.says), std::string::npos) << r.args << ": " << run.err;
    }
}

// What an export holds in memory stays within the file's size plus 80 MB, however many frames and clips the model
// has (docs/performance.md): a clip for every frame of one vertex, and long frames in few clips.
TEST_F(Cli, ExportMemoryStaysWithinTheFileSizePlus80MB) {
    InChild([&] {
        dir.Write("clips.md2", fixtures::WriteMd2(Busy(3, 30000, 30000)));
        dir.Write("long.md2", fixtures::WriteMd2(Busy(300, 3000, 30)));
    });
    for (const char* model : {"clips.md2", "long.md2"})
        for (const char* out : {"out.glb", "out.gltf"}) {
            const std::string args = "export " + Quote(dir.Path() / model) + " -o " + Quote(dir.Path() / out);
            fs::remove(dir.Path() / out);
            const long peak = PeakMemoryKiB(args);
            ASSERT_GT(peak, 0) << args;
            const uintmax_t size = fs::exists(dir.Path() / out) ? fs::file_size(dir.Path() / out) : 0;
            EXPECT_GT(size, 20u << 20) << args << ": written, and big enough for its size to matter";
#ifndef __SANITIZE_ADDRESS__  // its shadow memory is not the program's
            EXPECT_LT(uintmax_t(peak) * 1024, size + 80 * 1000 * 1000) << args << ": peak " << peak << " KiB for "
                                                                       << size << " bytes";
#endif
        }
}

// The sample packed as a game ships it: the model in pak0, its skin (named models/knot/knot.pcx) in pak1.pk3.
// An archive whose model names 128 skins, every record pointing at one entry: a run-length BMP claiming 8192 x
// 8192 whose stream ends at once. The entry is read once, and refused before any picture is made.
TEST_F(Cli, ASkinBombArchiveCostsOneReadOfItsEntry) {
    Bytes bomb = RleBmpClaiming8192();
    bomb.resize(bomb.size() - 2);  // without its end of picture
    auto model = testing::SmallQuad();
    model.skins.clear();
    std::vector<fixtures::ArchiveFile> files = {{"models/b/tris.md2", {}}};
    for (int i = 0; i < 128; ++i) {
        model.skins.push_back("models/b/s" + std::to_string(i) + ".bmp");
        files.push_back({model.skins.back(), bomb});
    }
    files[0].bytes = fixtures::WriteMd2(model);
    Bytes pak = fixtures::WritePak(files), zip = fixtures::WriteZip(files);
    // Every picture's record points at the first picture's data.
    const size_t first = fixtures::pakfield::RecordAt(pak, 1);
    for (size_t i = 2; i < files.size(); ++i)
        std::copy_n(pak.begin() + first + 56, 4, pak.begin() + fixtures::pakfield::RecordAt(pak, i) + 56);
    std::vector<size_t> central;
    for (size_t at = 0; at + 4 <= zip.size(); ++at)
        if (zip[at] == 'P' && zip[at + 1] == 'K' && zip[at + 2] == 1 && zip[at + 3] == 2) central.push_back(at);
    ASSERT_EQ(central.size(), files.size());
    for (size_t i = 2; i < central.size(); ++i) std::copy_n(zip.begin() + central[1] + 42, 4, zip.begin() + central[i] + 42);
    for (const auto& [name, bytes] : {std::pair{"bomb.pak", &pak}, {"bomb.pk3", &zip}}) {
        const std::string path = Quote(dir.Write(std::string("game/") + name, *bytes) / "models/b/tris.md2");
        for (const std::string& args : {"render --header-skin " + path + " -o " + Quote(dir.Path() / "r.png"),
                                        "export --header-skin " + path + " -o " + Quote(dir.Path() / "r.glb"),
                                        "thumbnail " + path + " " + Quote(dir.Path() / "t.png")}) {
            const auto start = std::chrono::steady_clock::now();
            const CliRun run = RunCli(args);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_EQ(run.exitCode, 0) << args << ": " << run.err;
            // One refusal for each archive of the game folder that holds the entry, not one for each name.
            size_t refusals = 0;
            for (size_t at = run.err.find("could not be used"); at != std::string::npos; at = run.err.find("could not be used", at + 1))
                ++refusals;
            EXPECT_TRUE(refusals >= 1 && refusals <= 2) << args << ": " << refusals << "\n" << run.err.substr(0, 2000);
#ifndef __SANITIZE_ADDRESS__
            EXPECT_LT(seconds, 2) << args;
#endif
        }
    }
}

TEST_F(Cli, ArchivesAreFoldersToEveryCommandAndListTellsWhatTheyHold) {
    const fs::path samples = testing::SamplesDir();
    const auto read = [&](const char* name) { return testing::ReadAll(samples / name); };
    const std::string pak0 = dir.Write("baseq2/pak0.pak", fixtures::WritePak({{"models/knot/tris.md2", read("knot.md2")},
                                                                               {"lights/warm.lgt", read("warm-key.lgt")}})),
                      pak1 = dir.Write("baseq2/pak1.pk3", fixtures::WriteZip({{"models/knot/knot.pcx", read("knot.pcx")},
                                                                              {"README", {'h', 'i'}}}));
    const std::string model = Quote(pak0 + "/Models/Knot/TRIS.md2"), png = Quote(dir.Path() / "o.png");
    const std::string tail = " --new-light --size 64x48 -o " + png;
    const auto pngBytes = [&] { return testing::ReadAll(dir.Path() / "o.png"); };
    const struct { std::string args, out; } lists[] = {
        {"list " + Quote(pak0), "       30084  models/knot/tris.md2\n"},
        {"list --all " + Quote(pak1), "       15324  models/knot/knot.pcx\n           2  README\n"}, };
    for (const auto& c : lists) {
        const CliRun r = RunCli(c.args);
        EXPECT_EQ(std::tuple(r.exitCode, r.out, r.err), std::tuple(0, c.out, std::string())) << c.args;
    }
    // The same picture as of the loose files, the skin found in the later archive and the light read in the first.
    ASSERT_EQ(RunCli("render " + knot + " --texture " + Quote(samples / "knot.pcx") + tail).exitCode, 0);
    const Bytes loose = pngBytes();
    for (const std::string& args : {"render " + model + " --header-skin" + tail,
                                    "render " + model + " --texture " + Quote(pak1 + "/MODELS/KNOT/KNOT.PCX") + tail}) {
        const CliRun r = RunCli(args);
        EXPECT_EQ(std::tuple(r.exitCode, r.err, pngBytes() == loose), std::tuple(0, std::string(), true)) << args;
    }
    for (const std::string& args : {"info " + model, "light " + Quote(pak0 + "/lights/warm.lgt"),
                                    "decode " + Quote(pak1 + "/models/knot/knot.pcx") + " -o -",
                                    "export " + model + " --header-skin -o " + Quote(dir.Path() / "o.glb"),
                                    "thumbnail -s 32 " + model + " " + png}) {
        const CliRun r = RunCli(args);
        EXPECT_EQ(std::pair(r.exitCode, r.err), std::pair(0, std::string())) << args;
    }
    EXPECT_EQ(RunCli("info " + model).out.substr(0, 15), "name: TRIS.md2\n");
    // Refusals and usage as for every command.
    const CliRun notArchive = RunCli("list " + knot);
    EXPECT_EQ(std::pair(notArchive.exitCode, notArchive.err.find("not a PAK or zip archive") != std::string::npos),
              std::pair(1, true));
    EXPECT_EQ(RunCli("info " + Quote(pak0 + "/models/none.md2")).exitCode, 1);
    for (const std::string& args : {std::string("list"), "list " + Quote(pak0) + " " + Quote(pak1), std::string("list --bogus x")})
        EXPECT_EQ(RunCli(args).exitCode, 2) << args;
    EXPECT_EQ(RunCli("list --help").out.substr(0, 31), "usage: meshara-cli list ARCHIVE");
}

// The hostile archives, written by a child process, and the model each holds.
std::vector<std::pair<fs::path, std::string>> WriteHostileArchives(const fs::path& dir) {
    const fs::path manifest = dir / "hostile";
    InChild([&] {
        std::ofstream names(manifest);  // closed as this returns: _exit runs no destructors
        for (const testing::HostileArchive& h : testing::HostileArchives()) {
            std::ofstream(dir / h.name, std::ios::binary).write(reinterpret_cast<const char*>(h.bytes.data()),
                                                               static_cast<std::streamsize>(h.bytes.size()));
            names << h.name << '\t' << h.entry << '\n';
        }
    });
    std::vector<std::pair<fs::path, std::string>> out;
    std::ifstream names(manifest);
    for (std::string name, entry; std::getline(names, name, '\t') && std::getline(names, entry);)
        out.emplace_back(dir / name, entry);
    return out;
}

TEST_F(Cli, EveryCommandOnAHostileArchiveEndsSoonInLittleMemory) {
    const auto archives = WriteHostileArchives(dir.Path());
    ASSERT_FALSE(archives.empty()) << "the child wrote them";
    for (const auto& [path, entry] : archives) {
        ASSERT_GT(fs::file_size(path), 0u) << path;
        const std::string archive = path.string();
        for (const std::string& args : {"list --all " + Quote(archive), "info " + Quote(archive + "/" + entry),
                                        "export " + Quote(archive + "/" + entry) + " -o " + Quote(dir.Path() / "t.glb")}) {
            double seconds = 0;
            const long peak = PeakMemoryKiB(args, &seconds);
            EXPECT_GT(peak, 0) << args;
#ifdef __SANITIZE_ADDRESS__
            constexpr long kMostKiB = 128 * 1024;  // its shadow memory and allocator are not the program's
#else
            constexpr long kMostKiB = 64 * 1024;
#endif
            EXPECT_LT(peak, kMostKiB) << args << ": peak " << peak << " KiB";
            EXPECT_LT(seconds, 5) << args;
        }
    }
}

// The real files, packed into a PAK and a PK3: each model draws as it does from its loose file, with its skin.
TEST_F(Cli, TheCorpusDrawsFromInsideArchivesAsFromLooseFiles) {
    MESHARA_REQUIRE_CORPUS();
    const fs::path corpus = testing::CorpusDir() / "md2";
    std::vector<fixtures::ArchiveFile> files;
    for (const auto& e : fs::directory_iterator(corpus))
        files.push_back({"models/" + e.path().filename().string(), testing::ReadAll(e.path())});
    const std::string png = Quote(dir.Path() / "o.png");
    const std::string tail = " --header-skin --new-light --fit --size 64x64 -o " + png;
    for (const std::string& archive : {dir.Write("pak0.pak", fixtures::WritePak(files)).string(),
                                      dir.Write("pak0.pk3", fixtures::WriteZip(files)).string()}) {
        const std::string listed = RunCli("list " + Quote(archive)).out;
        EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 6) << listed;
        for (const char* name : {"dolphin.md2", "faerie.md2", "flag.md2", "horse.md2", "sydney.md2"}) {
            ASSERT_EQ(RunCli("render " + Quote(corpus / name) + tail).exitCode, 0) << name;
            const Bytes loose = testing::ReadAll(dir.Path() / "o.png");
            const CliRun r = RunCli("render " + Quote(archive + "/models/" + name) + tail);
            EXPECT_EQ(std::pair(r.exitCode, testing::ReadAll(dir.Path() / "o.png") == loose), std::pair(0, true))
                << archive << " " << name << ": " << r.err;
        }
    }
}

}  // namespace
}  // namespace meshara
