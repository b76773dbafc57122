#pragma once
// One frame of a model as Wavefront OBJ with normals and texture
// coordinates, and the material file it names. Same axes and units as the
// glTF export (export/export_mesh.h), so both land alike in Blender.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "export/export_mesh.h"
#include "io/result.h"
#include "model/md2_model.h"

namespace meshara {

struct ObjExportOptions {
    int32_t frame = 0;
    double scale = kDefaultExportScale;
    std::string materialFile;  // the .mtl's file name, as the .obj names it
    std::string textureFile;   // the picture's file name, as the .mtl names it; empty for none
    std::span<const uint8_t> texturePng;  // the picture's bytes, for the stamp
};

struct ObjFiles {
    std::string obj;
    std::string mtl;
};

// The two files' text, or DoesNotFit with the reason (a frame out of
// range, a model without triangles, positions that are not finite).
Result<ObjFiles> ExportObj(const Md2Model& model, const ObjExportOptions& options);

// The .mtl's last line stamps it as an export's: a checksum of the lines
// above it and, when it names a picture, one of the picture. A later export
// replaces an .mtl and its picture only while both still match, so a file of
// the user's of the same name, or one edited since, is never taken for the
// export's.
struct MaterialStamp {
    std::string picture;  // the picture's file name as the .mtl names it; empty for none
    uint32_t pictureChecksum = 0;
};

// The stamp of an .mtl an export wrote and nobody has changed since;
// nothing for any other bytes.
std::optional<MaterialStamp> ReadMaterialStamp(std::span<const uint8_t> mtl);

// The checksum the stamp keeps (CRC-32), over bytes given in one piece or
// several (each piece's result given to the next).
uint32_t StampChecksum(std::span<const uint8_t> bytes, uint32_t running = 0);

}  // namespace meshara
