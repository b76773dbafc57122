#include "export/export_mesh.h"

#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

#include "io/file_name.h"

namespace meshara {

Float3 ExportPosition(const Vec3d& p, double scale) {
    return {static_cast<float>(-p.y * scale), static_cast<float>(p.z * scale), static_cast<float>(p.x * scale)};
}

Float3 ExportNormal(const Vec3d& n) {
    if (n.x == 0 && n.y == 0 && n.z == 0) return {0, 1, 0};
    return {static_cast<float>(-n.y), static_cast<float>(n.z), static_cast<float>(n.x)};
}

ExportMesh BuildExportMesh(const Md2Model& model) {
    ExportMesh mesh;
    mesh.indices.reserve(model.triangles.size() * 3);
    // Keyed by the exact float bits of (s, t), as the viewer's arrays are,
    // so corners the viewer draws as one vertex are one vertex here too.
    std::map<std::tuple<uint16_t, uint32_t, uint32_t>, uint32_t> seen;
    for (const Md2Triangle& t : model.triangles)
        for (int c = 0; c < 3; ++c) {
            const std::array<float, 2> st{static_cast<float>(t.texCoord[c][0]), static_cast<float>(t.texCoord[c][1])};
            uint32_t bits[2];
            std::memcpy(bits, st.data(), sizeof bits);
            const auto next = static_cast<uint32_t>(mesh.modelVertex.size());
            const auto [at, added] = seen.try_emplace({t.vertex[c], bits[0], bits[1]}, next);
            if (added) {
                mesh.modelVertex.push_back(t.vertex[c]);
                mesh.texCoords.push_back(st);
            }
            mesh.indices.push_back(at->second);
        }
    return mesh;
}

std::string CheckExportablePositions(const Md2Model& model, double scale) {
    for (size_t f = 0; f < model.frames.size(); ++f)
        for (const Vec3d& v : model.frames[f].vertices)
            for (float c : ExportPosition(v, scale))
                if (!std::isfinite(c))
                    return "frame " + std::to_string(f) + " (" + model.frames[f].name +
                           ") has a position that is not a finite number at this scale";
    return {};
}

std::string FileStem(const std::string& path) {
    std::string name = FileNameOfPath(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

}  // namespace meshara
