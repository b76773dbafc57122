#include "cli/cli_common.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/file_bytes.h"
#include "session/scene_setup.h"

namespace meshara::cli {

int Usage(const CommandTable& table, const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "meshara-cli: %s\n", problem.c_str());
    std::fputs(CommandUsage(table).c_str(), stderr);
    return kExitUsage;
}

int Refused(FileKind kind, const Failure& failure, const std::string& path) {
    const char* message = UserMessage(kind, failure.kind);
    std::fprintf(stderr, "meshara-cli: %s: %s", path.c_str(), message ? message : ReasonText(failure.kind));
    if (!failure.detail.empty()) std::fprintf(stderr, " (%s)", failure.detail.c_str());
    std::fputc('\n', stderr);
    return kExitRefused;
}

int Unusable(const std::string& path, const std::string& what) {
    std::fprintf(stderr, "meshara-cli: %s: %s\n", path.c_str(), what.c_str());
    return kExitRefused;
}

std::string ReadSkinNumber(const Arguments& args, std::optional<int32_t>& skin) {
    const std::string* v = args.Value("skin");
    if (!v) return {};
    long n = 0;
    if (!ParseInteger(*v, 0, INT32_MAX, n)) return "--skin needs a skin number (0 or more)";
    skin = static_cast<int32_t>(n);
    return {};
}

std::string CheckSkinNumber(const Md2Model& model, std::optional<int32_t> skin) {
    if (!skin || static_cast<size_t>(*skin) < model.skinNames.size()) return {};
    return "skin " + std::to_string(*skin) + " is out of range: the model names " +
           std::to_string(model.skinNames.size()) + (model.skinNames.size() == 1 ? " skin" : " skins");
}

std::shared_ptr<const SkinImage> NamedSkinWithNotes(const ModelSlot& slot, std::optional<int32_t> skin,
                                                    const char* instead) {
    FoundSkin found = FindNamedSkin(slot, skin);
    for (const std::string& note : found.notes) std::fprintf(stderr, "note: %s\n", note.c_str());
    if (!found.picture)
        std::fprintf(stderr, "note: %s: %s; %s\n", slot.path.c_str(), MissingSkinText(*slot.model, skin).c_str(),
                     instead);
    return std::move(found.picture);
}

void PrintModelNotes(const std::string& path, const Md2Model& model) {
    for (const std::string& note : ModelNotes(model)) std::fprintf(stderr, "note: %s: %s\n", path.c_str(), note.c_str());
}

bool WriteOutput(const std::string& path, std::span<const uint8_t> bytes) {
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0) return true;
        std::fprintf(stderr, "meshara-cli: standard output: %s\n", std::strerror(errno));
        return false;
    }
    if (Status written = WriteFileBytes(path, bytes); !written) {
        Refused(FileKind::Output, written.Why(), path);
        return false;
    }
    return true;
}

bool ParseInteger(std::string_view text, long low, long high, long& out) {
    if (text.empty() || text.size() > 20) return false;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

bool ParsePositive(std::string_view text, double high, double& out) {
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end == s.c_str() || *end != '\0' || errno != 0 || !std::isfinite(v) || v <= 0 || v > high)
        return false;
    out = v;
    return true;
}

}  // namespace meshara::cli
