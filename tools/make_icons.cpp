// Writes the program icon at the sizes desktops look for: PNG pictures and a
// scalable SVG of the same ring, both shaded by RingShade.
//   make-icons OUTDIR   (writes OUTDIR/<size>x<size>/apps/meshara.png and
//                        OUTDIR/scalable/apps/meshara.svg, the hicolor layout)

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>

#include "formats/png_writer.h"
#include "gui/art.h"
#include "io/file_bytes.h"


namespace {

std::string Hex(const meshara::Shade& s) {
    auto byte = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", byte(s.r), byte(s.g), byte(s.b));
    return text;
}

// SVG has no gradient that follows both the angle and the distance from the
// centre, so the ring is cut into thin wedges, each with a radial gradient
// across the tube taken at its middle angle. Each wedge reaches a little into
// the next, so renderers leave no hairline between them.
std::string IconSvg() {
    using meshara::kIconRingRadius, meshara::kIconRingThickness;
    constexpr int kWedges = 120;  // 3 degrees each: the colour steps are below what shows
    constexpr int kStops = 9;    // across the tube, where the shading curves
    constexpr double kOverlap = 1.5 * std::numbers::pi / 180;
    const double inner = kIconRingRadius - kIconRingThickness / 2;
    const double outer = kIconRingRadius + kIconRingThickness / 2;

    std::ostringstream svg;
    svg.setf(std::ios::fixed);
    svg.precision(3);
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n"
        << "<title>Meshara</title>\n<defs>\n";
    for (int w = 0; w < kWedges; ++w) {
        const double middle = (w + 0.5) * 2 * std::numbers::pi / kWedges;
        svg << "<radialGradient id=\"w" << w << "\" gradientUnits=\"userSpaceOnUse\" cx=\"16\" cy=\"16\" r=\""
            << outer << "\">";
        for (int s = 0; s < kStops; ++s) {
            const double across = -1 + 2.0 * s / (kStops - 1);
            const double radius = kIconRingRadius + across * kIconRingThickness / 2;
            svg << "<stop offset=\"" << radius / outer << "\" stop-color=\""
                << Hex(meshara::RingShade(across, middle)) << "\"/>";
        }
        svg << "</radialGradient>\n";
    }
    svg << "</defs>\n";
    auto point = [&](double r, double a) {
        std::ostringstream p;
        p.setf(std::ios::fixed);
        p.precision(3);
        p << 16 + r * std::cos(a) << ' ' << 16 + r * std::sin(a);
        return p.str();
    };
    for (int w = 0; w < kWedges; ++w) {
        const double from = w * 2 * std::numbers::pi / kWedges;
        const double to = (w + 1) * 2 * std::numbers::pi / kWedges + kOverlap;
        svg << "<path fill=\"url(#w" << w << ")\" d=\"M" << point(outer, from) << " A" << outer << ' ' << outer
            << " 0 0 1 " << point(outer, to) << " L" << point(inner, to) << " A" << inner << ' ' << inner
            << " 0 0 0 " << point(inner, from) << "Z\"/>\n";
    }
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make-icons OUTDIR\n", stderr);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::filesystem::path dir = root / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        std::filesystem::create_directories(dir);
        const std::vector<uint8_t> png = meshara::EncodePng(size, size, meshara::IconPixels(size), 4);
        if (png.empty() || !meshara::WriteFileBytes((dir / "meshara.png").string(), png)) {
            std::fprintf(stderr, "make-icons: cannot write %s\n", (dir / "meshara.png").c_str());
            return 1;
        }
    }
    const std::filesystem::path svgDir = root / "scalable" / "apps";
    std::filesystem::create_directories(svgDir);
    std::ofstream svg(svgDir / "meshara.svg");
    svg << IconSvg();
    if (!svg.flush()) {
        std::fprintf(stderr, "make-icons: cannot write %s\n", (svgDir / "meshara.svg").c_str());
        return 1;
    }
    return 0;
}
