#include "cli/cli_common.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/file_bytes.h"

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
