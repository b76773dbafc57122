#include "session/skin_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/name_text.h"
#include "formats/skin_scale.h"
#include "session/number_text.h"
#include "session/messages.h"

namespace meshara {

namespace {

class Canvas {
public:
    Canvas(int32_t width, int32_t height) : width_(width), height_(height), rgba_(size_t(width) * size_t(height) * 4, 255) {}

    uint8_t* At(int32_t x, int32_t y) { return &rgba_[(size_t(y) * size_t(width_) + size_t(x)) * 4]; }
    void Plot(int32_t x, int32_t y, const uint8_t* rgb) { std::memcpy(At(x, y), rgb, 3); }

    // A one-pixel line from a to b in the canvas's units (a pixel is one
    // unit, its top-left corner at its index), clipped to the canvas; a
    // point falls in the pixel whose corner is nearest. Dotted skips every
    // other pixel.
    void Line(SkinPoint a, SkinPoint b, const uint8_t* rgb, bool dotted) {
        if (!Clip(a, b)) return;
        const double dx = b.x - a.x, dy = b.y - a.y;
        const auto steps = static_cast<int64_t>(std::ceil(std::max(std::abs(dx), std::abs(dy))));
        for (int64_t i = 0; i <= steps; ++i) {
            if (dotted && i % 2) continue;
            const double t = steps ? static_cast<double>(i) / static_cast<double>(steps) : 0;
            Plot(Pixel(a.x + dx * t, width_), Pixel(a.y + dy * t, height_), rgb);
        }
    }

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    std::vector<uint8_t> Take() { return std::move(rgba_); }

private:
    static int32_t Pixel(double at, int32_t side) { return std::clamp(static_cast<int32_t>(std::lround(at)), 0, side - 1); }

    // Liang-Barsky: the part of the segment inside [0, width] x [0, height].
    bool Clip(SkinPoint& a, SkinPoint& b) const {
        double from = 0, to = 1;
        const double d[2] = {b.x - a.x, b.y - a.y};
        const double start[2] = {a.x, a.y}, end[2] = {double(width_), double(height_)};
        for (int axis = 0; axis < 2; ++axis)
            for (const auto& [p, q] : {std::pair{-d[axis], start[axis]}, std::pair{d[axis], end[axis] - start[axis]}}) {
                if (p == 0) {
                    if (q < 0) return false;
                    continue;
                }
                const double r = q / p;
                if (p < 0) from = std::max(from, r);
                else to = std::min(to, r);
            }
        if (from > to) return false;
        const SkinPoint origin = a;
        a = {origin.x + d[0] * from, origin.y + d[1] * from};
        b = {origin.x + d[0] * to, origin.y + d[1] * to};
        return true;
    }

    int32_t width_, height_;
    std::vector<uint8_t> rgba_;
};

// The skin at the header's size, each of its pixels a scale x scale block.
void PaintSkin(Canvas& canvas, const SkinImage& skin, int32_t width, int32_t height, int scale) {
    const bool fits = skin.width == width && skin.height == height;
    const std::vector<uint8_t> scaled = fits ? std::vector<uint8_t>() : ScaleRgb(skin.pixels, skin.width, skin.height, width, height);
    const std::vector<uint8_t>& rgb = fits ? skin.pixels : scaled;
    for (int32_t y = 0; y < canvas.Height(); ++y)
        for (int32_t x = 0; x < canvas.Width(); ++x)
            canvas.Plot(x, y, &rgb[(size_t(y / scale) * size_t(width) + size_t(x / scale)) * 3]);
}

// The triangle's pixels whose middles it holds, half covered in the highlight.
void Fill(Canvas& canvas, const std::array<SkinPoint, 3>& c, int scale) {
    const double turn = SkinTurn(c);
    if (turn == 0) return;
    const auto side = [](const SkinPoint& o, const SkinPoint& a, const SkinPoint& p) {
        return (a.x - o.x) * (p.y - o.y) - (a.y - o.y) * (p.x - o.x);
    };
    const auto range = [&](double low, double high, int32_t size) {
        return std::pair{std::clamp(static_cast<int32_t>(std::floor(low * scale)), 0, size),
                         std::clamp(static_cast<int32_t>(std::ceil(high * scale)), 0, size)};
    };
    const auto [left, right] = range(std::min({c[0].x, c[1].x, c[2].x}), std::max({c[0].x, c[1].x, c[2].x}), canvas.Width());
    const auto [top, bottom] = range(std::min({c[0].y, c[1].y, c[2].y}), std::max({c[0].y, c[1].y, c[2].y}), canvas.Height());
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x) {
            const SkinPoint p = SkinPointOfPixel(x, y, scale);
            const double a = side(c[0], c[1], p), b = side(c[1], c[2], p), d = side(c[2], c[0], p);
            if (turn > 0 ? a < 0 || b < 0 || d < 0 : a > 0 || b > 0 || d > 0) continue;
            uint8_t* px = canvas.At(x, y);
            for (int k = 0; k < 3; ++k) px[k] = static_cast<uint8_t>((px[k] + kLayoutHighlight[k]) / 2);
        }
}

// Which triangles have no area in the frame.
std::vector<bool> Folded(const Md2Model& model, int32_t frame) {
    std::vector<bool> folded(model.triangles.size());
    if (!model.HasFrame(frame)) return folded;
    const Md2Frame& f = model.frames[static_cast<size_t>(frame)];
    for (size_t t = 0; t < folded.size(); ++t) {
        const uint16_t* v = model.triangles[t].vertex;
        if (v[0] >= f.vertices.size() || v[1] >= f.vertices.size() || v[2] >= f.vertices.size()) continue;
        const Vec3d a = VertexPosition(f, v[0]), b = VertexPosition(f, v[1]), c = VertexPosition(f, v[2]);
        const Vec3d u{b.x - a.x, b.y - a.y, b.z - a.z}, w{c.x - a.x, c.y - a.y, c.z - a.z};
        folded[t] = u.y * w.z - u.z * w.y == 0 && u.z * w.x - u.x * w.z == 0 && u.x * w.y - u.y * w.x == 0;
    }
    return folded;
}


}  // namespace

std::string SkinLayoutProblem(const Md2Model& model, int scale) {
    if (model.skinWidth <= 0 || model.skinHeight <= 0)
        return "its header gives the skin size as " + std::to_string(model.skinWidth) + " x " +
               std::to_string(model.skinHeight) + ", so it has no skin to lay out";
    if (int64_t{model.skinWidth} * scale > kMaxLayoutSide || int64_t{model.skinHeight} * scale > kMaxLayoutSide)
        return "its skin is " + std::to_string(model.skinWidth) + " x " + std::to_string(model.skinHeight) +
               "; a layout at scale " + std::to_string(scale) + " would be more than " + std::to_string(kMaxLayoutSide) +
               " pixels a side";
    return {};
}

int ScaleToFit(const Md2Model& model, int32_t side) {
    const int32_t longer = std::max({model.skinWidth, model.skinHeight, 1});
    return std::clamp(side / longer, 1, kMaxLayoutScale);
}

SkinLayout DrawSkinLayout(const SkinLayoutRequest& request) {
    const Md2Model& model = *request.model;
    const int scale = request.scale;
    const int32_t width = model.skinWidth, height = model.skinHeight;
    Canvas canvas(width * scale, height * scale);
    SkinLayout out;
    if (const SkinImage* skin = request.skin; skin && skin->width > 0 && skin->height > 0) {
        if (skin->width != width || skin->height != height)
            out.notes.push_back("the skin " + skin->fileName + " is " + std::to_string(skin->width) + " x " +
                                std::to_string(skin->height) + ", not the " + std::to_string(width) + " x " +
                                std::to_string(height) + " the header gives; it is scaled to that under the layout");
        PaintSkin(canvas, *skin, width, height, scale);
    } else {
        for (int32_t y = 0; y < canvas.Height(); ++y)
            for (int32_t x = 0; x < canvas.Width(); ++x) canvas.Plot(x, y, kLayoutGround);
    }
    const std::vector<bool> folded = Folded(model, request.frame);
    const std::vector<SkinEdge> edges = SkinEdges(model);
    const auto scaled = [scale](SkinPoint p) { return SkinPoint{p.x * scale, p.y * scale}; };
    // Seams last, so they show where a plain edge lies along one.
    for (EdgeKind kind : {EdgeKind::AsPainted, EdgeKind::Mirrored, EdgeKind::Seam}) {
        const uint8_t* rgb = kind == EdgeKind::AsPainted ? kAsPaintedColour
                             : kind == EdgeKind::Mirrored ? kMirroredColour
                                                          : kSeamColour;
        for (const SkinEdge& e : edges)
            if (e.kind == kind) canvas.Line(scaled(e.a), scaled(e.b), rgb, folded[static_cast<size_t>(e.triangle)]);
    }
    if (request.highlight >= 0 && request.highlight < model.TriangleCount()) {
        const auto c = SkinCorners(model, model.triangles[static_cast<size_t>(request.highlight)]);
        Fill(canvas, c, scale);
        for (int k = 0; k < 3; ++k) canvas.Line(scaled(c[size_t(k)]), scaled(c[size_t((k + 1) % 3)]), kLayoutHighlight, false);
    }

    if (const CornersOutside outside = CornersOutsideSkin(model); outside.count > 0)
        out.notes.push_back(Plural(outside.count, "texture corner lies", "texture corners lie") + " outside the " +
                            std::to_string(width) + " x " + std::to_string(height) + " skin, up to " +
                            FormatNumber(static_cast<float>(outside.farthest)) + " pixels beyond its edge; they are drawn clipped");
    if (const auto n = std::count(folded.begin(), folded.end(), true); n > 0)
        out.notes.push_back(Plural(n, "triangle has", "triangles have") + " no area in frame " +
                            std::to_string(request.frame) + " (" +
                            NameToUtf8(model.frames[static_cast<size_t>(request.frame)].name) + (n == 1 ? "); it is dotted" : "); they are dotted"));
    out.width = canvas.Width();
    out.height = canvas.Height();
    out.rgba = canvas.Take();
    return out;
}

}  // namespace meshara
