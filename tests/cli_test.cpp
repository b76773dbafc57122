// meshara-cli as a user runs it: output format, exit codes, messages.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "model/md2_model.h"
#include "model/normals.h"
#include "tests/cli_support.h"
#include "tests/test_support.h"
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
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf", &got[0], &got[1], &got[2], &got[3], &got[4],
                              &got[5]), 6) << line;
        const Vec3d p = VertexPosition(f, v), &n = normals[v];
        EXPECT_EQ(got, (std::array{p.x, p.y, p.z, n.x, n.y, n.z})) << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << "extra line: " << line;
}

TEST_F(Cli, DecodeWritesTheDecodedPixelsAsBinaryPpm) {
    fixtures::IndexedPicture p{3, 2, {1, 2, 3, 3, 2, 1}, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}};
    const auto out = dir.Path() / "out.ppm";
    CliRun r = RunCli("decode " + Quote(dir.Write("pic.pcx", fixtures::WritePcx(p))) + " -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testing::ReadAll(out), fixtures::WritePpm(fixtures::ToRgb(p)));
}

TEST_F(Cli, LightPrintsEveryFieldAndNewWritesTheNewLight) {
    fixtures::LgtSource s;
    s.name = "Key";
    s.position[3] = 1;
    s.linearAttenuation = 0.125f;  // the three attenuations differ, so their order shows
    s.quadraticAttenuation = 0.5f;
    s.spotCutoff = 45;
    CliRun r = RunCli("light " + Quote(dir.Write("key.lgt", fixtures::WriteLgt(s))));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "name: Key\nposition: 150 150 150 1\nspotDirection: -1 -1 -1 0\nambient: 0 0 0 1\n"
              "diffuse: 1 1 1 1\nspecular: 0.25 0.25 0.25 1\nconstantAttenuation: 1\nlinearAttenuation: 0.125\n"
              "quadraticAttenuation: 0.5\nspotExponent: 0\nspotCutoff: 45\n");
    r = RunCli("light --new --name 'Soft Fill' -o " + Quote(dir.Path() / "fill.lgt"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    fixtures::LgtSource fill;
    fill.name = "Soft Fill";
    EXPECT_EQ(testing::ReadAll(dir.Path() / "fill.lgt"), fixtures::WriteLgt(fill));
    EXPECT_EQ(RunCli("light --new -o " + Quote(dir.Path() / "plain.lgt")).exitCode, 0);
    EXPECT_EQ(testing::ReadAll(dir.Path() / "plain.lgt").size(), 115u);
}

// Pixels of a 128 x 96 render on blue that are neither black nor blue, and black pixels.
std::pair<int, int> ColouredAndBlack(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {-1, -1};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {-1, -1};
    EXPECT_EQ(image.width, 128u);
    EXPECT_EQ(image.height, 96u);
    int coloured = 0, black = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        const std::array<uint8_t, 3> c{rgb[i], rgb[i + 1], rgb[i + 2]};
        if (c == std::array<uint8_t, 3>{0, 0, 255}) continue;
        ++(c[0] < 8 && c[1] < 8 && c[2] < 8 ? black : coloured);
    }
    return {coloured, black};
}

TEST_F(Cli, RenderSampleIsTexturedWhenLitAndBlackWithoutALight) {
    const auto out = dir.Path() / "knot.png";
    const std::string common = " --size 128x96 --background 0,0,1 -o " + Quote(out);
    CliRun r =
        RunCli("render " + knot + " --texture " + Quote(testing::SamplesDir() / "knot.pcx") + " --new-light" + common);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto [coloured, black] = ColouredAndBlack(out);
    EXPECT_GT(coloured, 500) << "the lit model shows its skin";
    r = RunCli("render " + knot + " --texture " + Quote(testing::SamplesDir() / "knot.bmp") + common);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto [colouredDark, blackDark] = ColouredAndBlack(out);
    EXPECT_LT(colouredDark, 40) << "without a light the model is black (edges may blend)";
    EXPECT_GT(blackDark, 500);
    EXPECT_NE(r.err.find("note: no light reaches"), std::string::npos) << r.err;
    // The skin the model names, found beside it by its file name.
    r = RunCli("render " + knot + " --header-skin --new-light" + common);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(ColouredAndBlack(out).first, 500) << "textured by the named skin";
    EXPECT_TRUE(r.err.empty()) << r.err;
    // The sample has 12 frames, so "--frame 12" below is out of range.
    EXPECT_NE(RunCli("info " + knot).out.find("frames: 12\n"), std::string::npos);
}

TEST_F(Cli, RefusalsExitOneWithTheirMessageUsageErrorsExitTwo) {
    auto deep = fixtures::WriteBmp24(fixtures::RgbPicture{1, 1, {1, 2, 3}});
    fixtures::PatchU16(deep, 28, 16);
    const std::string notMd2 = Quote(dir.Write("x.md2", {'P', 'K', 3, 4, 0, 0})),
                      damaged = Quote(dir.Write("short.md2", {'I', 'D', 'P', '2', 8, 0})),
                      notSkin = Quote(dir.Write("bad.bmp", {'X', 'Y', 1, 2, 3})),
                      sixteen = Quote(dir.Write("deep.bmp", deep)),
                      notLight = Quote(dir.Write("bad.lgt", {'L', 'G', 'T', '1'})),
                      missing = Quote(dir.Path() / "none"), out = " -o " + Quote(dir.Path() / "out");
    const std::pair<std::string, const char*> refused[] = {
        {"info " + notMd2, "This is not an MD2!"},
        {"info " + damaged, "This MD2 file is damaged or incomplete!"},
        {"info " + missing, "There was an error loading the specified file!"},
        {"decode " + notSkin + out, "This file does not appear to be a valid skin"},
        {"decode " + sixteen + out, "unsupported BMP bit depth"},
        {"decode " + missing + out, "cannot be opened"},
        {"light " + notLight, "This file does not appear to be a Light format file!"},
        {"light " + missing, "Unable to open the file specified!"},
        {"light --new -o " + Quote(dir.Path() / "no" / "dir.lgt"), "Unable to create the file specified!"},
        {"render " + missing + out, "There was an error loading the specified file!"},
        {"render " + knot + " --glow " + notSkin + out, "This file does not appear to be a valid skin"},
        {"render " + knot + " --light " + notLight + out, "This file does not appear to be a Light format file!"},
    };
    const auto expectFails = [&](const std::string& args, int exitCode, const char* says) {
        CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, exitCode) << args;
        EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << args;
        EXPECT_FALSE(fs::exists(dir.Path() / "out")) << args;  // nothing is written on refusal
    };
    for (const auto& [args, says] : refused) expectFails(args, 1, says);
    const std::string usageErrors[] = {
        "", "info", "frobnicate", "info " + quad + " --frame", "info " + quad + " --frame -1",
        "info " + quad + " --frame x", "info " + quad + " --frame 2", "info " + quad + " " + quad,
        "info " + quad + " --bogus", "decode " + notSkin, "light", "light --new", "light a.lgt -o b.lgt",
        "light --name x a.lgt", "render " + knot, "render" + out, "render " + knot + out + " --size 0x5",
        "render " + knot + out + " --filter 5", "render " + knot + out + " --frame 12",
        "render " + knot + out + " --background 1,2", "render " + knot + out + " --drag 3"};
    for (const std::string& args : usageErrors) expectFails(args, 2, "usage: meshara-cli");
}

TEST_F(Cli, OutputDashIsStandardOutputAndEachInputIsNamedOnceWhenRefused) {
    fixtures::IndexedPicture p{2, 1, {0, 1}, {{1, 2, 3}, {4, 5, 6}}};
    const std::string pcx = Quote(dir.Write("p.pcx", fixtures::WritePcx(p)));
    const struct { std::string args; std::string starts; } toStdout[] = {
        {"decode " + pcx + " -o -", "P6\n2 1\n255\n\x01\x02\x03\x04\x05\x06"},
        {"light --new --name Caf\xC3\xA9 -o -", std::string("LGT0\x04\x00" "Caf\xE9", 10)},  // stored as Windows-1252
        {"render " + knot + " --size 8x8 -o -", "\x89PNG\r\n"},
    };
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

TEST_F(Cli, NumbersOutOfRangeAreUsageErrorsAndAFramelessModelIsRefused) {
    for (const char* drag : {"-9223372036854775808,0", "0,9223372036854775807", "8193,0", "1e3,0"}) {
        CliRun r = RunCli("render " + quad + " --drag " + drag + " -o " + Quote(dir.Path() / "o.png"));
        EXPECT_EQ(r.exitCode, 2) << drag << ": " << r.err;
    }
    auto frameless = testing::SmallQuad();
    frameless.frames.clear();
    frameless.vertexCount = 4;
    CliRun r = RunCli("render " + Quote(dir.Write("empty.md2", fixtures::WriteMd2(frameless))) + " -o " +
                      Quote(dir.Path() / "o.png"));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("no frames"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "o.png"));
}

// Runs meshara-cli and returns its peak resident memory in KiB (-1 when it did not run).
long PeakMemoryKiB(const std::string& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", ("exec " + std::string(MESHARA_CLI) + " " + args + " >/dev/null 2>&1").c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 127) return -1;
    return usage.ru_maxrss;
}

TEST_F(Cli, A300MegabyteFileThatIsNoneOfOursCostsLittleMemory) {
    // Each starts like its kind, so every reader gets past its magic; the rest is zeros.
    const struct { const char* name; const char* head; const char* command; } files[] = {
        {"big.md2", "IDP2", "info"}, {"big.bmp", "BM", "decode"}, {"big.pcx", "\x0A\x05", "decode"},
        {"big.lgt", "LGT0", "light"},
    };
    for (const auto& f : files) {
        const fs::path path = dir.Write(f.name, Bytes(f.head, f.head + std::strlen(f.head)));
        fs::resize_file(path, 300u << 20);  // sparse: costs no disk
        const std::string out = std::string(f.command) == "decode" ? " -o " + Quote(dir.Path() / "out.ppm") : "";
        const long peak = PeakMemoryKiB(std::string(f.command) + " " + Quote(path) + out);
        EXPECT_GT(peak, 0) << f.name;
        EXPECT_LT(peak, 64 * 1024) << f.name << ": peak " << peak << " KiB";
    }
}

}  // namespace
}  // namespace meshara
