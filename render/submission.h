#pragma once
// Sending a model's triangles to GL. Every routine needs the GL context
// current. Positions and normals go out in GL's axes (model/geometry.h).

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "model/corner_weld.h"
#include "model/md2_model.h"

namespace meshara {

// Immediate mode is the reference, one glBegin per triangle; vertex arrays
// send exactly the same corners, built once per model and frame.
enum class SubmissionPath { Immediate, VertexArrays };

// A frame of the file, or (during playback) a blend from frame toward next:
// positions mixed linearly, normals mixed and made unit length again.
struct FramePose {
    int32_t frame = 0;
    int32_t next = -1;  // the frame blended toward; -1 for frame exactly
    float t = 0;        // 0 is frame, 1 would be next
    FramePose(int32_t exact = 0) : frame(exact) {}  // NOLINT: a frame number is a pose
    FramePose(int32_t from, int32_t to, float blend) : frame(from), next(to), t(blend) {}
};

// What drawing a model needs beyond the model itself, made as it is first
// needed and kept: the welded corners, each frame's arrays and normals, and
// the last blend drawn (for the other passes of the same picture).
struct ModelArrays {
    struct Frame {
        bool built = false;
        std::vector<float> positions;  // x, y, z in GL's axes per welded vertex
        std::vector<float> normals;
    };
    explicit ModelArrays(const Md2Model& model);
    CornerWeld weld;
    std::vector<float> texCoords;  // s, t per welded vertex, shared by every frame
    std::vector<Frame> frames;
    std::vector<std::vector<Vec3d>> normals;  // per frame, in the model's axes; empty until needed
    Frame blend;
    int32_t blendFrom = -1, blendTo = -1;
    float blendT = -1;
    // The box of the animation last asked for (Submitter::AnimationBox), in the model's axes.
    Bounds animationBox;
    int32_t boxFirst = -1, boxLast = -1;
};

// The arrays of every model drawn, kept while anyone holds the model.
class ModelArrayCache {
public:
    ModelArrays& For(const std::shared_ptr<const Md2Model>& model);
    // Drops what belongs to models nobody holds any more.
    void Collect();

private:
    struct Entry {
        std::weak_ptr<const Md2Model> model;
        std::unique_ptr<ModelArrays> arrays;
    };
    std::unordered_map<const Md2Model*, Entry> entries_;
};

// One model's triangles through one path. Nothing is drawn for a frame
// outside the model's range or a model without triangles; a blend toward a
// frame the model lacks draws the frame exactly.
class Submitter {
public:
    Submitter(const Md2Model& model, ModelArrays& arrays, SubmissionPath path)
        : model_(model), arrays_(arrays), path_(path) {}
    void Plain(FramePose pose);        // positions
    void Textured(FramePose pose);     // texture coordinates, positions
    void Lit(FramePose pose);          // normals, positions
    void LitTextured(FramePose pose);  // normals, texture coordinates, positions
    // Builds the arrays of every frame now instead of on first use.
    void PrepareAllFrames();
    // Each model vertex where the pose puts it and the normal the lit passes
    // light it with, in the model's axes; both empty where nothing is drawn.
    void Posed(FramePose pose, std::vector<Vec3d>& positions, std::vector<Vec3d>& normals);
    // The box of the animation holding frame over all its frames (the frame's
    // own box for a frame in no animation); empty for a frame out of range.
    const Bounds& AnimationBox(int32_t frame);

private:
    template <bool kNormals, bool kTexCoords>
    void Draw(FramePose pose);
    template <bool kNormals, bool kTexCoords>
    void DrawImmediate(const FramePose& pose);
    template <bool kNormals, bool kTexCoords>
    void DrawArrays(const FramePose& pose);
    // The frame's normals, made from its positions when given (or decoded now) and kept.
    const std::vector<Vec3d>& NormalsOf(int32_t frame, const std::vector<Vec3d>* positions = nullptr);
    const ModelArrays::Frame& ArraysOf(int32_t frame);
    const ModelArrays::Frame& BlendOf(const FramePose& pose);

    const Md2Model& model_;
    ModelArrays& arrays_;
    SubmissionPath path_;
};

}  // namespace meshara
