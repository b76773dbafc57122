#pragma once
// The names screen readers say for controls. The options bar has no labels
// of its own, and its buttons read "+", "X" and a blank, so each control is
// given a name through the toolkit's accessibility layer, which wx does not
// reach on this platform.

#include <string>

class wxWindow;

namespace meshara {

void SetAccessibleName(wxWindow* control, const char* name);
std::string AccessibleName(wxWindow* control);  // empty when none is set or it cannot be read

}  // namespace meshara
