// An animated picture against the PNGs it replaces: faerie.md2's "stand" (40
// frames) at 320 x 240, textured and lit, fitted, drawn offscreen; either
// each frame encoded as a PNG as `render --frame K` writes it (the
// reference), or all of them recorded into one GIF or WebP as `render
// --animation stand` does.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "formats/png_writer.h"
#include "render/gl_view.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "session/animated_picture.h"
#include "session/scene_setup.h"
#include "view/framing.h"

namespace {

using namespace meshara;
namespace fs = std::filesystem;

constexpr int kWidth = 320, kHeight = 240;

fs::path Corpus(const std::string& name) { return fs::path(MESHARA_CORPUS_DIR) / "md2" / name; }

struct World {
    std::unique_ptr<OffscreenContext> context;
    std::unique_ptr<Renderer> renderer;
    Document doc;
    ViewState view;
    const Md2Animation* stand = nullptr;
    std::string problem;

    World() {
        context = OffscreenContext::Create(kWidth, kHeight, problem);
        if (!context) return;
        InitGLState(kWidth, kHeight);
        ApplyViewportAndProjection(kWidth, kHeight);
        renderer = std::make_unique<Renderer>();
        auto opened = OpenModelFile(doc.models, Corpus("faerie.md2").string());
        if (!opened || !LoadMapFile(*opened.Value(), MapKind::Texture, Corpus("faerie2.bmp").string())) {
            problem = "cannot load faerie.md2 and faerie2.bmp from " + Corpus("").string();
            return;
        }
        AddLightTo(doc, *opened.Value(), std::make_unique<LightRecord>());
        FitView(view.camera, doc.models, kWidth, kHeight);
        for (const Md2Animation& a : opened.Value()->model->animations)
            if (std::string(a.name.data()) == "stand") stand = &a;
        if (!stand) problem = "faerie.md2 has no \"stand\"";
    }
    ~World() { renderer.reset(); }  // textures go before the context
};

World& TheWorld() {
    static World world;
    return world;
}

void BM_Stand(benchmark::State& state) {
    World& w = TheWorld();
    if (!w.problem.empty()) {
        state.SkipWithError(w.problem.c_str());
        return;
    }
    const Scene base = SceneOf(w.doc, w.view);
    const std::vector<Shot> shots = AnimationShots(*w.stand, kFramesPerSecond);
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        if (state.range(0) == 0) {
            for (const Shot& shot : shots) {
                w.renderer->Render(ShotScene(base, shot), nullptr);
                bytes += EncodePng(kWidth, kHeight, w.context->ReadPixels(), 3).size();
            }
        } else {
            auto recorded = RecordAnimation(
                base, shots, state.range(0) == 1 ? AnimatedFormat::Gif : AnimatedFormat::Webp,
                [&](const Scene& scene, PixelSize& size, std::vector<uint8_t>& rgb) {
                    w.renderer->Render(scene, nullptr);
                    size = {kWidth, kHeight};
                    rgb = w.context->ReadPixels();
                    return true;
                },
                nullptr);
            if (!recorded) {
                state.SkipWithError(recorded.Detail().c_str());
                return;
            }
            bytes = recorded.Value().bytes.size();
        }
    }
    state.counters["KB"] = static_cast<double>(bytes) / 1024;
}
// 0 = 40 PNGs (reference), 1 = one GIF, 2 = one WebP.
BENCHMARK(BM_Stand)->ArgName("format")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
