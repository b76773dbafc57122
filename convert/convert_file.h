#pragma once
// A glTF or OBJ file made into MD2 bytes in one call, for meshara-cli
// convert and for the viewer, which opens such files as the MD2 they make.

#include <string>
#include <vector>

#include "convert/md2_build.h"
#include "convert/model_import.h"
#include "io/result.h"

namespace meshara {

// Whether the path names a file convert reads: .glb, .gltf or .obj (any case).
bool IsConvertibleModelPath(const std::string& path);

struct ConvertedFile {
    std::vector<uint8_t> md2;
    Md2Built built;
    bool skinSizeGuessed = false;  // neither the file nor the options told it
    std::shared_ptr<const SkinImage> texture;  // the picture the glTF's material shows, when it holds one
};

// Reads the file at path (a .gltf's external files from its folder) and
// makes it an MD2, or says why not.
Result<ConvertedFile> ConvertModelFile(const std::string& path, GltfReadOptions read, const Md2BuildOptions& build);

}  // namespace meshara
