#include "tests/cli_support.h"

#include <png.h>
#include <sys/wait.h>

#include <cstdio>

#include "tests/test_support.h"

namespace meshara::testing {

CliRun RunCli(const std::string& args) {
    TempDir dir;
    const std::filesystem::path errPath = dir.Path() / "stderr";
    CliRun r;
    FILE* p = popen((std::string(MESHARA_CLI) + " " + args + " 2>" + errPath.string()).c_str(), "r");
    if (!p) return r;
    for (int c; (c = std::fgetc(p)) != EOF;) r.out += static_cast<char>(c);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    for (uint8_t c : ReadAll(errPath)) r.err += static_cast<char>(c);
    return r;
}

std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

RgbaPicture DecodePng(const std::vector<uint8_t>& bytes) {
    RgbaPicture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (bytes.empty() || !png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return picture;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels = std::move(pixels);
    return picture;
}

RgbaPicture ReadPng(const std::filesystem::path& path) { return DecodePng(ReadAll(path)); }

}  // namespace meshara::testing
