#pragma once
// What every export shares: the model in glTF's axes and units, and its
// triangles as one indexed vertex list.
//
// The loader's axes are Quake's with y negated: x forward, y right, z up.
// glTF's are +Y up, +Z forward (the front of an asset faces +Z) and +X to
// the model's left, right-handed, in metres. A Quake unit is about 3 cm, so
// the default scale is 1/32. Swapping axes this way is a rotation of the
// original Quake model, not a mirror, so the triangles keep the winding the
// viewer draws with (counter-clockwise from the front) and the normals keep
// pointing out.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/md2_model.h"

namespace meshara {

constexpr double kDefaultExportScale = 1.0 / 32;

using Float3 = std::array<float, 3>;

// A position in glTF's axes, multiplied by scale.
Float3 ExportPosition(const Vec3d& p, double scale);

// A normal in glTF's axes. Formats that want unit normals get one where the
// model has none (a vertex no face reaches, or whose faces cancel): up.
Float3 ExportNormal(const Vec3d& n);

// One vertex per distinct pair of model vertex and texture coordinate, as
// glTF has a single index per corner where MD2 has one for the position and
// one for the texture coordinate.
struct ExportMesh {
    std::vector<uint32_t> indices;       // three per triangle, the model's triangle order and winding
    std::vector<uint16_t> modelVertex;   // the model vertex each export vertex stands for
    std::vector<std::array<float, 2>> texCoords;  // (s, t): t grows downward in the picture, as in glTF
};
ExportMesh BuildExportMesh(const Md2Model& model);

// Empty when every position of every frame, scaled, is a finite float;
// otherwise says which frame is not (formats cannot carry infinities).
std::string CheckExportablePositions(const Md2Model& model, double scale);

// The file name of path without its folder and last extension: "faerie"
// for "models/faerie.md2".
std::string FileStem(const std::string& path);

}  // namespace meshara
