#pragma once
// What the window tests share: running the toolkit's loop and reading the
// main window off the (virtual) screen.

#include <wx/bitmap.h>

class wxModalDialogHook;

namespace meshara {

class MainWnd;

// Runs the toolkit's loop until nothing is pending, a few times over.
void Pump();
// The main window as it shows on the screen, the view's part read from GL.
wxBitmap CaptureFrame(MainWnd& frame);
// Screenshots go to MESHARA_SCREENSHOT_DIR (tools/make-screenshots: docs/images) when it is set.
void Save(const wxBitmap& shot, const char* name);

// The main of a window test program: the viewer's application started,
// wxWidgets' assertions made test failures, every modal dialog answered by
// dialogs, the tests run, the main window closed and the toolkit shut down.
int RunViewerTests(int argc, char** argv, wxModalDialogHook& dialogs);

}  // namespace meshara
