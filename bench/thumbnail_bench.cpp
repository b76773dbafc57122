// meshara-cli thumbnail -s 256 on faerie.md2, from process start to file
// written, against thumbnail_floor (a process that only starts EGL, clears
// a 256 x 256 picture and writes it as PNG). Each iteration runs both, one
// after the other, so load from elsewhere falls on both alike; the counters
// give each one's mean wall time and their ratio.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Wall seconds from spawning the process to its exit; negative when it failed.
double Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ThumbnailAgainstFloor(benchmark::State& state) {
    const fs::path model = fs::path(MESHARA_CORPUS_DIR) / "md2" / "faerie.md2";
    if (!fs::exists(model)) {
        state.SkipWithError(("no corpus: " + model.string() + " is missing").c_str());
        return;
    }
    const fs::path dir = fs::temp_directory_path();
    const std::string floorOut = (dir / "meshara-bench-floor.png").string(),
                      thumbOut = (dir / "meshara-bench-thumb.png").string();
    const std::vector<std::string> floor = {THUMBNAIL_FLOOR, floorOut};
    const std::vector<std::string> thumbnail = {MESHARA_CLI, "thumbnail", "-s", "256", model.string(), thumbOut};
    double floorTotal = 0, thumbTotal = 0;
    for (auto _ : state) {
        const double f = Run(floor), t = Run(thumbnail);
        if (f < 0 || t < 0) {
            state.SkipWithError("a process failed");
            return;
        }
        floorTotal += f;
        thumbTotal += t;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["floor_ms"] = 1000 * floorTotal / n;
    state.counters["thumbnail_ms"] = 1000 * thumbTotal / n;
    state.counters["ratio"] = thumbTotal / floorTotal;
    fs::remove(floorOut);
    fs::remove(thumbOut);
}
BENCHMARK(BM_ThumbnailAgainstFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
