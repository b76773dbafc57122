// Skin pictures built with the fixture writers: the layouts real writers
// produce decode to the pixels meant, and every malformed file is refused
// with the right reason before anything is read out of range.

#include <gtest/gtest.h>

#include <functional>

#include "formats/skin_decoder.h"
#include "session/messages.h"
#include "session/skin_search.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

using fixtures::IndexedPicture, fixtures::RgbPicture, fixtures::ToRgb;
using fixtures::WriteBmp24, fixtures::WriteBmp8, fixtures::WritePcx, fixtures::PcxOptions;
using Bytes = std::vector<uint8_t>;
using Damage = std::function<void(Bytes&)>;

// Pixels differ from their neighbours and from the pad value, so shifted
// rows, swapped channels or read padding show at once.
IndexedPicture Pattern(int32_t width, int32_t height, int colours = 256) {
    IndexedPicture p{width, height, {}, {}};
    for (int i = 0; i < colours; ++i)
        p.palette.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
    p.palette[0] = {1, 2, 3};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            p.indices.push_back(static_cast<uint8_t>(1 + (x * 3 + y * 11) % (colours - 1)));
    return p;
}

RgbPicture RgbPattern(int32_t width, int32_t height) {
    RgbPicture p{width, height, {}};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            p.pixels.insert(p.pixels.end(), {uint8_t(x * 5), uint8_t(y * 9), uint8_t(x ^ y)});
    return p;
}

void ExpectPicture(const Bytes& bytes, const RgbPicture& expected, const std::string& what) {
    auto r = DecodeSkinImage(bytes);
    ASSERT_TRUE(r) << what << ": " << r.Detail();
    EXPECT_EQ(r.Value().width, expected.width) << what;
    EXPECT_EQ(r.Value().height, expected.height) << what;
    EXPECT_TRUE(r.Value().pixels == expected.pixels) << what;
}

void ExpectRefused(const Bytes& bytes, ErrorKind expected, const std::string& why) {
    auto r = DecodeSkinImage(bytes);
    EXPECT_FALSE(r) << why;
    EXPECT_EQ(r.Error(), expected) << why << ": " << r.Detail();
    if (expected == ErrorKind::UnsupportedBmpDepth)  // refused silently: no message box
        EXPECT_EQ(UserMessage(FileKind::Skin, r.Error()), nullptr) << why;
    else
        EXPECT_STREQ(UserMessage(FileKind::Skin, r.Error()), "This file does not appear to be a valid skin") << why;
}

Damage U16s(std::vector<std::pair<size_t, uint16_t>> at) {
    return [=](Bytes& b) { for (auto [o, v] : at) fixtures::PatchU16(b, o, v); };
}
Damage S32(size_t at, int32_t v) { return [=](Bytes& b) { fixtures::PatchS32(b, at, v); }; }
Damage CutTo(size_t n) { return [=](Bytes& b) { b.resize(n); }; }

TEST(PcxDecode, LayoutsOfRealWritersGiveTheMeantPixels) {
    // Line padding is not pixels.
    for (int32_t width : {1, 2, 3, 219, 220})
        for (int32_t pad : {-1, 0, 3}) {  // the writer's even rounding, none, and a generous pad
            const IndexedPicture p = Pattern(width, 5);
            ExpectPicture(WritePcx(p, {.bytesPerLine = pad < 0 ? -1 : width + pad}), ToRgb(p),
                          "width " + std::to_string(width) + " pad " + std::to_string(pad));
        }
    IndexedPicture few = Pattern(7, 6, 4);  // few colours: long runs
    for (auto& i : few.indices) i = i > 1 ? 2 : i;
    IndexedPicture flat = Pattern(64, 1);
    flat.indices.assign(64, 3);
    const Bytes runs = WritePcx(flat, {.alwaysRun = true});
    ASSERT_EQ(Bytes(runs.begin() + 128, runs.begin() + 132), (Bytes{0xFF, 3, 0xC1, 3}));  // really 63 then 1
    ExpectPicture(runs, ToRgb(flat), "run of 63 then 1 fills a 64-pixel row");
    const struct { const char* why; IndexedPicture p; PcxOptions o; } cases[] = {
        {"runs cross line ends", few, {.bytesPerLine = 8, .runsCrossLines = true}},
        {"zero-count run eats its index and makes nothing", Pattern(6, 3), {.zeroCountRun = true}},
        {"run past the last pixel is cut", Pattern(6, 2), {.bytesPerLine = 6, .overrunLastRun = 20}},
        {"window at 100, 100: only its size counts", Pattern(256, 2), {.xmin = 100, .ymin = 100}},
        {"negative window origin", Pattern(256, 2), {.xmin = -300, .ymin = -300}},
    };
    for (const auto& c : cases) ExpectPicture(WritePcx(c.p, c.o), ToRgb(c.p), c.why);
    // A bytes-per-line field smaller than the width is not trusted: lines hold the width.
    const IndexedPicture eight = Pattern(8, 4);
    Bytes small = WritePcx(eight, {.bytesPerLine = 8});
    fixtures::PatchU16(small, 66, 4);
    ExpectPicture(small, ToRgb(eight), "bytes per line 4 for a width of 8");
}

TEST(PcxRefusal, EachMalformedHeaderOrStreamIsRefused) {
    const IndexedPicture p = Pattern(9, 4);
    const struct { const char* why; PcxOptions o; Damage damage; ErrorKind expected; } cases[] = {
        {"three planes", {.planes = 3}, {}, ErrorKind::NotSkin},
        {"one bit per pixel", {.bitsPerPixel = 1}, {}, ErrorKind::NotSkin},
        {"version 3 is not ours", {.version = 3}, {}, ErrorKind::NotSkin},
        {"data ends before the picture", {.dropDataBytes = 2}, {}, ErrorKind::NotSkin},
        {"header and palette do not fit", {}, CutTo(128 + 767), ErrorKind::NotSkin},
        {"xmax -1 below xmin 0", {}, U16s({{8, 0xFFFF}}), ErrorKind::NotSkin},
        {"ymin 10 over ymax 3", {}, U16s({{6, 10}}), ErrorKind::NotSkin},
        {"16385 wide", {}, U16s({{8, 16384}, {66, 16386}}), ErrorKind::SkinTooLarge},
        {"full 16-bit window", {}, U16s({{4, 0x8000}, {8, 0x7FFF}}), ErrorKind::SkinTooLarge},
        // 8192 x 8192 pixels pass the limits, the data cannot fill them; one row more is too many pixels.
        {"8192 x 8192 from a few bytes", {}, U16s({{8, 8191}, {10, 8191}, {66, 8192}}), ErrorKind::NotSkin},
        {"8192 x 8193 pixels", {}, U16s({{8, 8191}, {10, 8192}, {66, 8192}}), ErrorKind::SkinTooLarge},
    };
    for (const auto& c : cases) {
        Bytes bytes = WritePcx(p, c.o);
        if (c.damage) c.damage(bytes);
        ExpectRefused(bytes, c.expected, c.why);
    }
}

TEST(SkinRefusal, EveryCutPcxStreamAndRunLengthBmpPrefixIsRefused) {
    const IndexedPicture p = Pattern(13, 7);
    const size_t dataBytes = WritePcx(p).size() - 128 - 769;  // less the marker byte and palette
    for (size_t drop = 2; drop <= dataBytes + 1; ++drop)  // the marker byte then stands in for data
        EXPECT_FALSE(DecodeSkinImage(WritePcx(p, {.dropDataBytes = drop}))) << "dropped " << drop;
    const Bytes bytes = WriteBmp8(Pattern(11, 5), {.rle8 = true});
    for (size_t n = 0; n + 2 < bytes.size(); ++n)  // the last two bytes are only the end marker
        ASSERT_FALSE(DecodeSkinImage(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)))) << n;
}

TEST(BmpDecode, RowsArePaddedBottomUpAndBgr) {
    for (int32_t width : {1, 2, 3, 4, 5, 219}) {
        const IndexedPicture p = Pattern(width, 3);
        ExpectPicture(WriteBmp8(p), ToRgb(p), "8-bit width " + std::to_string(width));
        const RgbPicture q = RgbPattern(width, 4);
        ExpectPicture(WriteBmp24(q), q, "24-bit width " + std::to_string(width));
    }
    // Known bytes, not only agreement with the writer: bottom row first, blue first, rows of four bytes.
    const RgbPicture two{1, 2, {30, 20, 10, 1, 2, 3}};
    const Bytes bytes = WriteBmp24(two);
    EXPECT_EQ(Bytes(bytes.begin() + 54, bytes.end()), (Bytes{3, 2, 1, 0, 10, 20, 30, 0}));
    ExpectPicture(bytes, two, "two rows");
    // Some writers leave out the last row's padding.
    Bytes shortLast = WriteBmp24(RgbPattern(3, 2));
    shortLast.resize(shortLast.size() - 3);
    ExpectPicture(shortLast, RgbPattern(3, 2), "short last row");
}

TEST(BmpDecode, PaletteFollowsTheInformationHeaderIndicesPastItAreBlack) {
    for (uint32_t header : {40u, 108u, 124u})
        for (int colours : {16, 256}) {
            IndexedPicture p = Pattern(6, 2, colours);
            p.indices[1] = 16;  // past a 16-colour palette: black, as ToRgb makes it
            p.indices[4] = 255;
            ExpectPicture(WriteBmp8(p, {.infoHeaderSize = header}), ToRgb(p),
                          "header " + std::to_string(header) + ", " + std::to_string(colours) + " colours");
        }
}

TEST(BmpDecode, RunLengthEncodedAndAbsoluteRuns) {
    IndexedPicture p = Pattern(37, 9);
    for (int32_t x = 5; x < 30; ++x) p.indices[static_cast<size_t>(2 * 37 + x)] = 7;  // a long run
    for (bool absolute : {false, true})
        ExpectPicture(WriteBmp8(p, {.rle8 = true, .rleAbsoluteRuns = absolute}), ToRgb(p),
                      absolute ? "absolute runs" : "encoded runs only");
    // Every row ended at once: pixels the stream never sets take index 0.
    Bytes early = WriteBmp8(p, {.rle8 = true});
    early.resize(14 + 40 + 4 * 256);
    early.insert(early.end(), 2 * 9, 0);
    IndexedPicture blank = p;
    blank.indices.assign(blank.indices.size(), 0);
    ExpectPicture(early, ToRgb(blank), "rows ended early");
}

TEST(BmpRefusal, EachMalformedHeaderIsRefused) {
    const struct { const char* why; Damage damage; ErrorKind expected; } cases[] = {
        {"1 bit", U16s({{28, 1}}), ErrorKind::UnsupportedBmpDepth},
        {"4 bits", U16s({{28, 4}}), ErrorKind::UnsupportedBmpDepth},
        {"16 bits", U16s({{28, 16}}), ErrorKind::UnsupportedBmpDepth},
        {"32 bits", U16s({{28, 32}}), ErrorKind::UnsupportedBmpDepth},
        {"compression 2", S32(30, 2), ErrorKind::NotSkin},
        {"bit fields", S32(30, 3), ErrorKind::NotSkin},
        {"zero width", S32(18, 0), ErrorKind::NotSkin},
        {"negative width", S32(18, -8), ErrorKind::NotSkin},
        {"zero height", S32(22, 0), ErrorKind::NotSkin},
        {"top-down", S32(22, -4), ErrorKind::NotSkin},
        {"16384 wide passes the limit, its rows are missing", S32(18, 16384), ErrorKind::NotSkin},
        {"wider than 16384", S32(18, 16385), ErrorKind::SkinTooLarge},
        {"higher than 16384", S32(22, 16385), ErrorKind::SkinTooLarge},
        {"16384 x 4097 pixels, a side within the limit", [](Bytes& b) { S32(18, 16384)(b), S32(22, 4097)(b); },
         ErrorKind::SkinTooLarge},
        {"257 colours", S32(46, 257), ErrorKind::NotSkin},
        {"palette past the end", S32(14, 1 << 20), ErrorKind::NotSkin},
        {"core header", S32(14, 12), ErrorKind::NotSkin},
        {"pixels past the end", S32(10, 1 << 24), ErrorKind::NotSkin},
        {"pixel offset beyond 4 GiB wrap", S32(10, -1), ErrorKind::NotSkin},
        {"last row cut", [](Bytes& b) { b.resize(b.size() - 5); }, ErrorKind::NotSkin},
        {"headers cut", CutTo(53), ErrorKind::NotSkin},
        {"wrong magic", [](Bytes& b) { b[1] = 'A'; }, ErrorKind::NotSkin},
        {"one byte", CutTo(1), ErrorKind::NotSkin},
        {"24-bit run-length (8-bit only)", [](Bytes& b) { b = WriteBmp24(RgbPattern(4, 4)); b[30] = 1; },
         ErrorKind::NotSkin},
    };
    for (const auto& c : cases) {
        Bytes bytes = WriteBmp8(Pattern(8, 4));
        c.damage(bytes);
        ExpectRefused(bytes, c.expected, c.why);
    }
}

TEST(SkinFile, FormatComesFromTheContentNotTheNameUnreadableIsSilent) {
    testing::TempDir dir;
    const IndexedPicture p = Pattern(5, 5);
    for (const auto& path : {dir.Write("skin.bmp", WritePcx(p)), dir.Write("skin.pcx", WriteBmp8(p))}) {
        auto r = ReadSkinImage(path.string());
        ASSERT_TRUE(r) << path << ": " << r.Detail();
        EXPECT_EQ(r.Value()->pixels, ToRgb(p).pixels);
        EXPECT_EQ(r.Value()->fileName, path.filename().string());
    }
    auto r = ReadSkinImage((dir.Path() / "missing.pcx").string());
    EXPECT_EQ(r.Error(), ErrorKind::CannotOpen);
    EXPECT_EQ(UserMessage(FileKind::Skin, r.Error()), nullptr);
}

TEST(SkinLookup, TheNamedSkinIsFoundAboveOrBesideTheModelUnderEitherExtension) {
    testing::TempDir dir;
    namespace fs = std::filesystem;
    const fs::path root = dir.Path();
    fs::create_directories(root / "baseq2/models/m");
    fs::create_directories(root / "baseq2/pics");
    const std::string model = (root / "baseq2/models/m/tris.md2").string();
    for (const char* f : {"baseq2/models/m/skin.pcx", "baseq2/models/m/other.BMP", "baseq2/pics/colormap.pcx"})
        dir.Write(f, {1});
    const struct { std::vector<std::string> names; std::string found; } cases[] = {
        {{"models/m/skin.pcx"}, "baseq2/models/m/../../models/m/skin.pcx"},  // relative to a folder above
        {{"C:\\quake2\\baseq2\\models\\m\\skin.pcx"}, "baseq2/models/m/skin.pcx"},  // its name alone, beside
        {{"models/m/skin.tga"}, "baseq2/models/m/../../models/m/skin.pcx"},  // another extension
        {{"/elsewhere/other.bmp"}, "baseq2/models/m/other.BMP"},
        {{"pics/colormap.pcx"}, "baseq2/models/m/../../pics/colormap.pcx"},
        {{"missing.pcx", "models/m/skin.pcx"}, "baseq2/models/m/../../models/m/skin.pcx"},  // the first found
        {{"missing.pcx", "models"}, ""},  // a folder is no skin
        {{}, ""},
    };
    for (const auto& c : cases) {
        const std::string found = FindSkinFile(model, c.names);
        EXPECT_EQ(found.empty() ? "" : fs::weakly_canonical(found), c.found.empty() ? "" : fs::weakly_canonical(root / c.found))
            << (c.names.empty() ? "(none)" : c.names.front());
    }
}

}  // namespace
}  // namespace meshara
