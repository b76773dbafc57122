#pragma once
// File access is a thin shell around the span parsers.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/load_result.h"

namespace meshara {

// The whole file, or CannotOpen when it cannot be opened or read
// (missing, no rights, a folder, a read error).
LoadResult<std::vector<uint8_t>> ReadFileBytes(const std::string& path);

// Writes the bytes to a temporary file beside path and renames it over path,
// so a failed write never destroys an existing file. False on any failure.
bool WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace meshara
