#include "gui/gl_wnd.h"

#include <cmath>

#include "gui/toolkit_ids.h"
#include "render/gl_view.h"
#include "session/command_ids.h"
#include "session/messages.h"
#include "session/scene_setup.h"

namespace meshara {

wxBEGIN_EVENT_TABLE(GLWnd, wxGLCanvas)
    EVT_PAINT(GLWnd::OnPaint)
    EVT_SIZE(GLWnd::OnSize)
    EVT_ERASE_BACKGROUND(GLWnd::OnEraseBackground)
    EVT_LEFT_DOWN(GLWnd::OnMouse)
    EVT_LEFT_UP(GLWnd::OnMouse)
    EVT_RIGHT_DOWN(GLWnd::OnMouse)
    EVT_RIGHT_UP(GLWnd::OnMouse)
    EVT_MOTION(GLWnd::OnMouse)
    EVT_LEAVE_WINDOW(GLWnd::OnMouse)
    EVT_MOUSE_CAPTURE_LOST(GLWnd::OnCaptureLost)
    EVT_SET_FOCUS(GLWnd::OnFocus)
    EVT_KILL_FOCUS(GLWnd::OnFocus)
wxEND_EVENT_TABLE()

bool GLWnd::ChoosePixelFormat(wxGLAttributes& attributes) {
    // Depth 32 first, then the closest the display has, as a format chooser would.
    for (int depth : {32, 24, 16}) {
        wxGLAttributes a;
        a.PlatformDefaults().RGBA().MinRGBA(8, 8, 8, 0).DoubleBuffer().Depth(depth).EndList();
        if (wxGLCanvas::IsDisplaySupported(a)) {
            attributes = a;
            return true;
        }
    }
    return false;
}

GLWnd::GLWnd(wxWindow* parent, const Document& document, std::function<void()> repaintWindow,
             const wxGLAttributes& attributes)
    : wxGLCanvas(parent, attributes, ToolkitId(ids::kGlWindow), wxDefaultPosition, wxSize(312, 384),
                 wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE),
      doc_(document),
      repaintWindow_(std::move(repaintWindow)) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    context_ = std::make_unique<wxGLContext>(this);
    if (!context_->IsOK()) {
        context_.reset();
        contextFailed_ = true;
        wxMessageBox(msg::kSetPixelFormatFailed, msg::kProgramName, wxOK, parent);
    }
}

GLWnd::~GLWnd() {
    if (HasCapture()) wxGLCanvas::ReleaseMouse();
}

bool GLWnd::EnsureGl() {
    if (glReady_) return true;
    if (!context_ || !IsShownOnScreen()) return false;
    if (!SetCurrent(*context_)) {
        if (!contextFailed_) {
            contextFailed_ = true;
            wxMessageBox(msg::kSetPixelFormatFailed, msg::kProgramName, wxOK, GetParent());
        }
        context_.reset();
        return false;
    }
    glReady_ = true;
    renderer_ = std::make_unique<Renderer>();
    const wxSize size = PixelSize();
    InitGLState(size.x, size.y);
    if (ApplyViewportAndProjection(size.x, size.y)) glSize_ = size;
    return true;
}

void GLWnd::ReleaseGl() {
    if (!renderer_) return;
    // Without a context the textures went with it, and freeing them does nothing.
    if (context_) SetCurrent(*context_);
    renderer_.reset();
}

wxSize GLWnd::PixelSize() const {
    const wxSize logical = GetClientSize();
    const double scale = GetContentScaleFactor();
    return {static_cast<int>(std::lround(logical.x * scale)), static_cast<int>(std::lround(logical.y * scale))};
}

void GLWnd::Draw(const std::function<void()>& present) {
    // The toolkit may deliver a size change after the paint it caused: the
    // viewport always follows the size the window has now.
    const wxSize size = PixelSize();
    if (size != glSize_ && ApplyViewportAndProjection(size.x, size.y)) glSize_ = size;
    if (renderer_) renderer_->Render(SceneOf(doc_, state_), present);
}

void GLWnd::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    if (!EnsureGl()) return;
    Draw([this] { SwapBuffers(); });
}

bool GLWnd::ReadPixels(int& width, int& height, std::vector<uint8_t>& rgb) {
    return ReadScenePixels(SceneOf(doc_, state_), width, height, rgb);
}

bool GLWnd::ReadScenePixels(const Scene& scene, int& width, int& height, std::vector<uint8_t>& rgb) {
    if (!EnsureGl()) return false;
    const wxSize size = PixelSize();
    if (size.x < 1 || size.y < 1 || !renderer_) return false;
    // The picture drawn again into the back buffer and read from there, so
    // nothing on top of the window can get into it.
    if (size != glSize_ && ApplyViewportAndProjection(size.x, size.y)) glSize_ = size;
    renderer_->Render(scene, nullptr);
    width = size.x;
    height = size.y;
    rgb = ReadBackBuffer(width, height);
    return true;
}

void GLWnd::OnSize(wxSizeEvent& event) {
    event.Skip();
    const wxSize size = PixelSize();
    if (size.y < 1 || !EnsureGl()) return;
    ApplyViewportAndProjection(size.x, size.y);
    glSize_ = size;
    Refresh(false);
    Update();
}

void GLWnd::OnEraseBackground(wxEraseEvent&) {}  // the picture covers everything: no flicker

void GLWnd::SpinStep() { meshara::SpinStep(state_.camera, *this); }

void GLWnd::OnMouse(wxMouseEvent& event) {
    uint32_t flags = 0;
    if (event.LeftIsDown()) flags |= MouseLeft;
    if (event.RightIsDown()) flags |= MouseRight;
    if (event.ShiftDown()) flags |= MouseShift;
    if (event.ControlDown()) flags |= MouseControl;
    const Point p{event.GetX(), event.GetY()};
    Camera& camera = state_.camera;
    const wxEventType type = event.GetEventType();
    // A click gives the view the keys, as it would a box or a list.
    if ((type == wxEVT_LEFT_DOWN || type == wxEVT_RIGHT_DOWN) && FindFocus() != this) SetFocus();
    if (type == wxEVT_LEFT_DOWN)
        OnLeftButtonDown(camera, *this, flags, p);
    else if (type == wxEVT_RIGHT_DOWN)
        OnRightButtonDown(camera, *this, flags, p);
    else if (type == wxEVT_LEFT_UP)
        OnLeftButtonUp(camera, *this, flags);
    else if (type == wxEVT_RIGHT_UP)
        OnRightButtonUp(camera, *this, flags);
    else if (type == wxEVT_MOTION)
        OnMouseMove(camera, *this, flags, p);
    if (onPointer && (type == wxEVT_MOTION || type == wxEVT_LEAVE_WINDOW) && !(flags & (MouseLeft | MouseRight)))
        type == wxEVT_MOTION ? onPointer(p.x, p.y) : onPointer(-1, -1);
    event.Skip();  // let focus handling happen as usual
}

void GLWnd::OnCaptureLost(wxMouseCaptureLostEvent&) { OnCaptureChanged(state_.camera, *this); }

void GLWnd::OnFocus(wxFocusEvent& event) {
    if (onFocus) onFocus(event.GetEventType() == wxEVT_SET_FOCUS);
    event.Skip();
}

bool GLWnd::HasCapture() const { return wxGLCanvas::HasCapture(); }
void GLWnd::CaptureMouse() { wxGLCanvas::CaptureMouse(); }
void GLWnd::ReleaseMouse() {
    if (wxGLCanvas::HasCapture()) wxGLCanvas::ReleaseMouse();
}

void GLWnd::RepaintNow() {
    Refresh(false);
    Update();
}

void GLWnd::RequestRedraw() {
    if (repaintWindow_) repaintWindow_();
}

Point GLWnd::ClientSize() const {
    const wxSize s = GetClientSize();
    return {s.x, s.y};
}

}  // namespace meshara
