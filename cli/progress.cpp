#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

#include "cli/cli_common.h"

namespace meshara::cli {

namespace {
// Quiet for this long, then redrawn at most this often.
constexpr auto kQuietFor = std::chrono::milliseconds(300);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
}  // namespace

bool TerminalProgress::OnTerminal() { return isatty(STDERR_FILENO) == 1; }

TerminalProgress::TerminalProgress(std::string what, std::string unit)
    : what_(Printable(what)), unit_(std::move(unit)), on_(OnTerminal()), start_(std::chrono::steady_clock::now()) {}

TerminalProgress::~TerminalProgress() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

void TerminalProgress::Show(int64_t done, int64_t total) {
    if (!on_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietFor || (shown_ && now - last_ < kRedrawEvery && done != total)) return;
    last_ = now;
    shown_ = true;
    // total < 0: done is tenths of the unit so far (an elapsed time).
    if (total < 0)
        std::fprintf(stderr, "\rmeshara-cli: %s: %lld.%lld %s\033[K", what_.c_str(), static_cast<long long>(done / 10),
                     static_cast<long long>(done % 10), unit_.c_str());
    else
        std::fprintf(stderr, "\rmeshara-cli: %s: %lld of %lld %s (%lld%%)\033[K", what_.c_str(),
                     static_cast<long long>(done), static_cast<long long>(total), unit_.c_str(),
                     static_cast<long long>(total > 0 ? done * 100 / total : 100));
    std::fflush(stderr);
}

}  // namespace meshara::cli
