#include "convert/source_mesh.h"

#include <cctype>

#include "model/animations.h"

namespace meshara {

namespace {

bool DigitOrSeparator(char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'; }

}  // namespace

std::vector<std::string> ClipFrameNames(const std::string& clip, size_t frames, const std::string& previous) {
    const std::string digits = frames > 99 ? std::to_string(frames) : "00";
    // Letters, digits and _ only: a dot or a space would read as an extension
    // or be trimmed, and the stem ends on a letter so the numbers come off it alone.
    std::string stem;
    for (char c : clip) stem += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    const size_t room = 15 - digits.size();
    if (stem.size() > room) stem.resize(room);
    while (!stem.empty() && DigitOrSeparator(stem.back())) stem.pop_back();
    if (stem.empty()) stem = "frame";
    if (!previous.empty() && FrameStem(previous) == stem) {
        // Two clips of one stem next to each other would read back as one.
        if (stem.size() == room) stem.pop_back();
        stem += stem.back() == 'b' ? 'c' : 'b';
    }
    std::vector<std::string> names;
    names.reserve(frames);
    for (size_t i = 1; i <= frames; ++i) {
        std::string n = std::to_string(i);
        names.push_back(stem + std::string(digits.size() - std::min(n.size(), digits.size()), '0') + n);
    }
    return names;
}

}  // namespace meshara
