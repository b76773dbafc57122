#include "tests/gui_support.h"

#include <gtest/gtest.h>
#include <wx/modalhook.h>
#include <wx/wx.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gui/gl_wnd.h"
#include "gui/main_wnd.h"
#include "gui/viewer_app.h"

namespace meshara {

void Pump() {
    for (int i = 0; i < 5; ++i, wxTheApp->ProcessPendingEvents(), wxYield())
        while (wxTheApp->Pending()) wxTheApp->Dispatch();
}

// The main window as it shows on the (virtual) screen. The toolkit paints on its own clock, so the screen is read
// until two readings agree; a grab can lag behind the GL surface under Xvfb, so the view's part is read from GL.
wxBitmap CaptureFrame(MainWnd& frame) {
    // Without a window manager the toolkit may not know where the window really is: it is put at the corner.
    // The toolkit lays a resized or moved window out over several passes of its loop.
    frame.SetSize(wxRect(wxPoint(0, 0), frame.GetSize()));
    frame.Raise();  // over any window an earlier test left to be deleted
    for (int i = 0; i < 10; ++i, wxMilliSleep(20)) Pump();
    frame.Refresh(false);
    frame.Update();
    wxImage shot;
    std::vector<uint8_t> last, now;
    for (int i = 0; i < 51 && (i < 2 || now != last); ++i) {
        Pump();
        const wxRect rect = frame.GetScreenRect();
        wxBitmap grab(rect.width, rect.height);
        wxScreenDC screen;
        wxMemoryDC(grab).Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
        shot = grab.ConvertToImage();
        last = std::exchange(now, std::vector<uint8_t>(shot.GetData(), shot.GetData() + 3 * rect.width * rect.height));
    }
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const wxPoint at = frame.view->GetScreenPosition() - frame.GetScreenPosition();
    if (frame.view->ReadPixels(width, height, rgb)) shot.Paste(wxImage(width, height, rgb.data(), true), at.x, at.y);
    return wxBitmap(shot);
}

void Save(const wxBitmap& shot, const char* name) {
    const char* dir = std::getenv("MESHARA_SCREENSHOT_DIR");
    if (!dir) return;
    const std::string path = (std::filesystem::path(dir) / name).string();
    ASSERT_TRUE(shot.SaveFile(path, wxBITMAP_TYPE_PNG)) << path;
}

int RunViewerTests(int argc, char** argv, wxModalDialogHook& dialogs) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    wxApp::SetInstance(new ViewerApp);
    if (!wxEntryStart(argc, argv)) return std::fprintf(stderr, "cannot start wxWidgets (is there a display?)\n"), 1;
    wxInitAllImageHandlers();
    // The toolkit's own checks fail the test that trips them.
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                          const wxString& msg) {
        ADD_FAILURE_AT(file.utf8_str(), line) << "wxWidgets assertion in " << func << ": " << cond << " " << msg;
    });
    dialogs.Register();
    const int rc = RUN_ALL_TESTS();
    if (auto* app = static_cast<ViewerApp*>(wxApp::GetInstance()); app->mainFrame) app->mainFrame->Close(true);
    Pump();
    dialogs.Unregister();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}

}  // namespace meshara
