#include "formats/name_text.h"

#include <cstdint>

namespace meshara {

namespace {

// 0x80..0x9F; the rest of the set is Latin-1, byte for code point.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t CodePointOf(uint8_t byte) { return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte; }

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next code point of UTF-8 text, or false when the text is not valid
// UTF-8 there (overlong forms, surrogates and stray bytes included).
bool NextCodePoint(std::string_view text, size_t& at, char32_t& c) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    size_t extra = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        c = lead & 0x1F;
        extra = 1;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        c = lead & 0x0F;
        extra = 2;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        c = lead & 0x07;
        extra = 3;
        min = 0x10000;
    } else {
        return false;
    }
    for (size_t i = 1; i <= extra; ++i) {
        if (at + i >= text.size() || (byte(at + i) & 0xC0) != 0x80) return false;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    at += extra + 1;
    return true;
}

}  // namespace

std::string NameToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char b : bytes) AppendUtf8(out, CodePointOf(static_cast<uint8_t>(b)));
    return out;
}

std::string FileNameToUtf8(std::string_view name) {
    char32_t c;
    for (size_t at = 0; at < name.size();)
        if (!NextCodePoint(name, at, c)) return NameToUtf8(name);
    return std::string(name);
}

bool NameFromUtf8(std::string_view utf8, std::string& bytes) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        char32_t c;
        if (!NextCodePoint(utf8, at, c)) return false;
        int found = -1;
        for (int b = 0; b < 256 && found < 0; ++b)
            if (CodePointOf(static_cast<uint8_t>(b)) == c) found = b;
        if (found < 0) return false;
        out += static_cast<char>(found);
    }
    bytes = std::move(out);
    return true;
}

}  // namespace meshara
