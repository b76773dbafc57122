#include <cmath>
#include "formats/format_names.h"
#include <charconv>
#include <map>
#include <string_view>

#include "convert/model_import.h"

namespace meshara {

namespace {

Failure Bad(size_t line, std::string why) {
    return Failure{ErrorKind::Damaged, "line " + std::to_string(line) + ": " + std::move(why), format::kObj};
}

bool Number(std::string_view text, double& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && std::isfinite(out);
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A 1-based index, or a negative one counting back from the last; -1 when
// the text is empty; false when it names nothing there is.
bool Index(std::string_view text, size_t have, long& out) {
    if (text.empty()) return out = -1, true;
    long v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size() || v == 0) return false;
    const long n = static_cast<long>(have);
    out = v > 0 ? v - 1 : n + v;
    return out >= 0 && out < n;
}

}  // namespace

Result<SourceMesh> ReadObj(std::span<const uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<Vec3d> positions;
    std::vector<std::array<float, 2>> uvs;
    std::map<std::pair<long, long>, uint32_t> vertexOf;  // (position, texture coordinate) -> vertex
    SourceMesh out;
    out.frames.emplace_back();
    size_t lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        const auto words = Words(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "v") {
            double c[3];
            if (words.size() < 4 || !Number(words[1], c[0]) || !Number(words[2], c[1]) || !Number(words[3], c[2]))
                return Bad(lineNumber, "a position needs three finite numbers");
            positions.push_back({c[0], c[1], c[2]});
        } else if (words[0] == "vt") {
            double c[2] = {0, 0};
            if (words.size() < 2 || !Number(words[1], c[0]) || (words.size() > 2 && !Number(words[2], c[1])))
                return Bad(lineNumber, "a texture coordinate needs finite numbers");
            // OBJ counts v from the bottom of the picture.
            uvs.push_back({static_cast<float>(c[0]), static_cast<float>(1.0 - c[1])});
        } else if (words[0] == "f") {
            if (words.size() < 4) return Bad(lineNumber, "a face needs three corners at least");
            std::vector<uint32_t> face;
            for (size_t w = 1; w < words.size(); ++w) {
                const std::string_view corner = words[w];
                const size_t slash = corner.find('/');
                long p, t = -1;
                if (!Index(corner.substr(0, slash), positions.size(), p) || p < 0)
                    return Bad(lineNumber, "a face names a position not defined before it");
                if (slash != std::string_view::npos) {
                    const std::string_view rest = corner.substr(slash + 1);
                    if (!Index(rest.substr(0, rest.find('/')), uvs.size(), t))
                        return Bad(lineNumber, "a face names a texture coordinate not defined before it");
                }
                auto [it, fresh] = vertexOf.try_emplace({p, t}, static_cast<uint32_t>(out.texCoords.size()));
                if (fresh) {
                    if (out.texCoords.size() >= kMaxSourcePositions) return Bad(lineNumber, "too many vertices");
                    out.texCoords.push_back(t < 0 ? std::array<float, 2>{0, 0} : uvs[static_cast<size_t>(t)]);
                    out.frames[0].push_back(positions[static_cast<size_t>(p)]);
                }
                face.push_back(it->second);
            }
            for (size_t i = 1; i + 1 < face.size(); ++i) out.indices.insert(out.indices.end(), {face[0], face[i], face[i + 1]});
        }
        // Everything else (normals, groups, materials, smoothing) is left:
        // MD2 computes its own normals and has one skin.
    }
    if (out.indices.empty()) return Failure{ErrorKind::Damaged, "the file has no faces", format::kObj};
    out.frameNames = ClipFrameNames("frame", 1, "");
    return out;
}

}  // namespace meshara
