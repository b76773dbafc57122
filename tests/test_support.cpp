#include "tests/test_support.h"

#include "model/animations.h"
#include "tools/writers/picture_writers.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace meshara::testing {

namespace fs = std::filesystem;

fs::path CorpusDir() {
    fs::path dir = MESHARA_CORPUS_DIR;
    std::error_code ec;
    return fs::is_directory(dir / "md2", ec) ? dir : fs::path();
}

std::string CorpusMissingReason() {
    return std::string("the real-file corpus is not at ") + MESHARA_CORPUS_DIR +
           " (it sits beside a developer checkout, not in the repository)";
}

fs::path SamplesDir() { return MESHARA_SAMPLES_DIR; }

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> FileNames(const fs::path& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
    return out;
}

TempDir::TempDir() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("meshara-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    fs::path p = path_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p;
}

fixtures::Md2Source SmallQuad() {
    fixtures::Md2Source s;
    s.skinWidth = 64;
    s.skinHeight = 32;
    s.texCoords = {{0, 0}, {64, 0}, {64, 32}, {0, 32}};
    s.triangles = {{{0, 1, 2}, {0, 1, 2}}, {{0, 2, 3}, {0, 2, 3}}};
    for (int f = 0; f < 2; ++f) {
        fixtures::Md2Source::Frame frame;
        frame.scale[0] = frame.scale[1] = frame.scale[2] = 1.0f + f;
        frame.vertices = {{0, 0, 0, 0}, {10, 0, 0, 0}, {10, 10, 0, 0}, {0, 10, 0, 0}};
        s.frames.push_back(frame);
    }
    return s;
}

fixtures::Md2Source Tetrahedron(int frames, int skinSide) {
    fixtures::Md2Source s;
    s.skinWidth = s.skinHeight = skinSide;
    s.glCommands = true;
    const int16_t side = static_cast<int16_t>(skinSide);
    s.texCoords = {{0, 0}, {side, 0}, {0, side}, {side, side}};
    s.triangles = {{{0, 1, 2}, {0, 1, 2}}, {{0, 3, 1}, {0, 3, 1}}, {{0, 2, 3}, {0, 2, 3}}, {{1, 3, 2}, {1, 3, 2}}};
    const std::vector<std::string>& table = PlayerFrameNames();
    for (int f = 0; f < frames; ++f) {
        fixtures::Md2Source::Frame frame;
        frame.vertices = {{0, 0, 0, 0}, {200, 0, 0, 0}, {0, 200, 0, 0}, {0, 0, uint8_t(100 + f % 100), 0}};
        frame.name = f < int(table.size()) ? table[size_t(f)] : "extra" + std::to_string(f);
        s.frames.push_back(frame);
    }
    return s;
}

std::vector<uint8_t> Pcx(int width, int height) {
    fixtures::IndexedPicture p{width, height, std::vector<uint8_t>(size_t(width) * size_t(height), 1), {{0, 0, 0}, {200, 100, 50}}};
    return fixtures::WritePcx(p);
}

}  // namespace meshara::testing
