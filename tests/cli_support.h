#pragma once
// Running meshara-cli from tests, and reading back the PNGs it writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace meshara::testing {

struct CliRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs "meshara-cli ARGS" through the shell; args must be quoted as the shell wants.
CliRun RunCli(const std::string& args);

// The path in single quotes, for RunCli.
std::string Quote(const std::filesystem::path& p);

struct RgbaPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // RGBA, top row first; empty when the file is no PNG
    const uint8_t* At(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Any PNG file or PNG bytes as RGBA (an RGB picture gets alpha 255).
RgbaPicture ReadPng(const std::filesystem::path& path);
RgbaPicture DecodePng(const std::vector<uint8_t>& bytes);

}  // namespace meshara::testing
