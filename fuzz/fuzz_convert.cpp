// The glTF and OBJ readers on arbitrary bytes, and what they read fitted to
// MD2: a mesh read is written, and the file written must read back as an
// MD2; anything else is refused with a reason. Nothing aborts, whatever the
// counts, node graphs, accessors and numbers hold.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "convert/md2_build.h"
#include "convert/model_import.h"
#include "formats/md2_file.h"
#include "formats/md2_writer.h"

namespace {

void Fit(meshara::Result<meshara::SourceMesh> source) {
    if (!source) {
        if (source.Detail().empty()) std::abort();
        return;
    }
    // Small inputs can describe millions of positions (a long clip sampled
    // at a high rate), which the readers accept within their bounds; fitting
    // them is plain work that only costs the fuzzer time here.
    if (source.Value().frames.size() * source.Value().VertexCount() > (size_t{1} << 18)) return;
    meshara::Md2BuildOptions options;
    options.ignoreEngineLimits = true;
    auto built = meshara::BuildMd2(source.Value(), options);
    if (!built) return;
    const std::vector<uint8_t> bytes = meshara::EncodeMd2(built.Value().file);
    if (!meshara::ParseMd2(bytes)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    meshara::GltfReadOptions options;
    options.framesPerSecond = 10;
    Fit(meshara::ReadGltf(bytes, options));
    Fit(meshara::ReadObj(bytes));
    return 0;
}
