#include "render/submission.h"

#include <GL/gl.h>

#include <cmath>

#include "model/geometry.h"
#include "model/normals.h"

namespace meshara {

namespace {

// a + (b - a) * t for positions; normals the same, then unit length (a
// zero normal, where no face gave one, stays zero).
Vec3d Mix(const Vec3d& a, const Vec3d& b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}
Vec3d MixNormal(const Vec3d& a, const Vec3d& b, double t) {
    const Vec3d n = Mix(a, b, t);
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    return length > 0 ? Vec3d{n.x / length, n.y / length, n.z / length} : Vec3d{0, 0, 0};
}

// Writes a point in GL's axes as three floats and moves on.
float* Put(float* out, const Vec3d& modelPoint) {
    const Vec3d p = ToGlAxes(modelPoint);
    out[0] = static_cast<float>(p.x);
    out[1] = static_cast<float>(p.y);
    out[2] = static_cast<float>(p.z);
    return out + 3;
}

void SendNormal(const Vec3d& n) {
    const Vec3d g = ToGlAxes(n);
    glNormal3f(static_cast<float>(g.x), static_cast<float>(g.y), static_cast<float>(g.z));
}

void SendVertex(const Vec3d& p) {
    const Vec3d g = ToGlAxes(p);
    glVertex3f(static_cast<float>(g.x), static_cast<float>(g.y), static_cast<float>(g.z));
}

bool Drawable(const Md2Model& model, int32_t frame) { return model.HasFrame(frame) && !model.triangles.empty(); }

// The pose a model can draw: a blend only when it has both frames.
FramePose PoseFor(const Md2Model& model, FramePose pose) {
    if (pose.next < 0 || pose.next >= model.FrameCount() || pose.t <= 0 || pose.next == pose.frame) return pose.frame;
    return pose;
}

}  // namespace

ModelArrays::ModelArrays(const Md2Model& model)
    : weld(WeldCorners(model)), frames(model.frames.size()), normals(model.frames.size()) {
    texCoords.reserve(weld.texCoords.size() * 2);
    for (const auto& st : weld.texCoords) texCoords.insert(texCoords.end(), st.begin(), st.end());
}

ModelArrays& ModelArrayCache::For(const std::shared_ptr<const Md2Model>& model) {
    Entry& entry = entries_[model.get()];
    // An expired entry belonged to a model that has gone and whose address this one now has.
    if (!entry.arrays || entry.model.expired()) entry = Entry{model, std::make_unique<ModelArrays>(*model)};
    return *entry.arrays;
}

void ModelArrayCache::Collect() {
    std::erase_if(entries_, [](const auto& item) { return item.second.model.expired(); });
}

const std::vector<Vec3d>& Submitter::NormalsOf(int32_t frame, const std::vector<Vec3d>* positions) {
    std::vector<Vec3d>& n = arrays_.normals[static_cast<size_t>(frame)];
    if (n.empty() && model_.vertexCount > 0)
        n = positions ? VertexNormals(model_, *positions) : FrameNormals(model_, frame);
    return n;
}

const ModelArrays::Frame& Submitter::ArraysOf(int32_t frame) {
    ModelArrays::Frame& f = arrays_.frames[static_cast<size_t>(frame)];
    if (!f.built) {
        // Each vertex decoded once, for its normal and its arrays alike.
        const std::vector<Vec3d> positions = FramePositions(model_, frame);
        const std::vector<Vec3d>& normals = NormalsOf(frame, &positions);
        const size_t count = arrays_.weld.modelVertex.size();
        f.positions.resize(count * 3);
        f.normals.resize(count * 3);
        float* p = f.positions.data();
        float* n = f.normals.data();
        for (uint16_t v : arrays_.weld.modelVertex) {
            p = Put(p, positions[v]);
            n = Put(n, normals[v]);
        }
        f.built = true;
    }
    return f;
}

const ModelArrays::Frame& Submitter::BlendOf(const FramePose& pose) {
    ModelArrays& c = arrays_;
    if (c.blendFrom != pose.frame || c.blendTo != pose.next || c.blendT != pose.t) {
        const Md2Frame& a = model_.frames[static_cast<size_t>(pose.frame)];
        const Md2Frame& b = model_.frames[static_cast<size_t>(pose.next)];
        const std::vector<Vec3d>& na = NormalsOf(pose.frame);
        const std::vector<Vec3d>& nb = NormalsOf(pose.next);
        ModelArrays::Frame& f = c.blend;
        f.positions.resize(c.weld.modelVertex.size() * 3);
        f.normals.resize(c.weld.modelVertex.size() * 3);
        float* p = f.positions.data();
        float* n = f.normals.data();
        for (uint16_t v : c.weld.modelVertex) {
            p = Put(p, Mix(VertexPosition(a, v), VertexPosition(b, v), pose.t));
            n = Put(n, MixNormal(na[v], nb[v], pose.t));
        }
        c.blendFrom = pose.frame;
        c.blendTo = pose.next;
        c.blendT = pose.t;
    }
    return c.blend;
}

template <bool kNormals, bool kTexCoords>
void Submitter::DrawImmediate(const FramePose& pose) {
    const Md2Frame& f = model_.frames[static_cast<size_t>(pose.frame)];
    const bool blended = pose.next >= 0;
    const Md2Frame& g = model_.frames[static_cast<size_t>(blended ? pose.next : pose.frame)];
    const std::vector<Vec3d>* normals = kNormals ? &NormalsOf(pose.frame) : nullptr;
    const std::vector<Vec3d>* nextNormals = kNormals && blended ? &NormalsOf(pose.next) : normals;
    for (const Md2Triangle& t : model_.triangles) {
        glBegin(GL_TRIANGLES);
        for (int c = 0; c < 3; ++c) {
            const uint16_t i = t.vertex[c];
            if constexpr (kNormals) SendNormal(blended ? MixNormal((*normals)[i], (*nextNormals)[i], pose.t) : (*normals)[i]);
            if constexpr (kTexCoords)
                glTexCoord2f(static_cast<float>(t.texCoord[c][0]), static_cast<float>(t.texCoord[c][1]));
            SendVertex(blended ? Mix(VertexPosition(f, i), VertexPosition(g, i), pose.t) : VertexPosition(f, i));
        }
        glEnd();
    }
}

template <bool kNormals, bool kTexCoords>
void Submitter::DrawArrays(const FramePose& pose) {
    const ModelArrays::Frame& f = pose.next >= 0 ? BlendOf(pose) : ArraysOf(pose.frame);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, f.positions.data());
    if constexpr (kNormals) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, f.normals.data());
    }
    if constexpr (kTexCoords) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 0, arrays_.texCoords.data());
    }
    const std::vector<uint32_t>& indices = arrays_.weld.indices;
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
    if constexpr (kTexCoords) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if constexpr (kNormals) glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

template <bool kNormals, bool kTexCoords>
void Submitter::Draw(FramePose pose) {
    if (!Drawable(model_, pose.frame)) return;
    pose = PoseFor(model_, pose);
    if (path_ == SubmissionPath::Immediate)
        DrawImmediate<kNormals, kTexCoords>(pose);
    else
        DrawArrays<kNormals, kTexCoords>(pose);
}

void Submitter::Plain(FramePose pose) { Draw<false, false>(pose); }
void Submitter::Textured(FramePose pose) { Draw<false, true>(pose); }
void Submitter::Lit(FramePose pose) { Draw<true, false>(pose); }
void Submitter::LitTextured(FramePose pose) { Draw<true, true>(pose); }

void Submitter::PrepareAllFrames() {
    for (int32_t f = 0; f < model_.FrameCount(); ++f) ArraysOf(f);
}

void Submitter::Posed(FramePose pose, std::vector<Vec3d>& positions, std::vector<Vec3d>& normals) {
    positions.clear();
    normals.clear();
    if (!Drawable(model_, pose.frame)) return;
    pose = PoseFor(model_, pose);
    const Md2Frame& f = model_.frames[static_cast<size_t>(pose.frame)];
    const std::vector<Vec3d>& n = NormalsOf(pose.frame);
    if (pose.next < 0) {
        positions = FramePositions(model_, pose.frame);
        normals = n;
        return;
    }
    const Md2Frame& g = model_.frames[static_cast<size_t>(pose.next)];
    const std::vector<Vec3d>& m = NormalsOf(pose.next);
    positions.reserve(f.vertices.size());
    normals.reserve(f.vertices.size());
    for (size_t v = 0; v < f.vertices.size(); ++v) {
        positions.push_back(Mix(VertexPosition(f, v), VertexPosition(g, v), pose.t));
        normals.push_back(MixNormal(n[v], m[v], pose.t));
    }
}

const Bounds& Submitter::AnimationBox(int32_t frame) {
    ModelArrays& c = arrays_;
    const Md2Animation* a = AnimationHolding(model_, frame);
    const int32_t first = a ? a->first : frame, last = a ? a->last : frame;
    if (c.boxFirst != first || c.boxLast != last) {
        c.animationBox = FrameBounds(model_, first, last);
        c.boxFirst = first;
        c.boxLast = last;
    }
    return c.animationBox;
}

}  // namespace meshara
