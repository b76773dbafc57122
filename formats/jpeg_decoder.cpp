// JPEG pictures through libjpeg-turbo: baseline, extended and progressive
// Huffman coding, greyscale or colour, any chroma subsampling, to RGB.
//
// libjpeg stops at errors by calling exit() unless told otherwise; here an
// error jumps back to the one frame that set the jump, which holds nothing
// with a destructor, and libjpeg's memory goes with its structure.

#include <cstdio>  // jpeglib.h needs size_t and FILE first
#include "formats/format_names.h"

#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "formats/picture_decoders.h"
#include "io/byte_reader.h"

namespace meshara::pictures {

namespace {

// Real files have about ten scans; each scan of a progressive file visits
// every block again, so a few bytes a scan must not buy unbounded work.
constexpr int kMostScans = 100;

struct JpegFrame {
    bool found = false;
    uint8_t type = 0;  // n of the SOFn marker
    uint16_t width = 0, height = 0;
    int components = 0;
    std::array<uint8_t, 4> h{}, v{};  // sampling factors of the first four components
};

struct JpegLayout {
    JpegFrame frame;
    uint64_t scanBytes = 0;  // entropy-coded bytes of every scan
};

// The next 0xFF from p on, or end. memchr: the scans are most of a file.
const uint8_t* NextFF(const uint8_t* p, const uint8_t* end) {
    const void* found = std::memchr(p, 0xFF, static_cast<size_t>(end - p));
    return found ? static_cast<const uint8_t*>(found) : end;
}

bool IsFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// Walks the segments as libjpeg reads them: stray bytes between segments
// skipped, fill bytes before a marker skipped, each scan's data running to
// the next marker that is neither a stuffed zero nor a restart.
JpegLayout WalkSegments(std::span<const uint8_t> bytes) {
    JpegLayout layout;
    const uint8_t* const end = bytes.data() + bytes.size();
    const uint8_t* p = bytes.data() + 2;  // past the start of image
    while (p < end) {
        p = NextFF(p, end);
        while (p < end && *p == 0xFF) ++p;
        if (p == end) break;
        const uint8_t marker = *p++;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no segment follows
        if (marker == 0xD9 || end - p < 2) break;  // end of image
        const size_t length = size_t{p[0]} << 8 | p[1];
        // A segment cut off where the bytes end says nothing yet: the rest
        // of the file may hold it whole.
        if (length < 2 || static_cast<size_t>(end - p) < length) break;
        ByteReader segment(std::span<const uint8_t>(p + 2, length - 2));
        if (IsFrameMarker(marker) && !layout.frame.found) {
            JpegFrame& f = layout.frame;
            f.found = true;
            f.type = marker - 0xC0;
            segment.Skip(1);  // sample precision, libjpeg's to judge
            f.height = segment.U16Be();
            f.width = segment.U16Be();
            f.components = segment.U8();
            for (int c = 0; c < f.components && c < 4; ++c) {
                segment.Skip(1);
                const uint8_t factors = segment.U8();
                f.h[c] = factors >> 4;
                f.v[c] = factors & 15;
                segment.Skip(1);
            }
        }
        if (static_cast<size_t>(end - p) <= length) break;
        p += length;
        if (marker != 0xDA) continue;
        const uint8_t* data = p;
        while (p < end) {
            p = NextFF(p, end);
            if (end - p < 2 || (p[1] != 0x00 && (p[1] < 0xD0 || p[1] > 0xD7))) break;
            p += 2;
        }
        layout.scanBytes += static_cast<uint64_t>(p - data);
    }
    return layout;
}

// What the frame header says, checked before anything is allocated.
Status CheckFrame(const JpegFrame& f) {
    if (f.type != 0 && f.type != 1 && f.type != 2)
        return Unsupported(format::kJpeg, "JPEG frame type SOF" + std::to_string(f.type) +
                       " is not supported; only Huffman-coded baseline, extended and progressive JPEGs are read");
    if (f.components == 4) return Unsupported(format::kJpeg, "CMYK JPEG is not supported");
    if (f.components != 1 && f.components != 3)
        return Unsupported(format::kJpeg, "JPEG with " + std::to_string(f.components) + " colour components is not supported");
    for (int c = 0; c < f.components; ++c)
        if (f.h[c] < 1 || f.h[c] > 4 || f.v[c] < 1 || f.v[c] > 4)
            return Broken(format::kJpeg, "JPEG component " + std::to_string(c + 1) + " has sampling factors outside 1 to 4");
    return SizeProblem(format::kJpeg, f.width, f.height);
}

// 8 x 8 blocks of every component; each is coded in at least one bit of
// some scan.
uint64_t BlockCount(const JpegFrame& f) {
    const uint32_t hMax = *std::max_element(f.h.begin(), f.h.begin() + f.components);
    const uint32_t vMax = *std::max_element(f.v.begin(), f.v.begin() + f.components);
    uint64_t blocks = 0;
    for (int c = 0; c < f.components; ++c) {
        const uint64_t w = (uint64_t{f.width} * f.h[c] + hMax - 1) / hMax, h = (uint64_t{f.height} * f.v[c] + vMax - 1) / vMax;
        blocks += (w + 7) / 8 * ((h + 7) / 8);
    }
    return blocks;
}

struct JpegContext {
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
};

JpegContext& ContextOf(j_common_ptr cinfo) { return *static_cast<JpegContext*>(cinfo->client_data); }

[[noreturn]] void Stop(j_common_ptr cinfo) {
    (*cinfo->err->format_message)(cinfo, ContextOf(cinfo).message);
    std::longjmp(ContextOf(cinfo).jump, 1);
}

// Warnings are not printed. Data that ends early is an error: libjpeg would
// fill the rest of the picture with grey, and the work of a large picture
// would then come from a few bytes.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER)) Stop(cinfo);
}
void NoOutput(j_common_ptr) {}

void CountScans(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= kMostScans) return;
    std::snprintf(ContextOf(cinfo).message, JMSG_LENGTH_MAX, "more than %d scans", kMostScans);
    std::longjmp(ContextOf(cinfo).jump, 1);
}

// Decodes into rows, made for the frame's size. Nothing with a destructor
// lives in this frame, so the longjmp of an error skips nothing. Returns
// false with context.message set on an error.
bool ReadRows(JpegContext& context, std::span<const uint8_t> bytes, const JpegFrame& frame, JSAMPROW* rows) {
    jpeg_decompress_struct cinfo{};
    cinfo.err = jpeg_std_error(&context.errors);
    context.errors.error_exit = Stop;
    context.errors.emit_message = OnMessage;
    context.errors.output_message = NoOutput;
    context.progress.progress_monitor = CountScans;
    cinfo.client_data = &context;
    if (setjmp(context.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &context.progress;
    jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    // The frame checked and the rows made are the frame the walk found; were
    // libjpeg to read another, it must not allocate for that one.
    bool fits = cinfo.image_width == frame.width && cinfo.image_height == frame.height &&
                cinfo.num_components == frame.components;
    if (fits) {
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        fits = cinfo.output_width == frame.width && cinfo.output_height == frame.height && cinfo.output_components == 3;
    }
    if (!fits) std::strcpy(context.message, "the frame libjpeg read is not the first frame header");
    while (fits && cinfo.output_scanline < cinfo.output_height)
        jpeg_read_scanlines(&cinfo, rows + cinfo.output_scanline, cinfo.output_height - cinfo.output_scanline);
    // Not jpeg_finish_decompress: what follows the last scan holds no pixels,
    // and a file cut just before its end marker still has all of them.
    jpeg_destroy_decompress(&cinfo);
    return fits;
}

}  // namespace

Status CheckJpegHeader(std::span<const uint8_t> head, int64_t maxPixels) {
    const JpegLayout layout = WalkSegments(head);
    // The frame header may lie past the first bytes; then the decoder checks it.
    if (!layout.frame.found) return {};
    if (Status frame = CheckFrame(layout.frame); !frame) return frame;
    return SizeProblem(format::kJpeg, layout.frame.width, layout.frame.height, maxPixels);
}

Result<SkinImage> DecodeJpeg(std::span<const uint8_t> bytes) {
    const JpegLayout layout = WalkSegments(bytes);
    const JpegFrame& frame = layout.frame;
    if (!frame.found) return Broken(format::kJpeg, "JPEG file has no frame header");
    if (Status header = CheckFrame(frame); !header) return header.Why();
    // Checked before the picture is allocated: every block costs a bit at least.
    if (layout.scanBytes * 8 < BlockCount(frame)) return Broken(format::kJpeg, "JPEG scan data is too short for the picture");

    SkinImage image = MakePicture(frame.width, frame.height);
    std::vector<JSAMPROW> rows(frame.height);
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = image.pixels.data() + y * frame.width * 3;
    JpegContext context;
    if (!ReadRows(context, bytes, frame, rows.data())) return Broken(format::kJpeg, std::string("JPEG: ") + context.message);
    return image;
}

}  // namespace meshara::pictures
