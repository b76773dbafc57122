#include "tools/writers/md2_writer.h"

#include <algorithm>
#include <cmath>

#include "tools/writers/byte_writer.h"

namespace meshara::fixtures {

std::vector<uint8_t> WriteMd2(const Md2Source& s) {
    const int32_t vertexCount =
        s.vertexCount >= 0 ? s.vertexCount
                           : (s.frames.empty() ? 0 : static_cast<int32_t>(s.frames.front().vertices.size()));
    const int32_t frameSize = 40 + 4 * vertexCount;
    const int32_t skinsOffset = 68;
    const int32_t texCoordOffset = skinsOffset + 64 * static_cast<int32_t>(s.skins.size());
    const int32_t trianglesOffset = texCoordOffset + 4 * static_cast<int32_t>(s.texCoords.size());
    const int32_t framesOffset = trianglesOffset + 12 * static_cast<int32_t>(s.triangles.size());
    const int32_t glCommandsOffset = framesOffset + frameSize * static_cast<int32_t>(s.frames.size());
    // Each strip: its count, then s, t and the vertex of each corner; then the terminating zero.
    const int32_t glCommandCount = 1 + (s.glCommands ? 10 * static_cast<int32_t>(s.triangles.size()) : 0);
    const int32_t endOffset = glCommandsOffset + 4 * glCommandCount;

    ByteWriter w;
    w.Text("IDP2");
    for (int32_t v : {s.version, s.skinWidth, s.skinHeight, frameSize, static_cast<int32_t>(s.skins.size()),
                      vertexCount, static_cast<int32_t>(s.texCoords.size()),
                      static_cast<int32_t>(s.triangles.size()), glCommandCount,
                      static_cast<int32_t>(s.frames.size()), skinsOffset, texCoordOffset, trianglesOffset,
                      framesOffset, glCommandsOffset, endOffset})
        w.S32(v);
    for (const std::string& skin : s.skins) w.FixedText(skin, 64);
    for (const auto& st : s.texCoords) {
        w.S16(st[0]);
        w.S16(st[1]);
    }
    for (const auto& t : s.triangles) {
        for (uint16_t v : t.vertex) w.U16(v);
        for (uint16_t v : t.texCoord) w.U16(v);
    }
    for (const auto& f : s.frames) {
        for (float v : f.scale) w.F32(v);
        for (float v : f.translate) w.F32(v);
        w.FixedText(f.name, 16);
        for (int32_t i = 0; i < vertexCount; ++i) {
            const auto v = static_cast<size_t>(i) < f.vertices.size() ? f.vertices[static_cast<size_t>(i)]
                                                                      : std::array<uint8_t, 4>{0, 0, 0, 0};
            for (uint8_t b : v) w.U8(b);
        }
    }
    if (s.glCommands)
        for (const auto& t : s.triangles) {
            w.S32(3);
            for (int c = 0; c < 3; ++c) {
                const auto st = t.texCoord[c] < s.texCoords.size() ? s.texCoords[t.texCoord[c]] : std::array<int16_t, 2>{0, 0};
                w.F32(static_cast<float>(st[0]) / static_cast<float>(s.skinWidth));
                w.F32(static_cast<float>(st[1]) / static_cast<float>(s.skinHeight));
                w.S32(t.vertex[c]);
            }
        }
    w.S32(0);
    return std::move(w.Bytes());
}

std::vector<uint8_t> WriteOverlappingTables(int32_t triangleCount, int32_t frameCount) {
    constexpr int32_t kTables = 72;
    ByteWriter w;
    w.Text("IDP2");
    for (int32_t v : {8, 64, 64, 44, 0, 1, 1, triangleCount, 0, frameCount, 68, 68, kTables, kTables, 68, 68})
        w.S32(v);
    w.Zeros(4 + static_cast<size_t>(std::max(int64_t{12} * triangleCount, int64_t{44} * frameCount)));
    return std::move(w.Bytes());
}

Md2Source::Frame QuantiseFrame(const std::vector<std::array<float, 3>>& positions, const std::string& name) {
    Md2Source::Frame f;
    f.name = name;
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    for (size_t i = 0; i < positions.size(); ++i)
        for (int a = 0; a < 3; ++a) {
            lo[a] = i == 0 ? positions[i][a] : std::min(lo[a], positions[i][a]);
            hi[a] = i == 0 ? positions[i][a] : std::max(hi[a], positions[i][a]);
        }
    for (int a = 0; a < 3; ++a) {
        f.scale[a] = hi[a] > lo[a] ? (hi[a] - lo[a]) / 255.0f : 1.0f;
        f.translate[a] = lo[a];
    }
    for (const auto& p : positions) {
        std::array<uint8_t, 4> v{0, 0, 0, 0};
        for (int a = 0; a < 3; ++a) {
            float q = std::round((p[a] - lo[a]) / f.scale[a]);
            v[a] = static_cast<uint8_t>(std::clamp(q, 0.0f, 255.0f));
        }
        f.vertices.push_back(v);
    }
    return f;
}

}  // namespace meshara::fixtures
