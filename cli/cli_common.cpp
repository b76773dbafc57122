#include "cli/cli_common.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "formats/name_text.h"
#include "io/file_bytes.h"
#include "session/inputs.h"
#include "session/player.h"

namespace meshara::cli {

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto escape = [&](unsigned char b) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", b);
        out += hex;
    };
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (size_t k = 1; whole && k < length; ++k) whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!whole) {
            escape(b);
            ++i;
            continue;
        }
        const bool c1 = length == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if ((length == 1 && (b < 0x20 || b == 0x7F)) || c1) {
            for (size_t k = 0; k < length; ++k) escape(static_cast<unsigned char>(text[i + k]));
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

int FlushOutput() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return kExitOk;
    std::fprintf(stderr, "meshara-cli: standard output: %s\n", std::strerror(errno ? errno : EIO));
    return kExitRefused;
}

int Usage(const CommandTable& table, const std::string& problem) {
    std::fprintf(stderr, "meshara-cli: %s: %s\ntry 'meshara-cli %s --help'\n", table.name, Printable(problem).c_str(),
                 table.name);
    return kExitUsage;
}

int Notes::Finish(int exitCode) const {
    if (exitCode == kExitOk)
        for (const std::string& line : lines_) std::fprintf(stderr, "note: %s\n", Printable(line).c_str());
    return exitCode;
}

int Refused(FileKind kind, const Failure& failure, const std::string& path) {
    const char* message = UserMessage(kind, failure);
    std::fprintf(stderr, "meshara-cli: %s: %s", Printable(path).c_str(), message ? message : ReasonText(failure).c_str());
    if (!failure.detail.empty()) std::fprintf(stderr, " (%s)", Printable(failure.detail).c_str());
    std::fputc('\n', stderr);
    return kExitRefused;
}

int Unusable(const std::string& path, const std::string& what) {
    std::fprintf(stderr, "meshara-cli: %s: %s\n", Printable(path).c_str(), Printable(what).c_str());
    return kExitRefused;
}

std::string ReadSkinNumber(const Arguments& args, std::optional<int32_t>& skin, std::string* playerSkin) {
    const std::string* v = args.Value("skin");
    if (!v) return {};
    if (playerSkin && !args.operands.empty() && IsPlayerFolder(args.operands[0])) {
        *playerSkin = *v;
        return {};
    }
    long n = 0;
    if (!ParseInteger(*v, 0, INT32_MAX, n)) return "--skin needs a skin number (0 or more)";
    skin = static_cast<int32_t>(n);
    return {};
}

int Report(const PrepareProblem& problem, const CommandTable& table) {
    switch (problem.as) {
        case PrepareProblem::As::Refusal: return Refused(problem.kind, problem.failure, problem.path);
        case PrepareProblem::As::Unusable: return Unusable(problem.path, problem.what);
        case PrepareProblem::As::Usage: break;
    }
    return Usage(table, problem.what);
}

std::string SameAsInput(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs) {
    return OutputThatIsAnInput(outputs, inputs);
}

bool WriteOutput(const std::string& path, std::span<const uint8_t> bytes, WriteMode mode) {
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0) return true;
        std::fprintf(stderr, "meshara-cli: standard output: %s\n", std::strerror(errno));
        return false;
    }
    if (Status written = WriteFileBytes(path, bytes, mode); !written) {
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
