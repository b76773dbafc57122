#pragma once
// A glTF or OBJ file made into MD2 bytes in one call, for meshara-cli
// convert and for the viewer, which opens such files as the MD2 they make.

#include <memory>
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
    std::vector<std::string> externalFiles;    // every file beside it a glTF's buffers and pictures were read from
};

// What a file's name says it is when its content tells nothing: glTF for
// .glb and .gltf, OBJ for .obj (any case), so the reader says what is wrong
// with it; Unknown otherwise.
FileType OtherModelTypeByName(const std::string& path);

// The external files of the glTF at path, as a folder on the disk holds
// them: regular files in its folder or below once every link is resolved,
// read no further than asked.
ExternalFileReader FilesBeside(const std::string& path);

// The external files of the glTF at path wherever it lies: beside it on the
// disk (FilesBeside), or beside it in the archive it lies in, through the
// game filesystem. Each file read is added to read, when given.
ExternalFileReader ExternalFilesOf(const std::string& path, std::shared_ptr<std::vector<std::string>> read = nullptr);

// Reads the file at path (a loose file, or an entry of an archive the path
// runs through), told by its content to be glTF or OBJ, and makes it an
// MD2, or says why not. A glTF's external files come from read.readExternal,
// or when it is null from ExternalFilesOf(path).
Result<ConvertedFile> ConvertModelFile(const std::string& path, GltfReadOptions read, const Md2BuildOptions& build);

}  // namespace meshara
