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

// The external files of the glTF at path, as a folder on the disk holds
// them: regular files in its folder or below once every link is resolved,
// read no further than asked.
ExternalFileReader FilesBeside(const std::string& path);

// Reads the file at path and makes it an MD2, or says why not. A glTF's
// external files come from read.readExternal, or when it is null from
// FilesBeside(path).
Result<ConvertedFile> ConvertModelFile(const std::string& path, GltfReadOptions read, const Md2BuildOptions& build);

}  // namespace meshara
