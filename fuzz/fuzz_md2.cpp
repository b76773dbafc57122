// The MD2 parser on arbitrary bytes: it may refuse, never crash, and a model
// it accepts must hold together (indices in range, one normal per vertex,
// every frame in an animation, three skin edges a triangle, and the skin's
// analyses finish on whatever texture coordinates it has), and its layout
// as the checks read it (the GL commands walked to their end) must be read
// too, within its counts.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "model/md2_model.h"
#include "model/normals.h"
#include "model/texture_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    auto result = meshara::ParseMd2Model(bytes, "fuzz.md2");
    if (!result) return 0;
    auto layout = meshara::ReadMd2Layout(bytes);
    if (!layout || layout.Value().trianglesNotInGlCommands > result.Value()->TriangleCount() ||
        layout.Value().glTrianglesNotInTable > layout.Value().glTriangles)
        std::abort();
    const meshara::Md2Model& m = *result.Value();
    for (const auto& t : m.triangles)
        for (uint16_t v : t.vertex)
            if (v >= m.vertexCount) std::abort();
    for (int32_t f = 0; f < m.FrameCount(); ++f)
        if (m.frames[f].vertices.size() != static_cast<size_t>(m.vertexCount) ||
            meshara::FrameNormals(m, f).size() != m.frames[f].vertices.size() ||
            !meshara::AnimationHolding(m, f))
            std::abort();
    if (meshara::SkinEdges(m).size() != 3 * m.triangles.size()) std::abort();
    const meshara::CornersOutside outside = meshara::CornersOutsideSkin(m);
    if (outside.count < 0 || outside.count > 3 * m.TriangleCount()) std::abort();
    if (meshara::OverlappingTriangles(m, 16).size() > 16) std::abort();
    if (meshara::TriangleAtSkinPoint(m, {0.5, 0.5}) >= m.TriangleCount()) std::abort();
    return 0;
}
