#pragma once
// The keys the main window handles itself rather than through its
// accelerator table: the extras' keys of the command table, which act only
// while the view or nothing has the focus, so the boxes, lists and buttons
// keep Space, Home, the arrows and what they do with Shift and Ctrl.

#include <wx/event.h>

class wxMenuItem;
class wxWindow;

namespace meshara {

struct FrameKey {
    int modifiers = 0;  // wxMOD_ flags
    int code = 0;       // wx key code; '+' and '-' also stand for the keypad's
    int command = 0;
};

// name as wx names keys: "space", "Shift+Left", "+".
FrameKey FrameKeyNamed(const char* name, int command);
bool Matches(const FrameKey& key, const wxKeyEvent& event);

// Shows the key beside a menu entry without making it the entry's
// accelerator, which would take it from every control.
void ShowFrameKey(wxMenuItem* item, const FrameKey& key);

// Whether one of the frame's controls other than view holds the toolkit's
// focus. Asked of the toolkit itself: a drop-down list's focus is on a
// button inside it that wx does not know.
bool ControlHasFocus(wxWindow* frame, wxWindow* view);

}  // namespace meshara
