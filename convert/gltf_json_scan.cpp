#include "convert/gltf_json_scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "convert/gltf_sampling.h"

namespace meshara::gltf {

namespace {

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A JSON string's contents (between its quotes) decoded; malformed escapes
// are left for the parser to refuse.
std::string Unescape(std::span<const uint8_t> s) {
    std::string out;
    const auto hex4 = [&](size_t at) -> std::optional<uint32_t> {
        if (at + 4 > s.size()) return std::nullopt;
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int d = HexDigit(s[at + k]);
            if (d < 0) return std::nullopt;
            v = v << 4 | static_cast<uint32_t>(d);
        }
        return v;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += static_cast<char>(s[i]);
            continue;
        }
        const uint8_t e = s[++i];
        switch (e) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                auto c = hex4(i + 1);
                if (!c) break;
                i += 4;
                if (*c >= 0xD800 && *c < 0xDC00 && i + 2 < s.size() && s[i + 1] == '\\' && s[i + 2] == 'u') {
                    if (auto low = hex4(i + 3); low && *low >= 0xDC00 && *low < 0xE000) {
                        *c = 0x10000 + ((*c - 0xD800) << 10) + (*low - 0xDC00);
                        i += 6;
                    }
                }
                AppendUtf8(out, *c);
                break;
            }
            default: out += static_cast<char>(e);  // \" \\ \/
        }
    }
    return out;
}

// As tinygltf decodes a uri before it looks for the file.
std::string PercentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && s.size() > i + 2) {
            const int hi = std::max(HexDigit(static_cast<uint8_t>(s[i + 1])), 0);
            const int lo = std::max(HexDigit(static_cast<uint8_t>(s[i + 2])), 0);
            out += static_cast<char>(hi << 4 | lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// A list's key as a message names it: the file's own word when it is one.
std::string ListName(const std::string& key) {
    const bool word = !key.empty() && key.size() <= 32 &&
                      std::all_of(key.begin(), key.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
    return word ? key : "entries in one list";
}

// The text tinygltf parses: a .glb's JSON chunk, as far as the file holds it.
std::span<const uint8_t> JsonText(std::span<const uint8_t> file) {
    if (file.size() < 4 || std::memcmp(file.data(), "glTF", 4) != 0) return file;
    if (file.size() < 20) return {};
    const uint64_t length = uint64_t{file[12]} | uint64_t{file[13]} << 8 | uint64_t{file[14]} << 16 | uint64_t{file[15]} << 24;
    return file.subspan(20, static_cast<size_t>(std::min<uint64_t>(length, file.size() - 20)));
}

constexpr std::array<bool, 256> kDelimiters = [] {
    std::array<bool, 256> out{};
    for (const char c : std::string_view(" \n\r\t,:]}[{\"")) out[static_cast<uint8_t>(c)] = true;
    return out;
}();

struct Level {
    bool object = false;
    bool buffers = false;       // the root's "buffers" array
    bool bufferEntry = false;   // an object in it
    bool expectKey = false;     // an object before a member's colon
    std::string key;            // the member being read (only where it matters)
    uint64_t entries = 0;
    std::optional<std::string> uri;
    std::optional<uint64_t> byteLength;
};

}  // namespace

Result<JsonOutline> ScanGltfJson(std::span<const uint8_t> file) {
    const std::span<const uint8_t> text = JsonText(file);
    JsonOutline outline;
    std::vector<Level> stack;
    uint64_t objects = 0, values = 0;
    const auto keyMatters = [&] { return stack.size() == 1 || (stack.size() == 3 && stack.back().bufferEntry); };
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t c = text[i];
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        if (c == ',' || c == ':') {
            if (!stack.empty() && stack.back().object) stack.back().expectKey = c == ',';
            continue;
        }
        if (c == '}' || c == ']') {
            if (stack.empty()) continue;
            const Level done = std::move(stack.back());
            stack.pop_back();
            if (done.bufferEntry && done.uri && done.byteLength) {
                uint64_t& length = outline.bufferLengths[PercentDecode(*done.uri)];
                length = std::max(length, *done.byteLength);
            }
            continue;
        }
        const bool isKey = !stack.empty() && stack.back().object && stack.back().expectKey;
        if (!isKey && ++values > kMaxJsonValues)
            return Bad("the file's JSON holds more than " + std::to_string(kMaxJsonValues) + " values");
        if (!isKey && stack.size() == 2 && !stack[1].object && ++stack[1].entries > kMaxJsonEntries)
            return Bad("the file has more than " + std::to_string(kMaxJsonEntries) + " " + ListName(stack[0].key));
        if (c == '{' || c == '[') {
            if (stack.size() >= static_cast<size_t>(kMaxJsonDepth))
                return Bad("the file's JSON nests deeper than " + std::to_string(kMaxJsonDepth) + " levels");
            if (c == '{' && ++objects > kMaxJsonObjects)
                return Bad("the file's JSON holds more than " + std::to_string(kMaxJsonObjects) +
                           " objects (nodes, accessors, channels and the like)");
            Level level;
            level.object = c == '{';
            level.expectKey = level.object;
            if (stack.size() == 1 && !level.object && stack[0].key == "buffers") {
                level.buffers = true;
                outline.bufferLengths.clear();  // a later "buffers" replaces an earlier one
            }
            level.bufferEntry = stack.size() == 2 && level.object && stack[1].buffers;
            stack.push_back(std::move(level));
            continue;
        }
        if (c == '"') {
            const size_t start = i + 1;
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\') ++i;
            const std::span<const uint8_t> contents = text.subspan(start, std::min(i, text.size()) - start);
            if (isKey) {
                if (keyMatters()) stack.back().key = Unescape(contents);
            } else if (stack.size() == 3 && stack.back().bufferEntry && stack.back().key == "uri") {
                stack.back().uri = Unescape(contents);
            }
            continue;
        }
        // A number, true, false or null: up to the next delimiter.
        const size_t start = i;
        while (i + 1 < text.size() && !kDelimiters[text[i + 1]]) ++i;
        if (stack.size() == 3 && stack.back().bufferEntry && stack.back().key == "byteLength") {
            constexpr uint64_t kHuge = uint64_t{1} << 62;  // past any file: only compared against sizes
            uint64_t n = 0;
            bool digits = true;
            for (size_t k = start; k <= i && digits; ++k) {
                digits = text[k] >= '0' && text[k] <= '9';
                n = n > kHuge / 10 ? kHuge : n * 10 + static_cast<uint64_t>(text[k] - '0');
            }
            if (digits) stack.back().byteLength = n;
        }
    }
    return outline;
}

}  // namespace meshara::gltf
