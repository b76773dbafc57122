// Skin pictures: the layouts real writers produce decode to the pixels meant, every malformed file is refused
// with its reason before anything is read out of range, skins are found and resampled without losing an edge.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "formats/animated_writer.h"
#include "formats/png_writer.h"
#include "formats/format_names.h"
#include "formats/skin_decoder.h"
#include "formats/skin_scale.h"
#include "formats/readers.h"
#include "session/animated_picture.h"
#include "session/messages.h"
#include "session/skin_search.h"
#include "tests/test_support.h"
#include "tools/writers/byte_writer.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/picture_writers.h"

namespace meshara {
namespace {

namespace fs = std::filesystem;
using fixtures::IndexedPicture, fixtures::RgbPicture, fixtures::ToRgb;
using fixtures::WriteBmp24, fixtures::WriteBmp8, fixtures::WritePcx, fixtures::PcxOptions;
using Bytes = std::vector<uint8_t>;
using Damage = std::function<void(Bytes&)>;
using enum ErrorKind;

// Pixels differ from their neighbours and from the pad value: shifted rows, swapped channels, read padding show.
IndexedPicture Pattern(int32_t width, int32_t height, int colours = 256) {
    IndexedPicture p{width, height, {}, {}};
    for (int i = 0; i < colours; ++i) p.palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    p.palette[0] = {1, 2, 3};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.indices.push_back(uint8_t(1 + (x * 3 + y * 11) % (colours - 1)));
    return p;
}
RgbPicture RgbPattern(int32_t width, int32_t height) {
    RgbPicture p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.pixels.insert(p.pixels.end(), {uint8_t(x * 5), uint8_t(y * 9), uint8_t(x ^ y)});
    return p;
}

bool Same(const SkinImage& got, const RgbPicture& want) {
    return got.width == want.width && got.height == want.height && got.pixels == want.pixels;
}
void ExpectPicture(const Bytes& bytes, const RgbPicture& want, const std::string& what) {
    auto r = DecodeSkinImage(bytes);
    ASSERT_TRUE(r) << what << ": " << r.Detail();
    EXPECT_TRUE(Same(r.Value(), want)) << what;
}
// A file cut before its format shows is no picture at all; after, a damaged one.
ErrorKind CutKind(const Bytes& bytes) { return SniffFileType(bytes) == FileType::Unknown ? NotThisFormat : Damaged; }

void ExpectRefused(const Bytes& bytes, ErrorKind expected, const std::string& why) {
    auto r = DecodeSkinImage(bytes);
    EXPECT_EQ(r.Error(), expected) << why << ": " << r.Detail();
    // An unsupported depth is refused silently, with no message box.
    const bool silent = expected == Unsupported && format::Is(r.Why().format, format::kBmp);
    EXPECT_STREQ(UserMessage(FileKind::Skin, r.Why()), silent ? nullptr : msg::kNotSkin) << why;
}

Damage U16s(std::vector<std::pair<size_t, uint16_t>> at) {
    return [=](Bytes& b) { for (auto [o, v] : at) fixtures::PatchU16(b, o, v); };
}
Damage S32(size_t at, int32_t v) { return [=](Bytes& b) { fixtures::PatchS32(b, at, v); }; }
Bytes With(Bytes b, const Damage& damage) {
    if (damage) damage(b);
    return b;
}

// The formats with no writer here, made by hand: a TGA header, its map entries and pixel data after it; a
// JPEG frame of components with the given sampling factors and one scan of filler bytes.
Bytes Tga(uint8_t type, uint8_t depth, uint16_t w, uint16_t h, Bytes data = {}, uint16_t mapLength = 0) {
    Bytes b = {0, mapLength > 0, type, 0, 0, uint8_t(mapLength), uint8_t(mapLength >> 8), 24, 0, 0, 0, 0,
               uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), depth, 0};
    return b.insert(b.end(), data.begin(), data.end()), b;
}
Bytes Jpeg(uint8_t frameType, uint16_t w, uint16_t h, Bytes sampling, size_t scanBytes) {
    Bytes b = {0xFF, 0xD8, 0xFF, uint8_t(0xC0 + frameType), 0, uint8_t(8 + 3 * sampling.size()), 8, uint8_t(h >> 8),
               uint8_t(h), uint8_t(w >> 8), uint8_t(w), uint8_t(sampling.size())};
    for (size_t c = 0; c < sampling.size(); ++c) b.insert(b.end(), {uint8_t(c + 1), sampling[c], 0});
    b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
    b.insert(b.end(), scanBytes, 0x55);
    return b.insert(b.end(), {0xFF, 0xD9}), b;
}
Damage Be32(size_t at, uint32_t v) {
    return [=](Bytes& b) { for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i)); };
}

TEST(SkinDecode, LayoutsOfRealWritersGiveTheMeantPixels) {
    // Line padding is not pixels: the writer's even rounding, none, and a generous pad.
    for (int32_t width : {1, 2, 3, 219, 220})
        for (int32_t pad : {-1, 0, 3}) {
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
    const struct { const char* why; IndexedPicture p; PcxOptions o; Damage damage = {}; } cases[] = {
        {"runs cross line ends", few, {.bytesPerLine = 8, .runsCrossLines = true}},
        {"zero-count run eats its index and makes nothing", Pattern(6, 3), {.zeroCountRun = true}},
        {"run past the last pixel is cut", Pattern(6, 2), {.bytesPerLine = 6, .overrunLastRun = 20}},
        {"window at 100, 100: only its size counts", Pattern(256, 2), {.xmin = 100, .ymin = 100}},
        {"negative window origin", Pattern(256, 2), {.xmin = -300, .ymin = -300}},
        // A bytes-per-line field smaller than the width is not trusted: lines hold the width.
        {"bytes per line 4 for a width of 8", Pattern(8, 4), {.bytesPerLine = 8}, U16s({{66, 4}})}, };
    for (const auto& c : cases) ExpectPicture(With(WritePcx(c.p, c.o), c.damage), ToRgb(c.p), c.why);
    // BMP rows are padded, bottom up and BGR; the palette follows the header; indices past it are black.
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
    for (uint32_t header : {40u, 108u, 124u})
        for (int colours : {16, 256}) {
            IndexedPicture p = Pattern(6, 2, colours);
            p.indices[1] = 16;  // past a 16-colour palette: black, as ToRgb makes it
            p.indices[4] = 255;
            ExpectPicture(WriteBmp8(p, {.infoHeaderSize = header}), ToRgb(p),
                          "header " + std::to_string(header) + ", " + std::to_string(colours) + " colours");
        }
    // Run-length coded, with and without absolute runs.
    IndexedPicture p = Pattern(37, 9);
    for (int32_t x = 5; x < 30; ++x) p.indices[static_cast<size_t>(2 * 37 + x)] = 7;  // a long run
    for (bool absolute : {false, true})
        ExpectPicture(WriteBmp8(p, {.rle8 = true, .rleAbsoluteRuns = absolute}), ToRgb(p),
                      absolute ? "absolute runs" : "encoded runs only");
    // Every row ended at once: pixels the stream never sets take index 0.
    Bytes early = WriteBmp8(p, {.rle8 = true});
    early.resize(14 + 40 + 4 * 256);
    early.insert(early.end(), 2 * 9, 0);
    p.indices.assign(p.indices.size(), 0);
    ExpectPicture(early, ToRgb(p), "rows ended early");
    // Top-down rows; the masks of 16-bit pixels (5-6-5 here, an empty one reads 0) at 54, where 24-bit pixels were.
    ExpectPicture(WriteBmp8(Pattern(37, 9), {.topDown = true}), ToRgb(Pattern(37, 9)), "top-down");
    Bytes masked = WriteBmp24(RgbPattern(2, 1));
    masked.resize(66);
    for (const auto& d : {U16s({{28, 16}}), S32(30, 3), S32(10, 66), S32(54, 0xF800), S32(58, 0x07E0), S32(62, 0)}) d(masked);
    masked.insert(masked.end(), {0x9F, 0xFB, 0x00, 0x80});  // (31, 28, 31) and (16, 0, 0)
    ExpectPicture(masked, {2, 1, {255, 113, 0, 132, 0, 0}}, "5-6-5 masks, and none for blue");
    // A TGA index past its map is black; a packet past the last pixel is cut.
    ExpectPicture(Tga(9, 8, 3, 1, {30, 20, 10, 0x00, 1, 0x83, 0}, 1), {3, 1, {0, 0, 0, 10, 20, 30, 10, 20, 30}}, "TGA");
}


TEST(SkinRefusal, EachMalformedHeaderOrStreamIsRefused) {
    const struct { const char* why; PcxOptions o; Damage damage; ErrorKind expected; } pcx[] = {
        {"three planes", {.planes = 3}, {}, Unsupported}, {"one bit per pixel", {.bitsPerPixel = 1}, {}, Unsupported},
        {"version 3 is not ours", {.version = 3}, {}, NotThisFormat},
        {"header and palette do not fit", {}, [](Bytes& b) { b.resize(128 + 767); }, Damaged},
        {"xmax -1 below xmin 0", {}, U16s({{8, 0xFFFF}}), Damaged}, {"ymin 10 over ymax 3", {}, U16s({{6, 10}}), Damaged},
        {"16385 wide", {}, U16s({{8, 16384}, {66, 16386}}), TooLarge},
        {"full 16-bit window", {}, U16s({{4, 0x8000}, {8, 0x7FFF}}), TooLarge},
        // 8192 x 8192 pixels pass the limits, the data cannot fill them; one row more is too many pixels.
        {"8192 x 8192 from a few bytes", {}, U16s({{8, 8191}, {10, 8191}, {66, 8192}}), Damaged},
        {"8192 x 8193 pixels", {}, U16s({{8, 8191}, {10, 8192}, {66, 8192}}), TooLarge}, };
    for (const auto& c : pcx) ExpectRefused(With(WritePcx(Pattern(9, 4), c.o), c.damage), c.expected, c.why);
    const struct { const char* why; Damage damage; ErrorKind expected; } bmp[] = {
        {"1 bit", U16s({{28, 1}}), Unsupported}, {"4 bits", U16s({{28, 4}}), Unsupported},
        {"compression 2", S32(30, 2), Unsupported}, {"bit fields", S32(30, 3), Unsupported},
        {"zero width", S32(18, 0), Damaged}, {"negative width", S32(18, -8), Damaged},
        {"zero height", S32(22, 0), Damaged}, {"-2^31 rows", S32(22, INT32_MIN), TooLarge},
        {"16384 wide passes the limit, its rows are missing", S32(18, 16384), Damaged},
        {"wider than 16384", S32(18, 16385), TooLarge}, {"higher than 16384", S32(22, 16385), TooLarge},
        {"16384 x 4097 pixels, a side within the limit", [](Bytes& b) { S32(18, 16384)(b), S32(22, 4097)(b); },
         TooLarge}, {"257 colours", S32(46, 257), Damaged}, {"palette past the end", S32(14, 1 << 20), Damaged},
        {"core header", S32(14, 12), Unsupported}, {"pixels past the end", S32(10, 1 << 24), Damaged},
        {"pixel offset beyond 4 GiB wrap", S32(10, -1), Damaged},
        {"last row cut", [](Bytes& b) { b.resize(b.size() - 5); }, Damaged},
        {"wrong magic", [](Bytes& b) { b[1] = 'A'; }, NotThisFormat},
        {"24-bit run-length (8-bit only)", [](Bytes& b) { b = WriteBmp24(RgbPattern(4, 4)), b[30] = 1; }, Unsupported}, };
    for (const auto& c : bmp) ExpectRefused(With(WriteBmp8(Pattern(8, 4)), c.damage), c.expected, c.why);
    // Every cut of the pixel data, and every prefix of a run-length BMP (its last two bytes are only the end
    // marker), which takes in a header cut short and the one byte "B".
    const IndexedPicture p = Pattern(13, 7);
    const size_t dataBytes = WritePcx(p).size() - 128 - 769;  // less the marker byte and palette
    for (size_t drop = 2; drop <= dataBytes + 1; ++drop)  // the marker byte then stands in for data
        ExpectRefused(WritePcx(p, {.dropDataBytes = drop}), Damaged, "dropped " + std::to_string(drop));
    const Bytes bytes = WriteBmp8(Pattern(11, 5), {.rle8 = true});
    for (size_t n = 0; n + 2 < bytes.size(); ++n) {
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ExpectRefused(cut, CutKind(cut), std::to_string(n));
    }
}

TEST(SkinRefusal, PngJpegTgaAndBmpMasksRefuseWhatTheyCannotDecodeAndTheHeaderTellsFirst) {
    const auto patched = [](Bytes b, std::initializer_list<Damage> damages) { for (auto& d : damages) d(b); return b; };
    const Bytes png = EncodePng(5, 3, RgbPattern(5, 3).pixels, 3);
    const Bytes bmp16 = patched(WriteBmp24(RgbPattern(4, 4)), {U16s({{28, 16}, {30, 3}}), S32(54, 0xF800), S32(58, 0x7E0), S32(62, 0x1F)});
    // header: what the first kSkinHeaderBytes already show; the rest only the whole file can.
    const struct { const char* why; Bytes bytes; ErrorKind expected; const char* detail; bool header; } cases[] = {
        {"PNG 16385 wide", patched(png, {Be32(16, 16385)}), TooLarge, "16384 pixels a side", true},
        {"PNG 8192 x 8193", patched(png, {Be32(16, 8192), Be32(20, 8193)}), TooLarge, "more than", true},
        {"PNG 8192 x 8192 from a few bytes", patched(png, {Be32(16, 8192), Be32(20, 8192)}), Damaged, "too short", false},
        {"PNG palette of 16-bit samples", patched(png, {U16s({{24, 0x0310}})}), Damaged, "does not exist", true},
        {"PNG image data damaged", patched(png, {[](Bytes& b) { b[b.size() - 20] ^= 1; }}), Damaged, "PNG: ", false},
        {"JPEG CMYK", Jpeg(0, 8, 8, {0x11, 0x11, 0x11, 0x11}, 8), Unsupported, "CMYK JPEG is not supported", true},
        {"JPEG arithmetic coding", Jpeg(9, 8, 8, {0x11}, 8), Unsupported, "SOF9", true},
        {"JPEG two components", Jpeg(0, 8, 8, {0x11, 0x11}, 8), Unsupported, "2 colour components", true},
        {"JPEG sampling factor 0", Jpeg(0, 8, 8, {0x10}, 8), Damaged, "sampling factors", true},
        {"JPEG 16385 wide", Jpeg(2, 16385, 8, {0x11}, 8), TooLarge, "16384 pixels a side", true},
        {"JPEG 8192 x 8192 from a few bytes", Jpeg(2, 8192, 8192, {0x11}, 1000), Damaged, "too short", false},
        {"JPEG without tables (libjpeg's error)", Jpeg(0, 8, 8, {0x11}, 8), Damaged, "JPEG: ", false},
        {"JPEG with no frame", {0xFF, 0xD8, 0xFF, 0xD9}, Damaged, "no frame header", false},
        {"TGA 16-bit indices", Tga(1, 16, 4, 4, Bytes(64), 2), Unsupported, "16-bit indices", true},
        {"TGA 16385 wide", Tga(2, 24, 16385, 1), TooLarge, "16384 pixels a side", true},
        {"TGA 8192 x 8192 run-length", Tga(10, 24, 8192, 8192, Bytes(4096, 0xFF)), Damaged, "too short", false},
        {"TGA 8192 x 8192 from a few bytes", Tga(2, 24, 8192, 8192, Bytes(4096)), Damaged, "too short", false},
        {"TGA colour map past the end", Tga(1, 8, 4, 4, Bytes(40), 200), Damaged, "colour map of 200", false},
        {"TGA raw packet past the data", Tga(10, 24, 4, 1, {0x03, 1, 2, 3, 4, 5, 6, 7}), Damaged, "inside a packet", false},
        {"TGA runs end early", Tga(10, 24, 200, 1, {0xFF, 1, 2, 3, 0x8A, 1, 2, 3}), Damaged, "ends before", false},
        {"BMP top-down run-length", WriteBmp8(Pattern(8, 4), {.topDown = true, .rle8 = true}), Unsupported, "top-down", true},
        {"BMP 24-bit with masks", patched(WriteBmp24(RgbPattern(4, 4)), {S32(30, 3)}), Unsupported, "compression 3", true},
        {"BMP mask past 16 bits", patched(bmp16, {S32(54, 0x1F800)}), Damaged, "0x1F800 has bits beyond", true},
        {"BMP mask in two runs", patched(bmp16, {S32(58, 0x0F0F)}), Damaged, "0xF0F is not one run", true},
        {"BMP masks past the end", Bytes(bmp16.begin(), bmp16.begin() + 60), Damaged, "masks lie outside", true}, };
    for (const auto& c : cases) {
        ExpectRefused(c.bytes, c.expected, c.why);
        const std::string detail = DecodeSkinImage(c.bytes).Detail();
        EXPECT_NE(detail.find(c.detail), std::string::npos) << c.why << ": " << detail;
        const Status head = CheckSkinHeader(std::span(c.bytes).first(std::min(c.bytes.size(), kSkinHeaderBytes)));
        EXPECT_EQ(head ? std::optional<ErrorKind>() : head.Error(), c.header ? std::optional(c.expected) : std::nullopt) << c.why;
    }
    // Every cut of a PNG is refused up to the end marker, which holds no pixels and is not read.
    for (size_t n = 0; n + 12 < png.size(); ++n) {
        const Bytes cut(png.begin(), png.begin() + std::ptrdiff_t(n));
        ExpectRefused(cut, CutKind(cut), "PNG cut at " + std::to_string(n));
    }
    ExpectPicture(Bytes(png.begin(), png.end() - 12), RgbPattern(5, 3), "PNG without its end marker");
}

TEST(SkinSniff, EachFormatIsToldByItsContentAndTgaClaimsNoOtherFormatsFile) {
    const std::string text = "A plain text, long enough for a header";
    const std::pair<Bytes, FileType> cases[] = {
        {fixtures::WriteMd2(testing::SmallQuad()), FileType::Md2}, {fixtures::WriteLgt({}), FileType::Light},
        {WritePcx(Pattern(3, 2)), FileType::Pcx}, {WriteBmp24(RgbPattern(3, 2)), FileType::Bmp},
        {EncodePng(3, 2, RgbPattern(3, 2).pixels, 3), FileType::Png}, {Jpeg(0, 8, 8, {0x11}, 8), FileType::Jpeg},
        {Tga(2, 24, 1, 1, {1, 2, 3}), FileType::Tga}, {Tga(11, 16, 1, 1), FileType::Tga},
        {Tga(9, 8, 1, 1, {}, 1), FileType::Tga},
        {Bytes(18, 0), FileType::Unknown}, {Bytes(text.begin(), text.end()), FileType::Unknown},
        {Tga(4, 24, 1, 1), FileType::Unknown}, {Tga(2, 12, 1, 1), FileType::Unknown}, {Tga(2, 24, 0, 1), FileType::Unknown},
        {Tga(1, 8, 1, 1), FileType::Unknown}, {Tga(3, 24, 1, 1), FileType::Unknown},
        {[] { Bytes b = Tga(2, 24, 1, 1); return b.pop_back(), b; }(), FileType::Unknown}, };
    for (const auto& [bytes, type] : cases) EXPECT_EQ(SniffFileType(bytes), type) << int(type) << ", " << bytes.size() << " bytes";
}

TEST(SkinFile, FormatComesFromTheContentNotTheNameAndTheNamedSkinIsFound) {
    testing::TempDir dir;
    const IndexedPicture p = Pattern(5, 5);
    for (const auto& path : {dir.Write("skin.bmp", WritePcx(p)), dir.Write("skin.pcx", WriteBmp8(p))}) {
        auto r = ReadSkinImage(path.string());
        ASSERT_TRUE(r) << path << ": " << r.Detail();
        EXPECT_EQ(r.Value()->pixels, ToRgb(p).pixels);
        EXPECT_EQ(r.Value()->fileName, path.filename().string());
    }
}

// Skins named by a model are found as the engines find them: folders and files in any letter case, the name's own
// extension and then the others in order, above the model or beside it; a file that is there but cannot be read
// is noted and the next one tried.
TEST(SkinSearch, NamesFindTheirPictureInAnyCaseAndExtensionAboveOrBesideTheModel) {
    testing::TempDir dir;
    const Bytes pcx = WritePcx(Pattern(5, 5)), bmp = WriteBmp8(Pattern(4, 4)), junk = {'j', 'u', 'n', 'k'};
    const std::pair<const char*, const Bytes*> files[] = {
        {"baseq2/models/m/WEAPON.PCX", &pcx}, {"baseq2/models/m/skin.pcx", &pcx}, {"baseq2/models/m/other.BMP", &bmp},
        {"baseq2/models/m/red.png", &bmp},    {"baseq2/models/m/red.bmp", &pcx},  {"baseq2/models/m/green.PCX", &junk},
        {"baseq2/models/m/green.bmp", &bmp},  {"baseq2/models/m/junk.pcx", &junk}, {"baseq2/models/m/dup.pcx", &pcx},
        {"baseq2/models/m/DUP.pcx", &bmp},    {"baseq2/Pics/ColorMap.pcx", &pcx}, {"baseq2/models/n/cross.pcx", &pcx},
        {"baseq2/models/m/notes.txt", &pcx},  {"secret.pcx", &pcx}, };
    for (const auto& [name, bytes] : files) dir.Write(name, *bytes);
    const std::string model = (dir.Path() / "baseq2/models/m/tris.md2").string();
    struct Case { std::vector<std::string> names; const char* found; size_t notes = 0; };
    const Case cases[] = {
        {{"weapon.pcx"}, "models/m/WEAPON.PCX", 1},         // another letter case beside the model, said: not at its game path
        {{"Models\\M\\Skin.pcx"}, "models/m/skin.pcx"},      // every folder too, backslashes as separators
        {{"models/n/cross.pcx"}, "models/n/cross.pcx"},     // the game's folder: the one holding the name's first folder
        {{"pics/colormap.pcx"}, "Pics/ColorMap.pcx"},       // the game folder is above the model's models/ folder
        {{"C:\\quake2\\baseq2\\models\\m\\skin.pcx"}, "models/m/skin.pcx", 1},  // the author's path: its file name, noted
        {{"/elsewhere/other.bmp"}, "models/m/other.BMP", 1},
        {{"../../../secret.pcx"}, nullptr, 1}, {{"models/../../secret.pcx"}, nullptr, 1},  // never out of the game
        {{(dir.Path() / "secret.pcx").string()}, nullptr, 1}, {{"notes.txt"}, nullptr},     // only pictures are opened
        {{"red.pcx"}, "models/m/red.png", 1},               // .png before .bmp, and the content decides the format
        {{"green.pcx"}, "models/m/green.bmp", 2},           // green.PCX is no picture: noted, and the next one read
        {{"dup.pcx"}, "models/m/dup.pcx", 1},               // the exact spelling first
        {{"Dup.pcx"}, "models/m/DUP.pcx", 1},               // else the first in name order
        {{"missing.pcx", "junk.pcx", "weapon"}, "models/m/WEAPON.PCX", 2},  // each name in turn; no extension
        {{"junk.pcx"}, nullptr, 1}, {{"models"}, nullptr}, {{""}, nullptr}, {{}, nullptr}, };
    for (const Case& c : cases) {
        const std::string why = c.names.empty() ? "(none)" : c.names.front();
        const FoundSkin found = FindSkin(model, c.names);
        EXPECT_EQ(found.notes.size(), c.notes) << why;
        if (!c.found) {
            EXPECT_TRUE(found.path.empty() && !found.picture) << why << ": " << found.path;
            continue;
        }
        ASSERT_TRUE(found.picture) << why;
        EXPECT_EQ(fs::path(found.path), dir.Path() / "baseq2" / c.found) << why;
        EXPECT_EQ(found.picture->path, found.path) << why;
    }
    // Only so many names are tried, so half a million cost no more.
    std::vector<std::string> many(kMaxSkinNamesSearched, "missing.pcx");
    many.push_back("skin.pcx");
    EXPECT_EQ(std::pair(FindSkin(model, many).picture, FindSkin(model, many).notes.size()), std::pair(std::shared_ptr<const SkinImage>(), size_t{1}));
    // Every file a name may mean, each once: the same file reached from two places counts once.
    EXPECT_EQ(SkinSearch(model).Candidates("models/m/red.tga").size(), 2u);
}

// A model's skins never come from outside its game folder (or its own folder, when it lies in no game): not by a
// name's folders, not through a link beside it.
TEST(SkinSearch, PicturesOutsideTheGameFolderAreNeverRead) {
    testing::TempDir dir;
    const Bytes pcx = WritePcx(Pattern(2, 2));
    dir.Write("sk/secret/a/b/private.pcx", pcx);
    dir.Write("elsewhere/private.pcx", pcx);
    dir.Write("elsewhere/folder/x.pcx", pcx);
    dir.Write("sk/game/models/m/inside.pcx", pcx);
    dir.Write("Downloads/readme.txt", {'r'});
    fs::create_symlink(dir.Path() / "elsewhere/private.pcx", dir.Path() / "sk/game/models/m/skin.pcx");
    fs::create_symlink(dir.Path() / "elsewhere/folder", dir.Path() / "sk/game/models/m/linked");
    fs::create_symlink(dir.Path() / "sk/game/models/m/inside.pcx", dir.Path() / "sk/game/models/m/alias.pcx");
    fs::create_symlink(dir.Path() / "elsewhere/private.pcx", dir.Path() / "Downloads/y.pcx");
    const std::string model = (dir.Path() / "sk/game/models/m/tris.md2").string();
    const std::string download = (dir.Path() / "Downloads/m.md2").string();
    const struct { std::string model, name; const char* found; size_t notes; } cases[] = {
        {model, "sk/secret/a/b/private.pcx", nullptr, 0},  // the name's first folder is no way up
        {model, "models/m/skin.pcx", nullptr, 1},           // a link out of the game folder: passed over, said
        {model, "models/m/linked/x.pcx", nullptr, 1},       // a linked folder likewise
        {model, "models/m/alias.pcx", "sk/game/models/m/alias.pcx", 0},  // a link that stays inside is fine
        {download, "USER/Pictures/x/y.pcx", nullptr, 1},    // no game: only beside, and not through a link out
    };
    for (const auto& c : cases) {
        const FoundSkin found = FindSkin(c.model, c.name);
        EXPECT_EQ(found.notes.size(), c.notes) << c.name << ": " << (found.notes.empty() ? "" : found.notes[0]);
        EXPECT_EQ(found.path, c.found ? (dir.Path() / c.found).string() : std::string()) << c.name;
    }
}

// A binary PPM: its header, one whitespace byte, then the pixels.
RgbPicture ReadPpm(const fs::path& path) {
    const Bytes bytes = testing::ReadAll(path);
    std::istringstream in(std::string(bytes.begin(), bytes.begin() + std::min<std::ptrdiff_t>(bytes.size(), 64)));
    int maxValue = 0;
    RgbPicture p;
    in.ignore(2) >> p.width >> p.height >> maxValue;  // past "P6"
    p.pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(in.tellg()) + 1, bytes.end());
    return p;
}

TEST(SkinCorpus, PicturesWrittenByOtherToolsGiveThePixelsTheyMeant) {
    MESHARA_REQUIRE_CORPUS();
    const fs::path dir = testing::CorpusDir();
    const auto read = [](const fs::path& p) { return ReadSkinImage(p.string()); };
    // Odd widths, so each format's row padding counts.
    const RgbPicture odd = ReadPpm(dir / "skins/faerie-219x101.ppm");
    ASSERT_EQ((std::array<size_t, 3>{size_t(odd.width), size_t(odd.height), odd.pixels.size()}),
              (std::array<size_t, 3>{219, 101, 219 * 101 * 3}));
    for (const char* name : {"faerie-219x101.pcx", "faerie-219x101-24bit.bmp", "faerie-219x101-8bit-rle.bmp"}) {
        auto r = read(dir / "skins" / name);
        ASSERT_TRUE(r) << name << ": " << r.Detail();
        EXPECT_TRUE(Same(*r.Value(), odd)) << name;
    }
    // The PCX was made from the BMP.
    auto pcx = read(dir / "skins/sydney.pcx"), bmp = read(dir / "md2/sydney.bmp");
    ASSERT_TRUE(pcx && bmp) << pcx.Detail() << bmp.Detail();
    EXPECT_TRUE(Same(*pcx.Value(), {308, 193, bmp.Value()->pixels}));
    int seen = 0;
    for (const char* sub : {"md2", "skins"})
        for (const auto& entry : fs::directory_iterator(dir / sub)) {
            if (entry.path().extension() != ".bmp") continue;
            auto r = read(entry.path());
            ASSERT_TRUE(r) << entry.path() << ": " << r.Detail();
            EXPECT_EQ(r.Value()->pixels.size(), size_t(r.Value()->width) * r.Value()->height * 3);
            ++seen;
        }
    EXPECT_GE(seen, 6) << "every BMP of the corpus";
}

TEST(SkinScale, PowerOfTwoFollowsTheTopTwoBitsAndResamplingKeepsColoursRowsAndEdges) {
    const std::pair<int32_t, int32_t> cases[] = {{1, 1}, {2, 2}, {3, 4}, {5, 4}, {6, 8}, {101, 128}, {150, 128},
        {193, 256}, {200, 256}, {219, 256}, {250, 256}, {256, 256}, {308, 256}, {16384, 16384}};
    for (auto [in, out] : cases) EXPECT_EQ(NearestPowerOfTwo(in), out) << in;
    // One colour stays exactly that colour at every size.
    const auto filled = [](int32_t w, int32_t h) { return ToRgb({w, h, Bytes(size_t(w * h), 0), {{12, 200, 77}}}).pixels; };
    for (auto [w, h, nw, nh] : {std::array{250, 16, 256, 16}, {219, 101, 256, 128}, {300, 200, 256, 256},
                                {1, 1, 4, 4}, {7, 3, 8, 4}})
        EXPECT_EQ(ScaleRgb(filled(w, h), w, h, nw, nh), filled(nw, nh)) << w << "x" << h << " -> " << nw << "x" << nh;
    // The fault this guards against: the last row of 250 x 16 coming out black.
    Bytes stripes;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 250; ++x) stripes.insert(stripes.end(), {uint8_t((x / 10) % 2 ? 255 : 0), uint8_t(x), 9});
    const auto out = ScaleRgb(stripes, 250, 16, 256, 16);
    const size_t row = 256 * 3;
    for (int y = 1; y < 16; ++y)
        ASSERT_TRUE(std::equal(out.begin(), out.begin() + row, out.begin() + y * row)) << "row " << y;
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[(255 * 3) + 1], 249) << "the right edge keeps the last column";
    const Bytes in = {0, 0, 0, 100, 100, 100, 200, 200, 200, 255, 255, 255};
    EXPECT_EQ(ScaleRgb(in, 4, 1, 2, 1), (Bytes{50, 50, 50, 228, 228, 228}));
    EXPECT_EQ(ScaleRgb(in, 4, 1, 4, 1), in);
}

// Animated pictures refuse sizes and pictures they cannot hold and an empty
// animation, whole and cleanly; a picture of one colour still makes a GIF.
TEST(AnimatedWriter, BadSizesPicturesAndEmptyAnimationsAreRefusedAndOneColourIsAPicture) {
    for (AnimatedFormat format : {AnimatedFormat::Gif, AnimatedFormat::Webp}) {
        for (auto [w, h] : {std::pair{0, 4}, {4, -1}, {kMaxAnimatedSide + 1, 4}})
            EXPECT_FALSE(AnimatedWriter::Start(format, w, h)) << w << "x" << h;
        auto writer = AnimatedWriter::Start(format, 3, 2);
        ASSERT_TRUE(writer);
        EXPECT_EQ(writer.Value()->Finish().Detail(), "an animation needs at least one picture");
        writer = AnimatedWriter::Start(format, 3, 2);
        EXPECT_EQ(writer.Value()->Add(Bytes(3 * 2 * 3 - 1), 100).Detail(), "a picture of another size than the first");
        ASSERT_TRUE(writer.Value()->Add(Bytes(3 * 2 * 3, 200), 100));
        auto bytes = writer.Value()->Finish();
        ASSERT_TRUE(bytes);
        const std::string magic = format == AnimatedFormat::Gif ? "GIF89a" : "RIFF";
        EXPECT_EQ(std::string(bytes.Value().begin(), bytes.Value().begin() + magic.size()), magic);
        EXPECT_FALSE(writer.Value()->Finish()) << "once";
    }
    EXPECT_EQ((std::vector{AnimatedFormatOf("a.GIF"), AnimatedFormatOf("b.webp"), AnimatedFormatOf("gif"),
                           AnimatedFormatOf("c.gif/d"), AnimatedFormatOf("e.png")}),
              (std::vector<std::optional<AnimatedFormat>>{AnimatedFormat::Gif, AnimatedFormat::Webp, std::nullopt,
                                                          std::nullopt, std::nullopt}));
}

// A turntable turns once in even steps; playing an animation, it loops it when the turn outlasts it.
TEST(AnimatedPicture, TurntablesTurnOnceAndLoopTheirAnimation) {
    const Md2Animation run{"run", 2, 4};
    std::vector<std::tuple<int32_t, double, double>> got;
    for (const Shot& s : TurntableShots(9, &run, 5, 4)) got.emplace_back(s.frame, s.turnDegrees, s.delayMs);
    EXPECT_EQ(got, (std::vector<std::tuple<int32_t, double, double>>{
                       {2, 0, 250}, {3, 72, 250}, {4, 144, 250}, {2, 216, 250}, {3, 288, 250}}));
    for (const Shot& s : TurntableShots(9, nullptr, 3, 10)) EXPECT_EQ(s.frame, 9);
}

}  // namespace
}  // namespace meshara
