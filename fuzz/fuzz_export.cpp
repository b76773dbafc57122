// The exports on arbitrary model bytes: a model the parser accepts is
// written as glTF (both forms) and OBJ, or refused with a reason; nothing
// aborts, whatever the names and numbers hold.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "export/gltf_export.h"
#include "export/obj_export.h"
#include "model/md2_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto parsed = meshara::ParseMd2Model(std::span<const uint8_t>(data, size), "fuzz.md2");
    if (!parsed) return 0;
    const meshara::Md2Model& model = *parsed.Value();
    // Small inputs can describe exports of gigabytes; those are refused by
    // their size elsewhere and only cost the fuzzer memory here.
    if (static_cast<uint64_t>(model.FrameCount()) * (static_cast<uint64_t>(model.vertexCount) + 1) *
            (model.FrameCount() + 1) > (uint64_t{1} << 24))
        return 0;
    for (bool binary : {true, false}) {
        meshara::GltfExportOptions options;
        options.binary = binary;
        options.animations = model.animations;
        options.oneShots = meshara::DefaultOneShots(model);
        auto gltf = meshara::ExportGltf(model, options);
        if (gltf && gltf.Value().empty()) std::abort();
    }
    meshara::ObjExportOptions obj;
    obj.materialFile = "fuzz.mtl";
    auto files = meshara::ExportObj(model, obj);
    if (files && files.Value().obj.find("\nmtllib fuzz.mtl\n") == std::string::npos) std::abort();
    return 0;
}
