// Writes the sample that ships with Meshara: an animated torus-knot tube
// with a striped skin (as PCX and as 8-bit BMP) and a warm light file.
//
//   make-sample OUTDIR

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "io/file_bytes.h"
#include "tools/writers/lgt_writer.h"
#include "tools/writers/md2_writer.h"
#include "tools/writers/picture_writers.h"

namespace {

using namespace meshara::fixtures;

constexpr int kAlong = 64;   // segments along the knot
constexpr int kAround = 6;   // segments around the tube
constexpr int kFrames = 12;
constexpr int kSkinSize = 128;
constexpr double kPi = 3.14159265358979323846;

std::array<double, 3> KnotPoint(double u) {
    // A (2, 3) torus knot, z up.
    const double r = 2.0 + std::cos(3 * u);
    return {r * std::cos(2 * u) * 7, r * std::sin(2 * u) * 7, -std::sin(3 * u) * 7};
}

std::vector<std::array<float, 3>> KnotFrame(int frame) {
    const double phase = 2 * kPi * frame / kFrames;
    std::vector<std::array<float, 3>> out;
    for (int i = 0; i < kAlong; ++i) {
        const double u = 2 * kPi * i / kAlong;
        const auto c = KnotPoint(u);
        const auto ahead = KnotPoint(u + 1e-3);
        double t[3] = {ahead[0] - c[0], ahead[1] - c[1], ahead[2] - c[2]};
        double tl = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        for (double& v : t) v /= tl;
        // A frame around the tangent: n from the z axis, b = t x n.
        double n[3] = {-t[2] * t[0], -t[2] * t[1], 1 - t[2] * t[2]};
        double nl = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (double& v : n) v /= nl;
        const double b[3] = {t[1] * n[2] - t[2] * n[1], t[2] * n[0] - t[0] * n[2], t[0] * n[1] - t[1] * n[0]};
        // A bulge travels along the tube as the animation runs.
        const double radius = 2.1 + 1.1 * std::pow(std::max(0.0, std::cos(u * 2 - phase)), 8);
        for (int j = 0; j < kAround; ++j) {
            const double a = 2 * kPi * j / kAround;
            const double ca = std::cos(a) * radius, sa = std::sin(a) * radius;
            out.push_back({static_cast<float>(c[0] + ca * n[0] + sa * b[0]),
                           static_cast<float>(c[1] + ca * n[1] + sa * b[1]),
                           static_cast<float>(c[2] + ca * n[2] + sa * b[2])});
        }
    }
    return out;
}

Md2Source KnotModel() {
    Md2Source s;
    s.skinWidth = kSkinSize;
    s.skinHeight = kSkinSize;
    s.skins.push_back("models/knot/knot.pcx");  // found beside the model, by its file name
    // Texture coordinates on a (kAlong + 1) x (kAround + 1) grid so the seams wrap cleanly.
    for (int i = 0; i <= kAlong; ++i)
        for (int j = 0; j <= kAround; ++j)
            s.texCoords.push_back({static_cast<int16_t>(i * (kSkinSize - 1) / kAlong),
                                   static_cast<int16_t>(j * (kSkinSize - 1) / kAround)});
    auto vertex = [](int i, int j) { return static_cast<uint16_t>((i % kAlong) * kAround + (j % kAround)); };
    auto coord = [](int i, int j) { return static_cast<uint16_t>(i * (kAround + 1) + j); };
    for (int i = 0; i < kAlong; ++i)
        for (int j = 0; j < kAround; ++j) {
            s.triangles.push_back({{vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1)},
                                   {coord(i, j), coord(i + 1, j), coord(i + 1, j + 1)}});
            s.triangles.push_back({{vertex(i, j), vertex(i + 1, j + 1), vertex(i, j + 1)},
                                   {coord(i, j), coord(i + 1, j + 1), coord(i, j + 1)}});
        }
    for (int f = 0; f < kFrames; ++f) s.frames.push_back(QuantiseFrame(KnotFrame(f), "pulse" + std::to_string(f)));
    return s;
}

IndexedPicture KnotSkin() {
    IndexedPicture p;
    p.width = kSkinSize;
    p.height = kSkinSize;
    // A warm-to-cool ramp in the low entries, a pale band colour at 255.
    for (int i = 0; i < 256; ++i)
        p.palette.push_back({static_cast<uint8_t>(230 - i * 150 / 255), static_cast<uint8_t>(90 + i * 80 / 255),
                             static_cast<uint8_t>(40 + i * 200 / 255)});
    p.palette[255] = {250, 240, 210};
    for (int y = 0; y < kSkinSize; ++y)
        for (int x = 0; x < kSkinSize; ++x) {
            const bool band = (x / 8) % 4 == 0 || (y % 21) < 2;
            p.indices.push_back(band ? 255 : static_cast<uint8_t>((x * 2 + y) % 250));
        }
    return p;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (meshara::WriteFileBytes(path, bytes)) return true;
    std::fprintf(stderr, "make-sample: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make-sample OUTDIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    const IndexedPicture skin = KnotSkin();
    LgtSource light;
    light.name = "Warm Key";
    light.diffuse[0] = 1.0f;
    light.diffuse[1] = 0.85f;
    light.diffuse[2] = 0.6f;
    light.specular[0] = light.specular[1] = light.specular[2] = 0.5f;
    light.position[0] = 100;
    light.position[1] = 150;
    light.position[2] = 200;
    bool ok = Write(dir + "/knot.md2", WriteMd2(KnotModel()));
    ok = Write(dir + "/knot.pcx", WritePcx(skin)) && ok;
    ok = Write(dir + "/knot.bmp", WriteBmp8(skin)) && ok;
    ok = Write(dir + "/warm-key.lgt", WriteLgt(light)) && ok;
    return ok ? 0 : 1;
}
