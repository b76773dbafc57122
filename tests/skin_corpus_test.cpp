// Pictures written by another tool decode to exactly the pixels that tool
// meant.

#include <gtest/gtest.h>

#include <sstream>

#include "formats/skin_decoder.h"
#include "tests/test_support.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;

struct Ppm {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

Ppm ReadPpm(const fs::path& path) {
    const auto bytes = testing::ReadAll(path);
    std::string head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64));
    std::istringstream in(head);
    std::string magic;
    int maxValue = 0;
    Ppm p;
    in >> magic >> p.width >> p.height >> maxValue;
    const size_t start = static_cast<size_t>(in.tellg()) + 1;  // one whitespace byte after the header
    p.pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    return p;
}

Result<std::shared_ptr<const SkinImage>> Read(const fs::path& path) { return ReadSkinImage(path.string()); }

TEST(SkinCorpus, OddWidthPicturesMatchTheReferencePixels) {
    MESHARA_REQUIRE_CORPUS();
    const fs::path dir = testing::CorpusDir() / "skins";
    const Ppm expected = ReadPpm(dir / "faerie-219x101.ppm");
    ASSERT_EQ(expected.pixels.size(), 219u * 101u * 3u);
    for (const char* name : {"faerie-219x101.pcx", "faerie-219x101-24bit.bmp", "faerie-219x101-8bit-rle.bmp"}) {
        auto r = Read(dir / name);
        ASSERT_TRUE(r) << name << ": " << r.Detail();
        EXPECT_EQ(r.Value()->width, 219) << name;
        EXPECT_EQ(r.Value()->height, 101) << name;
        EXPECT_TRUE(r.Value()->pixels == expected.pixels) << name;
    }
}

TEST(SkinCorpus, PcxMatchesTheBmpItWasMadeFrom) {
    MESHARA_REQUIRE_CORPUS();
    auto pcx = Read(testing::CorpusDir() / "skins" / "sydney.pcx");
    auto bmp = Read(testing::CorpusDir() / "md2" / "sydney.bmp");
    ASSERT_TRUE(pcx) << pcx.Detail();
    ASSERT_TRUE(bmp) << bmp.Detail();
    EXPECT_EQ(pcx.Value()->width, 308);
    EXPECT_EQ(pcx.Value()->height, 193);
    EXPECT_TRUE(pcx.Value()->pixels == bmp.Value()->pixels);
}

TEST(SkinCorpus, EveryBmpDecodes) {
    MESHARA_REQUIRE_CORPUS();
    int seen = 0;
    for (const char* sub : {"md2", "skins"})
        for (const auto& entry : fs::directory_iterator(testing::CorpusDir() / sub)) {
            if (entry.path().extension() != ".bmp") continue;
            auto r = Read(entry.path());
            ASSERT_TRUE(r) << entry.path() << ": " << r.Detail();
            EXPECT_EQ(r.Value()->pixels.size(), size_t(r.Value()->width) * r.Value()->height * 3);
            ++seen;
        }
    EXPECT_GE(seen, 6);
}

}  // namespace
}  // namespace meshara
