#include "convert/gltf_sampling.h"

#include <algorithm>
#include <cmath>

#include "convert/model_import.h"
#include "formats/format_names.h"

namespace meshara::gltf {

Failure Bad(std::string why) { return Failure{ErrorKind::Damaged, std::move(why), format::kGltf}; }

std::vector<double> Track::At(double t) const {
    const size_t n = times.size();
    const auto key = [&](size_t k) {
        const size_t at = (mode == Mode::Cubic ? 3 * k + 1 : k) * comps;
        return std::vector<double>(values.begin() + static_cast<std::ptrdiff_t>(at),
                                   values.begin() + static_cast<std::ptrdiff_t>(at + comps));
    };
    const double slack = 1e-6 * std::max(1.0, std::abs(t));
    size_t j = static_cast<size_t>(std::upper_bound(times.begin(), times.end(), t + slack) - times.begin());
    if (j == 0) return key(0);
    --j;
    if (j + 1 >= n || std::abs(t - times[j]) <= slack || mode == Mode::Step) return key(j);
    const double dt = times[j + 1] - times[j];
    const double u = dt > 0 ? std::clamp((t - times[j]) / dt, 0.0, 1.0) : 0;
    std::vector<double> a = key(j), b = key(j + 1), out(comps);
    if (mode == Mode::Cubic) {
        const double u2 = u * u, u3 = u2 * u;
        for (size_t c = 0; c < comps; ++c) {
            const double outTangent = values[(3 * j + 2) * comps + c], inTangent = values[(3 * (j + 1)) * comps + c];
            out[c] = (2 * u3 - 3 * u2 + 1) * a[c] + (u3 - 2 * u2 + u) * dt * outTangent + (-2 * u3 + 3 * u2) * b[c] +
                     (u3 - u2) * dt * inTangent;
        }
        return out;
    }
    if (path == Path::Rotation) {
        const Quatd q = SlerpQuats({a[0], a[1], a[2], a[3]}, {b[0], b[1], b[2], b[3]}, u);
        return {q.x, q.y, q.z, q.w};
    }
    for (size_t c = 0; c < comps; ++c) out[c] = a[c] + (b[c] - a[c]) * u;
    return out;
}

namespace {

bool Same(const std::vector<Vec3d>& a, const std::vector<Vec3d>& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        const double tol = 1e-6 * std::max({1.0, std::abs(a[i].x), std::abs(a[i].y), std::abs(a[i].z)});
        if (std::abs(a[i].x - b[i].x) > tol || std::abs(a[i].y - b[i].y) > tol || std::abs(a[i].z - b[i].z) > tol)
            return false;
    }
    return true;
}

class Poser {
public:
    explicit Poser(const Rig& rig) : rig_(rig) {}

    // Every vertex at time t of the clip whose tracks are given.
    Result<std::vector<Vec3d>> Frame(const std::vector<Track>& tracks, double t) const {
        std::vector<double> weights = rig_.restWeights;
        for (const Track& track : tracks)
            if (track.path == Track::Path::Weights) weights = track.At(t);
        std::vector<std::optional<Mat4d>> memo(rig_.nodes.size());
        std::vector<Mat4d> jointMatrices;
        for (const Joint& joint : rig_.joints)
            jointMatrices.push_back(MultiplyMatrices(World(joint.node, tracks, t, memo), joint.inverseBind));
        const Mat4d world = World(rig_.meshNode, tracks, t, memo);
        // Most weights are zero (an exported frame is one target at 1).
        std::vector<std::pair<size_t, double>> active;
        for (size_t k = 0; k < weights.size(); ++k)
            if (weights[k] != 0) active.emplace_back(k, weights[k]);
        const bool placed = world != kIdentityMat4d;
        std::vector<Vec3d> out;
        size_t total = 0;
        for (const Primitive& p : rig_.primitives) total += p.positions.size();
        out.reserve(total);
        for (const Primitive& p : rig_.primitives)
            for (size_t v = 0; v < p.positions.size(); ++v) {
                Vec3d q = p.positions[v];
                for (const auto& [k, w] : active)
                    if (k < p.targets.size() && !p.targets[k].empty()) {
                        const double* d = &p.targets[k][3 * v];
                        q = {q.x + w * d[0], q.y + w * d[1], q.z + w * d[2]};
                    }
                if (jointMatrices.empty()) {
                    out.push_back(placed ? TransformPoint(world, q) : q);
                    continue;
                }
                Vec3d s{};
                double sum = 0;
                for (size_t c = 0; c < 4; ++c) {
                    const double w = p.weights[v][c];
                    if (w == 0) continue;
                    if (p.joints[v][c] >= jointMatrices.size()) return Bad("a vertex names a joint its skin does not have");
                    const Vec3d r = TransformPoint(jointMatrices[p.joints[v][c]], q);
                    s = {s.x + w * r.x, s.y + w * r.y, s.z + w * r.z};
                    sum += w;
                }
                if (!(sum > 0)) {
                    out.push_back(TransformPoint(world, q));
                    continue;
                }
                out.push_back({s.x / sum, s.y / sum, s.z / sum});
            }
        return out;
    }

private:
    Mat4d Local(size_t node, const std::vector<Track>& tracks, double t) const {
        const Node& n = rig_.nodes[node];
        if (n.matrix) return *n.matrix;
        Vec3d translation = n.translation, scale = n.scale;
        Quatd rotation = n.rotation;
        for (const Track& track : tracks) {
            if (track.node != static_cast<int>(node) || track.path == Track::Path::Weights) continue;
            const std::vector<double> v = track.At(t);
            if (track.path == Track::Path::Translation) translation = {v[0], v[1], v[2]};
            else if (track.path == Track::Path::Rotation) rotation = {v[0], v[1], v[2], v[3]};
            else scale = {v[0], v[1], v[2]};
        }
        return ComposeTransform(translation, rotation, scale);
    }

    Mat4d World(int node, const std::vector<Track>& tracks, double t, std::vector<std::optional<Mat4d>>& memo) const {
        const size_t i = static_cast<size_t>(node);
        if (!memo[i]) {
            const Mat4d local = Local(i, tracks, t);
            const int parent = rig_.nodes[i].parent;
            memo[i] = parent < 0 ? local : MultiplyMatrices(World(parent, tracks, t, memo), local);
        }
        return *memo[i];
    }

    const Rig& rig_;
};

}  // namespace

Status SampleClips(const Rig& rig, const std::vector<Clip>& clips, double fps, SourceMesh& out) {
    const Poser poser(rig);
    if (clips.empty()) {
        auto frame = poser.Frame({}, 0);
        if (!frame) return frame.Why();
        out.frames.push_back(std::move(frame.Value()));
        out.frameNames = ClipFrameNames(rig.meshName.empty() ? "frame" : rig.meshName, 1, "");
        return {};
    }
    for (const Clip& clip : clips) {
        const double span = (clip.end - clip.start) * fps;
        if (!(span < 65536)) return Bad("the clip " + clip.name + " would give more than 65536 frames");
        size_t count = static_cast<size_t>(std::floor(span + 1e-6)) + 1;
        const bool endOffGrid = clip.start + static_cast<double>(count - 1) / fps < clip.end - 1e-6;
        if (endOffGrid) ++count;
        if ((out.frames.size() + count) * out.texCoords.size() > kMaxSourcePositions)
            return Bad("the animations would give more than " + std::to_string(kMaxSourcePositions) +
                       " vertex positions in all");
        std::vector<std::vector<Vec3d>> frames;
        for (size_t i = 0; i < count; ++i) {
            const double t = std::min(clip.start + static_cast<double>(i) / fps, clip.end);
            auto frame = poser.Frame(clip.tracks, t);
            if (!frame) return frame.Why();
            frames.push_back(std::move(frame.Value()));
        }
        // A loop's closing key is its first frame again.
        if (frames.size() > 1 && Same(frames.front(), frames.back())) frames.pop_back();
        const auto names = ClipFrameNames(clip.name, frames.size(), out.frameNames.empty() ? "" : out.frameNames.back());
        for (size_t i = 0; i < frames.size(); ++i) {
            out.frames.push_back(std::move(frames[i]));
            out.frameNames.push_back(names[i]);
        }
    }
    return {};
}

}  // namespace meshara::gltf
