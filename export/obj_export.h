#pragma once
// One frame of a model as Wavefront OBJ with normals and texture
// coordinates, and the material file it names. Same axes and units as the
// glTF export (export/export_mesh.h), so both land alike in Blender.

#include <cstdint>
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
};

struct ObjFiles {
    std::string obj;
    std::string mtl;
};

// The two files' text, or DoesNotFit with the reason (a frame out of
// range, a model without triangles, positions that are not finite).
Result<ObjFiles> ExportObj(const Md2Model& model, const ObjExportOptions& options);

}  // namespace meshara
