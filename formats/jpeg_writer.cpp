// libjpeg stops at errors by calling exit() unless told otherwise; here an
// error jumps back to the frame that set the jump, which holds nothing with
// a destructor, and the encoder's memory (its output buffer included) goes
// with its structure.

#include <cstdio>  // jpeglib.h needs size_t and FILE first
#include "formats/jpeg_writer.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>

namespace meshara {

namespace {

struct JpegErrors {
    jpeg_error_mgr errors{};
    std::jmp_buf jump{};
};

[[noreturn]] void Stop(j_common_ptr cinfo) { std::longjmp(static_cast<JpegErrors*>(cinfo->client_data)->jump, 1); }
void NoOutput(j_common_ptr) {}

// Compresses into a buffer libjpeg allocates; false on an error. Nothing
// with a destructor lives in this frame.
bool Compress(JpegErrors& context, int width, int height, const uint8_t* rgb, int quality, unsigned char*& buffer,
              unsigned long& size) {
    jpeg_compress_struct cinfo{};
    cinfo.err = jpeg_std_error(&context.errors);
    context.errors.error_exit = Stop;
    context.errors.output_message = NoOutput;
    cinfo.client_data = &context;
    if (setjmp(context.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(cinfo.next_scanline) * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgb, int quality) {
    if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION || quality < 1 ||
        quality > 100 || rgb.size() != static_cast<size_t>(width) * height * 3)
        return {};
    JpegErrors context;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool done = Compress(context, width, height, rgb.data(), quality, buffer, size);
    std::vector<uint8_t> encoded;
    if (done && buffer) encoded.assign(buffer, buffer + size);
    std::free(buffer);
    return encoded;
}

}  // namespace meshara
