// meshara-cli as a user runs it: output format, exit codes, messages.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <sys/wait.h>

#include "model/md2_loader.h"
#include "tests/test_support.h"

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

}  // namespace
}  // namespace meshara
