#pragma once
// The names screen readers say for controls. The options bar has no labels
// of its own, and its buttons read "+", "X" and a blank, so each control is
// given a name through the toolkit's accessibility layer, which wx does not
// reach on this platform.

#include <string>

class wxWindow;

namespace meshara {

void SetAccessibleName(wxWindow* control, const char* name);
void SetAccessibleDescription(wxWindow* control, const char* description);
// Gives a window drawn by the program the role of a status bar, so screen
// readers find it where they look for one.
void SetStatusBarRole(wxWindow* control);
std::string AccessibleName(wxWindow* control);

// The toolkit shows every top-level window to screen readers as a frame;
// a dialog says it is one.
void SetDialogRole(wxWindow* dialog);
// Gives a window drawn by the program the role of a picture.
void SetPictureRole(wxWindow* control);

// A push button that stands for an on/off state: screen readers hear a
// toggle button, checked while on. Only the role and the state change: the
// button keeps its look, and a click stays one command; the state is what
// the caller last set here.
void SetToggleState(wxWindow* button, bool on);
bool ToggleState(wxWindow* button);  // as screen readers read it

// Message boxes are named by their caption, not by their kind
// ("Information"), and no tooltip is shown while one is up, so none covers
// it. For the whole run; calls after the first do nothing.
void WatchMessageBoxes();


}  // namespace meshara
