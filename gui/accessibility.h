#pragma once
// The names screen readers say for controls. The options bar has no labels
// of its own, and its buttons read "+", "X" and a blank, so each control is
// given a name through the toolkit's accessibility layer, which wx does not
// reach on this platform.

#include <string>

class wxWindow;
class wxMenuItem;

namespace meshara {

void SetAccessibleName(wxWindow* control, const char* name);
void SetAccessibleDescription(wxWindow* control, const char* description);
// Gives a window drawn by the program the role of a status bar, so screen
// readers find it where they look for one.
void SetStatusBarRole(wxWindow* control);
std::string AccessibleName(wxWindow* control);

// Shows keyName ("Home", "F12", ... as the toolkit names keys) beside a menu
// entry without making it the entry's accelerator: the key stays with
// whatever control has the focus, and the program decides what it does.
void ShowMenuKey(wxMenuItem* item, const char* keyName);  // empty when none is set or it cannot be read

}  // namespace meshara
