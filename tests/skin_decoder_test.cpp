// Skin pictures built with the fixture writers: the layouts real writers
// produce decode to the pixels meant, and every malformed file is refused
// with the right reason before anything is read out of range.

#include <gtest/gtest.h>

#include <functional>

#include "resources/messages.h"
#include "skins/skin_decoder.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

using fixtures::BmpOptions;
using fixtures::IndexedPicture;
using fixtures::PcxOptions;
using fixtures::RgbPicture;
using fixtures::ToRgb;

// A picture whose pixels all differ from their neighbours and from the pad
// value, so shifted rows, swapped channels or read padding show at once.
IndexedPicture Pattern(int32_t width, int32_t height, int colours = 256) {
    IndexedPicture p;
    p.width = width;
    p.height = height;
    for (int i = 0; i < colours; ++i)
        p.palette.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
    p.palette[0] = {1, 2, 3};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) p.indices.push_back(static_cast<uint8_t>(1 + (x * 3 + y * 11) % (colours - 1)));
    return p;
}

RgbPicture RgbPattern(int32_t width, int32_t height) {
    RgbPicture p{width, height, {}};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            p.pixels.insert(p.pixels.end(), {static_cast<uint8_t>(x * 5), static_cast<uint8_t>(y * 9),
                                             static_cast<uint8_t>(x ^ y)});
    return p;
}

void ExpectPicture(const LoadResult<SkinImage>& r, const RgbPicture& expected, const std::string& what) {
    ASSERT_TRUE(r) << what << ": " << r.Detail();
    EXPECT_EQ(r.Value().width, expected.width) << what;
    EXPECT_EQ(r.Value().height, expected.height) << what;
    EXPECT_TRUE(r.Value().pixels == expected.pixels) << what;
    EXPECT_EQ(r.Value().texture, 0u) << what;
}

// ---- PCX ----

TEST(PcxDecode, LinePaddingIsNotPixels) {
    for (int32_t width : {1, 2, 3, 219, 220}) {
        for (int32_t pad : {-1, 0, 3}) {  // default even rounding, none, and a generous pad
            PcxOptions o;
            o.bytesPerLine = pad < 0 ? -1 : width + pad;
            const IndexedPicture p = Pattern(width, 5);
            ExpectPicture(DecodeSkinImage(fixtures::WritePcx(p, o)), ToRgb(p),
                          "width " + std::to_string(width) + " pad " + std::to_string(pad));
        }
    }
}

TEST(PcxDecode, RunsMayCrossLineEnds) {
    IndexedPicture p = Pattern(7, 6, 4);  // few colours: long runs
    for (auto& i : p.indices) i = i > 1 ? 2 : i;
    PcxOptions o;
    o.runsCrossLines = true;
    o.bytesPerLine = 8;
    ExpectPicture(DecodeSkinImage(fixtures::WritePcx(p, o)), ToRgb(p), "cross-line runs");
}

TEST(PcxDecode, RunOf63ThenRunOf1FillsA64PixelRow) {
    IndexedPicture p = Pattern(64, 1);
    p.indices.assign(64, 3);
    PcxOptions o;
    o.alwaysRun = true;  // 0xFF 0x03 0xC1 0x03
    auto bytes = fixtures::WritePcx(p, o);
    ASSERT_EQ(bytes[128], 0xFF);
    ASSERT_EQ(bytes[130], 0xC1);
    ExpectPicture(DecodeSkinImage(bytes), ToRgb(p), "63 + 1");
}

TEST(PcxDecode, ZeroCountRunConsumesItsIndexAndProducesNothing) {
    const IndexedPicture p = Pattern(6, 3);
    PcxOptions o;
    o.zeroCountRun = true;
    ExpectPicture(DecodeSkinImage(fixtures::WritePcx(p, o)), ToRgb(p), "count 0");
}

TEST(PcxDecode, RunPastTheLastPixelIsCut) {
    IndexedPicture p = Pattern(6, 2);
    PcxOptions o;
    o.bytesPerLine = 6;
    o.overrunLastRun = 20;
    ExpectPicture(DecodeSkinImage(fixtures::WritePcx(p, o)), ToRgb(p), "overrun");
}

TEST(PcxDecode, WindowGivesTheSizeWhateverItsOrigin) {
    const IndexedPicture p = Pattern(256, 2);
    for (int16_t origin : {0, 100, -300}) {
        PcxOptions o;
        o.xmin = origin;
        o.ymin = origin;
        auto r = DecodeSkinImage(fixtures::WritePcx(p, o));
        ASSERT_TRUE(r) << r.Detail();
        EXPECT_EQ(r.Value().width, 256);
        EXPECT_EQ(r.Value().height, 2);
    }
}

TEST(PcxRefusal, EachMalformedHeaderOrStreamIsRefused) {
    const IndexedPicture p = Pattern(9, 4);
    struct Case {
        const char* why;
        std::function<std::vector<uint8_t>()> make;
        LoadError expected;
    };
    auto with = [&](std::function<void(PcxOptions&)> change) {
        return [=] {
            PcxOptions o;
            change(o);
            return fixtures::WritePcx(p, o);
        };
    };
    const Case cases[] = {
        {"lines shorter than the width", with([](PcxOptions& o) { o.bytesPerLine = 8; }), LoadError::NotSkin},
        {"three planes", with([](PcxOptions& o) { o.planes = 3; }), LoadError::NotSkin},
        {"one bit per pixel", with([](PcxOptions& o) { o.bitsPerPixel = 1; }), LoadError::NotSkin},
        {"version 3 is not ours", with([](PcxOptions& o) { o.version = 3; }), LoadError::NotSkin},
        {"data ends before the picture", with([](PcxOptions& o) { o.dropDataBytes = 2; }), LoadError::NotSkin},
        {"header and palette do not fit",
         [&] {
             auto b = fixtures::WritePcx(p);
             b.resize(128 + 767);
             return b;
         },
         LoadError::NotSkin},
        {"xmax below xmin",
         [&] {
             auto b = fixtures::WritePcx(p);
             fixtures::PatchU16(b, 8, 0xFFFF);  // xmax -1 with xmin 0
             return b;
         },
         LoadError::NotSkin},
        {"ymax below ymin",
         [&] {
             auto b = fixtures::WritePcx(p);
             fixtures::PatchU16(b, 6, 10);  // ymin 10 over ymax 3
             return b;
         },
         LoadError::NotSkin},
        {"wider than 16384",
         [&] {
             auto b = fixtures::WritePcx(p);
             fixtures::PatchU16(b, 8, 16384);  // 16385 pixels
             fixtures::PatchU16(b, 66, 16386);
             return b;
         },
         LoadError::SkinTooLarge},
        {"full 16-bit window",
         [&] {
             auto b = fixtures::WritePcx(p);
             fixtures::PatchU16(b, 4, 0x8000);
             fixtures::PatchU16(b, 8, 0x7FFF);
             return b;
         },
         LoadError::SkinTooLarge},
        {"huge picture from a few bytes of data",
         [&] {
             auto b = fixtures::WritePcx(p);
             fixtures::PatchU16(b, 8, 16383);
             fixtures::PatchU16(b, 10, 16383);
             fixtures::PatchU16(b, 66, 16384);
             return b;
         },
         LoadError::NotSkin},
    };
    for (const Case& c : cases) {
        auto r = DecodeSkinImage(c.make());
        EXPECT_FALSE(r) << c.why;
        EXPECT_EQ(r.Error(), c.expected) << c.why << ": " << r.Detail();
        EXPECT_STREQ(UserMessage(FileKind::Skin, r.Error()), "This file does not appear to be a valid skin") << c.why;
    }
}

TEST(PcxRefusal, EveryTruncationOfTheDataIsRefused) {
    const IndexedPicture p = Pattern(13, 7);
    const auto full = fixtures::WritePcx(p);
    const size_t dataBytes = full.size() - 128 - 769;  // less the marker byte and palette
    for (size_t drop = 2; drop <= dataBytes + 1; ++drop) {
        PcxOptions o;
        o.dropDataBytes = drop;  // the marker byte then stands in for data
        auto r = DecodeSkinImage(fixtures::WritePcx(p, o));
        EXPECT_FALSE(r) << "dropped " << drop;
    }
}

// ---- BMP ----

TEST(BmpDecode, EightBitRowsArePaddedAndStoredBottomUp) {
    for (int32_t width : {1, 2, 3, 4, 5, 219}) {
        const IndexedPicture p = Pattern(width, 3);
        ExpectPicture(DecodeSkinImage(fixtures::WriteBmp8(p)), ToRgb(p), "8-bit width " + std::to_string(width));
    }
}

TEST(BmpDecode, TwentyFourBitIsBgrPaddedAndBottomUp) {
    for (int32_t width : {1, 2, 3, 4, 219}) {
        const RgbPicture p = RgbPattern(width, 4);
        ExpectPicture(DecodeSkinImage(fixtures::WriteBmp24(p)), p, "24-bit width " + std::to_string(width));
    }
    // One pixel stored as bytes 10, 20, 30 is R 30, G 20, B 10.
    RgbPicture one{1, 1, {30, 20, 10}};
    auto bytes = fixtures::WriteBmp24(one);
    EXPECT_EQ(bytes[54], 10);
    auto r = DecodeSkinImage(bytes);
    ASSERT_TRUE(r);
    EXPECT_EQ(r.Value().pixels, (std::vector<uint8_t>{30, 20, 10}));
}

TEST(BmpDecode, FirstFileRowIsTheLastPictureRow) {
    RgbPicture p{1, 2, {255, 0, 0, 0, 0, 255}};  // red above blue
    auto bytes = fixtures::WriteBmp24(p);
    EXPECT_EQ(bytes[54 + 0], 255);  // the file starts with the blue bottom row (B first)
    ExpectPicture(DecodeSkinImage(bytes), p, "row order");
}

TEST(BmpDecode, PaletteFollowsTheInformationHeaderWhateverItsSize) {
    for (uint32_t header : {40u, 108u, 124u}) {
        for (int colours : {16, 256}) {
            const IndexedPicture p = Pattern(6, 2, colours);
            BmpOptions o;
            o.infoHeaderSize = header;
            auto bytes = fixtures::WriteBmp8(p, o);
            ExpectPicture(DecodeSkinImage(bytes), ToRgb(p),
                          "header " + std::to_string(header) + ", " + std::to_string(colours) + " colours");
        }
    }
}

TEST(BmpDecode, IndicesBeyondTheGivenColoursAreBlack) {
    IndexedPicture p = Pattern(4, 1, 16);
    p.indices = {1, 15, 16, 255};
    auto r = DecodeSkinImage(fixtures::WriteBmp8(p));
    ASSERT_TRUE(r) << r.Detail();
    const std::vector<uint8_t> black(6, 0);
    EXPECT_TRUE(std::equal(black.begin(), black.end(), r.Value().pixels.begin() + 6));
    EXPECT_EQ(r.Value().pixels[3], p.palette[15][0]);
}

TEST(BmpDecode, MissingPaddingAfterTheLastRowIsAccepted) {
    const RgbPicture p = RgbPattern(3, 2);
    auto bytes = fixtures::WriteBmp24(p);
    bytes.resize(bytes.size() - 3);  // 9 bytes of pixels, 3 of pad in the last row
    ExpectPicture(DecodeSkinImage(bytes), p, "short last row");
}

TEST(BmpDecode, RunLengthEightBitWithEncodedAndAbsoluteRuns) {
    IndexedPicture p = Pattern(37, 9);
    for (int32_t x = 5; x < 30; ++x) p.indices[static_cast<size_t>(2 * 37 + x)] = 7;  // a long run
    for (bool absolute : {false, true}) {
        BmpOptions o;
        o.rle8 = true;
        o.rleAbsoluteRuns = absolute;
        ExpectPicture(DecodeSkinImage(fixtures::WriteBmp8(p, o)), ToRgb(p),
                      absolute ? "absolute runs" : "encoded runs only");
    }
}

TEST(BmpDecode, RunLengthRowsEndedEarlyShowIndexZero) {
    // End-of-line right away on every row: nothing is set.
    IndexedPicture p = Pattern(5, 3);
    BmpOptions o;
    o.rle8 = true;
    auto bytes = fixtures::WriteBmp8(p, o);
    const size_t dataAt = 14 + 40 + 4 * 256;
    bytes.resize(dataAt);
    for (int row = 0; row < 3; ++row) bytes.insert(bytes.end(), {0, 0});
    auto r = DecodeSkinImage(bytes);
    ASSERT_TRUE(r) << r.Detail();
    for (size_t i = 0; i < r.Value().pixels.size(); i += 3)
        ASSERT_EQ(r.Value().pixels[i], p.palette[0][0]) << i;
}

TEST(BmpRefusal, UnsupportedDepthsAreRefusedSilently) {
    for (uint16_t bits : {1, 4, 16, 32}) {
        auto bytes = fixtures::WriteBmp24(RgbPattern(4, 4));
        fixtures::PatchU16(bytes, 28, bits);
        auto r = DecodeSkinImage(bytes);
        EXPECT_EQ(r.Error(), LoadError::UnsupportedBmpDepth) << bits;
        EXPECT_EQ(UserMessage(FileKind::Skin, r.Error()), nullptr) << bits;
    }
}

TEST(BmpRefusal, EachMalformedHeaderIsRefusedWithTheSkinMessage) {
    const IndexedPicture p = Pattern(8, 4);
    struct Case {
        const char* why;
        std::function<void(std::vector<uint8_t>&)> damage;
        LoadError expected;
    };
    const auto set32 = [](size_t at, int32_t v) { return [=](std::vector<uint8_t>& b) { fixtures::PatchS32(b, at, v); }; };
    const Case cases[] = {
        {"compression 2", set32(30, 2), LoadError::NotSkin},
        {"bit fields", set32(30, 3), LoadError::NotSkin},
        {"zero width", set32(18, 0), LoadError::NotSkin},
        {"negative width", set32(18, -8), LoadError::NotSkin},
        {"zero height", set32(22, 0), LoadError::NotSkin},
        {"top-down", set32(22, -4), LoadError::NotSkin},
        {"wider than 16384", set32(18, 16385), LoadError::SkinTooLarge},
        {"higher than 16384", set32(22, 16385), LoadError::SkinTooLarge},
        {"257 colours", set32(46, 257), LoadError::NotSkin},
        {"palette past the end", set32(14, 1 << 20), LoadError::NotSkin},
        {"core header", set32(14, 12), LoadError::NotSkin},
        {"pixels past the end", set32(10, 1 << 24), LoadError::NotSkin},
        {"pixel offset beyond 4 GiB wrap", set32(10, -1), LoadError::NotSkin},
        {"last row cut", [](auto& b) { b.resize(b.size() - 5); }, LoadError::NotSkin},
        {"headers cut", [](auto& b) { b.resize(53); }, LoadError::NotSkin},
        {"wrong magic", [](auto& b) { b[1] = 'A'; }, LoadError::NotSkin},
        {"one byte", [](auto& b) { b.resize(1); }, LoadError::NotSkin},
    };
    for (const Case& c : cases) {
        auto bytes = fixtures::WriteBmp8(p);
        c.damage(bytes);
        auto r = DecodeSkinImage(bytes);
        EXPECT_FALSE(r) << c.why;
        EXPECT_EQ(r.Error(), c.expected) << c.why << ": " << r.Detail();
        EXPECT_STREQ(UserMessage(FileKind::Skin, r.Error()), "This file does not appear to be a valid skin") << c.why;
    }
    auto rgb = fixtures::WriteBmp24(RgbPattern(4, 4));
    fixtures::PatchS32(rgb, 30, 1);  // run-length is only for 8-bit pictures
    EXPECT_EQ(DecodeSkinImage(rgb).Error(), LoadError::NotSkin);
}

TEST(BmpRefusal, EveryPrefixOfARunLengthPictureIsRefused) {
    BmpOptions o;
    o.rle8 = true;
    const auto bytes = fixtures::WriteBmp8(Pattern(11, 5), o);
    for (size_t n = 0; n + 2 < bytes.size(); ++n) {  // the last two bytes are only the end marker
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ASSERT_FALSE(DecodeSkinImage(prefix)) << n;
    }
}

// ---- files ----

TEST(SkinFile, FormatComesFromTheContentNotTheName) {
    testing::TempDir dir;
    const IndexedPicture p = Pattern(5, 5);
    auto pcxAsBmp = dir.Write("skin.bmp", fixtures::WritePcx(p));
    auto bmpAsPcx = dir.Write("skin.pcx", fixtures::WriteBmp8(p));
    for (const auto& path : {pcxAsBmp, bmpAsPcx}) {
        auto r = ReadSkinImage(path.string());
        ASSERT_TRUE(r) << path << ": " << r.Detail();
        EXPECT_EQ(r.Value()->pixels, ToRgb(p).pixels);
        EXPECT_EQ(r.Value()->fileName, path.filename().string());
    }
}

TEST(SkinFile, UnreadableFileIsRefusedSilently) {
    testing::TempDir dir;
    auto r = ReadSkinImage((dir.Path() / "missing.pcx").string());
    EXPECT_EQ(r.Error(), LoadError::CannotOpen);
    EXPECT_EQ(UserMessage(FileKind::Skin, r.Error()), nullptr);
}

}  // namespace
}  // namespace meshara
