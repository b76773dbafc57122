#pragma once
// MD2 model files: header, texture coordinates, triangles and frames into an
// Md2Model. Normals are computed per frame when first needed (FrameNormals).

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

// How many bytes from the start of a file of fileSize bytes the parser
// needs, given its first bytes: the end of its furthest table, or the whole
// file when the header is short or a table does not fit.
uint64_t Md2BytesNeeded(std::span<const uint8_t> header, uint64_t fileSize);

// Reads the file at path and parses it; the model is named after the file.
// Only a regular file is read, and only as far as its tables reach.
ModelResult LoadMd2Model(const std::string& path);

}  // namespace meshara
