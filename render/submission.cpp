#include "render/submission.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "model/vertex_normals.h"
#include "skins/skin_scale.h"

namespace meshara {

namespace {

SubmissionPath g_path = SubmissionPath::VertexArrays;

// The arrays are indexed: corners that share a model vertex and the same
// texture coordinate become one array vertex, so GL transforms and lights
// each of them once rather than once per corner. The index list keeps every
// triangle and corner in stored order. Conversion to float and the y/z
// exchange happen here, once, rather than at every pass.
struct FrameArrays {
    bool built = false;
    std::vector<float> positions;  // x, z, y per array vertex
    std::vector<float> normals;    // x, z, y per array vertex
};

struct ArrayCache final : ModelRenderCache {
    std::vector<uint32_t> indices;     // three per triangle, in stored corner order
    std::vector<uint16_t> modelVertex; // the model vertex of each array vertex
    std::vector<float> texCoords;      // s, t per array vertex, shared by every frame
    std::vector<FrameArrays> frames;
    // The last blend drawn, kept for the other passes of the same picture.
    FrameArrays blend;
    int32_t blendFrom = -1, blendTo = -1;
    float blendT = -1;
};

ArrayCache& CacheOf(const Md2Model& model) {
    if (!model.renderCache) {
        auto cache = std::make_unique<ArrayCache>();
        cache->frames.resize(model.frames.size());
        cache->indices.reserve(model.triangles.size() * 3);
        // Keyed by the model vertex and the exact float bits of (s, t).
        std::map<std::tuple<uint16_t, uint32_t, uint32_t>, uint32_t> seen;
        for (const Md2Triangle& t : model.triangles)
            for (int c = 0; c < 3; ++c) {
                const float st[2] = {static_cast<float>(t.texCoord[c][0]), static_cast<float>(t.texCoord[c][1])};
                uint32_t bits[2];
                std::memcpy(bits, st, sizeof bits);
                const auto next = static_cast<uint32_t>(cache->modelVertex.size());
                const auto [at, added] = seen.try_emplace({t.vertex[c], bits[0], bits[1]}, next);
                if (added) {
                    cache->modelVertex.push_back(t.vertex[c]);
                    cache->texCoords.insert(cache->texCoords.end(), st, st + 2);
                }
                cache->indices.push_back(at->second);
            }
        model.renderCache = std::move(cache);
    }
    return static_cast<ArrayCache&>(*model.renderCache);
}

const FrameArrays& ArraysOf(const Md2Model& model, int32_t frame) {
    ArrayCache& cache = CacheOf(model);
    FrameArrays& f = cache.frames[static_cast<size_t>(frame)];
    if (!f.built) {
        const Md2Frame& src = model.frames[static_cast<size_t>(frame)];
        const std::vector<Vec3d>& normals = FrameNormals(model, frame);
        f.positions.reserve(cache.modelVertex.size() * 3);
        f.normals.reserve(cache.modelVertex.size() * 3);
        for (uint16_t v : cache.modelVertex) {
            const Vec3d& p = src.vertices[v];
            const Vec3d& n = normals[v];
            f.positions.insert(f.positions.end(),
                               {static_cast<float>(p.x), static_cast<float>(p.z), static_cast<float>(p.y)});
            f.normals.insert(f.normals.end(),
                             {static_cast<float>(n.x), static_cast<float>(n.z), static_cast<float>(n.y)});
        }
        f.built = true;
    }
    return f;
}

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

const FrameArrays& BlendOf(const Md2Model& model, const FramePose& pose) {
    ArrayCache& cache = CacheOf(model);
    if (cache.blendFrom != pose.frame || cache.blendTo != pose.next || cache.blendT != pose.t) {
        const Md2Frame& a = model.frames[static_cast<size_t>(pose.frame)];
        const Md2Frame& b = model.frames[static_cast<size_t>(pose.next)];
        const std::vector<Vec3d>& na = FrameNormals(model, pose.frame);
        const std::vector<Vec3d>& nb = FrameNormals(model, pose.next);
        FrameArrays& f = cache.blend;
        f.positions.clear();
        f.normals.clear();
        for (uint16_t v : cache.modelVertex) {
            const Vec3d p = Mix(a.vertices[v], b.vertices[v], pose.t);
            const Vec3d n = MixNormal(na[v], nb[v], pose.t);
            f.positions.insert(f.positions.end(),
                               {static_cast<float>(p.x), static_cast<float>(p.z), static_cast<float>(p.y)});
            f.normals.insert(f.normals.end(),
                             {static_cast<float>(n.x), static_cast<float>(n.z), static_cast<float>(n.y)});
        }
        cache.blendFrom = pose.frame;
        cache.blendTo = pose.next;
        cache.blendT = pose.t;
    }
    return cache.blend;
}

bool Drawable(const Md2Model& model, int32_t frame) {
    return frame >= 0 && frame < model.FrameCount() && model.triangleCount > 0 && !model.triangles.empty();
}

// The pose a model can draw: a blend only when it has both frames.
FramePose PoseFor(const Md2Model& model, FramePose pose) {
    if (pose.next < 0 || pose.next >= model.FrameCount() || pose.t <= 0 || pose.next == pose.frame) return pose.frame;
    return pose;
}

template <bool kNormals, bool kTexCoords>
void DrawImmediate(const Md2Model& model, const FramePose& pose) {
    const Md2Frame& f = model.frames[static_cast<size_t>(pose.frame)];
    const bool blended = pose.next >= 0;
    const Md2Frame& g = model.frames[static_cast<size_t>(blended ? pose.next : pose.frame)];
    const std::vector<Vec3d>* normals = kNormals ? &FrameNormals(model, pose.frame) : nullptr;
    const std::vector<Vec3d>* nextNormals = kNormals && blended ? &FrameNormals(model, pose.next) : normals;
    for (const Md2Triangle& t : model.triangles) {
        glBegin(GL_TRIANGLES);
        for (int c = 0; c < 3; ++c) {
            const uint16_t i = t.vertex[c];
            if constexpr (kNormals) {
                const Vec3d n = blended ? MixNormal((*normals)[i], (*nextNormals)[i], pose.t) : (*normals)[i];
                glNormal3f(static_cast<float>(n.x), static_cast<float>(n.z), static_cast<float>(n.y));
            }
            if constexpr (kTexCoords)
                glTexCoord2f(static_cast<float>(t.texCoord[c][0]), static_cast<float>(t.texCoord[c][1]));
            const Vec3d p = blended ? Mix(f.vertices[i], g.vertices[i], pose.t) : f.vertices[i];
            glVertex3f(static_cast<float>(p.x), static_cast<float>(p.z), static_cast<float>(p.y));
        }
        glEnd();
    }
}

template <bool kNormals, bool kTexCoords>
void DrawArrays(const Md2Model& model, const FramePose& pose) {
    const FrameArrays& f = pose.next >= 0 ? BlendOf(model, pose) : ArraysOf(model, pose.frame);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, f.positions.data());
    if constexpr (kNormals) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, f.normals.data());
    }
    if constexpr (kTexCoords) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 0, CacheOf(model).texCoords.data());
    }
    const std::vector<uint32_t>& indices = CacheOf(model).indices;
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
    if constexpr (kTexCoords) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if constexpr (kNormals) glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

template <bool kNormals, bool kTexCoords>
void Draw(const Md2Model& model, FramePose pose) {
    if (!Drawable(model, pose.frame)) return;
    pose = PoseFor(model, pose);
    if (g_path == SubmissionPath::Immediate)
        DrawImmediate<kNormals, kTexCoords>(model, pose);
    else
        DrawArrays<kNormals, kTexCoords>(model, pose);
}

}  // namespace

void SetSubmissionPath(SubmissionPath path) { g_path = path; }
SubmissionPath GetSubmissionPath() { return g_path; }

void DrawPlain(const Md2Model& model, FramePose pose) { Draw<false, false>(model, pose); }
void DrawTextured(const Md2Model& model, FramePose pose) { Draw<false, true>(model, pose); }
void DrawLit(const Md2Model& model, FramePose pose) { Draw<true, false>(model, pose); }
void DrawLitTextured(const Md2Model& model, FramePose pose) { Draw<true, true>(model, pose); }

void PrepareModelArrays(const Md2Model& model) {
    for (int32_t f = 0; f < model.FrameCount(); ++f) ArraysOf(model, f);
}

void BindSkinTexture(uint32_t texture) {
    glDisable(GL_DITHER);
    glBindTexture(GL_TEXTURE_2D, texture);
}

void SetTextureFilter(int32_t mode) {
    static constexpr GLint kMin[5] = {GL_NEAREST, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_NEAREST,
                                      GL_LINEAR_MIPMAP_LINEAR};
    static constexpr GLint kMag[5] = {GL_NEAREST, GL_LINEAR, GL_LINEAR, GL_LINEAR, GL_LINEAR};
    if (mode < 0 || mode > 4) return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, kMin[mode]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, kMag[mode]);
}

void UploadSkinTexture(const SkinImage& image) {
    glDisable(GL_DITHER);
    glBindTexture(GL_TEXTURE_2D, image.texture);
    // Rows are packed without gaps: a 250-pixel row is 750 bytes, not 752.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Power-of-two sides (as GLU would choose them, within the GL limit) made
    // here, so GLU's own scaler, which can lose the last row, never runs.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    largest = std::max(largest, 64);
    const int32_t width = std::min(NearestPowerOfTwo(image.width), largest);
    const int32_t height = std::min(NearestPowerOfTwo(image.height), largest);
    if (width == image.width && height == image.height) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.data());
        return;
    }
    const std::vector<uint8_t> scaled = ScaleRgb(image.pixels, image.width, image.height, width, height);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, scaled.data());
}

}  // namespace meshara
