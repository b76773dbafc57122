#include "convert/md2_normals.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace meshara {

// The 162 directions an MD2 vertex's normal index names, in Quake's axes
// (x forward, y left, z up): the table every MD2 reader carries, as id
// Software's tools built it. An index into it is all a file stores of a
// normal, so it is data, not something this program could compute.
constexpr std::array<std::array<float, 3>, kMd2NormalCount> kNormals = {{
    {-0.525731f, 0.000000f, 0.850651f},
    {-0.442863f, 0.238856f, 0.864188f},
    {-0.295242f, 0.000000f, 0.955423f},
    {-0.309017f, 0.500000f, 0.809017f},
    {-0.162460f, 0.262866f, 0.951056f},
    {0.000000f, 0.000000f, 1.000000f},
    {0.000000f, 0.850651f, 0.525731f},
    {-0.147621f, 0.716567f, 0.681718f},
    {0.147621f, 0.716567f, 0.681718f},
    {0.000000f, 0.525731f, 0.850651f},
    {0.309017f, 0.500000f, 0.809017f},
    {0.525731f, 0.000000f, 0.850651f},
    {0.295242f, 0.000000f, 0.955423f},
    {0.442863f, 0.238856f, 0.864188f},
    {0.162460f, 0.262866f, 0.951056f},
    {-0.681718f, 0.147621f, 0.716567f},
    {-0.809017f, 0.309017f, 0.500000f},
    {-0.587785f, 0.425325f, 0.688191f},
    {-0.850651f, 0.525731f, 0.000000f},
    {-0.864188f, 0.442863f, 0.238856f},
    {-0.716567f, 0.681718f, 0.147621f},
    {-0.688191f, 0.587785f, 0.425325f},
    {-0.500000f, 0.809017f, 0.309017f},
    {-0.238856f, 0.864188f, 0.442863f},
    {-0.425325f, 0.688191f, 0.587785f},
    {-0.716567f, 0.681718f, -0.147621f},
    {-0.500000f, 0.809017f, -0.309017f},
    {-0.525731f, 0.850651f, 0.000000f},
    {0.000000f, 0.850651f, -0.525731f},
    {-0.238856f, 0.864188f, -0.442863f},
    {0.000000f, 0.955423f, -0.295242f},
    {-0.262866f, 0.951056f, -0.162460f},
    {0.000000f, 1.000000f, 0.000000f},
    {0.000000f, 0.955423f, 0.295242f},
    {-0.262866f, 0.951056f, 0.162460f},
    {0.238856f, 0.864188f, 0.442863f},
    {0.262866f, 0.951056f, 0.162460f},
    {0.500000f, 0.809017f, 0.309017f},
    {0.238856f, 0.864188f, -0.442863f},
    {0.262866f, 0.951056f, -0.162460f},
    {0.500000f, 0.809017f, -0.309017f},
    {0.850651f, 0.525731f, 0.000000f},
    {0.716567f, 0.681718f, 0.147621f},
    {0.716567f, 0.681718f, -0.147621f},
    {0.525731f, 0.850651f, 0.000000f},
    {0.425325f, 0.688191f, 0.587785f},
    {0.864188f, 0.442863f, 0.238856f},
    {0.688191f, 0.587785f, 0.425325f},
    {0.809017f, 0.309017f, 0.500000f},
    {0.681718f, 0.147621f, 0.716567f},
    {0.587785f, 0.425325f, 0.688191f},
    {0.955423f, 0.295242f, 0.000000f},
    {1.000000f, 0.000000f, 0.000000f},
    {0.951056f, 0.162460f, 0.262866f},
    {0.850651f, -0.525731f, 0.000000f},
    {0.955423f, -0.295242f, 0.000000f},
    {0.864188f, -0.442863f, 0.238856f},
    {0.951056f, -0.162460f, 0.262866f},
    {0.809017f, -0.309017f, 0.500000f},
    {0.681718f, -0.147621f, 0.716567f},
    {0.850651f, 0.000000f, 0.525731f},
    {0.864188f, 0.442863f, -0.238856f},
    {0.809017f, 0.309017f, -0.500000f},
    {0.951056f, 0.162460f, -0.262866f},
    {0.525731f, 0.000000f, -0.850651f},
    {0.681718f, 0.147621f, -0.716567f},
    {0.681718f, -0.147621f, -0.716567f},
    {0.850651f, 0.000000f, -0.525731f},
    {0.809017f, -0.309017f, -0.500000f},
    {0.864188f, -0.442863f, -0.238856f},
    {0.951056f, -0.162460f, -0.262866f},
    {0.147621f, 0.716567f, -0.681718f},
    {0.309017f, 0.500000f, -0.809017f},
    {0.425325f, 0.688191f, -0.587785f},
    {0.442863f, 0.238856f, -0.864188f},
    {0.587785f, 0.425325f, -0.688191f},
    {0.688191f, 0.587785f, -0.425325f},
    {-0.147621f, 0.716567f, -0.681718f},
    {-0.309017f, 0.500000f, -0.809017f},
    {0.000000f, 0.525731f, -0.850651f},
    {-0.525731f, 0.000000f, -0.850651f},
    {-0.442863f, 0.238856f, -0.864188f},
    {-0.295242f, 0.000000f, -0.955423f},
    {-0.162460f, 0.262866f, -0.951056f},
    {0.000000f, 0.000000f, -1.000000f},
    {0.295242f, 0.000000f, -0.955423f},
    {0.162460f, 0.262866f, -0.951056f},
    {-0.442863f, -0.238856f, -0.864188f},
    {-0.309017f, -0.500000f, -0.809017f},
    {-0.162460f, -0.262866f, -0.951056f},
    {0.000000f, -0.850651f, -0.525731f},
    {-0.147621f, -0.716567f, -0.681718f},
    {0.147621f, -0.716567f, -0.681718f},
    {0.000000f, -0.525731f, -0.850651f},
    {0.309017f, -0.500000f, -0.809017f},
    {0.442863f, -0.238856f, -0.864188f},
    {0.162460f, -0.262866f, -0.951056f},
    {0.238856f, -0.864188f, -0.442863f},
    {0.500000f, -0.809017f, -0.309017f},
    {0.425325f, -0.688191f, -0.587785f},
    {0.716567f, -0.681718f, -0.147621f},
    {0.688191f, -0.587785f, -0.425325f},
    {0.587785f, -0.425325f, -0.688191f},
    {0.000000f, -0.955423f, -0.295242f},
    {0.000000f, -1.000000f, 0.000000f},
    {0.262866f, -0.951056f, -0.162460f},
    {0.000000f, -0.850651f, 0.525731f},
    {0.000000f, -0.955423f, 0.295242f},
    {0.238856f, -0.864188f, 0.442863f},
    {0.262866f, -0.951056f, 0.162460f},
    {0.500000f, -0.809017f, 0.309017f},
    {0.716567f, -0.681718f, 0.147621f},
    {0.525731f, -0.850651f, 0.000000f},
    {-0.238856f, -0.864188f, -0.442863f},
    {-0.500000f, -0.809017f, -0.309017f},
    {-0.262866f, -0.951056f, -0.162460f},
    {-0.850651f, -0.525731f, 0.000000f},
    {-0.716567f, -0.681718f, -0.147621f},
    {-0.716567f, -0.681718f, 0.147621f},
    {-0.525731f, -0.850651f, 0.000000f},
    {-0.500000f, -0.809017f, 0.309017f},
    {-0.238856f, -0.864188f, 0.442863f},
    {-0.262866f, -0.951056f, 0.162460f},
    {-0.864188f, -0.442863f, 0.238856f},
    {-0.809017f, -0.309017f, 0.500000f},
    {-0.688191f, -0.587785f, 0.425325f},
    {-0.681718f, -0.147621f, 0.716567f},
    {-0.442863f, -0.238856f, 0.864188f},
    {-0.587785f, -0.425325f, 0.688191f},
    {-0.309017f, -0.500000f, 0.809017f},
    {-0.147621f, -0.716567f, 0.681718f},
    {-0.425325f, -0.688191f, 0.587785f},
    {-0.162460f, -0.262866f, 0.951056f},
    {0.442863f, -0.238856f, 0.864188f},
    {0.162460f, -0.262866f, 0.951056f},
    {0.309017f, -0.500000f, 0.809017f},
    {0.147621f, -0.716567f, 0.681718f},
    {0.000000f, -0.525731f, 0.850651f},
    {0.425325f, -0.688191f, 0.587785f},
    {0.587785f, -0.425325f, 0.688191f},
    {0.688191f, -0.587785f, 0.425325f},
    {-0.955423f, 0.295242f, 0.000000f},
    {-0.951056f, 0.162460f, 0.262866f},
    {-1.000000f, 0.000000f, 0.000000f},
    {-0.850651f, 0.000000f, 0.525731f},
    {-0.955423f, -0.295242f, 0.000000f},
    {-0.951056f, -0.162460f, 0.262866f},
    {-0.864188f, 0.442863f, -0.238856f},
    {-0.951056f, 0.162460f, -0.262866f},
    {-0.809017f, 0.309017f, -0.500000f},
    {-0.864188f, -0.442863f, -0.238856f},
    {-0.951056f, -0.162460f, -0.262866f},
    {-0.809017f, -0.309017f, -0.500000f},
    {-0.681718f, 0.147621f, -0.716567f},
    {-0.681718f, -0.147621f, -0.716567f},
    {-0.850651f, 0.000000f, -0.525731f},
    {-0.688191f, 0.587785f, -0.425325f},
    {-0.587785f, 0.425325f, -0.688191f},
    {-0.425325f, 0.688191f, -0.587785f},
    {-0.425325f, -0.688191f, -0.587785f},
    {-0.587785f, -0.425325f, -0.688191f},
    {-0.688191f, -0.587785f, -0.425325f},
}};

}  // namespace meshara

namespace meshara {

const std::array<std::array<float, 3>, kMd2NormalCount> kMd2Normals = kNormals;

namespace {

size_t Nearest(float x, float y, float z) {
    size_t best = 0;
    float bestDot = -2;
    for (size_t i = 0; i < kMd2NormalCount; ++i) {
        const float d = kNormals[i][0] * x + kNormals[i][1] * y + kNormals[i][2] * z;
        if (d > bestDot) bestDot = d, best = i;
    }
    return best;
}

// Directions by cube face (the axis of the largest component and its sign)
// and a cell of a 16 x 16 grid on it: each cell keeps the table's directions
// that are nearest at one of 7 x 7 points across it, edges included, so a
// search looks at a handful rather than all 162. A direction nearest only in
// a sliver between those points (under a degree wide) may be missed there,
// for one less than a thousandth nearer. Made once, read only after.
constexpr int kGrid = 16;
struct CellTable {
    std::vector<uint8_t> candidates;
    std::array<uint32_t, 6 * kGrid * kGrid + 1> start{};
};

int Face(float x, float y, float z, float& u, float& v) {
    const float ax = std::abs(x), ay = std::abs(y), az = std::abs(z);
    if (ax >= ay && ax >= az) return u = y / ax, v = z / ax, x > 0 ? 0 : 1;
    if (ay >= az) return u = x / ay, v = z / ay, y > 0 ? 2 : 3;
    return u = x / az, v = y / az, z > 0 ? 4 : 5;
}

int Cell(float u) { return std::clamp(static_cast<int>((u + 1) * 0.5f * kGrid), 0, kGrid - 1); }

const CellTable& Cells() {
    static const CellTable table = [] {
        constexpr int kSamples = 6;  // steps a side
        std::vector<std::vector<uint8_t>> found(6 * kGrid * kGrid);
        for (int face = 0; face < 6; ++face)
            for (int cu = 0; cu < kGrid; ++cu)
                for (int cv = 0; cv < kGrid; ++cv)
                    for (int su = 0; su <= kSamples; ++su)
                        for (int sv = 0; sv <= kSamples; ++sv) {
                            const float u = -1 + 2.0f * (cu + static_cast<float>(su) / kSamples) / kGrid;
                            const float v = -1 + 2.0f * (cv + static_cast<float>(sv) / kSamples) / kGrid;
                            const float sign = face % 2 ? -1.0f : 1.0f;
                            const float d[6][3] = {{sign, u, v}, {sign, u, v}, {u, sign, v}, {u, sign, v}, {u, v, sign}, {u, v, sign}};
                            const uint8_t n = static_cast<uint8_t>(Nearest(d[face][0], d[face][1], d[face][2]));
                            auto& list = found[static_cast<size_t>((face * kGrid + cu) * kGrid + cv)];
                            if (std::find(list.begin(), list.end(), n) == list.end()) list.push_back(n);
                        }
        CellTable t;
        for (size_t c = 0; c < found.size(); ++c) {
            t.start[c] = static_cast<uint32_t>(t.candidates.size());
            t.candidates.insert(t.candidates.end(), found[c].begin(), found[c].end());
        }
        t.start.back() = static_cast<uint32_t>(t.candidates.size());
        return t;
    }();
    return table;
}

}  // namespace

uint8_t NearestMd2Normal(double x, double y, double z) {
    // The nearest direction, its face and its cell do not depend on the
    // length, so nothing is normalised.
    float fx = static_cast<float>(x), fy = static_cast<float>(y), fz = static_cast<float>(z);
    if (!(std::abs(fx) + std::abs(fy) + std::abs(fz) > 0) || !std::isfinite(fx + fy + fz)) fx = 0, fy = 0, fz = 1;
    float u, v;
    const int face = Face(fx, fy, fz, u, v);
    const CellTable& cells = Cells();
    const size_t cell = static_cast<size_t>((face * kGrid + Cell(u)) * kGrid + Cell(v));
    size_t best = cells.candidates[cells.start[cell]];
    float bestDot = -2;
    for (uint32_t i = cells.start[cell]; i < cells.start[cell + 1]; ++i) {
        const size_t n = cells.candidates[i];
        const float d = kNormals[n][0] * fx + kNormals[n][1] * fy + kNormals[n][2] * fz;
        if (d > bestDot) bestDot = d, best = n;
    }
    return static_cast<uint8_t>(best);
}

}  // namespace meshara
