#include "model/animations.h"

#include <string_view>

namespace meshara {

namespace {
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigitOrSeparator(char c) { return (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.'; }
}  // namespace

std::string FrameStem(const std::string& frameName) {
    std::string_view name = frameName;
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    size_t letters = 0;
    while (letters < name.size() && letters < 5 && IsLetter(name[name.size() - 1 - letters])) ++letters;
    if (letters >= 1 && letters <= 4 && letters < name.size() && name[name.size() - 1 - letters] == '.')
        name.remove_suffix(letters + 1);
    while (!name.empty() && IsDigitOrSeparator(name.back())) name.remove_suffix(1);
    return std::string(name);
}

std::vector<Md2Animation> FindAnimations(std::span<const std::string> frameNames) {
    std::vector<Md2Animation> out;
    for (size_t f = 0; f < frameNames.size(); ++f) {
        std::string stem = FrameStem(frameNames[f]);
        const auto frame = static_cast<int32_t>(f);
        if (!out.empty() && out.back().name == stem)
            out.back().last = frame;
        else
            out.push_back({std::move(stem), frame, frame});
    }
    return out;
}

int32_t AnimationOfFrame(const std::vector<Md2Animation>& animations, int32_t frame) {
    for (size_t i = 0; i < animations.size(); ++i)
        if (frame >= animations[i].first && frame <= animations[i].last) return static_cast<int32_t>(i);
    return -1;
}

}  // namespace meshara
