// Light files: the exact byte layout, round trips of every field and of
// names of any length, and refusal of files that are not whole lights.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>

#include "formats/lgt_file.h"
#include "session/messages.h"
#include "tests/test_support.h"
#include "tools/writers/lgt_writer.h"

namespace meshara {
namespace {

using fixtures::LgtSource, fixtures::WriteLgt;
using Bytes = std::vector<uint8_t>;

// Visits the 25 floats of a LightRecord or a fixture LgtSource by name, in one fixed order.
template <class L, class F>
void EachFloat(L& l, F&& visit) {
    for (auto* v : {l.position, l.spotDirection, l.ambient, l.diffuse, l.specular})
        for (int i = 0; i < 4; ++i) visit(v[i]);
    for (auto* f : {&l.quadraticAttenuation, &l.constantAttenuation, &l.linearAttenuation, &l.spotExponent,
                    &l.spotCutoff})
        visit(*f);
}

TEST(LgtWrite, NewLightIsTheKnown115BytesEveryFieldRoundTripsAndComesBackOn) {
    const Bytes bytes = SerializeLight(LightRecord{});
    ASSERT_EQ(bytes.size(), 115u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 15), std::string("LGT0\x09\x00New Light", 15));
    const float expected[] = {0, 0, 0, 1, 1, 1, 1, 1, 0.25f, 0.25f, 0.25f, 1, 150, 150, 150, 0,
                              -1, -1, -1, 0, 1, 0, 0, 0, 180};
    EXPECT_EQ(std::memcmp(&bytes[15], expected, sizeof expected), 0);
    EXPECT_EQ(bytes, WriteLgt(LgtSource{}));  // the independent fixture writer agrees
    LgtSource s;
    float v = 16;
    EachFloat(s, [&](float& f) { f = v -= 1.25f; });  // all different: a field in the wrong place shows
    s.specular[3] = std::nanf("");
    s.spotCutoff = -0.0f;
    s.name = "Rim \xE9";
    auto r = ParseLight(WriteLgt(s));
    ASSERT_TRUE(r) << r.Detail();
    std::vector<uint32_t> want, got;  // bit for bit, so NaNs and signed zeros count too
    EachFloat(s, [&](const float& f) { want.push_back(std::bit_cast<uint32_t>(f)); });
    EachFloat(*r.Value(), [&](const float& f) { got.push_back(std::bit_cast<uint32_t>(f)); });
    EXPECT_EQ(got, want);
    EXPECT_EQ(r.Value()->name, s.name);
    EXPECT_TRUE(r.Value()->on);  // not stored: a light read from a file is on
    r.Value()->on = false;
    EXPECT_EQ(SerializeLight(*r.Value()), WriteLgt(s));
    // The defaults come back for every float, and only for the floats.
    LightRecord& l = *r.Value();
    SetLightDefaults(l);
    const LightRecord fresh;
    std::vector<float> defaults, freshFloats;
    EachFloat(l, [&](const float& f) { defaults.push_back(f); });
    EachFloat(fresh, [&](const float& f) { freshFloats.push_back(f); });
    EXPECT_EQ(defaults, freshFloats);
    EXPECT_TRUE(!l.on && l.name == s.name);
}

TEST(LgtRoundTrip, NamesOfAnyLengthUpToTheFieldLimitLongerAreCut) {
    for (size_t length : {0u, 1u, 4094u, 4095u, 4096u, 32767u, 40000u}) {
        const LightRecord l{.name = std::string(length, 'n')};
        EXPECT_EQ(SerializeLight(l).size(), 106 + std::min<size_t>(length, 32767));
        auto r = ParseLight(SerializeLight(l));
        ASSERT_TRUE(r) << length;
        EXPECT_EQ(r.Value()->name, l.name.substr(0, 32767));
    }
}

TEST(LgtRead, OnlyWholeLightsAreReadAZeroByteEndsTheName) {
    LgtSource wrongMagic, negative, overlong, zero;
    wrongMagic.magic = "LGT1";
    negative.nameLength = 0x8000;  // -32768 as a signed 16-bit length
    overlong.nameLength = 20;      // claims more name than the file has
    for (const Bytes& bytes :
         {Bytes{}, Bytes{'L', 'G', 'T'}, WriteLgt(wrongMagic), WriteLgt(negative), WriteLgt(overlong)}) {
        auto r = ParseLight(bytes);
        EXPECT_EQ(r.Error(), ErrorKind::NotLight) << bytes.size();
        EXPECT_STREQ(UserMessage(FileKind::Light, r.Error()), "This file does not appear to be a Light format file!");
    }
    const auto good = WriteLgt(LgtSource{});
    for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(ParseLight(Bytes(good.begin(), good.begin() + n))) << n;
    // A zero byte ends the name; bytes after the last field are ignored.
    zero.name = std::string("Key\0Fill", 8);
    auto bytes = WriteLgt(zero);
    bytes.insert(bytes.end(), 10, 0xAB);
    auto r = ParseLight(bytes);
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(r.Value()->name, "Key");
    EXPECT_EQ(r.Value()->spotCutoff, 180);  // fields after the name are still where N says
}

TEST(LgtFile, SaveReplacesTheFileAndLoadReadsNoMoreThanTheLight) {
    testing::TempDir dir;
    const std::string path = dir.Write("key.lgt", Bytes(500, 7)).string();
    const LightRecord l{.name = "Key"};
    ASSERT_TRUE(SaveLightFile(path, l));
    EXPECT_EQ(testing::ReadAll(path), SerializeLight(l));
    auto r = LoadLightFile(path);
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(SerializeLight(*r.Value()), SerializeLight(l));
    EXPECT_EQ(SaveLightFile(dir.Path().string(), l).Error(), ErrorKind::CannotCreate);
    EXPECT_STREQ(UserMessage(FileKind::Light, ErrorKind::CannotCreate), "Unable to create the file specified!");
    // Whatever follows the light, however long, is not read; a name length
    // past the file's end still refuses it.
    Bytes trailing = SerializeLight(l);
    trailing.resize(trailing.size() + (1 << 20), 0xEE);
    r = LoadLightFile(dir.Write("long.lgt", trailing).string());
    ASSERT_TRUE(r) << r.Detail();
    EXPECT_EQ(r.Value()->name, "Key");
    LgtSource overlong;
    overlong.nameLength = 0x7FFF;
    EXPECT_EQ(LoadLightFile(dir.Write("short.lgt", WriteLgt(overlong)).string()).Error(), ErrorKind::NotLight);
}

}  // namespace
}  // namespace meshara
