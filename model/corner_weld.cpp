#include "model/corner_weld.h"

#include <cstring>
#include <map>
#include <tuple>

namespace meshara {

CornerWeld WeldCorners(const Md2Model& model) {
    CornerWeld weld;
    weld.indices.reserve(model.triangles.size() * 3);
    std::map<std::tuple<uint16_t, uint32_t, uint32_t>, uint32_t> seen;
    for (const Md2Triangle& t : model.triangles)
        for (int c = 0; c < 3; ++c) {
            const std::array<float, 2> st{static_cast<float>(t.texCoord[c][0]), static_cast<float>(t.texCoord[c][1])};
            uint32_t bits[2];
            std::memcpy(bits, st.data(), sizeof bits);
            const auto next = static_cast<uint32_t>(weld.modelVertex.size());
            const auto [at, added] = seen.try_emplace({t.vertex[c], bits[0], bits[1]}, next);
            if (added) {
                weld.modelVertex.push_back(t.vertex[c]);
                weld.texCoords.push_back(st);
            }
            weld.indices.push_back(at->second);
        }
    return weld;
}

}  // namespace meshara
