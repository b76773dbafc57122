#pragma once
// MD2 model files: header, texture coordinates, triangles and frames into an
// Md2Model with normals computed for every frame.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "io/load_result.h"
#include "model/md2_model.h"

namespace meshara {

using ModelResult = LoadResult<std::unique_ptr<Md2Model>>;

constexpr size_t kMd2HeaderSize = 68;

// Parses a whole file held in memory. name becomes the model's name. Refuses
// with NotMd2 when the magic is missing and with DamagedMd2 when any table
// the model needs does not lie inside the bytes or indexes outside its range.
ModelResult ParseMd2Model(std::span<const uint8_t> bytes, std::string name);

// Reads the file at path and parses it; the model is named after the file.
ModelResult LoadMd2Model(const std::string& path);

}  // namespace meshara
