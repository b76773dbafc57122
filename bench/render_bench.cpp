// Frames per second offscreen at 512 x 384: 16 copies of faerie.md2 with all
// four maps and eight lights, drawn through the immediate-mode reference and
// through vertex arrays in the same run. Also the cost of building a model's
// arrays for every frame.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "lights/light_record.h"
#include "model/md2_loader.h"
#include "render/gl_view.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "render/skin_texture.h"
#include "render/submission.h"

namespace {

using namespace meshara;
namespace fs = std::filesystem;

constexpr int kWidth = 512, kHeight = 384, kCopies = 16;

fs::path Corpus(const std::string& name) { return fs::path(MESHARA_CORPUS_DIR) / "md2" / name; }

struct World {
    std::unique_ptr<OffscreenContext> context;
    ModelList models;
    GlobalLightList lights;
    RenderSettings settings;
    Camera camera;
    std::string problem;

    World() {
        context = OffscreenContext::Create(kWidth, kHeight, problem);
        if (!context) return;
        InstallTextureReleaseHook();
        InitGLState(kWidth, kHeight);
        ApplyViewportAndProjection(kWidth, kHeight);
        for (int i = 0; i < 8; ++i) {
            auto light = std::make_unique<LightRecord>();
            light->position[0] = static_cast<float>(150 - 40 * i);
            light->diffuse[0] = light->diffuse[1] = light->diffuse[2] = 0.2f;
            AppendGlobalLight(lights, std::move(light));
        }
        for (int i = 0; i < kCopies; ++i) {
            auto model = LoadMd2Model(Corpus("faerie.md2").string());
            if (!model) {
                problem = "cannot load " + Corpus("faerie.md2").string();
                return;
            }
            for (std::unique_ptr<SkinImage>* map : {&model.Value()->textureMap, &model.Value()->diffusionMap,
                                                    &model.Value()->specularityMap, &model.Value()->glowMap}) {
                auto skin = LoadSkinImage(Corpus("faerie2.bmp").string());
                if (!skin) {
                    problem = "cannot load " + Corpus("faerie2.bmp").string();
                    return;
                }
                *map = skin.Take();
            }
            for (const auto& light : lights.lights) AppendModelLight(*model.Value(), light.get());
            models.models.push_back(model.Take());
        }
    }
    ~World() { models.models.clear(); }  // textures go before the context
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
    SetSubmissionPath(state.range(0) == 0 ? SubmissionPath::Immediate : SubmissionPath::VertexArrays);
    int frame = 0;
    for (auto _ : state) {
        w.models.currentFrame = frame++ % 8;  // a few frames, as a playing animation visits them
        RenderScene(Scene{w.models, w.settings, w.camera, 0}, nullptr);
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
    for (auto _ : state) {
        loaded.Value()->renderCache.reset();
        PrepareModelArrays(*loaded.Value());
        benchmark::ClobberMemory();
    }
    state.counters["frames"] = loaded.Value()->FrameCount();
}
BENCHMARK(BM_BuildArrays)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
