// Converting a model back against exporting it: faerie.md2 (198 frames, 16
// clips) exported as .glb in memory (the reference), and that .glb read,
// sampled at 10 frames a second, fitted and written as MD2 in memory, as
// `meshara-cli convert` does. Goal: the way back takes at most twice the
// way out.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "convert/md2_build.h"
#include "convert/model_import.h"
#include "export/gltf_export.h"
#include "formats/md2_writer.h"
#include "model/md2_model.h"

namespace {

using namespace meshara;

struct Faerie {
    std::shared_ptr<Md2Model> model;
    GltfExportOptions options;
    std::vector<uint8_t> glb;
    Faerie() {
        auto loaded = LoadMd2Model((std::filesystem::path(MESHARA_CORPUS_DIR) / "md2" / "faerie.md2").string());
        if (!loaded) return;
        model = loaded.Take();
        options.animations = model->animations;
        options.oneShots = DefaultOneShots(*model);
        glb = ExportGltf(*model, options).Take();
    }
};

const Faerie& TheFaerie() {
    static const Faerie faerie;
    return faerie;
}

void BM_ExportGlb(benchmark::State& state) {
    const Faerie& f = TheFaerie();
    if (!f.model) return state.SkipWithError("faerie.md2 is not in the corpus");
    for (auto _ : state) benchmark::DoNotOptimize(ExportGltf(*f.model, f.options));
}
BENCHMARK(BM_ExportGlb)->Unit(benchmark::kMillisecond);

void BM_ConvertGlbBack(benchmark::State& state) {
    const Faerie& f = TheFaerie();
    if (!f.model) return state.SkipWithError("faerie.md2 is not in the corpus");
    for (auto _ : state) {
        auto source = ReadGltf(f.glb, {});
        auto built = BuildMd2(source.Value(), {});
        benchmark::DoNotOptimize(EncodeMd2(built.Value().file));
    }
}
BENCHMARK(BM_ConvertGlbBack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
