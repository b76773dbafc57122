#include "session/mend_edits.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "formats/format_names.h"
#include "model/animations.h"
#include "session/skin_search.h"

namespace meshara {

namespace {

constexpr size_t kMostSkinName = 63;   // a 64-byte field with its closing zero
constexpr size_t kMostFrameName = 15;  // a 16-byte field with its closing zero

Failure Refuse(std::string why) { return Failure{ErrorKind::DoesNotFit, std::move(why), format::kMd2}; }

std::string SkinNameProblem(const std::string& option, const std::string& name) {
    if (name.empty()) return "--" + option + " needs a skin name";
    if (name.size() > kMostSkinName)
        return "--" + option + " " + name + ": a skin name holds at most " + std::to_string(kMostSkinName) + " bytes";
    if (name.find('\\') != std::string::npos) return "--" + option + " " + name + ": the game's paths have / between folders";
    if (!SkinNameIsGamePath(name)) return "--" + option + " " + name + ": a skin name is a path inside the game's folders";
    if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return "--" + option + ": a skin name holds no control characters";
    return {};
}

std::vector<std::string> FrameNames(const Md2Output& m) {
    std::vector<std::string> names;
    for (const Md2Frame& f : m.frames) names.push_back(f.name);
    return names;
}

std::string RenameProblem(Md2Output& m, const std::string& from, const std::string& to) {
    const std::vector<Md2Animation> before = FindAnimations(FrameNames(m));
    const auto it = std::find_if(before.begin(), before.end(), [&](const Md2Animation& a) { return a.name == from; });
    const std::string option = "--rename-animation " + from + "=" + to;
    if (it == before.end()) return option + ": the model has no animation " + from;
    if (it->FrameCount() > 99) return option + ": " + from + " has " + std::to_string(it->FrameCount()) + " frames, two digits number 99";
    if (to.size() + 2 > kMostFrameName)
        return option + ": " + to + " and two digits pass the " + std::to_string(kMostFrameName) + " bytes of a frame's name";
    if (to.empty() || FrameStem(to + "01") != to)
        return option + ": " + to + " cannot begin frame names (" + to + "01 would be read as another animation)";
    const Md2Animation renamed = *it;
    for (int32_t f = renamed.first; f <= renamed.last; ++f) {
        const int32_t place = f - renamed.first + 1;
        m.frames[static_cast<size_t>(f)].name = to + (place < 10 ? "0" : "") + std::to_string(place);
    }
    // The frames must still part where they did: a name its neighbour has would join them.
    const std::vector<Md2Animation> after = FindAnimations(FrameNames(m));
    if (after.size() != before.size() ||
        !std::equal(after.begin(), after.end(), before.begin(),
                    [](const Md2Animation& a, const Md2Animation& b) { return a.first == b.first && a.last == b.last; }))
        return option + ": " + to + " would join its frames to a neighbouring animation";
    return {};
}

bool FitsFloat(double v) { return std::isfinite(v) && std::abs(v) <= FLT_MAX; }

}  // namespace

Status ApplyEdits(Md2Output& m, const MendOptions& o, MendReport& report) {
    const auto edited = [&](const char* option, int32_t count, std::string what) {
        report.edited.push_back({option, count, std::move(what)});
    };
    const int32_t skins = static_cast<int32_t>(m.skinNames.size());
    const auto outOfRange = [&](const char* option, int32_t n) {
        return Refuse(std::string("--") + option + " " + std::to_string(n) + ": the model has " + std::to_string(skins) +
                      (skins == 1 ? " skin" : " skins") + (skins > 0 ? ", 0 to " + std::to_string(skins - 1) : std::string()));
    };
    for (const auto& [n, name] : o.setSkins) {
        if (n < 0 || n >= skins) return outOfRange("set-skin", n);
        if (std::string p = SkinNameProblem("set-skin", name); !p.empty()) return Refuse(p);
        edited("set-skin", 1, "skin " + std::to_string(n) + " " + m.skinNames[static_cast<size_t>(n)] + " named " + name);
        m.skinNames[static_cast<size_t>(n)] = name;
    }
    std::vector<int32_t> removed = o.removeSkins;
    std::sort(removed.begin(), removed.end());
    if (std::adjacent_find(removed.begin(), removed.end()) != removed.end())
        return Refuse("--remove-skin " + std::to_string(*std::adjacent_find(removed.begin(), removed.end())) + " is given twice");
    for (auto n = removed.rbegin(); n != removed.rend(); ++n) {
        if (*n < 0 || *n >= skins) return outOfRange("remove-skin", *n);
        edited("remove-skin", 1, "skin " + std::to_string(*n) + " " + m.skinNames[static_cast<size_t>(*n)] + " removed");
        m.skinNames.erase(m.skinNames.begin() + *n);
    }
    for (const std::string& name : o.addSkins) {
        if (std::string p = SkinNameProblem("add-skin", name); !p.empty()) return Refuse(p);
        if (m.skinNames.size() >= 32)
            return Refuse("--add-skin " + name + ": the model would have more than the engine's 32 skins");
        edited("add-skin", 1, "skin " + std::to_string(m.skinNames.size()) + " " + name + " added");
        m.skinNames.push_back(name);
    }
    for (const auto& [from, to] : o.renameAnimations) {
        if (std::string p = RenameProblem(m, from, to); !p.empty()) return Refuse(p);
        edited("rename-animation", 1, "animation " + from + " renamed " + to);
    }
    if (o.playerNames) {
        if (m.frames.size() != static_cast<size_t>(kPlayerFrameCount))
            return Refuse("--player-names: the model has " + std::to_string(m.frames.size()) + " frames, a player's body " +
                          std::to_string(kPlayerFrameCount));
        const std::vector<std::string>& table = PlayerFrameNames();
        int32_t renamed = 0;
        for (size_t f = 0; f < m.frames.size(); ++f)
            if (m.frames[f].name != table[f]) m.frames[f].name = table[f], ++renamed;
        if (renamed > 0) edited("player-names", renamed, std::to_string(renamed) + " frames given the engine's names");
    }
    // The stored bytes stay: a frame's scale and translation take the change, exactly to a float's precision.
    if (o.scale) {
        const double s = *o.scale;
        if (!(s > 0) || !FitsFloat(s)) return Refuse("--scale needs a number above 0");
        for (const Md2Frame& f : m.frames)
            for (int a = 0; a < 3; ++a)
                if (!FitsFloat(f.scale[a] * s) || !FitsFloat(f.translate[a] * s) || (f.scale[a] != 0 && std::abs(f.scale[a] * s) < FLT_MIN))
                    return Refuse("--scale " + std::to_string(s) + ": frame " + f.name + " would pass what a frame's floats hold");
        for (Md2Frame& f : m.frames)
            for (int a = 0; a < 3; ++a)
                f.scale[a] = static_cast<float>(f.scale[a] * s), f.translate[a] = static_cast<float>(f.translate[a] * s);
        edited("scale", static_cast<int32_t>(m.frames.size()), "every frame scaled by " + std::to_string(s));
    }
    if (o.translate) {
        const auto& d = *o.translate;
        for (const Md2Frame& f : m.frames)
            for (int a = 0; a < 3; ++a)
                if (!FitsFloat(d[a]) || !FitsFloat(f.translate[a] + d[a]))
                    return Refuse("--translate: frame " + f.name + " would pass what a frame's floats hold");
        for (Md2Frame& f : m.frames)
            for (int a = 0; a < 3; ++a) f.translate[a] = static_cast<float>(f.translate[a] + d[a]);
        edited("translate", static_cast<int32_t>(m.frames.size()), "every frame moved");
    }
    return {};
}

}  // namespace meshara
