// Writes the program icon as PNG files at the sizes desktops look for.
//   make-icons OUTDIR   (writes OUTDIR/<size>x<size>/apps/meshara.png, the hicolor layout)

#include <cstdio>
#include <filesystem>
#include <string>

#include "skins/png_writer.h"
#include "resources/art.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make-icons OUTDIR\n", stderr);
        return 2;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::filesystem::path dir =
            std::filesystem::path(argv[1]) / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        std::filesystem::create_directories(dir);
        if (!meshara::WritePngRgba((dir / "meshara.png").string(), size, size, meshara::IconPixels(size))) {
            std::fprintf(stderr, "make-icons: cannot write %s\n", (dir / "meshara.png").c_str());
            return 1;
        }
    }
    return 0;
}
