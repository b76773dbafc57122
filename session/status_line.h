#pragma once
// The line under the view: what the user should know about the current
// model that the options bar does not show: the path it was opened from
// (the list shows only its file name, and many models are "tris.md2"),
// then what its file needed mending.

#include <string>

#include "session/document.h"

namespace meshara {

// Empty when there is nothing to say.
std::string StatusLine(const Document& doc);

}  // namespace meshara
