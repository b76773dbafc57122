#pragma once
// Shared helpers for the tests: where the real-file corpus is, and small
// models built with the fixture writer.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tools/writers/md2_writer.h"

namespace meshara::testing {

// The corpus folder, or an empty path when it is absent (tests then skip).
std::filesystem::path CorpusDir();
std::string CorpusMissingReason();

std::filesystem::path SamplesDir();

std::vector<uint8_t> ReadAll(const std::filesystem::path& path);
// The names in a folder: what a command left there shows against what was there before.
std::set<std::string> FileNames(const std::filesystem::path& folder);

// A temporary folder removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

// A two-frame quad (four vertices, two triangles) that every loader test starts from.
fixtures::Md2Source SmallQuad();

// A tetrahedron: every vertex used, every triangle with an area, its GL
// commands drawing exactly its triangles; frames named as a player's body's.
fixtures::Md2Source Tetrahedron(int frames, int skinSide = 32);

// A PCX picture of one colour.
std::vector<uint8_t> Pcx(int width, int height);

}  // namespace meshara::testing

// Skips the current test when the corpus is absent.
#define MESHARA_REQUIRE_CORPUS()                                                   \
    do {                                                                           \
        if (::meshara::testing::CorpusDir().empty())                               \
            GTEST_SKIP() << ::meshara::testing::CorpusMissingReason();              \
    } while (0)
