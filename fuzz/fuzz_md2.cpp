// The MD2 parser on arbitrary bytes: it may refuse, never crash, and a model
// it accepts must hold together (indices in range, one normal per vertex,
// every frame in an animation), and its layout as the checks read it (the
// GL commands walked to their end) must be read too, within its counts.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "model/md2_model.h"
#include "model/normals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    auto result = meshara::ParseMd2Model(bytes, "fuzz.md2");
    if (!result) return 0;
    auto layout = meshara::ReadMd2Layout(bytes);
    if (!layout || layout.Value().trianglesNotInGlCommands > result.Value()->TriangleCount() ||
        layout.Value().glTrianglesNotInTable > layout.Value().glTriangles ||
        (meshara::CornersOutsideSkin(*result.Value()) > 3 * result.Value()->TriangleCount()))
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
    return 0;
}
