#include "formats/md2_file.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "formats/format_names.h"
#include "io/byte_reader.h"

namespace meshara {

namespace {

using Corners = std::array<uint16_t, 3>;

// A triangle's corners as a set: the commands may start a triangle at any
// corner and wind strips either way.
Corners AsSet(uint16_t a, uint16_t b, uint16_t c) {
    Corners t{a, b, c};
    std::sort(t.begin(), t.end());
    return t;
}

// The triangles of the GL commands: strips and fans until the zero that
// ends them. The problem when they cannot be followed to it.
std::string GlTriangles(ByteReader& r, int64_t words, int32_t vertexCount, std::vector<Corners>& out) {
    // A command holds at least its count and three corners, so the table's size bounds the work.
    while (words > 0) {
        const int32_t count = r.S32();
        --words;
        if (count == 0) return {};
        const int64_t corners = std::llabs(int64_t{count});
        if (corners < 3) return "a GL command of " + std::to_string(corners) + " corners draws nothing";
        if (corners * 3 > words) return "a GL command runs past the end of the table";
        words -= corners * 3;
        std::vector<uint16_t> vertex(static_cast<size_t>(corners));
        for (uint16_t& v : vertex) {
            r.Skip(8);  // s, t
            const int32_t index = r.S32();
            if (index < 0 || index >= vertexCount)
                return "a GL command uses vertex " + std::to_string(index) + ", the model has " +
                       std::to_string(vertexCount);
            v = static_cast<uint16_t>(index);
        }
        for (size_t i = 2; i < vertex.size(); ++i)
            out.push_back(count > 0 ? AsSet(vertex[i - 2], vertex[i - 1], vertex[i]) : AsSet(vertex[0], vertex[i - 1], vertex[i]));
    }
    return "the GL commands do not end with a zero";
}

}  // namespace

Md2Layout ReadMd2HeaderCounts(std::span<const uint8_t> header) {
    ByteReader r(header);
    r.Seek(8);
    Md2Layout h;
    h.skinWidth = r.S32();
    h.skinHeight = r.S32();
    r.Skip(4);  // frame size
    h.declared.skins = r.S32();
    h.declared.vertices = r.S32();
    h.texCoords = r.S32();
    h.declared.triangles = r.S32();
    h.glCommands = r.S32();
    h.declared.frames = r.S32();
    return h;
}

Result<Md2Layout> ReadMd2Layout(std::span<const uint8_t> bytes) {
    const auto damaged = [](std::string detail) { return Failure{ErrorKind::Damaged, std::move(detail), format::kMd2}; };
    if (bytes.size() < kMd2HeaderSize || !std::equal(kMd2Magic.begin(), kMd2Magic.end(), bytes.begin()))
        return damaged("no MD2 header");
    Md2Layout layout = ReadMd2HeaderCounts(bytes);
    ByteReader r(bytes);
    r.Seek(44);  // past the counts
    const int32_t skinsAt = r.S32();
    r.Skip(4);  // texture coordinates
    const int32_t trianglesAt = r.S32();
    r.Skip(4);  // frames
    const int32_t glAt = r.S32();

    if (!TableInside(bytes.size(), trianglesAt, layout.declared.triangles, 12))
        return damaged("the triangle table does not fit in the file");
    if (layout.declared.skins > 0 && TableInside(bytes.size(), skinsAt, layout.declared.skins, 64))
        for (int32_t i = 0; i < layout.declared.skins; ++i) {
            const auto name = bytes.subspan(static_cast<size_t>(skinsAt) + 64 * static_cast<size_t>(i), 64);
            if (std::find(name.begin(), name.end(), uint8_t{0}) == name.end()) ++layout.unterminatedSkinNames;
        }

    std::vector<Corners> table;
    r.Seek(static_cast<size_t>(trianglesAt));
    for (int32_t i = 0; i < layout.declared.triangles; ++i) {
        uint16_t v[3];
        for (uint16_t& c : v) c = r.U16();
        r.Skip(6);
        table.push_back(AsSet(v[0], v[1], v[2]));
    }
    std::vector<Corners> drawn;
    if (layout.glCommands <= 0) {
        layout.glCommandsProblem = "the model has no GL commands";
    } else if (!TableInside(bytes.size(), glAt, layout.glCommands, 4)) {
        layout.glCommandsProblem = "the GL command table does not fit in the file";
    } else {
        r.Seek(static_cast<size_t>(glAt));
        layout.glCommandsProblem = GlTriangles(r, layout.glCommands, layout.declared.vertices, drawn);
    }
    layout.glTriangles = static_cast<int32_t>(drawn.size());
    if (drawn.empty() && layout.glCommandsProblem.empty()) layout.glCommandsProblem = "the GL commands draw no triangle";
    // Both as sorted lists: what one has more of than the other is drawn by one alone.
    std::sort(table.begin(), table.end());
    std::sort(drawn.begin(), drawn.end());
    std::vector<Corners> only;
    std::set_difference(table.begin(), table.end(), drawn.begin(), drawn.end(), std::back_inserter(only));
    layout.trianglesNotInGlCommands = static_cast<int32_t>(only.size());
    only.clear();
    std::set_difference(drawn.begin(), drawn.end(), table.begin(), table.end(), std::back_inserter(only));
    layout.glTrianglesNotInTable = static_cast<int32_t>(only.size());
    return layout;
}

}  // namespace meshara
