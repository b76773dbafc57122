#pragma once
// Names of files as the program shows them.

#include <string>
#include <string_view>

namespace meshara {

// Text after the last '\\' or '/' of the path, or the whole path. Both
// separators count, so a path written on another system names its file too.
std::string FileNameOfPath(std::string_view path);

}  // namespace meshara
