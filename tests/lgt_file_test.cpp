// Light files: the exact byte layout, round trips of every field and of
// names of any length, and refusal of files that are not whole lights.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "lights/lgt_file.h"
#include "resources/messages.h"
#include "tests/test_support.h"
#include "tools/writers/lgt_writer.h"

namespace meshara {
namespace {

void ExpectSameLight(const LightRecord& a, const LightRecord& b) {
    // Bit-for-bit, so NaNs and signed zeros count too.
    EXPECT_EQ(std::memcmp(a.position, b.position, sizeof a.position), 0);
    EXPECT_EQ(std::memcmp(a.spotDirection, b.spotDirection, sizeof a.spotDirection), 0);
    EXPECT_EQ(std::memcmp(a.ambient, b.ambient, sizeof a.ambient), 0);
    EXPECT_EQ(std::memcmp(a.diffuse, b.diffuse, sizeof a.diffuse), 0);
    EXPECT_EQ(std::memcmp(a.specular, b.specular, sizeof a.specular), 0);
    const float fa[] = {a.quadraticAttenuation, a.constantAttenuation, a.linearAttenuation, a.spotExponent,
                        a.spotCutoff};
    const float fb[] = {b.quadraticAttenuation, b.constantAttenuation, b.linearAttenuation, b.spotExponent,
                        b.spotCutoff};
    EXPECT_EQ(std::memcmp(fa, fb, sizeof fa), 0);
    EXPECT_EQ(a.name, b.name);
}

TEST(LgtWrite, NewLightIsTheKnown115Bytes) {
    const auto bytes = SerializeLight(LightRecord{});
    ASSERT_EQ(bytes.size(), 115u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "LGT0");
    EXPECT_EQ(bytes[4], 9);
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 15), "New Light");
    const float expected[] = {0, 0, 0, 1, 1, 1, 1, 1, 0.25f, 0.25f, 0.25f, 1, 150, 150, 150, 0,
                              -1, -1, -1, 0, 1, 0, 0, 0, 180};
    for (size_t i = 0; i < std::size(expected); ++i) {
        float f;
        std::memcpy(&f, &bytes[15 + 4 * i], 4);
        EXPECT_EQ(f, expected[i]) << "float " << i;
    }
    // The independent fixture writer lays the same file out.
    EXPECT_EQ(bytes, fixtures::WriteLgt(fixtures::LgtSource{}));
}

TEST(LgtRoundTrip, EveryFieldComesBackAndTheLightIsOn) {
    LightRecord l;
    l.name = "Rim \xE9";
    float v = 0.5f;
    for (float* field : {l.position, l.spotDirection, l.ambient, l.diffuse, l.specular})
        for (int i = 0; i < 4; ++i) field[i] = (v += 1.25f) * (i % 2 ? -1 : 1);
    l.position[3] = 1;
    l.quadraticAttenuation = 0.001f;
    l.constantAttenuation = 0.5f;
    l.linearAttenuation = 0.02f;
    l.spotExponent = 12;
    l.spotCutoff = -0.0f;
    l.specular[3] = std::nanf("");
    l.on = 0;
    auto r = ParseLight(SerializeLight(l));
    ASSERT_TRUE(r) << r.Detail();
    ExpectSameLight(*r.Value(), l);
    EXPECT_EQ(r.Value()->on, 1);
    EXPECT_EQ(r.Value()->deleteMark, 0);
}

TEST(LgtRoundTrip, NamesOfAnyLengthUpToTheFieldLimit) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{4094}, size_t{4095}, size_t{4096}, size_t{32767}}) {
        LightRecord l;
        l.name.assign(length, 'n');
        const auto bytes = SerializeLight(l);
        EXPECT_EQ(bytes.size(), 106 + length);
        auto r = ParseLight(bytes);
        ASSERT_TRUE(r) << length;
        EXPECT_EQ(r.Value()->name.size(), length);
    }
    LightRecord longer;
    longer.name.assign(40000, 'x');
    auto r = ParseLight(SerializeLight(longer));
    ASSERT_TRUE(r);
    EXPECT_EQ(r.Value()->name.size(), 32767u);
}

TEST(LgtRead, NameStopsAtItsFirstZeroByte) {
    fixtures::LgtSource s;
    s.name = std::string("Key\0Fill", 8);
    auto r = ParseLight(fixtures::WriteLgt(s));
    ASSERT_TRUE(r);
    EXPECT_EQ(r.Value()->name, "Key");
    EXPECT_EQ(r.Value()->spotCutoff, 180);  // fields after the name are still where N says
}

TEST(LgtRead, TrailingBytesAreIgnored) {
    auto bytes = fixtures::WriteLgt(fixtures::LgtSource{});
    bytes.insert(bytes.end(), 10, 0xAB);
    EXPECT_TRUE(ParseLight(bytes));
}

TEST(LgtRead, WhatIsNotAWholeLightIsRefused) {
    struct Case {
        const char* why;
        std::vector<uint8_t> bytes;
    };
    fixtures::LgtSource wrongMagic;
    wrongMagic.magic = "LGT1";
    fixtures::LgtSource negative;
    negative.nameLength = 0x8000;  // -32768 as a signed 16-bit length
    fixtures::LgtSource overlong;
    overlong.nameLength = 20;  // claims more name than the file has
    const Case cases[] = {
        {"empty", {}},
        {"LGT", {'L', 'G', 'T'}},
        {"LGT1", fixtures::WriteLgt(wrongMagic)},
        {"negative name length", fixtures::WriteLgt(negative)},
        {"name length past the end", fixtures::WriteLgt(overlong)},
    };
    for (const Case& c : cases) {
        auto r = ParseLight(c.bytes);
        EXPECT_EQ(r.Error(), LoadError::NotLight) << c.why;
        EXPECT_STREQ(UserMessage(FileKind::Light, r.Error()), "This file does not appear to be a Light format file!");
    }
    const auto good = fixtures::WriteLgt(fixtures::LgtSource{});
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(ParseLight(std::span<const uint8_t>(good.data(), n))) << "prefix " << n;
}

TEST(LgtFile, SaveReplacesAnExistingFileAndLoadReadsIt) {
    testing::TempDir dir;
    const std::string path = dir.Write("key.lgt", std::vector<uint8_t>(500, 7)).string();
    LightRecord l;
    l.name = "Key";
    ASSERT_EQ(SaveLightFile(path, l), LoadError::None);
    EXPECT_EQ(testing::ReadAll(path).size(), 109u);
    auto r = LoadLightFile(path);
    ASSERT_TRUE(r) << r.Detail();
    ExpectSameLight(*r.Value(), l);
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
}

TEST(LgtFile, FailedSaveLeavesTheOldFileWhole) {
    testing::TempDir dir;
    const std::vector<uint8_t> old(300, 9);
    const std::string path = dir.Write("key.lgt", old).string();
    std::filesystem::create_directory(path + ".partial");  // the temporary cannot be made
    EXPECT_EQ(SaveLightFile(path, LightRecord{}), LoadError::CannotCreate);
    EXPECT_EQ(testing::ReadAll(path), old);
    EXPECT_EQ(SaveLightFile((dir.Path() / "no" / "such" / "dir.lgt").string(), LightRecord{}),
              LoadError::CannotCreate);
    EXPECT_STREQ(UserMessage(FileKind::Light, LoadError::CannotCreate), "Unable to create the file specified!");
}

TEST(LgtFile, MissingFileCannotBeOpened) {
    testing::TempDir dir;
    auto r = LoadLightFile((dir.Path() / "none.lgt").string());
    EXPECT_EQ(r.Error(), LoadError::CannotOpen);
    EXPECT_STREQ(UserMessage(FileKind::Light, r.Error()), "Unable to open the file specified!");
}

}  // namespace
}  // namespace meshara
