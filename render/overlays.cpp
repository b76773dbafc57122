#include "render/overlays.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace meshara {

namespace {

// Coloured line segments in GL's axes, sent with one call.
class Lines {
public:
    void Add(const Vec3d& a, const Vec3d& b, const float* rgb, float alphaA = 1, float alphaB = 1) {
        for (const auto& [p, alpha] : {std::pair{a, alphaA}, std::pair{b, alphaB}}) {
            xyz_.insert(xyz_.end(), {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
            rgba_.insert(rgba_.end(), {rgb[0], rgb[1], rgb[2], alpha});
        }
    }
    void Draw(float width) {
        if (xyz_.empty()) return;
        glLineWidth(width);
        glVertexPointer(3, GL_FLOAT, 0, xyz_.data());
        glColorPointer(4, GL_FLOAT, 0, rgba_.data());
        glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(xyz_.size() / 3));
        xyz_.clear();
        rgba_.clear();
    }

private:
    std::vector<float> xyz_, rgba_;
};

// The twelve edges of a box given in GL's axes.
void AddBox(Lines& lines, const Bounds& box, const float* rgb) {
    if (box.empty) return;
    const auto corner = [&](int i) {
        return Vec3d{i & 1 ? box.max.x : box.min.x, i & 2 ? box.max.y : box.min.y, i & 4 ? box.max.z : box.min.z};
    };
    for (int i = 0; i < 8; ++i)
        for (int axis : {1, 2, 4})
            if (!(i & axis)) lines.Add(corner(i), corner(i | axis), rgb);
}

Bounds ToGl(const Bounds& modelBox) {
    Bounds box;
    if (modelBox.empty) return box;
    box.Add(ToGlAxes(modelBox.min));
    box.Add(ToGlAxes(modelBox.max));
    return box;
}

void AddGrid(Lines& lines, const FloorGrid& grid) {
    if (grid.empty) return;
    const int half = static_cast<int>(std::lround(grid.radius / grid.step));
    const auto fade = [&](double x, double z) {
        return static_cast<float>(std::max(0.0, 1 - std::hypot(x, z) / grid.radius));
    };
    // Every line in pieces of one step, so the fade follows the distance.
    for (int i = -half; i <= half; ++i) {
        const float* rgb = i % 4 == 0 ? kMajorGridColour : kGridColour;
        const double across = i * grid.step;
        for (int j = -half; j < half; ++j) {
            const double from = j * grid.step, to = from + grid.step;
            lines.Add({grid.centreX + across, grid.y, grid.centreZ + from}, {grid.centreX + across, grid.y, grid.centreZ + to},
                      rgb, fade(across, from), fade(across, to));
            lines.Add({grid.centreX + from, grid.y, grid.centreZ + across}, {grid.centreX + to, grid.y, grid.centreZ + across},
                      rgb, fade(from, across), fade(to, across));
        }
    }
}

}  // namespace

double NormalLength(const Bounds& box) {
    if (box.empty) return 0;
    return kNormalLengthShare * std::max({box.max.x - box.min.x, box.max.y - box.min.y, box.max.z - box.min.z});
}

FloorGrid FloorUnder(const Bounds& glBox) {
    FloorGrid grid;
    if (glBox.empty) return grid;
    const double wide = std::max(glBox.max.x - glBox.min.x, glBox.max.z - glBox.min.z);
    const double largest = std::max(wide, glBox.max.y - glBox.min.y);
    const double reach = wide / 2 + std::max(largest / 2, 1.0);
    while (reach / grid.step > 32) grid.step *= 4;
    const double major = 4 * grid.step;
    grid.radius = major * std::ceil(reach / major);
    const Vec3d centre = glBox.Centre();
    grid.centreX = major * std::round(centre.x / major);
    grid.centreZ = major * std::round(centre.z / major);
    // Centred on a major line, the grid must still reach past the far side.
    grid.radius += major * std::ceil(std::max(std::abs(grid.centreX - centre.x), std::abs(grid.centreZ - centre.z)) / major);
    grid.y = glBox.min.y;
    grid.empty = false;
    return grid;
}

void DrawShowItems(const Scene& scene, ModelArrayCache& arrays, SubmissionPath path) {
    const ShowItems& show = scene.show;
    if (!show.Any()) return;
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
                 GL_LIGHTING_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DITHER);
    glDisable(GL_LINE_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);

    const FramePose pose(scene.frame, scene.nextFrame, scene.blend);
    Lines boxes, normals;
    Bounds floor;
    std::vector<Vec3d> positions, directions;
    for (const DrawnModel& drawn : scene.models) {
        if (!drawn.model || !drawn.model->HasFrame(scene.frame)) continue;
        Submitter model(*drawn.model, arrays.For(drawn.model), path);
        const Bounds& animationBox = model.AnimationBox(scene.frame);
        floor.Add(ToGl(animationBox));
        if (!show.box && !show.normals) continue;
        model.Posed(pose, positions, directions);
        if (show.box) {
            Bounds frameBox;
            for (const Vec3d& p : positions) frameBox.Add(p);
            AddBox(boxes, ToGl(animationBox), kAnimationBoxColour);
            AddBox(boxes, ToGl(frameBox), kFrameBoxColour);  // after, so it wins where the two meet
        }
        if (show.normals) {
            const double length = NormalLength(animationBox);
            for (size_t v = 0; v < positions.size() && v < directions.size(); ++v) {
                const Vec3d& p = positions[v];
                const Vec3d& n = directions[v];
                if (n.x == 0 && n.y == 0 && n.z == 0) continue;  // no face reaches it
                normals.Add(ToGlAxes(p), ToGlAxes({p.x + n.x * length, p.y + n.y * length, p.z + n.z * length}),
                            kNormalColour);
            }
        }
    }
    if (show.grid) {
        Lines grid;
        AddGrid(grid, FloorUnder(floor));
        grid.Draw(1.0f);
    }
    boxes.Draw(2.0f);
    normals.Draw(1.0f);

    glPopClientAttrib();
    glPopAttrib();
}

void DrawHighlight(const Scene& scene, ModelArrayCache& arrays, SubmissionPath path) {
    const Md2Model* model = scene.highlightModel.get();
    if (!model || scene.highlightTriangle < 0 || scene.highlightTriangle >= model->TriangleCount() ||
        !model->HasFrame(scene.frame))
        return;
    const auto drawn = std::find_if(scene.models.begin(), scene.models.end(),
                                    [&](const DrawnModel& d) { return d.model.get() == model; });
    if (drawn == scene.models.end()) return;
    std::vector<Vec3d> positions, directions;
    Submitter(*model, arrays.For(drawn->model), path)
        .Posed(FramePose(scene.frame, scene.nextFrame, scene.blend), positions, directions);
    const Md2Triangle& t = model->triangles[static_cast<size_t>(scene.highlightTriangle)];
    float xyz[9];
    for (int c = 0; c < 3; ++c) {
        if (t.vertex[c] >= positions.size()) return;
        const Vec3d p = ToGlAxes(positions[t.vertex[c]]);
        xyz[3 * c] = static_cast<float>(p.x);
        xyz[3 * c + 1] = static_cast<float>(p.y);
        xyz[3 * c + 2] = static_cast<float>(p.z);
    }
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LINE_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, xyz);
    glColor4f(kHighlightColour[0], kHighlightColour[1], kHighlightColour[2], 0.5f);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glColor4f(kHighlightColour[0], kHighlightColour[1], kHighlightColour[2], 1.0f);
    glLineWidth(2.0f);
    glDrawArrays(GL_LINE_LOOP, 0, 3);
    glPopClientAttrib();
    glPopAttrib();
}

}  // namespace meshara
