#pragma once
// The OpenGL view: one canvas with the program's one GL context, made
// current when the window can first take it and kept current until the
// window goes. Drawing happens only in paint.

#include <wx/glcanvas.h>
#include <wx/wx.h>

#include <functional>
#include <memory>
#include <vector>

#include "render/renderer.h"
#include "session/document.h"
#include "view/camera.h"

namespace meshara {

class GLWnd : public wxGLCanvas, public CameraHost {
public:
    // Draws the document; repaintWindow repaints the whole main window before
    // returning (the camera asks for it at the end of a drag).
    GLWnd(wxWindow* parent, const Document& document, std::function<void()> repaintWindow,
          const wxGLAttributes& attributes);
    ~GLWnd() override;

    // Picks the closest pixel format to double-buffered RGBA with 24 colour
    // and 32 depth bits; false when the display offers none.
    static bool ChoosePixelFormat(wxGLAttributes& attributes);

    ViewState& State() { return state_; }
    // Told where the pointer is while no button is down ((-1, -1) once it
    // leaves), in the client's pixels.
    std::function<void(int x, int y)> onPointer;
    // Told when the view takes or loses the keyboard focus.
    std::function<void(bool focused)> onFocus;
    bool GlReady() const { return glReady_; }

    // Turns the models by the spin step and repaints at once.
    void SpinStep();

    // Makes the context current and the start state, once; safe to call often.
    bool EnsureGl();

    // Frees what the view made in GL (textures, arrays) while the context
    // is still there; the window is about to go.
    void ReleaseGl();

    // Textures the view holds for the pictures it draws.
    int LiveTextureCount() const { return renderer_ ? renderer_->LiveTextureCount() : 0; }

    // The view's size in physical pixels: what GL draws and reads. On a
    // scaled desktop this is larger than the client size the mouse uses.
    wxSize PixelSize() const;

    // Draws the document as it is now and reads the picture back, RGB, top
    // row first, at the physical size; false without a GL context.
    bool ReadPixels(int& width, int& height, std::vector<uint8_t>& rgb);
    // The same for a scene of the caller's instead of the document's.
    bool ReadScenePixels(const Scene& scene, int& width, int& height, std::vector<uint8_t>& rgb);

    // CameraHost
    bool HasCapture() const override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    void RepaintNow() override;
    void RequestRedraw() override;
    Point ClientSize() const override;

private:
    void Draw(const std::function<void()>& present);
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnEraseBackground(wxEraseEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnFocus(wxFocusEvent& event);

    const Document& doc_;
    std::function<void()> repaintWindow_;
    std::unique_ptr<wxGLContext> context_;
    std::unique_ptr<Renderer> renderer_;  // made with the context, freed while it is current
    ViewState state_;
    bool glReady_ = false;
    wxSize glSize_;  // the size the viewport and projection were last set for
    bool contextFailed_ = false;
    wxDECLARE_EVENT_TABLE();
};

}  // namespace meshara
