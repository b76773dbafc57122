#pragma once
// A glTF or OBJ file made into MD2 bytes in one call, for meshara-cli
// convert and for the viewer, which opens such files as the MD2 they make.

#include <string>
#include <vector>

#include "convert/md2_build.h"
#include "convert/model_import.h"
#include "formats/readers.h"
#include "io/result.h"

namespace meshara {

struct ConvertedFile {
    std::vector<uint8_t> md2;
    Md2Built built;
    bool skinSizeGuessed = false;  // neither the file nor the options told it
    std::shared_ptr<const SkinImage> texture;  // the picture the glTF's material shows, when it holds one
};

// What a file's name says it is when its content tells nothing: glTF for
// .glb and .gltf, OBJ for .obj (any case), so the reader says what is wrong
// with it; Unknown otherwise.
FileType OtherModelTypeByName(const std::string& path);

// The largest glTF or OBJ file read.
constexpr uint64_t kMaxOtherModelBytes = uint64_t{1} << 30;

// Reads the file at path (a loose file, or an entry of an archive the path
// runs through; a .gltf's external files from its folder), told by its
// content to be glTF or OBJ, and makes it an MD2, or says why not.
Result<ConvertedFile> ConvertModelFile(const std::string& path, GltfReadOptions read, const Md2BuildOptions& build);

}  // namespace meshara
