// meshara-cli check --html on a folder of corpus-sized models (faerie and
// sydney, 30 copies each), on one worker and on two, against the thumbnail
// command run once per file at the page's 128 pixels: what the check's one
// process with a context per worker saves over a process per model. The
// counters give models per second.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kCopies = 30;

// Wall seconds from spawning the process to its exit; negative when it failed
// (the check exits 1 on errors, which these models have none of).
double Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The folder of models, made once; empty without the corpus.
const std::vector<fs::path>& Models() {
    static const std::vector<fs::path> models = [] {
        std::vector<fs::path> out;
        const fs::path corpus = fs::path(MESHARA_CORPUS_DIR) / "md2", dir = fs::temp_directory_path() / "meshara-check-bench";
        if (!fs::exists(corpus / "faerie.md2") || !fs::exists(corpus / "sydney.md2")) return out;
        fs::create_directories(dir);
        for (int i = 0; i < kCopies; ++i)
            for (const char* name : {"faerie", "sydney"}) {
                const fs::path to = dir / (std::string(name) + std::to_string(i) + ".md2");
                fs::copy_file(corpus / (std::string(name) + ".md2"), to, fs::copy_options::overwrite_existing);
                out.push_back(to);
            }
        return out;
    }();
    return models;
}

void Report(benchmark::State& state, double seconds) {
    const double models = static_cast<double>(Models().size()) * static_cast<double>(state.iterations());
    state.counters["models_per_s"] = models / seconds;
    state.counters["ms_per_model"] = 1000 * seconds / models;
}

void BM_Check(benchmark::State& state) {
    if (Models().empty()) return state.SkipWithError("no corpus: faerie.md2 and sydney.md2 are needed");
    const std::string page = (fs::temp_directory_path() / "meshara-check-bench.html").string();
    const std::vector<std::string> args = {MESHARA_CLI, "check", "--html", page, "--jobs",
                                           std::to_string(state.range(0)), Models().front().parent_path().string()};
    double total = 0;
    for (auto _ : state) {
        const double t = Run(args);
        if (t < 0) return state.SkipWithError("meshara-cli check failed");
        total += t;
    }
    Report(state, total);
}
BENCHMARK(BM_Check)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ThumbnailEachFile(benchmark::State& state) {
    if (Models().empty()) return state.SkipWithError("no corpus: faerie.md2 and sydney.md2 are needed");
    const std::string out = (fs::temp_directory_path() / "meshara-check-bench.png").string();
    double total = 0;
    for (auto _ : state)
        for (const fs::path& model : Models()) {
            const double t = Run({MESHARA_CLI, "thumbnail", "-s", "128", model.string(), out});
            if (t < 0) return state.SkipWithError("meshara-cli thumbnail failed");
            total += t;
        }
    Report(state, total);
}
BENCHMARK(BM_ThumbnailEachFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
