#pragma once
// Builds PCX, BMP and TGA pictures from plain pixels, with knobs for the
// layouts real writers produce (line padding, information header sizes,
// short palettes, bottom-up or top-down rows, run-length coding).

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace meshara::fixtures {

using Rgb = std::array<uint8_t, 3>;

struct IndexedPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> indices;  // width * height, top row first
    std::vector<Rgb> palette;      // up to 256 colours
};

struct RgbPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width * height * 3, R G B, top row first
};

// The picture an indexed picture stands for (indices beyond the palette are black).
RgbPicture ToRgb(const IndexedPicture& picture);

struct PcxOptions {
    int32_t bytesPerLine = -1;  // -1: the width rounded up to an even number, as most writers do
    uint8_t version = 5;
    uint8_t planes = 1;
    uint8_t bitsPerPixel = 8;
    int16_t xmin = 0;
    int16_t ymin = 0;
    int maxRun = 63;             // longest run written as one count byte (1..63)
    bool runsCrossLines = false; // let runs continue from one line into the next
    bool zeroCountRun = false;   // put a run of count 0 (0xC0 + index) before the data
    bool alwaysRun = false;      // write single indices as runs of 1 (0xC1 + index)
    int overrunLastRun = 0;      // lengthen the last run by this much, past the picture's end
    size_t dropDataBytes = 0;    // leave out the last bytes of the run-length data
    bool writePaletteMarker = true;
};
std::vector<uint8_t> WritePcx(const IndexedPicture& picture, const PcxOptions& options = {});

struct BmpOptions {
    uint32_t infoHeaderSize = 40;  // 40, 108 or 124 are what writers use
    bool topDown = false;          // negative height, rows stored top first
    int32_t coloursUsed = -1;      // -1: the palette size (written as 0 when it is 256)
    bool rle8 = false;             // compression 1 (8-bit only)
    bool rleAbsoluteRuns = true;   // use absolute mode for stretches without repeats
    uint32_t compression = 0xffffffff;  // override the compression field when not all ones
};
std::vector<uint8_t> WriteBmp8(const IndexedPicture& picture, const BmpOptions& options = {});
std::vector<uint8_t> WriteBmp24(const RgbPicture& picture, const BmpOptions& options = {});

struct TgaOptions {
    bool colourMapped = false;  // 8-bit indices into a 24-bit map, or 24-bit BGR pixels
    bool runLength = false;     // packets over the whole picture, running on across row ends
};
std::vector<uint8_t> WriteTga(const IndexedPicture& picture, const TgaOptions& options = {});

// The picture as an 8-bit RGB PNG, and as a baseline JPEG of that quality
// (lossy: decoders give it back within a few levels).
std::vector<uint8_t> WritePng(const RgbPicture& picture);
std::vector<uint8_t> WriteJpeg(const RgbPicture& picture, int quality = 95);

// A binary PPM (P6) of the picture.
std::vector<uint8_t> WritePpm(const RgbPicture& picture);

}  // namespace meshara::fixtures
