#include "convert/md2_build.h"
#include "formats/format_names.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "convert/md2_normals.h"

namespace meshara {

namespace {

Failure Refuse(std::string why) { return Failure{ErrorKind::DoesNotFit, std::move(why), format::kMd2}; }

// glTF's axes back to Quake's: the inverse of export/export_mesh.h's
// ExportPosition, scaled to units.
Vec3d ToQuake(const Vec3d& g, double scale) { return {g.z * scale, g.x * scale, g.y * scale}; }

uint64_t Mix(uint64_t h, double v) {
    uint64_t bits;
    v = v == 0 ? 0 : v;  // -0 and 0 are one place
    std::memcpy(&bits, &v, 8);
    return (h ^ bits) * 0x100000001b3ull + (h >> 29);
}

// Each source vertex's MD2 vertex: vertices the same in every frame are one.
std::vector<uint32_t> Weld(const std::vector<std::vector<Vec3d>>& frames, size_t count, size_t& welded) {
    const auto same = [&](size_t a, size_t b) {
        for (const auto& f : frames)
            if (f[a].x != f[b].x || f[a].y != f[b].y || f[a].z != f[b].z) return false;
        return true;
    };
    std::unordered_multimap<uint64_t, uint32_t> seen;
    seen.reserve(count);
    std::vector<uint32_t> out(count);
    std::vector<uint32_t> firstOf;
    for (size_t v = 0; v < count; ++v) {
        uint64_t h = 1469598103934665603ull;
        for (const auto& f : frames) h = Mix(Mix(Mix(h, f[v].x), f[v].y), f[v].z);
        const auto [lo, hi] = seen.equal_range(h);
        auto it = std::find_if(lo, hi, [&](const auto& e) { return same(firstOf[e.second], v); });
        if (it != hi) {
            out[v] = it->second;
        } else {
            out[v] = static_cast<uint32_t>(firstOf.size());
            seen.emplace(h, out[v]);
            firstOf.push_back(static_cast<uint32_t>(v));
        }
    }
    welded = firstOf.size();
    return out;
}

// One frame fitted to bytes: the box of its positions is split into 255
// steps an axis, and each position goes to its nearest step.
Md2Frame Quantise(const std::vector<Vec3d>& positions, const std::string& name) {
    Md2Frame frame;
    frame.name = name;
    for (int axis = 0; axis < 3; ++axis) {
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (const Vec3d& p : positions) {
            const double c = axis == 0 ? p.x : axis == 1 ? p.y : p.z;
            lo = std::min(lo, c), hi = std::max(hi, c);
        }
        if (positions.empty()) lo = hi = 0;
        frame.translate[axis] = static_cast<float>(lo);
        frame.scale[axis] = static_cast<float>((hi - double{frame.translate[axis]}) / 255);
    }
    frame.vertices.resize(positions.size());
    for (size_t v = 0; v < positions.size(); ++v) {
        const double c[3] = {positions[v].x, positions[v].y, positions[v].z};
        uint8_t* out[3] = {&frame.vertices[v].x, &frame.vertices[v].y, &frame.vertices[v].z};
        for (int axis = 0; axis < 3; ++axis) {
            const double s = frame.scale[axis];
            const double step = s > 0 ? (c[axis] - double{frame.translate[axis]}) / s + 0.5 : 0;
            *out[axis] = static_cast<uint8_t>(std::clamp(step, 0.0, 255.0));  // truncated: rounded to nearest
        }
    }
    return frame;
}

// Smooth normals over welded vertices: the sum of the unit normals of the
// faces around each. Triangles are in the source's winding (counter-clockwise
// from the front), which the change of axes keeps, it being a rotation.
std::vector<Vec3d> SmoothNormals(const std::vector<Vec3d>& p, const std::vector<std::array<uint32_t, 3>>& triangles) {
    std::vector<Vec3d> n(p.size());
    for (const auto& t : triangles) {
        const Vec3d &a = p[t[0]], &b = p[t[1]], &c = p[t[2]];
        const Vec3d u{b.x - a.x, b.y - a.y, b.z - a.z}, w{c.x - a.x, c.y - a.y, c.z - a.z};
        const Vec3d f{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
        const double len = std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
        if (!(len > 0)) continue;
        for (uint32_t v : t) n[v].x += f.x / len, n[v].y += f.y / len, n[v].z += f.z / len;
    }
    return n;
}

// Strips and fans over corners (a vertex with its texture coordinate), each
// triangle in exactly one, every triangle drawn with its own winding: a
// strip's odd triangles are wound the other way round, as GL draws them.
// Greedy: from each triangle not yet drawn, the longest of the strips and
// fans that start with it in any of its three rotations.
struct GlCommandBuilder {
    const std::vector<std::array<uint32_t, 3>>& corners;  // per triangle, in its winding
    std::unordered_multimap<uint64_t, uint32_t> byEdge;  // directed edge -> triangle
    std::vector<char> used;

    explicit GlCommandBuilder(const std::vector<std::array<uint32_t, 3>>& c) : corners(c), used(c.size(), 0) {
        byEdge.reserve(3 * c.size());
        for (uint32_t t = 0; t < c.size(); ++t)
            for (int e = 0; e < 3; ++e) byEdge.emplace(Key(c[t][e], c[t][(e + 1) % 3]), t);
    }
    static uint64_t Key(uint32_t from, uint32_t to) { return uint64_t{from} << 32 | to; }

    // A triangle not drawn (nor taken) holding the directed edge from -> to,
    // and its corner after to.
    bool Next(uint32_t from, uint32_t to, const std::vector<uint32_t>& taken, uint32_t& triangle, uint32_t& third) {
        const auto [lo, hi] = byEdge.equal_range(Key(from, to));
        for (auto it = lo; it != hi; ++it) {
            const uint32_t t = it->second;
            if (used[t] || std::find(taken.begin(), taken.end(), t) != taken.end()) continue;
            for (int e = 0; e < 3; ++e)
                if (corners[t][e] == from && corners[t][(e + 1) % 3] == to) {
                    triangle = t, third = corners[t][(e + 2) % 3];
                    return true;
                }
        }
        return false;
    }

    void Grow(bool fan, std::vector<uint32_t>& seq, std::vector<uint32_t>& taken) {
        for (;;) {
            const size_t k = seq.size() - 2;  // the next triangle's number in the run
            const uint32_t p = seq[k], q = seq[k + 1];
            uint32_t t, z;
            const bool found = fan ? Next(seq[0], q, taken, t, z) : k % 2 == 0 ? Next(p, q, taken, t, z) : Next(q, p, taken, t, z);
            if (!found) return;
            seq.push_back(z);
            taken.push_back(t);
        }
    }
};

}  // namespace

Result<Md2Built> BuildMd2(const SourceMesh& source, const Md2BuildOptions& options) {
    using L = Md2EngineLimits;
    const size_t count = source.VertexCount();
    if (source.frames.empty() || source.frames.size() != source.frameNames.size())
        return Refuse("the model has no frames");
    if (source.indices.empty() || source.indices.size() % 3) return Refuse("the model has no triangles");
    for (uint32_t i : source.indices)
        if (i >= count) return Refuse("a triangle names a vertex the model does not have");
    for (const auto& f : source.frames) {
        if (f.size() != count) return Refuse("a frame does not place every vertex");
        // A frame's scale and translation are floats; far beyond any model.
        for (const Vec3d& p : f)
            if (!(std::abs(p.x * options.scale) < 1e30 && std::abs(p.y * options.scale) < 1e30 &&
                  std::abs(p.z * options.scale) < 1e30))
                return Refuse("a position is not a finite number a frame can hold");
    }

    // The limits: the engine's unless ignored; the format's always (16-bit
    // indices and coordinates, 16-byte frame and 64-byte skin names).
    const bool engine = !options.ignoreEngineLimits;
    const auto beyond = [&](const char* what, size_t n, size_t engineLimit, size_t formatLimit) -> std::string {
        if (engine && n > engineLimit)
            return "the model has " + std::to_string(n) + " " + what + "; the game engines load at most " +
                   std::to_string(engineLimit) + " (--ignore-engine-limits writes it anyway)";
        if (n > formatLimit)
            return "the model has " + std::to_string(n) + " " + what + "; an MD2 file holds at most " +
                   std::to_string(formatLimit);
        return {};
    };
    const size_t triangleCount = source.indices.size() / 3;
    for (const std::string& problem :
         {beyond("triangles", triangleCount, L::kTriangles, 65535), beyond("frames", source.frames.size(), L::kFrames, 65535),
          beyond("skins", options.skinNames.size(), L::kSkins, 65535)})
        if (!problem.empty()) return Refuse(problem);
    for (const std::string& name : options.skinNames)
        if (std::string p = beyond("characters in the skin name", name.size(), L::kSkinName, 63); !p.empty())
            return Refuse(p + ": " + name);

    // Welded on the source's own numbers: the change of axes is the same
    // for every vertex, so equal positions stay equal.
    size_t vertexCount = 0;
    const std::vector<uint32_t> vertexOf = Weld(source.frames, count, vertexCount);
    if (std::string p = beyond("vertices", vertexCount, L::kVertices, 65536); !p.empty()) return Refuse(p);

    Md2Built built;
    Md2Output& out = built.file;
    out.skinNames = options.skinNames;
    out.skinWidth = options.skinWidth > 0 ? options.skinWidth
                    : source.textureWidth > 0 ? source.textureWidth : kDefaultSkinSize;
    out.skinHeight = options.skinHeight > 0 ? options.skinHeight
                     : source.textureHeight > 0 ? source.textureHeight : kDefaultSkinSize;
    out.vertexCount = static_cast<int32_t>(vertexCount);

    // Texture coordinates in pixels, each distinct pair once.
    std::unordered_map<uint32_t, uint16_t> stIndex;
    std::vector<uint16_t> stOf(count);
    for (size_t v = 0; v < count; ++v) {
        const double s = std::round(double{source.texCoords[v][0]} * out.skinWidth);
        const double t = std::round(double{source.texCoords[v][1]} * out.skinHeight);
        if (!(s >= INT16_MIN && s <= INT16_MAX && t >= INT16_MIN && t <= INT16_MAX))
            return Refuse("a texture coordinate lies beyond the 16-bit range of skin pixels");
        const uint32_t key = uint32_t{static_cast<uint16_t>(static_cast<int16_t>(s))} << 16 |
                             static_cast<uint16_t>(static_cast<int16_t>(t));
        auto [it, fresh] = stIndex.emplace(key, static_cast<uint16_t>(out.texCoords.size()));
        if (fresh) {
            if (out.texCoords.size() == 65536) return Refuse("the model has more than 65536 texture coordinates");
            out.texCoords.push_back({static_cast<int16_t>(s), static_cast<int16_t>(t)});
        }
        stOf[v] = it->second;
    }

    // Triangles: MD2 files wind them the other way round.
    std::vector<std::array<uint32_t, 3>> welded(triangleCount);
    out.triangles.resize(triangleCount);
    for (size_t t = 0; t < triangleCount; ++t) {
        for (int c = 0; c < 3; ++c) {
            const uint32_t v = source.indices[3 * t + static_cast<size_t>(c)];
            welded[t][static_cast<size_t>(c)] = vertexOf[v];
        }
        static constexpr int kFileCorner[3] = {0, 2, 1};
        for (int c = 0; c < 3; ++c) {
            const uint32_t v = source.indices[3 * t + static_cast<size_t>(kFileCorner[c])];
            out.triangles[t].vertex[c] = static_cast<uint16_t>(vertexOf[v]);
            out.triangles[t].texCoord[c] = stOf[v];
        }
    }

    out.frames.reserve(source.frames.size());
    std::vector<Vec3d> positions(vertexCount);
    for (size_t f = 0; f < source.frames.size(); ++f) {
        for (size_t v = 0; v < count; ++v) positions[vertexOf[v]] = ToQuake(source.frames[f][v], options.scale);
        Md2Frame frame = Quantise(positions, source.frameNames[f]);
        // Normals of the positions as stored, which is what a reader that
        // computes its own sees: tiny faces turn when their corners snap.
        for (size_t v = 0; v < vertexCount; ++v) {
            const Md2PackedVertex& e = frame.vertices[v];
            positions[v] = {e.x * double{frame.scale[0]} + frame.translate[0], e.y * double{frame.scale[1]} + frame.translate[1],
                            e.z * double{frame.scale[2]} + frame.translate[2]};
        }
        const std::vector<Vec3d> normals = SmoothNormals(positions, welded);
        for (size_t v = 0; v < vertexCount; ++v)
            frame.vertices[v].normalIndex = NearestMd2Normal(normals[v].x, normals[v].y, normals[v].z);
        out.frames.push_back(std::move(frame));
    }

    out.glCommands = BuildGlCommands(out, &built.strips, &built.fans);
    return built;
}

std::vector<uint32_t> BuildGlCommands(const Md2Output& out, size_t* strips, size_t* fans) {
    // Corners are a vertex with its texture coordinate, each distinct pair
    // once, per triangle wound as the file's triangles are.
    const size_t triangleCount = out.triangles.size();
    std::vector<std::array<uint32_t, 3>> corners(triangleCount);
    std::unordered_map<uint64_t, uint32_t> cornerIndex;
    std::vector<std::pair<uint32_t, uint16_t>> cornerOf;
    for (size_t t = 0; t < triangleCount; ++t)
        for (size_t c = 0; c < 3; ++c) {
            const Md2Output::Triangle& tri = out.triangles[t];
            const uint64_t key = uint64_t{tri.vertex[c]} << 16 | tri.texCoord[c];
            auto [it, fresh] = cornerIndex.emplace(key, static_cast<uint32_t>(cornerOf.size()));
            if (fresh) cornerOf.emplace_back(tri.vertex[c], tri.texCoord[c]);
            corners[t][c] = it->second;
        }
    GlCommandBuilder gl(corners);
    const auto word = [](float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return bits;
    };
    std::vector<uint32_t> commands;
    for (uint32_t start = 0; start < triangleCount; ++start) {
        if (gl.used[start]) continue;
        std::vector<uint32_t> best, bestTaken, seq, taken;
        bool bestFan = false;
        for (int r = 0; r < 3; ++r)
            for (bool fan : {false, true}) {
                seq = {corners[start][static_cast<size_t>(r)], corners[start][static_cast<size_t>((r + 1) % 3)],
                       corners[start][static_cast<size_t>((r + 2) % 3)]};
                taken = {start};
                gl.Grow(fan, seq, taken);
                if (taken.size() > bestTaken.size()) best = seq, bestTaken = taken, bestFan = fan;
            }
        for (uint32_t t : bestTaken) gl.used[t] = 1;
        // A lone triangle is a strip; longer runs say which they are.
        const bool fan = bestFan && bestTaken.size() > 1;
        if (size_t* n = fan ? fans : strips) ++*n;
        const int32_t n = static_cast<int32_t>(best.size());
        commands.push_back(static_cast<uint32_t>(fan ? -n : n));
        for (uint32_t c : best) {
            // A texture coordinate past the table is the picture's corner, as the loader takes it.
            const uint16_t st = cornerOf[c].second;
            const std::array<int16_t, 2> at = st < out.texCoords.size() ? out.texCoords[st] : std::array<int16_t, 2>{0, 0};
            commands.push_back(word(static_cast<float>(at[0]) / static_cast<float>(out.skinWidth)));
            commands.push_back(word(static_cast<float>(at[1]) / static_cast<float>(out.skinHeight)));
            commands.push_back(cornerOf[c].first);
        }
    }
    commands.push_back(0);
    return commands;
}

}  // namespace meshara
