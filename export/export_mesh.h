#pragma once
// What every export shares: the model in glTF's axes and units; its
// triangles go out welded as the viewer draws them (model/corner_weld.h).
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
#include "io/result.h"

namespace meshara {

constexpr double kDefaultExportScale = 1.0 / 32;

using Float3 = std::array<float, 3>;

// A position in glTF's axes, multiplied by scale.
Float3 ExportPosition(const Vec3d& p, double scale);

// A normal in glTF's axes. Formats that want unit normals get one where the
// model has none (a vertex no face reaches, or whose faces cancel): up.
Float3 ExportNormal(const Vec3d& n);

// Fine when every position of the frames first..last, scaled, is a finite
// float; otherwise DoesNotFit saying which frame is not (formats cannot
// carry infinities).
Status CheckExportablePositions(const Md2Model& model, int32_t first, int32_t last, double scale);

// The file name of path without its folder and last extension: "faerie"
// for "models/faerie.md2".
std::string FileStem(const std::string& path);

}  // namespace meshara
