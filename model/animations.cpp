#include "model/animations.h"

#include <string>
#include <string_view>

namespace meshara {

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSeparator(char c) { return c == '_' || c == '-' || c == '.' || c == ' '; }

// A frame's name taken apart: the stem, and the number at its end (-1 for none).
struct NamePart {
    std::string stem;
    long number = -1;
};

NamePart Parts(const std::string& frameName) {
    std::string_view name = frameName;
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    size_t letters = 0;
    while (letters < name.size() && letters < 5 && IsLetter(name[name.size() - 1 - letters])) ++letters;
    if (letters >= 1 && letters <= 4 && letters < name.size() && name[name.size() - 1 - letters] == '.')
        name.remove_suffix(letters + 1);
    NamePart part;
    size_t digits = 0;
    while (digits < name.size() && IsDigit(name[name.size() - 1 - digits])) ++digits;
    if (digits > 0 && digits <= 9) {
        part.number = 0;
        for (const char c : name.substr(name.size() - digits)) part.number = part.number * 10 + (c - '0');
    }
    while (!name.empty() && (IsDigit(name.back()) || IsSeparator(name.back()))) name.remove_suffix(1);
    part.stem = std::string(name);
    return part;
}

// Where the engine's numbering starts a new animation within one stem: the
// number jumps to L01 from anything but L00 (pain104, then pain201).
bool StartsPart(long previous, long number) { return number >= 101 && number % 100 == 1 && previous != number - 1; }

}  // namespace

std::string FrameStem(const std::string& frameName) { return Parts(frameName).stem; }

bool PlaysOnce(const std::string& animationName) {
    std::string lower = animationName;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower.starts_with("death") || lower.starts_with("crdeath") || lower.starts_with("crdeth");
}

std::vector<Md2Animation> FindAnimations(std::span<const std::string> frameNames) {
    std::vector<Md2Animation> out;
    std::vector<NamePart> parts;
    parts.reserve(frameNames.size());
    for (const std::string& name : frameNames) parts.push_back(Parts(name));
    for (size_t run = 0; run < parts.size();) {
        // A run of frames of one stem, then its parts.
        size_t end = run + 1;
        bool engineNumbers = parts[run].number >= 101;
        for (; end < parts.size() && parts[end].stem == parts[run].stem; ++end)
            engineNumbers = engineNumbers && parts[end].number >= 101;
        for (size_t first = run; first < end;) {
            size_t last = first;
            while (last + 1 < end && !StartsPart(parts[last].number, parts[last + 1].number)) ++last;
            // Numbered the engine's way (pain101...pain304), each part is stem and hundreds: pain1, pain2, pain3.
            std::string name = parts[run].stem;
            if (engineNumbers) name += std::to_string(parts[first].number / 100);
            out.push_back({std::move(name), static_cast<int32_t>(first), static_cast<int32_t>(last)});
            first = last + 1;
        }
        run = end;
    }
    return out;
}

int32_t AnimationOfFrame(const std::vector<Md2Animation>& animations, int32_t frame) {
    for (size_t i = 0; i < animations.size(); ++i)
        if (frame >= animations[i].first && frame <= animations[i].last) return static_cast<int32_t>(i);
    return -1;
}

const std::vector<std::string>& PlayerFrameNames() {
    // Each animation: its stem, its frames, the width its numbers are written in, and for the parts of pain
    // and death their hundreds.
    struct Part {
        const char* stem;
        int frames, width, hundreds;
    };
    static constexpr Part kParts[] = {
        {"stand", 40, 2, 0}, {"run", 6, 1, 0},    {"attack", 8, 1, 0}, {"pain", 4, 2, 1},    {"pain", 4, 2, 2},
        {"pain", 4, 2, 3},   {"jump", 6, 1, 0},   {"flip", 12, 2, 0},  {"salute", 11, 2, 0}, {"taunt", 17, 2, 0},
        {"wave", 11, 2, 0},  {"point", 12, 2, 0}, {"crstnd", 19, 2, 0}, {"crwalk", 6, 1, 0}, {"crattak", 9, 1, 0},
        {"crpain", 4, 1, 0}, {"crdeath", 5, 1, 0}, {"death", 6, 2, 1}, {"death", 6, 2, 2},   {"death", 8, 2, 3}};
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const Part& p : kParts)
            for (int i = 1; i <= p.frames; ++i) {
                std::string n = std::to_string(p.hundreds * 100 + i);
                const size_t width = p.hundreds ? 3 : static_cast<size_t>(p.width);
                if (n.size() < width) n.insert(0, width - n.size(), '0');
                out.push_back(p.stem + n);
            }
        return out;
    }();
    return names;
}

}  // namespace meshara
