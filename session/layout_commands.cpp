// Rendering > Show > Skin Layout: the current model's triangles where they
// lie on its texture map, in a window beside the view that follows the
// model, its map and the frame; the triangle under the pointer there is
// picked out in the layout and in the view.
#include <cmath>
#include <cstdio>

#include "formats/png_writer.h"
#include "io/file_bytes.h"
#include "session/commands.h"
#include "session/inputs.h"
#include "session/messages.h"
#include "view/vecmath.h"

namespace meshara {

namespace {

// The current model's front triangle drawn at the view's pixel (x, y) of a
// view of size, found as GL places it (render/gl_view.cpp): the eye 3 units
// back, the camera's scale, pan, turn and offset, a 30 degree field; -1 for
// none. Back faces count only in wireframe, where they are drawn.
int32_t TriangleAtViewPoint(const Md2Model& model, int32_t frame, const ViewState& view, PixelSize size, int x, int y) {
    if (!model.HasFrame(frame) || size.width < 1 || size.height < 1) return -1;
    const Camera& c = view.camera;
    float m[16];
    QuatToMatrix(m, c.rotation);
    const double f = 1 / std::tan(15 * 3.14159265358979323846 / 180), aspect = double(size.width) / size.height;
    struct Seen {
        double x, y, inverseDepth;
    };
    const Md2Frame& posed = model.frames[static_cast<size_t>(frame)];
    std::vector<Seen> seen(posed.vertices.size());
    for (size_t v = 0; v < seen.size(); ++v) {
        const Vec3d g = ToGlAxes(VertexPosition(posed, v));
        const double p[3] = {g.x + c.modelOffset.x, g.y + c.modelOffset.y, g.z + c.modelOffset.z};
        double e[3];
        for (int row = 0; row < 3; ++row) e[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2];
        const double ex = c.zoom * (e[0] + c.pan.x), ey = c.zoom * (e[1] + c.pan.y), ez = c.zoom * (e[2] + c.pan.z) - 3;
        seen[v] = ez < 0 ? Seen{f / aspect * ex / -ez, f * ey / -ez, 1 / -ez} : Seen{0, 0, -1};
    }
    const double px = 2.0 * (x + 0.5) / size.width - 1, py = 1 - 2.0 * (y + 0.5) / size.height;
    int32_t best = -1;
    double nearest = 0;
    for (size_t t = 0; t < model.triangles.size(); ++t) {
        const uint16_t* v = model.triangles[t].vertex;
        const Seen &a = seen[v[0]], &b = seen[v[1]], &d = seen[v[2]];
        if (a.inverseDepth < 0 || b.inverseDepth < 0 || d.inverseDepth < 0) continue;
        const double area = (b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x);
        if (area == 0 || (area < 0 && !view.wireframe)) continue;
        const double wa = ((b.x - px) * (d.y - py) - (b.y - py) * (d.x - px)) / area;
        const double wb = ((d.x - px) * (a.y - py) - (d.y - py) * (a.x - px)) / area;
        const double wd = 1 - wa - wb;
        if (wa < 0 || wb < 0 || wd < 0) continue;
        const double inverseDepth = wa * a.inverseDepth + wb * b.inverseDepth + wd * d.inverseDepth;
        if (best < 0 || inverseDepth > nearest) best = static_cast<int32_t>(t), nearest = inverseDepth;
    }
    return best;
}

}  // namespace

SkinLayoutRequest Commands::LayoutRequest(int32_t highlight) const {
    const ModelSlot* slot = doc_.models.CurrentModel();
    if (!slot) return {};
    const Md2Model& model = *slot->model;
    const int scale = ScaleToFit(model, kLayoutWindowSide);
    if (!SkinLayoutProblem(model, scale).empty()) return {};
    const SkinImage* map = slot->MapOn(MapKind::Texture) ? slot->Map(MapKind::Texture).get() : nullptr;
    return {.model = &model, .skin = map, .scale = scale, .frame = doc_.models.currentFrame, .highlight = highlight};
}

void Commands::ToggleSkinLayout() {
    view_.layoutShown = !view_.layoutShown;
    view_.pointedTriangle = -1;
    layoutShown_ = {};
    if (view_.layoutShown) SyncSkinLayout();
    else ui_.ShowSkinLayout(false, {});
    ui_.RequestRedraw();
}

void Commands::SkinLayoutClosed() {
    if (view_.layoutShown) ToggleSkinLayout();
}

void Commands::SyncSkinLayout() {
    if (!view_.layoutShown) return;
    const ModelSlot* slot = doc_.models.CurrentModel();
    const std::shared_ptr<const Md2Model> model = slot ? slot->model : nullptr;
    const std::shared_ptr<const SkinImage> map =
        slot && slot->MapOn(MapKind::Texture) ? slot->Map(MapKind::Texture) : nullptr;
    // A triangle pointed at belongs to the model it was found in.
    if (model != layoutShown_.model.lock()) view_.pointedTriangle = -1;
    const SkinLayoutRequest request = LayoutRequest(view_.pointedTriangle);
    LayoutShown now{model, map, doc_.models.currentFrame, view_.pointedTriangle, request.scale, true};
    const LayoutShown& was = layoutShown_;
    // A model or picture freed since reads as none, so one made at its address is new.
    if (was.sent && model == was.model.lock() && map == was.map.lock() && now.frame == was.frame &&
        now.triangle == was.triangle)
        return;
    layoutShown_ = now;
    ui_.ShowSkinLayout(true, request.model ? DrawSkinLayout(request) : SkinLayout{});
}

void Commands::PointAtLayout(int x, int y) {
    if (!view_.layoutShown) return;
    SyncSkinLayout();  // a model changed since is taken in first, so the new pick is of it
    const SkinLayoutRequest request = LayoutRequest(-1);
    const int32_t triangle = request.model && x >= 0 && y >= 0
                                 ? TriangleAtSkinPoint(*request.model, SkinPointOfPixel(x, y, request.scale))
                                 : -1;
    if (triangle == view_.pointedTriangle) return;
    view_.pointedTriangle = triangle;
    SyncSkinLayout();
    ui_.RedrawView();
}

void Commands::PointAtView(int x, int y) {
    const ModelSlot* slot = doc_.models.CurrentModel();
    if (!view_.layoutShown || !slot) return;
    SyncSkinLayout();
    const int32_t triangle = x < 0 || !slot->visible ? -1
                             : TriangleAtViewPoint(*slot->model, doc_.models.currentFrame, view_, ui_.ViewSize(), x, y);
    if (triangle == view_.pointedTriangle) return;
    view_.pointedTriangle = triangle;
    SyncSkinLayout();
    ui_.RedrawView();
}

void Commands::SaveSkinLayout() {
    const SkinLayoutRequest request = LayoutRequest(-1);
    if (!request.model) return;
    std::string name = doc_.models.CurrentModel()->Name();
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    std::string path;
    int filterIndex = 0;
    if (!Choose({"Save Skin Layout as PNG", "PNG picture (*.png)|*.png|All Files (*.*)|*.*", name + "-layout.png", true, {}},
                path, filterIndex))
        return;
    path = WithDefaultExtension(std::move(path), ".png");
    SavePng(
        path,
        [&]() -> std::optional<std::vector<uint8_t>> {
            const SkinLayout layout = DrawSkinLayout(request);
            return EncodePng(layout.width, layout.height, layout.rgba, 4);
        },
        "");
}

}  // namespace meshara
