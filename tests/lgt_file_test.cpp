// Light files: the exact byte layout, round trips of every field and of names of any length, and refusal of
// files that are not whole lights.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "formats/lgt_file.h"
#include "tests/test_support.h"
#include "tools/writers/lgt_writer.h"

namespace meshara {
namespace {

using fixtures::LgtSource, fixtures::WriteLgt;
using Bytes = std::vector<uint8_t>;

// The 25 floats of a light in the order a file stores them, bit for bit (so NaNs and signed zeros count too).
std::array<uint32_t, 25> Bits(const LightRecord& l) {
    std::array<float, 25> f;
    auto at = f.begin();
    for (const float* v : {l.ambient, l.diffuse, l.specular, l.position, l.spotDirection}) at = std::copy_n(v, 4, at);
    std::ranges::copy(std::array{l.constantAttenuation, l.linearAttenuation, l.quadraticAttenuation, l.spotExponent,
                                 l.spotCutoff}, at);
    return std::bit_cast<std::array<uint32_t, 25>>(f);
}

TEST(LgtWrite, NewLightIsTheKnown115BytesEveryFieldAndNameRoundTripsAndComesBackOn) {
    const Bytes bytes = SerializeLight(LightRecord{});
    ASSERT_EQ(bytes.size(), 115u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 15), std::string("LGT0\x09\x00New Light", 15));
    const float expected[] = {0, 0, 0, 1, 1, 1, 1, 1, 0.25f, 0.25f, 0.25f, 1, 150, 150, 150, 0,
                              -1, -1, -1, 0, 1, 0, 0, 0, 180};
    EXPECT_EQ(std::memcmp(&bytes[15], expected, sizeof expected), 0);
    EXPECT_EQ(bytes, WriteLgt(LgtSource{}));  // the independent fixture writer agrees
    // Every float different, so a field in the wrong place shows; a NaN and a negative zero among them.
    std::array<float, 25> values;
    for (size_t i = 0; i < values.size(); ++i) values[i] = 14.75f - 1.25f * static_cast<float>(i);
    values[11] = std::nanf("");  // specular alpha
    values[24] = -0.0f;          // spot cutoff
    Bytes file = WriteLgt({.name = "Rim \xE9"});
    std::memcpy(&file[file.size() - sizeof values], values.data(), sizeof values);
    auto r = ParseLight(file);
    ASSERT_TRUE(r) << r.Detail();
    LightRecord& l = *r.Value();
    EXPECT_EQ(Bits(l), (std::bit_cast<std::array<uint32_t, 25>>(values)));
    EXPECT_EQ(l.name, "Rim \xE9");
    EXPECT_TRUE(l.on);  // not stored: a light read from a file is on
    l.on = false;
    EXPECT_EQ(SerializeLight(l), file);
    // The defaults come back for every float, and only for the floats.
    SetLightDefaults(l);
    EXPECT_EQ(Bits(l), Bits(LightRecord{}));
    EXPECT_TRUE(!l.on && l.name == "Rim \xE9");
    // Names of any length up to the field's limit; longer ones are cut.
    for (size_t length : {0u, 1u, 4094u, 4095u, 4096u, 32767u, 40000u}) {
        const LightRecord l{.name = std::string(length, 'n')};
        EXPECT_EQ(SerializeLight(l).size(), 106 + std::min<size_t>(length, 32767));
        auto r = ParseLight(SerializeLight(l));
        ASSERT_TRUE(r) << length;
        EXPECT_EQ(r.Value()->name, l.name.substr(0, 32767));
    }
}

TEST(LgtRead, OnlyWholeLightsAreReadAZeroByteEndsTheNameSavesReplaceFilesLoadsReadNoFurther) {
    // A name length of 0x8000 is -32768 as a signed 16-bit length; 20 claims more name than the file has.
    const std::pair<LgtSource, ErrorKind> bad[] = {{LgtSource{.magic = "LGT1"}, ErrorKind::NotThisFormat},
                                                   {LgtSource{.nameLength = 0x8000}, ErrorKind::Damaged},
                                                   {LgtSource{.nameLength = 20}, ErrorKind::Damaged}};
    for (const auto& [s, kind] : bad) EXPECT_EQ(ParseLight(WriteLgt(s)).Error(), kind) << s.magic << ", " << s.nameLength;
    const auto good = WriteLgt(LgtSource{});  // every prefix, the empty file and "LGT" among them
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(ParseLight(Bytes(good.begin(), good.begin() + n)).Error(),
                  n < 4 ? ErrorKind::NotThisFormat : ErrorKind::Damaged) << n;
    // A zero byte ends the name; bytes after the last field are ignored.
    auto bytes = WriteLgt({.name = std::string("Key\0Fill", 8)});
    bytes.insert(bytes.end(), 10, 0xAB);
    auto r = ParseLight(bytes);
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(r.Value()->name, "Key");
    EXPECT_EQ(r.Value()->spotCutoff, 180);  // fields after the name are still where N says
    // Saving replaces a file; loading reads no more than the light.
    testing::TempDir dir;
    const auto path = dir.Write("key.lgt", Bytes(500, 7));
    const LightRecord l{.name = "Key"};
    ASSERT_TRUE(SaveLightFile(path, l));
    EXPECT_EQ(testing::ReadAll(path), SerializeLight(l));
    EXPECT_EQ(SaveLightFile(dir.Path(), l).Error(), ErrorKind::CannotCreate);
    // Whatever follows the light, however long, is not read; a name length past the file's end refuses it.
    Bytes trailing = SerializeLight(l);
    trailing.resize(trailing.size() + (1 << 20), 0xEE);
    for (const auto& p : {path, dir.Write("long.lgt", trailing)}) {
        auto r = LoadLightFile(p);
        ASSERT_TRUE(r) << p << ": " << r.Detail();
        EXPECT_EQ(SerializeLight(*r.Value()), SerializeLight(l)) << p;
    }
    EXPECT_EQ(LoadLightFile(dir.Write("short.lgt", WriteLgt({.nameLength = 0x7FFF}))).Error(), ErrorKind::Damaged);
}

}  // namespace
}  // namespace meshara
