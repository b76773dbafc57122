// The glTF and OBJ readers on arbitrary bytes, and what they read fitted to
// MD2: a mesh read is written, and the file written must read back as an
// MD2; anything else is refused with a reason. Nothing aborts, whatever the
// counts, nesting, node graphs, accessors, numbers and external files hold.
// A glTF may name files beside it in a folder kept in memory
// (fuzz/convert_files.h), the input itself among them.

#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <string>

#include "convert/md2_build.h"
#include "convert/model_import.h"
#include "formats/md2_file.h"
#include "formats/md2_writer.h"
#include "formats/png_writer.h"
#include "fuzz/convert_files.h"

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

const std::map<std::string, std::vector<uint8_t>>& Folder() {
    static const std::map<std::string, std::vector<uint8_t>> folder = {
        {meshara::fuzzfiles::kTriangle, meshara::fuzzfiles::TriangleBuffer()},
        {meshara::fuzzfiles::kPicture, meshara::EncodePng(2, 2, std::vector<uint8_t>(12, 128), 3)},
    };
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    meshara::GltfReadOptions options;
    options.framesPerSecond = 10;
    options.readExternal = [bytes](const std::string& uri, uint64_t most) -> meshara::Result<std::vector<uint8_t>> {
        std::vector<uint8_t> file;
        if (uri == meshara::fuzzfiles::kSelf) {
            file.assign(bytes.begin(), bytes.end());
        } else if (const auto it = Folder().find(uri); it != Folder().end()) {
            file = it->second;
        } else {
            return meshara::Failure{meshara::ErrorKind::CannotOpen, "cannot be read: no such file"};
        }
        if (file.size() > most) return meshara::Failure{meshara::ErrorKind::CannotOpen, "holds more than asked for"};
        return file;
    };
    Fit(meshara::ReadGltf(bytes, options));
    Fit(meshara::ReadObj(bytes));
    return 0;
}
