#pragma once
// No output ever replaces a file something was read from: the one rule
// every command and every save of the viewer asks.

#include <string>
#include <vector>

#include "session/document.h"

namespace meshara {

// The first output that is, by its path, a link or its identity on disk,
// a file one of the inputs was read from: the input itself, or the archive
// an input inside one lies in. Empty when none is; empty names are
// skipped, and "-" (standard output) is never a file.
std::string OutputThatIsAnInput(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs);

// Every file the document was read from: each model, each map's picture.
std::vector<std::string> InputsOf(const Document& doc);

}  // namespace meshara
