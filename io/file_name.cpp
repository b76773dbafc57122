#include "io/file_name.h"

namespace meshara {

std::string FileNameOfPath(std::string_view path) {
    size_t cut = path.find_last_of("\\/");
    if (cut == std::string_view::npos) return std::string(path);
    return std::string(path.substr(cut + 1));
}

}  // namespace meshara
