#include "export/export_mesh.h"

#include <cmath>

#include "formats/name_text.h"
#include "io/file_name.h"

namespace meshara {

Float3 ExportPosition(const Vec3d& p, double scale) {
    return {static_cast<float>(-p.y * scale), static_cast<float>(p.z * scale), static_cast<float>(p.x * scale)};
}

Float3 ExportNormal(const Vec3d& n) {
    if (n.x == 0 && n.y == 0 && n.z == 0) return {0, 1, 0};
    return {static_cast<float>(-n.y), static_cast<float>(n.z), static_cast<float>(n.x)};
}

Status CheckExportablePositions(const Md2Model& model, int32_t first, int32_t last, double scale) {
    for (int32_t f = first; f <= last; ++f) {
        const Md2Frame& frame = model.frames[static_cast<size_t>(f)];
        for (size_t v = 0; v < frame.vertices.size(); ++v)
            for (float c : ExportPosition(VertexPosition(frame, v), scale))
                if (!std::isfinite(c))
                    return Failure{ErrorKind::DoesNotFit,
                                   "frame " + std::to_string(f) + " (" + NameToUtf8(frame.name) +
                                       ") has a position that is not a finite number at this scale"};
    }
    return {};
}

std::string FileStem(const std::string& path) {
    std::string name = FileNameOfPath(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

}  // namespace meshara
