#include "model/md2_model.h"

#include <algorithm>
#include <new>

#include "io/file_name.h"

namespace meshara {

Md2Model MakeMd2Model(Md2File file, std::string name) {
    Md2Model model;
    model.name = std::move(name);
    model.vertexCount = file.vertexCount;
    model.skinWidth = file.skinWidth;
    model.skinHeight = file.skinHeight;
    model.skinNames = std::move(file.skinNames);
    model.triangles = std::move(file.triangles);
    model.frames = std::move(file.frames);
    model.cornersWithoutTexCoord = file.cornersWithoutTexCoord;
    std::vector<std::string> names;
    names.reserve(model.frames.size());
    for (const Md2Frame& f : model.frames) names.push_back(f.name);
    model.animations = FindAnimations(names);
    return model;
}

namespace {
Result<std::shared_ptr<Md2Model>> Made(Result<Md2File> file, std::string name) {
    if (!file) return file.Why();
    try {
        return std::make_shared<Md2Model>(MakeMd2Model(file.Take(), std::move(name)));
    } catch (const std::bad_alloc&) {
        return Failure{ErrorKind::CannotOpen, "not enough memory to hold the model"};
    }
}
}  // namespace

Result<std::shared_ptr<Md2Model>> ParseMd2Model(std::span<const uint8_t> bytes, std::string name) {
    return Made(ParseMd2(bytes), std::move(name));
}

Result<std::shared_ptr<Md2Model>> LoadMd2Model(const std::string& path) {
    return Made(ReadMd2File(path), FileNameOfPath(path));
}

std::vector<Vec3d> FramePositions(const Md2Model& model, int32_t frame) {
    const Md2Frame& f = model.frames[static_cast<size_t>(frame)];
    std::vector<Vec3d> out(f.vertices.size());
    for (size_t v = 0; v < out.size(); ++v) out[v] = VertexPosition(f, v);
    return out;
}

Bounds FrameBounds(const Md2Model& model, int32_t first, int32_t last) {
    Bounds box;
    for (int32_t f = std::max(first, 0); f <= std::min(last, model.FrameCount() - 1); ++f) {
        const Md2Frame& frame = model.frames[static_cast<size_t>(f)];
        for (size_t v = 0; v < frame.vertices.size(); ++v) box.Add(VertexPosition(frame, v));
    }
    return box;
}

bool TriangleHasArea(const Md2Frame& f, uint16_t ia, uint16_t ib, uint16_t ic) {
    const Vec3d a = VertexPosition(f, ia), b = VertexPosition(f, ib), c = VertexPosition(f, ic);
    const Vec3d u{b.x - a.x, b.y - a.y, b.z - a.z}, v{c.x - a.x, c.y - a.y, c.z - a.z};
    return u.y * v.z - u.z * v.y != 0 || u.z * v.x - u.x * v.z != 0 || u.x * v.y - u.y * v.x != 0;
}

bool FrameDrawsSomething(const Md2Model& model, int32_t frame) {
    if (!model.HasFrame(frame)) return false;
    const Md2Frame& f = model.frames[static_cast<size_t>(frame)];
    for (const Md2Triangle& t : model.triangles) {
        if (t.vertex[0] >= f.vertices.size() || t.vertex[1] >= f.vertices.size() || t.vertex[2] >= f.vertices.size())
            continue;
        if (TriangleHasArea(f, t.vertex[0], t.vertex[1], t.vertex[2])) return true;
    }
    return false;
}

std::vector<bool> UsedVertices(const Md2Model& model) {
    std::vector<bool> used(static_cast<size_t>(std::max(model.vertexCount, 0)));
    for (const Md2Triangle& t : model.triangles)
        for (uint16_t v : t.vertex)
            if (v < used.size()) used[v] = true;
    return used;
}

Bounds DrawnBounds(const Md2Model& model, int32_t first, int32_t last) {
    const std::vector<bool> used = UsedVertices(model);
    Bounds box;
    for (int32_t f = std::max(first, 0); f <= std::min(last, model.FrameCount() - 1); ++f) {
        const Md2Frame& frame = model.frames[static_cast<size_t>(f)];
        for (size_t v = 0; v < frame.vertices.size() && v < used.size(); ++v)
            if (used[v]) box.Add(VertexPosition(frame, v));
    }
    return box;
}

const Md2Animation* AnimationHolding(const Md2Model& model, int32_t frame) {
    const int32_t at = AnimationOfFrame(model.animations, frame);
    return at < 0 ? nullptr : &model.animations[static_cast<size_t>(at)];
}

}  // namespace meshara
