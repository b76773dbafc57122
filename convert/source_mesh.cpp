#include "convert/source_mesh.h"

#include <cctype>

#include "model/animations.h"

namespace meshara {

namespace {

bool DigitOrSeparator(char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'; }

}  // namespace

std::vector<std::string> ClipFrameNames(const std::string& clip, size_t frames, const std::string& previous) {
    // A part of the engine's numbering ("pain2": a stem and one digit) is
    // numbered as the engine numbers it, pain201 on, so it reads back as pain2.
    const bool part = clip.size() >= 2 && frames <= 99 && clip.back() >= '1' && clip.back() <= '9' &&
                      std::isalpha(static_cast<unsigned char>(clip[clip.size() - 2]));
    if (part) {
        std::string stem;
        for (char c : clip.substr(0, clip.size() - 1)) stem += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        if (stem.size() > 12) stem.resize(12);
        while (!stem.empty() && DigitOrSeparator(stem.back())) stem.pop_back();
        const std::string hundreds(1, clip.back());
        const bool joins = !previous.empty() && FrameStem(previous) == stem && previous.ends_with(hundreds + "00");
        if (!stem.empty() && !joins) {
            std::vector<std::string> names;
            for (size_t i = 1; i <= frames; ++i) names.push_back(stem + hundreds + (i < 10 ? "0" : "") + std::to_string(i));
            return names;
        }
    }
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
