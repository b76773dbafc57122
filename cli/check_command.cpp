// meshara-cli check: what the engine, its tools and its players will meet
// in models, players' folders, archives and whole folders, before a mod is
// released (session/check.h finds it). One line a finding, or JSON, or a
// page a browser shows; models checked on every core.

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/check_page.h"
#include "cli/cli_common.h"
#include "cli/progress.h"
#include "render/offscreen.h"
#include "session/check.h"

namespace meshara::cli {

namespace {

constexpr long kMostJobs = 64;

// Text for a JSON string: printable as everywhere, then quoted.
std::string Json(std::string_view text) {
    std::string out = "\"";
    for (char c : Printable(text)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct Summary {
    int64_t models = 0, players = 0, errors = 0, warnings = 0, notes = 0;
};

Summary Summarise(const std::vector<CheckedModel>& checked) {
    Summary s;
    for (const CheckedModel& m : checked) {
        (m.player ? s.players : s.models) += 1;
        s.errors += m.Count(Severity::Error);
        s.warnings += m.Count(Severity::Warning);
        s.notes += m.Count(Severity::Note);
    }
    return s;
}

std::string Counted(int64_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

void PrintText(const std::vector<CheckedModel>& checked, const Summary& s) {
    for (const CheckedModel& m : checked)
        for (const Finding& f : m.findings)
            std::printf("%s: %s: %s [%s]\n", Printable(m.path).c_str(), SeverityName(f.severity),
                        Printable(f.message).c_str(), f.code.c_str());
    std::printf("%s, %s: %s, %s, %s\n", Counted(s.models, "model", "models").c_str(),
                Counted(s.players, "player", "players").c_str(), Counted(s.errors, "error", "errors").c_str(),
                Counted(s.warnings, "warning", "warnings").c_str(), Counted(s.notes, "note", "notes").c_str());
}

void PrintJson(const std::vector<CheckedModel>& checked, const Summary& s) {
    std::string out = "{\"models\": [";
    for (size_t i = 0; i < checked.size(); ++i) {
        const CheckedModel& m = checked[i];
        out += std::string(i ? ",\n" : "\n") + "  {\"path\": " + Json(m.path) + ", \"kind\": \"" +
               (m.player ? "player" : "model") + "\", \"frames\": " + std::to_string(m.frames) +
               ", \"vertices\": " + std::to_string(m.vertices) + ", \"triangles\": " + std::to_string(m.triangles) +
               ", \"skins\": [";
        for (size_t k = 0; k < m.skins.size(); ++k) out += (k ? ", " : "") + Json(m.skins[k]);
        out += "], \"animations\": [";
        for (size_t k = 0; k < m.animations.size(); ++k)
            out += std::string(k ? ", " : "") + "{\"name\": " + Json(m.animations[k].name) +
                   ", \"first\": " + std::to_string(m.animations[k].first) +
                   ", \"last\": " + std::to_string(m.animations[k].last) + "}";
        out += "], \"findings\": [";
        for (size_t k = 0; k < m.findings.size(); ++k) {
            const Finding& f = m.findings[k];
            out += std::string(k ? ", " : "") + "{\"code\": " + Json(f.code) + ", \"severity\": \"" +
                   SeverityName(f.severity) + "\", \"message\": " + Json(f.message);
            if (f.frame) out += ", \"frame\": " + std::to_string(*f.frame);
            out += "}";
        }
        out += "]}";
    }
    out += "\n], \"summary\": {\"models\": " + std::to_string(s.models) + ", \"players\": " + std::to_string(s.players) +
           ", \"errors\": " + std::to_string(s.errors) + ", \"warnings\": " + std::to_string(s.warnings) +
           ", \"notes\": " + std::to_string(s.notes) + "}}\n";
    std::fputs(out.c_str(), stdout);
}

// Every target checked by jobs workers, each with its own offscreen
// context when pictures are drawn; the records in the targets' order.
std::vector<CheckedModel> CheckAll(const std::vector<CheckTarget>& targets, int jobs, int thumbnailSize,
                                   std::vector<std::vector<uint8_t>>& thumbnails) {
    std::vector<std::vector<CheckedModel>> results(targets.size());
    std::vector<std::vector<std::vector<uint8_t>>> pictures(targets.size());
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    size_t done = 0;
    std::string cannotDraw;  // why a worker has no context, the first time one has none
    const auto work = [&] {
        std::unique_ptr<OffscreenContext> context;
        std::string why;
        if (thumbnailSize > 0 && !(context = OffscreenContext::Create(thumbnailSize, thumbnailSize, why, true))) {
            std::lock_guard lock(mutex);
            if (cannotDraw.empty()) cannotDraw = why.empty() ? "no offscreen context" : why;
        }
        for (size_t i; (i = next.fetch_add(1)) < targets.size();) {
            results[i] = CheckOne(targets[i]);
            for (const CheckedModel& m : results[i])
                pictures[i].push_back(context && !m.drawn.empty() ? DrawThumbnailPng(m.drawn, thumbnailSize, *context)
                                                                  : std::vector<uint8_t>{});
            std::lock_guard lock(mutex);
            ++done;
            changed.notify_one();
        }
    };
    std::vector<std::thread> workers;
    const size_t count = std::min<size_t>(static_cast<size_t>(jobs), std::max<size_t>(targets.size(), 1));
    for (size_t w = 0; w < count; ++w) workers.emplace_back(work);
    {
        // This thread only tells how far the workers have got.
        TerminalProgress line("checking", "files");
        std::unique_lock lock(mutex);
        while (!changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return done == targets.size(); }))
            line.Show(static_cast<int64_t>(done), static_cast<int64_t>(targets.size()));
    }
    for (std::thread& w : workers) w.join();
    if (!cannotDraw.empty())
        std::fprintf(stderr, "meshara-cli: check: cannot draw offscreen: %s; the page shows no pictures\n",
                     Printable(cannotDraw).c_str());
    std::vector<CheckedModel> checked;
    for (size_t i = 0; i < results.size(); ++i)
        for (size_t k = 0; k < results[i].size(); ++k) {
            checked.push_back(std::move(results[i][k]));
            thumbnails.push_back(std::move(pictures[i][k]));
        }
    return checked;
}

int Check(const Arguments& args) {
    long jobs = std::max(1u, std::thread::hardware_concurrency());
    if (const std::string* v = args.Value("jobs"); v && !ParseInteger(*v, 1, kMostJobs, jobs))
        return Usage(CheckCommand().table, "--jobs needs a number of workers, 1 to " + std::to_string(kMostJobs));
    const std::string* html = args.Value("html");
    if (html && html->empty()) return Usage(CheckCommand().table, "--html needs a file name");
    if (html && !SameAsInput({*html}, args.operands).empty())
        return Unusable(*html, "is one of the command's inputs; choose another output name");
    const std::vector<CheckTarget> targets = FindCheckTargets(args.operands);
    std::vector<std::vector<uint8_t>> thumbnails;
    const std::vector<CheckedModel> checked =
        CheckAll(targets, static_cast<int>(jobs), html ? kPageThumbnailSize : 0, thumbnails);
    const Summary s = Summarise(checked);
    if (args.Has("json"))
        PrintJson(checked, s);
    else
        PrintText(checked, s);
    if (html) {
        const std::string page = CheckPage(checked, thumbnails);
        if (!WriteOutput(*html, std::span(reinterpret_cast<const uint8_t*>(page.data()), page.size())))
            return kExitRefused;
    }
    if (int flushed = FlushOutput(); flushed != kExitOk) return flushed;
    return s.errors > 0 || (args.Has("strict") && s.warnings > 0) ? kExitRefused : kExitOk;
}

}  // namespace

const Subcommand& CheckCommand() {
    static constexpr Option kOptions[] = {
        {"json", 0, nullptr, "the findings as JSON instead of one line each"},
        {"html", 0, "OUT.html", "also a page for a browser: each model's picture, counts and findings"},
        {"strict", 0, nullptr, "fail on warnings too, not only on errors"},
        {"jobs", 'j', "N", "models checked at once (the number of cores)"},
    };
    static constexpr CommandTable kTable{"check", "PATH...", 1, 4096,
                                       "what the game will make of models, players' folders, archives and "
                                       "folders of them, before they are released",
                                       kOptions};
    static constexpr Subcommand kCommand{kTable, Check};
    return kCommand;
}

}  // namespace meshara::cli
