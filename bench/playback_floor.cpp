// The floor for playing an animation in the viewer: a bare wxGLCanvas
// program, the view's default size, that clears and presents one picture
// per tick of a 33 ms timer, as the viewer's playback ticks. Whatever the
// viewer spends beyond this is its own.
//   playback_floor
#include <wx/glcanvas.h>
#include <wx/wx.h>

#include <GL/gl.h>

namespace {

class Canvas : public wxGLCanvas {
public:
    Canvas(wxWindow* parent, const wxGLAttributes& attributes)
        : wxGLCanvas(parent, attributes, wxID_ANY, wxDefaultPosition, wxSize(312, 384)), context_(this), timer_(this) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, &Canvas::OnPaint, this);
        Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            Refresh(false);
            Update();
        });
        timer_.Start(33);
    }

private:
    void OnPaint(wxPaintEvent&) {
        wxPaintDC dc(this);
        SetCurrent(context_);
        const wxSize size = GetClientSize();
        glViewport(0, 0, size.x, size.y);
        glClearColor(0.2f, 0.2f, 0.2f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SwapBuffers();
    }

    wxGLContext context_;
    wxTimer timer_;
};

class App : public wxApp {
public:
    bool OnInit() override {
        wxGLAttributes attributes;
        attributes.PlatformDefaults().RGBA().MinRGBA(8, 8, 8, 0).DoubleBuffer().Depth(24).EndList();
        auto* frame = new wxFrame(nullptr, wxID_ANY, "playback floor");
        new Canvas(frame, attributes);
        frame->Fit();
        frame->Show();
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP(App);
