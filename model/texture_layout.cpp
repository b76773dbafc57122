#include "model/texture_layout.h"

#include <algorithm>
#include <cmath>

namespace meshara {

namespace {

double Cross(const SkinPoint& o, const SkinPoint& a, const SkinPoint& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double PolygonArea(const std::vector<SkinPoint>& p) {
    double twice = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const SkinPoint& a = p[i];
        const SkinPoint& b = p[(i + 1) % p.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::abs(twice) / 2;
}

// The area two triangles share: one clipped by each side of the other.
double SharedArea(const std::array<SkinPoint, 3>& a, std::array<SkinPoint, 3> b) {
    if (SkinTurn(b) < 0) std::swap(b[1], b[2]);  // b's sides keep its inside on their left
    std::vector<SkinPoint> shape(a.begin(), a.end()), next;
    for (int side = 0; side < 3 && !shape.empty(); ++side) {
        const SkinPoint& from = b[side];
        const SkinPoint& to = b[(side + 1) % 3];
        next.clear();
        for (size_t i = 0; i < shape.size(); ++i) {
            const SkinPoint& p = shape[i];
            const SkinPoint& q = shape[(i + 1) % shape.size()];
            const double dp = Cross(from, to, p), dq = Cross(from, to, q);
            if (dp >= 0) next.push_back(p);
            if ((dp >= 0) != (dq >= 0)) {
                const double t = dp / (dp - dq);
                next.push_back({p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t});
            }
        }
        shape.swap(next);
    }
    return shape.size() < 3 ? 0 : PolygonArea(shape);
}

}  // namespace

std::array<SkinPoint, 3> SkinCorners(const Md2Model& model, const Md2Triangle& triangle) {
    std::array<SkinPoint, 3> out;
    for (int c = 0; c < 3; ++c)
        out[static_cast<size_t>(c)] = {triangle.texCoord[c][0] * model.skinWidth, triangle.texCoord[c][1] * model.skinHeight};
    return out;
}

double SkinTurn(const std::array<SkinPoint, 3>& c) { return Cross(c[0], c[1], c[2]); }

std::vector<SkinEdge> SkinEdges(const Md2Model& model) {
    // Each edge under its pair of model vertices, lower first, with the
    // texture coordinates it gives them in that order.
    struct Side {
        uint32_t vertices;
        const double* low;
        const double* high;
        size_t edge;
    };
    std::vector<SkinEdge> edges;
    std::vector<Side> sides;
    edges.reserve(model.triangles.size() * 3);
    sides.reserve(model.triangles.size() * 3);
    for (size_t t = 0; t < model.triangles.size(); ++t) {
        const Md2Triangle& tri = model.triangles[t];
        const auto corners = SkinCorners(model, tri);
        const EdgeKind kind = IsMirrored(corners) ? EdgeKind::Mirrored : EdgeKind::AsPainted;
        for (int c = 0; c < 3; ++c) {
            const int d = (c + 1) % 3;
            edges.push_back({corners[static_cast<size_t>(c)], corners[static_cast<size_t>(d)], kind, static_cast<int32_t>(t)});
            const bool lowFirst = tri.vertex[c] <= tri.vertex[d];
            const int low = lowFirst ? c : d, high = lowFirst ? d : c;
            sides.push_back({uint32_t{tri.vertex[low]} << 16 | tri.vertex[high], tri.texCoord[low], tri.texCoord[high],
                             edges.size() - 1});
        }
    }
    std::sort(sides.begin(), sides.end(), [](const Side& a, const Side& b) { return a.vertices < b.vertices; });
    const auto same = [](const Side& a, const Side& b) {
        return a.low[0] == b.low[0] && a.low[1] == b.low[1] && a.high[0] == b.high[0] && a.high[1] == b.high[1];
    };
    // Where the triangles along one model edge give it two ways onto the
    // skin, each of them is a seam.
    for (size_t first = 0, end = 0; first < sides.size(); first = end) {
        bool seam = false;
        for (end = first + 1; end < sides.size() && sides[end].vertices == sides[first].vertices; ++end)
            seam = seam || !same(sides[first], sides[end]);
        for (size_t i = first; seam && i < end; ++i) edges[sides[i].edge].kind = EdgeKind::Seam;
    }
    return edges;
}

CornersOutside CornersOutsideSkin(const Md2Model& model) {
    CornersOutside out;
    const double w = model.skinWidth, h = model.skinHeight;
    for (const Md2Triangle& t : model.triangles)
        for (const SkinPoint& p : SkinCorners(model, t)) {
            const double beyond = std::max({-p.x, p.x - w, -p.y, p.y - h});
            if (beyond <= 0) continue;
            ++out.count;
            out.farthest = std::max(out.farthest, beyond);
        }
    return out;
}

int32_t TriangleAtSkinPoint(const Md2Model& model, SkinPoint p) {
    for (size_t t = model.triangles.size(); t-- > 0;) {
        const auto c = SkinCorners(model, model.triangles[t]);
        const double turn = SkinTurn(c);
        if (turn == 0) continue;
        const double a = Cross(c[0], c[1], p), b = Cross(c[1], c[2], p), d = Cross(c[2], c[0], p);
        if (turn > 0 ? a >= 0 && b >= 0 && d >= 0 : a <= 0 && b <= 0 && d <= 0) return static_cast<int32_t>(t);
    }
    return -1;
}

std::vector<std::pair<int32_t, int32_t>> OverlappingTriangles(const Md2Model& model, size_t most) {
    struct Placed {
        std::array<SkinPoint, 3> corners;
        double left, right, top, bottom;
        bool mirrored;
        int32_t index;
    };
    std::vector<Placed> placed;
    for (size_t t = 0; t < model.triangles.size(); ++t) {
        const auto c = SkinCorners(model, model.triangles[t]);
        if (std::abs(SkinTurn(c)) / 2 <= kLeastOverlap) continue;  // too small to share that much
        placed.push_back({c, std::min({c[0].x, c[1].x, c[2].x}), std::max({c[0].x, c[1].x, c[2].x}),
                          std::min({c[0].y, c[1].y, c[2].y}), std::max({c[0].y, c[1].y, c[2].y}), IsMirrored(c),
                          static_cast<int32_t>(t)});
    }
    // Swept from the left: only triangles whose boxes meet are compared.
    std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.left < b.left; });
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (size_t i = 0; i < placed.size(); ++i)
        for (size_t j = i + 1; j < placed.size() && placed[j].left < placed[i].right; ++j) {
            const Placed& a = placed[i];
            const Placed& b = placed[j];
            if (a.mirrored != b.mirrored || b.top >= a.bottom || a.top >= b.bottom) continue;
            if (SharedArea(a.corners, b.corners) > kLeastOverlap)
                pairs.emplace_back(std::min(a.index, b.index), std::max(a.index, b.index));
        }
    std::sort(pairs.begin(), pairs.end());
    if (pairs.size() > most) pairs.resize(most);
    return pairs;
}

}  // namespace meshara
