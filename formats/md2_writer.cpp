#include "formats/md2_writer.h"

#include <algorithm>
#include <cstring>

namespace meshara {

namespace {

class Out {
public:
    explicit Out(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void U32(uint32_t v) {
        for (int b = 0; b < 4; ++b) bytes_.push_back(static_cast<uint8_t>(v >> (8 * b)));
    }
    void S32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U16(uint16_t v) { bytes_.push_back(static_cast<uint8_t>(v)), bytes_.push_back(static_cast<uint8_t>(v >> 8)); }
    void F32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    // A name in a zero-padded field of size bytes.
    void Text(const std::string& text, size_t size) {
        const size_t n = std::min(text.size(), size);
        bytes_.insert(bytes_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
        bytes_.resize(bytes_.size() + size - n, 0);
    }

private:
    std::vector<uint8_t>& bytes_;
};

}  // namespace

std::vector<uint8_t> EncodeMd2(const Md2Output& m) {
    const int32_t frameSize = 40 + 4 * m.vertexCount;
    const int32_t skins = 68, texCoords = skins + 64 * static_cast<int32_t>(m.skinNames.size());
    const int32_t triangles = texCoords + 4 * static_cast<int32_t>(m.texCoords.size());
    const int32_t frames = triangles + 12 * static_cast<int32_t>(m.triangles.size());
    const int32_t glCommands = frames + frameSize * static_cast<int32_t>(m.frames.size());
    const int32_t end = glCommands + 4 * static_cast<int32_t>(m.glCommands.size());
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(end));
    Out out(bytes);
    bytes.insert(bytes.end(), kMd2Magic.begin(), kMd2Magic.end());
    for (int32_t v : {8, m.skinWidth, m.skinHeight, frameSize, static_cast<int32_t>(m.skinNames.size()), m.vertexCount,
                      static_cast<int32_t>(m.texCoords.size()), static_cast<int32_t>(m.triangles.size()),
                      static_cast<int32_t>(m.glCommands.size()), static_cast<int32_t>(m.frames.size()), skins,
                      texCoords, triangles, frames, glCommands, end})
        out.S32(v);
    for (const std::string& name : m.skinNames) out.Text(name, 64);
    for (const auto& st : m.texCoords) out.U16(static_cast<uint16_t>(st[0])), out.U16(static_cast<uint16_t>(st[1]));
    for (const Md2Output::Triangle& t : m.triangles) {
        for (uint16_t v : t.vertex) out.U16(v);
        for (uint16_t v : t.texCoord) out.U16(v);
    }
    for (const Md2Frame& f : m.frames) {
        for (float v : f.scale) out.F32(v);
        for (float v : f.translate) out.F32(v);
        out.Text(f.name, 16);
        for (const Md2PackedVertex& v : f.vertices) bytes.insert(bytes.end(), {v.x, v.y, v.z, v.normalIndex});
    }
    for (uint32_t w : m.glCommands) out.U32(w);
    return bytes;
}

}  // namespace meshara
