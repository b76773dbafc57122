// Frames per second offscreen at 512 x 384: 16 copies of faerie.md2 with all
// four maps and eight lights, drawn through the immediate-mode reference and
// through vertex arrays in the same run. Also the cost of building a model's
// arrays for every frame.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "render/gl_view.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "session/scene_setup.h"

namespace {

using namespace meshara;
namespace fs = std::filesystem;

constexpr int kWidth = 512, kHeight = 384, kCopies = 16;

fs::path Corpus(const std::string& name) { return fs::path(MESHARA_CORPUS_DIR) / "md2" / name; }

struct World {
    std::unique_ptr<OffscreenContext> context;
    std::unique_ptr<Renderer> renderer;
    Document doc;
    ViewState view;
    std::string problem;

    World() {
        context = OffscreenContext::Create(kWidth, kHeight, problem);
        if (!context) return;
        InitGLState(kWidth, kHeight);
        ApplyViewportAndProjection(kWidth, kHeight);
        renderer = std::make_unique<Renderer>();
        for (int i = 0; i < kCopies; ++i) {
            auto opened = OpenModelFile(doc.models, Corpus("faerie.md2").string());
            if (!opened) {
                problem = "cannot load " + Corpus("faerie.md2").string();
                return;
            }
            for (size_t m = 0; m < kMapKinds; ++m)
                if (!LoadMapFile(*opened.Value(), static_cast<MapKind>(m), Corpus("faerie2.bmp").string())) {
                    problem = "cannot load " + Corpus("faerie2.bmp").string();
                    return;
                }
            for (int l = 0; l < 8; ++l) {
                auto light = std::make_unique<LightRecord>();
                light->position[0] = static_cast<float>(150 - 40 * l);
                light->diffuse[0] = light->diffuse[1] = light->diffuse[2] = 0.2f;
                AddLightTo(doc, *opened.Value(), std::move(light));
            }
        }
    }
    ~World() { renderer.reset(); }  // textures go before the context
};

World& TheWorld() {
    static World world;
    return world;
}

void BM_Frame(benchmark::State& state) {
    World& w = TheWorld();
    if (!w.problem.empty()) {
        state.SkipWithError(w.problem.c_str());
        return;
    }
    w.renderer->SetSubmissionPath(state.range(0) == 0 ? SubmissionPath::Immediate : SubmissionPath::VertexArrays);
    int frame = 0;
    for (auto _ : state) {
        w.doc.models.currentFrame = frame++ % 8;  // a few frames, as a playing animation visits them
        w.renderer->Render(SceneOf(w.doc, w.view), nullptr);
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
// 0 = immediate mode (reference), 1 = vertex arrays.
BENCHMARK(BM_Frame)->ArgName("arrays")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BuildArrays(benchmark::State& state) {
    auto loaded = LoadMd2Model(Corpus("faerie.md2").string());
    if (!loaded) {
        state.SkipWithError("cannot load faerie.md2");
        return;
    }
    const Md2Model& model = *loaded.Value();
    for (auto _ : state) {
        ModelArrays arrays(model);
        Submitter(model, arrays, SubmissionPath::VertexArrays).PrepareAllFrames();
        benchmark::DoNotOptimize(arrays.frames.data());
    }
    state.counters["frames"] = model.FrameCount();
}
BENCHMARK(BM_BuildArrays)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
