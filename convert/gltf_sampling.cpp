#include "convert/gltf_sampling.h"

#include <algorithm>
#include <cmath>

#include "convert/model_import.h"
#include "formats/format_names.h"

namespace meshara::gltf {

Failure Bad(std::string why) { return Failure{ErrorKind::Damaged, std::move(why), format::kGltf}; }

std::vector<double> Track::At(double t) const {
    const std::vector<double>& times = *this->times;
    const std::vector<double>& values = *this->values;
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

// The nodes that place the mesh (its own, its joints' and their ancestors),
// parents first, and every vertex posed from them.
class Poser {
public:
    explicit Poser(const Rig& rig) : rig_(rig), slot_(rig.nodes.size(), -1) {
        for (const Joint& joint : rig.joints) Need(joint.node);
        Need(rig.meshNode);
    }

    // The tracks of a clip that act on the mesh: transforms by the slot of
    // their node, in the clip's order (a later one wins), and its last
    // morph weights. A node given a matrix takes no animation.
    struct Tracks {
        std::vector<std::vector<const Track*>> bySlot;
        const Track* weights = nullptr;
        bool Any() const {
            return weights || std::any_of(bySlot.begin(), bySlot.end(), [](const auto& t) { return !t.empty(); });
        }
    };
    Tracks Sort(const std::vector<Track>& tracks) const {
        Tracks out;
        out.bySlot.resize(order_.size());
        for (const Track& track : tracks) {
            if (track.path == Track::Path::Weights) {
                out.weights = &track;
                continue;
            }
            const int slot = slot_[static_cast<size_t>(track.node)];
            if (slot >= 0 && !rig_.nodes[static_cast<size_t>(track.node)].matrix)
                out.bySlot[static_cast<size_t>(slot)].push_back(&track);
        }
        return out;
    }

    // Every vertex at time t.
    Result<std::vector<Vec3d>> Frame(const Tracks& tracks, double t) const {
        const std::vector<double> weights = tracks.weights ? tracks.weights->At(t) : rig_.restWeights;
        std::vector<Mat4d> worlds(order_.size());
        for (size_t k = 0; k < order_.size(); ++k) {
            const Node& n = rig_.nodes[static_cast<size_t>(order_[k])];
            const Mat4d local = Local(n, tracks.bySlot[k], t);
            worlds[k] = n.parent < 0 ? local : MultiplyMatrices(worlds[static_cast<size_t>(slot_[static_cast<size_t>(n.parent)])], local);
        }
        std::vector<Mat4d> jointMatrices;
        for (const Joint& joint : rig_.joints)
            jointMatrices.push_back(MultiplyMatrices(worlds[static_cast<size_t>(slot_[static_cast<size_t>(joint.node)])], joint.inverseBind));
        const Mat4d world = worlds[static_cast<size_t>(slot_[static_cast<size_t>(rig_.meshNode)])];
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
                    if (k < p.targets.size() && p.targets[k]) {
                        const double* d = p.targets[k]->data() + 3 * v;
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
    // Gives node and its ancestors slots, parents before children, walking
    // up only as far as the first that has one (no recursion: chains of
    // nodes may be as long as the file makes them).
    void Need(int node) {
        std::vector<int> chain;
        for (int at = node; at >= 0 && slot_[static_cast<size_t>(at)] == -1; at = rig_.nodes[static_cast<size_t>(at)].parent) {
            slot_[static_cast<size_t>(at)] = -2;  // on this walk
            chain.push_back(at);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            slot_[static_cast<size_t>(*it)] = static_cast<int>(order_.size());
            order_.push_back(*it);
        }
    }

    static Mat4d Local(const Node& n, const std::vector<const Track*>& tracks, double t) {
        if (n.matrix) return *n.matrix;
        Vec3d translation = n.translation, scale = n.scale;
        Quatd rotation = n.rotation;
        for (const Track* track : tracks) {
            const std::vector<double> v = track->At(t);
            if (track->path == Track::Path::Translation) translation = {v[0], v[1], v[2]};
            else if (track->path == Track::Path::Rotation) rotation = {v[0], v[1], v[2], v[3]};
            else scale = {v[0], v[1], v[2]};
        }
        return ComposeTransform(translation, rotation, scale);
    }

    const Rig& rig_;
    std::vector<int> slot_;   // by node: its place in order_, or -1
    std::vector<int> order_;  // the nodes that place the mesh, parents first
};

}  // namespace

Status DropStillClips(const Rig& rig, std::vector<Clip>& clips, bool named) {
    const Poser poser(rig);
    for (auto it = clips.begin(); it != clips.end();) {
        if (poser.Sort(it->tracks).Any()) {
            ++it;
        } else if (named) {
            return Bad("the animation \"" + it->name + "\" does not move the mesh" + (rig.meshName.empty() ? "" : " \"" + rig.meshName + "\""));
        } else {
            it = clips.erase(it);
        }
    }
    return {};
}

Status SampleClips(const Rig& rig, const std::vector<Clip>& clips, double fps, SourceMesh& out) {
    const Poser poser(rig);
    if (clips.empty()) {
        auto frame = poser.Frame(poser.Sort({}), 0);
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
        const Poser::Tracks tracks = poser.Sort(clip.tracks);
        for (size_t i = 0; i < count; ++i) {
            const double t = std::min(clip.start + static_cast<double>(i) / fps, clip.end);
            auto frame = poser.Frame(tracks, t);
            if (!frame) return frame.Why();
            frames.push_back(std::move(frame.Value()));
        }
        if (clip.closingKey && frames.size() > 1 && Same(frames.front(), frames.back())) frames.pop_back();
        const auto names = ClipFrameNames(clip.name, frames.size(), out.frameNames.empty() ? "" : out.frameNames.back());
        for (size_t i = 0; i < frames.size(); ++i) {
            out.frames.push_back(std::move(frames[i]));
            out.frameNames.push_back(names[i]);
        }
    }
    return {};
}

}  // namespace meshara::gltf
