#pragma once
// Inside convert/ only: what reading a glTF document (gltf_import.cpp) hands
// to sampling its animations (gltf_sampling.cpp). Nothing here knows
// tinygltf: the chosen mesh's vertices, the nodes that place it, its skin
// and its clips, all checked against the file already.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/source_mesh.h"
#include "io/result.h"
#include "view/vecmath.h"

namespace meshara::gltf {

// A refusal of a glTF file whose contents do not hold together.
Failure Bad(std::string why);

// One animation channel's keys, ready to sample.
struct Track {
    int node = -1;
    enum class Path { Translation, Rotation, Scale, Weights } path = Path::Translation;
    enum class Mode { Step, Linear, Cubic } mode = Mode::Linear;
    // Shared with every channel that names the same accessors.
    std::shared_ptr<const std::vector<double>> times;
    std::shared_ptr<const std::vector<double>> values;  // per key comps numbers (three sets of them for cubic keys)
    size_t comps = 0;

    // The value at time t (keys at t, within rounding, give theirs exactly).
    std::vector<double> At(double t) const;
};

struct Clip {
    std::string name;
    std::vector<Track> tracks;
    double start = 0, end = 0;
    // Its last key is its first frame again, put there to close a loop: not a frame of its own.
    bool closingKey = false;
};

struct Primitive {
    std::vector<Vec3d> positions;
    std::vector<std::shared_ptr<const std::vector<double>>> targets;  // per morph target, x y z per vertex (null: moves nothing)
    std::vector<std::array<uint32_t, 4>> joints;
    std::vector<std::array<double, 4>> weights;
};

// A node as the file places it when nothing animates it.
struct Node {
    int parent = -1;
    std::optional<Mat4d> matrix;  // given whole: animations do not move the node
    Vec3d translation;
    Quatd rotation;
    Vec3d scale{1, 1, 1};
};

struct Joint {
    int node = -1;
    Mat4d inverseBind = kIdentityMat4d;
};

// The mesh converted and everything that moves it.
struct Rig {
    std::vector<Node> nodes;  // every node of the file; parents before children is not assumed
    int meshNode = -1;
    std::string meshName;
    std::vector<Primitive> primitives;
    std::vector<double> restWeights;  // one per morph target
    std::vector<Joint> joints;        // its skin's; none: placed by its node alone
};

// Drops the clips that do not move the mesh: none of its morph weights and
// no transform of a node that places it (its own, its joints' or any of
// their ancestors'). A clip asked for by name must move it.
Status DropStillClips(const Rig& rig, std::vector<Clip>& clips, bool named);

// The frames of every clip, sampled at fps from its start to its end, or
// the rest pose when there is no clip, appended to out with their names.
Status SampleClips(const Rig& rig, const std::vector<Clip>& clips, double fps, SourceMesh& out);

}  // namespace meshara::gltf
