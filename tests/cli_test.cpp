// meshara-cli as a user runs it: output format, exit codes, messages.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <png.h>
#include <sys/wait.h>

#include "lights/lgt_file.h"
#include "model/md2_loader.h"
#include "skins/skin_decoder.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

struct CliRun {
    int exitCode;
    std::string out;
    std::string err;
};

CliRun RunCli(const std::string& args) {
    testing::TempDir dir;
    const std::string errPath = (dir.Path() / "stderr").string();
    const std::string command = std::string(MESHARA_CLI) + " " + args + " 2>" + errPath;
    CliRun r{-1, {}, {}};
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto err = testing::ReadAll(errPath);
    r.err.assign(err.begin(), err.end());
    return r;
}

std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

TEST(CliInfo, PrintsNameAndCounts) {
    testing::TempDir dir;
    auto path = dir.Write("quad.md2", fixtures::WriteMd2(testing::SmallQuad()));
    CliRun r = RunCli("info " + Quote(path));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "name: quad.md2\nframes: 2\nvertices: 4\ntriangles: 2\n");
}

TEST(CliInfo, FramePrintsEveryVertexWithItsNormal) {
    testing::TempDir dir;
    auto path = dir.Write("quad.md2", fixtures::WriteMd2(testing::SmallQuad()));
    CliRun r = RunCli("info " + Quote(path) + " --frame 1");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto model = LoadMd2Model(path.string());
    ASSERT_TRUE(model);
    std::istringstream lines(r.out);
    std::string line;
    for (int i = 0; i < 4; ++i) std::getline(lines, line);  // the counts
    const Md2Frame& f = model.Value()->frames[1];
    for (size_t v = 0; v < f.vertices.size(); ++v) {
        ASSERT_TRUE(std::getline(lines, line)) << "vertex " << v;
        double x, y, z, nx, ny, nz;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf", &x, &y, &z, &nx, &ny, &nz), 6) << line;
        EXPECT_EQ(x, f.vertices[v].x);
        EXPECT_EQ(y, f.vertices[v].y);
        EXPECT_EQ(z, f.vertices[v].z);
        EXPECT_EQ(nz, f.normals[v].z);
    }
    EXPECT_FALSE(std::getline(lines, line)) << "extra line: " << line;
}

TEST(CliInfo, SampleModelLoads) {
    CliRun r = RunCli("info " + Quote(testing::SamplesDir() / "knot.md2"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("frames: 12\n"), std::string::npos) << r.out;
}

TEST(CliInfo, RefusedFilesExitOneWithTheirMessage) {
    testing::TempDir dir;
    auto notMd2 = dir.Write("x.md2", {'P', 'K', 3, 4, 0, 0});
    auto bytes = fixtures::WriteMd2(testing::SmallQuad());
    bytes.resize(100);
    auto damaged = dir.Write("short.md2", bytes);
    const struct {
        std::string path;
        const char* message;
    } cases[] = {
        {Quote(notMd2), "This is not an MD2!"},
        {Quote(damaged), "This MD2 file is damaged or incomplete!"},
        {Quote(dir.Path() / "missing.md2"), "There was an error loading the specified file!"},
    };
    for (const auto& c : cases) {
        CliRun r = RunCli("info " + c.path);
        EXPECT_EQ(r.exitCode, 1) << c.path;
        EXPECT_TRUE(r.out.empty()) << c.path;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(CliInfo, UsageErrorsExitTwoWithUsage) {
    testing::TempDir dir;
    auto path = Quote(dir.Write("quad.md2", fixtures::WriteMd2(testing::SmallQuad())));
    for (const std::string& args :
         {std::string(""), std::string("info"), std::string("frobnicate"), "info " + path + " --frame",
          "info " + path + " --frame -1", "info " + path + " --frame x", "info " + path + " --frame 2",
          "info " + path + " " + path, "info " + path + " --bogus"}) {
        CliRun r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage: meshara-cli"), std::string::npos) << args;
    }
}

TEST(CliDecode, WritesTheDecodedPixelsAsBinaryPpm) {
    testing::TempDir dir;
    fixtures::IndexedPicture p{3, 2, {1, 2, 3, 3, 2, 1}, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}};
    auto in = dir.Write("pic.pcx", fixtures::WritePcx(p));
    const auto out = dir.Path() / "out.ppm";
    CliRun r = RunCli("decode " + Quote(in) + " -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testing::ReadAll(out), fixtures::WritePpm(fixtures::ToRgb(p)));
}

TEST(CliDecode, RefusalsExitOneAndWriteNothing) {
    testing::TempDir dir;
    auto bad = dir.Write("bad.bmp", {'X', 'Y', 1, 2, 3});
    auto deep = fixtures::WriteBmp24(fixtures::RgbPicture{1, 1, {1, 2, 3}});
    fixtures::PatchU16(deep, 28, 16);
    auto sixteen = dir.Write("deep.bmp", deep);
    const struct {
        std::filesystem::path in;
        const char* says;
    } cases[] = {
        {bad, "This file does not appear to be a valid skin"},
        {sixteen, "unsupported BMP bit depth"},
        {dir.Path() / "missing.pcx", "cannot be opened"},
    };
    for (const auto& c : cases) {
        const auto out = dir.Path() / "out.ppm";
        CliRun r = RunCli("decode " + Quote(c.in) + " -o " + Quote(out));
        EXPECT_EQ(r.exitCode, 1) << c.in;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.in;
    }
    EXPECT_EQ(RunCli("decode " + Quote(bad)).exitCode, 2);
}

TEST(CliLight, PrintsEveryFieldOfAFile) {
    testing::TempDir dir;
    fixtures::LgtSource s;
    s.name = "Key";
    s.position[3] = 1;
    s.linearAttenuation = 0.125f;
    s.spotCutoff = 45;
    auto path = dir.Write("key.lgt", fixtures::WriteLgt(s));
    CliRun r = RunCli("light " + Quote(path));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "name: Key\n"
              "position: 150 150 150 1\n"
              "spotDirection: -1 -1 -1 0\n"
              "ambient: 0 0 0 1\n"
              "diffuse: 1 1 1 1\n"
              "specular: 0.25 0.25 0.25 1\n"
              "constantAttenuation: 1\n"
              "linearAttenuation: 0.125\n"
              "quadraticAttenuation: 0\n"
              "spotExponent: 0\n"
              "spotCutoff: 45\n");
}

TEST(CliLight, NewWritesTheNewLightWithItsName) {
    testing::TempDir dir;
    const auto out = dir.Path() / "fill.lgt";
    CliRun r = RunCli("light --new --name 'Soft Fill' -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    fixtures::LgtSource expected;
    expected.name = "Soft Fill";
    EXPECT_EQ(testing::ReadAll(out), fixtures::WriteLgt(expected));
    EXPECT_EQ(RunCli("light --new -o " + Quote(dir.Path() / "plain.lgt")).exitCode, 0);
    EXPECT_EQ(testing::ReadAll(dir.Path() / "plain.lgt").size(), 115u);
}

TEST(CliLight, RefusalsAndUsage) {
    testing::TempDir dir;
    auto bad = dir.Write("bad.lgt", {'L', 'G', 'T', '1'});
    CliRun r = RunCli("light " + Quote(bad));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("This file does not appear to be a Light format file!"), std::string::npos) << r.err;
    r = RunCli("light " + Quote(dir.Path() / "none.lgt"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unable to open the file specified!"), std::string::npos) << r.err;
    r = RunCli("light --new -o " + Quote(dir.Path() / "no" / "dir.lgt"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unable to create the file specified!"), std::string::npos) << r.err;
    for (const char* args : {"light", "light --new", "light a.lgt -o b.lgt", "light --name x a.lgt"})
        EXPECT_EQ(RunCli(args).exitCode, 2) << args;
}

struct Png {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

Png ReadPng(const std::filesystem::path& path) {
    Png out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGB;
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) return out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    return out;
}

// Pixels that are neither black nor the background, and black pixels.
std::pair<int, int> ColouredAndBlack(const Png& p, std::array<uint8_t, 3> background) {
    int coloured = 0, black = 0;
    for (size_t i = 0; i < p.rgb.size(); i += 3) {
        const std::array<uint8_t, 3> c{p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]};
        if (c == background) continue;
        if (c[0] < 8 && c[1] < 8 && c[2] < 8)
            ++black;
        else
            ++coloured;
    }
    return {coloured, black};
}

TEST(CliRender, SampleWithSkinAndNewLightIsLitAndTextured) {
    testing::TempDir dir;
    const auto out = dir.Path() / "knot.png";
    const auto samples = testing::SamplesDir();
    CliRun r = RunCli("render " + Quote(samples / "knot.md2") + " --texture " + Quote(samples / "knot.pcx") +
                      " --new-light --size 128x96 --background 0,0,1 -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Png lit = ReadPng(out);
    ASSERT_EQ(lit.width, 128);
    ASSERT_EQ(lit.height, 96);
    auto [coloured, black] = ColouredAndBlack(lit, {0, 0, 255});
    EXPECT_GT(coloured, 500) << "the lit model shows its skin";

    r = RunCli("render " + Quote(samples / "knot.md2") + " --texture " + Quote(samples / "knot.bmp") +
               " --size 128x96 --background 0,0,1 -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto [colouredDark, blackDark] = ColouredAndBlack(ReadPng(out), {0, 0, 255});
    EXPECT_LT(colouredDark, 40) << "without a light the model is black (edges may blend)";
    EXPECT_GT(blackDark, 500);
}

TEST(CliRender, RefusedInputsExitOneUsageErrorsExitTwo) {
    testing::TempDir dir;
    const auto out = dir.Path() / "out.png";
    const auto model = Quote(testing::SamplesDir() / "knot.md2");
    auto notSkin = dir.Write("skin.pcx", {'n', 'o'});
    auto notLight = dir.Write("l.lgt", {'L', 'G', 'T', '9'});
    const struct {
        std::string args;
        const char* says;
    } refused[] = {
        {Quote(dir.Path() / "none.md2"), "There was an error loading the specified file!"},
        {model + " --glow " + Quote(notSkin), "This file does not appear to be a valid skin"},
        {model + " --light " + Quote(notLight), "This file does not appear to be a Light format file!"},
    };
    for (const auto& c : refused) {
        CliRun r = RunCli("render " + c.args + " -o " + Quote(out));
        EXPECT_EQ(r.exitCode, 1) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    for (const std::string& args : {model, "-o " + Quote(out), model + " -o x.png --size 0x5",
                                    model + " -o x.png --filter 5", model + " -o x.png --frame 12",
                                    model + " -o x.png --background 1,2", model + " -o x.png --drag 3"})
        EXPECT_EQ(RunCli("render " + args).exitCode, 2) << args;
}

}  // namespace
}  // namespace meshara
