#include "app/main_wnd.h"

#include <wx/dnd.h>
#include <wx/filedlg.h>

#include "app/dialogs.h"
#include "app/gl_wnd.h"
#include "app/options_bar.h"
#include "app/viewer_app.h"
#include "render/skin_texture.h"
#include "resources/art.h"
#include "resources/ids.h"
#include "resources/messages.h"

namespace meshara {

wxBEGIN_EVENT_TABLE(MainWnd, wxFrame)
    EVT_MENU_RANGE(ids::kTextureNearest, ids::kBackgroundColor, MainWnd::OnCommand)
    EVT_UPDATE_UI_RANGE(ids::kTextureNearest, ids::kBackgroundColor, MainWnd::OnUpdateUI)
    EVT_MENU_RANGE(ids::kFirstExtra, ids::kLastExtra, MainWnd::OnCommand)
    EVT_UPDATE_UI(ids::kPlayAnimation, MainWnd::OnUpdateUI)
    EVT_TIMER(wxID_ANY, MainWnd::OnPlaybackTick)
    EVT_MENU(ids::kExit, MainWnd::OnExit)
    EVT_SIZE(MainWnd::OnSize)
    EVT_CLOSE(MainWnd::OnClose)
    EVT_ERASE_BACKGROUND(MainWnd::OnEraseBackground)
wxEND_EVENT_TABLE()

namespace {

// Files dropped on a window go to the commands with the map row they were
// dropped on, if any.
class DropFiles : public wxFileDropTarget {
public:
    DropFiles(MainWnd& frame, std::optional<MapRow> row) : frame_(frame), row_(row) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
        std::vector<std::string> paths;
        for (const wxString& name : names) paths.push_back(name.utf8_string());
        // After the drop has finished, so a message box does not sit inside the toolkit's drag.
        frame_.CallAfter([&frame = frame_, paths, row = row_] { frame.Cmd().OpenFiles(paths, row); });
        return true;
    }

private:
    MainWnd& frame_;
    std::optional<MapRow> row_;
};

wxIcon ProgramIcon() {
    const std::vector<uint8_t> rgba = IconPixels();
    wxImage image(kIconSize, kIconSize);
    image.InitAlpha();
    for (int i = 0; i < kIconSize * kIconSize; ++i) {
        image.GetData()[3 * i] = rgba[4 * i];
        image.GetData()[3 * i + 1] = rgba[4 * i + 1];
        image.GetData()[3 * i + 2] = rgba[4 * i + 2];
        image.GetAlpha()[i] = rgba[4 * i + 3];
    }
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}

}  // namespace

MainWnd::MainWnd(ViewerApp& app)
    : wxFrame(nullptr, wxID_ANY, msg::kProgramName, wxDefaultPosition, wxSize(512, 384)),
      app_(app),
      playbackTimer_(this) {
    app_.mainFrame = this;
    SetIcon(ProgramIcon());
    BuildMenus();

    wxGLAttributes attributes;
    if (GLWnd::ChoosePixelFormat(attributes)) {
        view = new GLWnd(this, app_, attributes);
    } else {
        wxMessageBox(msg::kChoosePixelFormatFailed, msg::kProgramName, wxOK, this);
    }
    optionsBar = new OptionsBar(this);
    commands_ = std::make_unique<Commands>(app_.Doc(), view ? view->State() : fallbackView_, *this,
                                           [](const std::string& path) { return LoadSkinImage(path); });
    AcceptDrops();
    LayoutChildren();
    SpinStep();  // the first picture
}

void MainWnd::AcceptDrops() {
    SetDropTarget(new DropFiles(*this, std::nullopt));
    if (view) view->SetDropTarget(new DropFiles(*this, std::nullopt));
    if (!optionsBar) return;
    optionsBar->SetDropTarget(new DropFiles(*this, std::nullopt));
    // The map boxes in creation order: texture, specularity, diffusion, glow.
    const MapRow rows[4] = {MapRow::Texture, MapRow::Specularity, MapRow::Diffusion, MapRow::Glow};
    for (int i = 0; i < 4; ++i) optionsBar->mapEdits[static_cast<size_t>(i)]->SetDropTarget(new DropFiles(*this, rows[i]));
}

MainWnd::~MainWnd() {
    TearDown();
    if (app_.mainFrame == this) app_.mainFrame = nullptr;
}

void MainWnd::BuildMenus() {
    auto* transfer = new wxMenu;
    transfer->Append(ids::kExportLight, "Export to LGT");
    transfer->Append(ids::kImportLight, "Import from LGT");
    auto* file = new wxMenu;
    file->AppendSubMenu(transfer, "Light Transfer");
    file->AppendSeparator();
    file->Append(ids::kExit, "E&xit");
    file->AppendSeparator();
    file->Append(ids::kSaveView, "Save View as PNG...");
    file->Append(ids::kLoadSkinFromModel, "Load Skin from Model");

    auto* texture = new wxMenu;
    texture->AppendCheckItem(ids::kTextureNearest, "&Nearest");
    texture->AppendCheckItem(ids::kTextureLinear, "&Linear");
    texture->AppendCheckItem(ids::kTextureNearMip, "Near-&MIP");
    texture->AppendCheckItem(ids::kTextureBiMip, "&Bi-MIP");
    texture->AppendCheckItem(ids::kTextureTriMip, "&Tri-MIP");
    auto* multiPass = new wxMenu;
    multiPass->AppendCheckItem(ids::kMultiPassFast, "&Fast");
    multiPass->AppendCheckItem(ids::kMultiPassSafe, "&Safe");
    auto* rendering = new wxMenu;
    rendering->AppendSubMenu(texture, "&Texture");
    rendering->AppendSubMenu(multiPass, "Multi-Pass");
    rendering->Append(ids::kBackgroundColor, "Background Color...");
    rendering->AppendCheckItem(ids::kWireframe, "Wireframe");
    rendering->AppendCheckItem(ids::kEnvironmentMap, "Environment Map");
    rendering->AppendSeparator();
    rendering->AppendCheckItem(ids::kPlayAnimation, "Play Animation");
    rendering->Append(ids::kFitModels, "Fit Models");
    rendering->Append(ids::kResetView, "Reset View");

    auto* help = new wxMenu;
    help->Append(ids::kAbout, "&About Torvane's Meshara");

    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(rendering, "&Rendering");
    bar->Append(help, "&Help");
    SetMenuBar(bar);

    // Keys without menu items keep their ids; most have no handler.
    wxAcceleratorEntry keys[] = {
        {wxACCEL_NORMAL, WXK_RIGHT, ids::kNextFrame},  {wxACCEL_NORMAL, WXK_LEFT, ids::kPreviousFrame},
        {wxACCEL_CTRL, 'N', ids::kNew},                {wxACCEL_CTRL, 'O', ids::kOpen},
        {wxACCEL_CTRL, 'S', ids::kSave},               {wxACCEL_CTRL, 'C', ids::kCopy},
        {wxACCEL_CTRL, WXK_INSERT, ids::kCopy},        {wxACCEL_CTRL, 'X', ids::kCut},
        {wxACCEL_SHIFT, WXK_DELETE, ids::kCut},        {wxACCEL_CTRL, 'V', ids::kPaste},
        {wxACCEL_SHIFT, WXK_INSERT, ids::kPaste},      {wxACCEL_CTRL, 'Z', ids::kUndo},
        {wxACCEL_ALT, WXK_BACK, ids::kUndo},           {wxACCEL_NORMAL, WXK_F6, ids::kNextPane},
        {wxACCEL_SHIFT, WXK_F6, ids::kPreviousPane},
        // Extras, on keys the table above leaves free.
        {wxACCEL_NORMAL, WXK_SPACE, ids::kPlayAnimation}, {wxACCEL_NORMAL, WXK_HOME, ids::kFitModels},
        {wxACCEL_NORMAL, WXK_DOWN, ids::kNextAnimation},  {wxACCEL_NORMAL, WXK_UP, ids::kPreviousAnimation},
        {wxACCEL_NORMAL, WXK_F12, ids::kSaveView},        {wxACCEL_CTRL, 'Q', ids::kExit},
    };
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(keys)), keys));
}

void MainWnd::LayoutChildren() {
    const wxSize client = GetClientSize();
    if (optionsBar) optionsBar->SetSize(client.x - OptionsBar::kWidth, 0, OptionsBar::kWidth, client.y);
    // A client narrower than the bar leaves the view no width at all.
    if (view) view->SetSize(0, 0, std::max(0, client.x - OptionsBar::kWidth), client.y);
}

void MainWnd::OnSize(wxSizeEvent&) { LayoutChildren(); }

void MainWnd::OnEraseBackground(wxEraseEvent&) {}

void MainWnd::OnCommand(wxCommandEvent& event) {
    if (!commands_ || !commands_->Run(event.GetId())) event.Skip();
}

void MainWnd::OnUpdateUI(wxUpdateUIEvent& event) {
    if (!commands_ || !Commands::HasUpdateRule(event.GetId())) return;
    const Commands::ItemState state = commands_->UpdateRule(event.GetId());
    event.Enable(state.enabled);
    if (state.setCheck) event.Check(state.checked);
}

void MainWnd::OnExit(wxCommandEvent&) { Close(); }

void MainWnd::OnClose(wxCloseEvent& event) {
    TearDown();
    event.Skip();  // the default handler destroys the window
}

void MainWnd::TearDown() {
    if (tornDown_) return;
    tornDown_ = true;
    playbackTimer_.Stop();
    // Textures are deleted through the view's context, so the models go first.
    if (view) view->EnsureGl();
    app_.Doc().Clear();
    if (view) {
        view->Destroy();
        view = nullptr;
    }
    if (optionsBar) {
        optionsBar->Destroy();
        optionsBar = nullptr;
    }
}

void MainWnd::OnModelSelected(int index) { commands_->SelectModel(index); }
void MainWnd::OnModelLightSelected(int index) { commands_->SelectModelLight(index); }
void MainWnd::OnGlobalLightSelected(int index) { commands_->SelectGlobalLight(index); }

// ---- UiPort ----------------------------------------------------------------

void MainWnd::RequestRedraw() { app_.RequestRedraw(); }

void MainWnd::RefreshOptionsBar() {
    if (optionsBar) optionsBar->Refresh(app_.Doc());
}

void MainWnd::SpinStep() {
    if (view) view->SpinStep();
}

bool MainWnd::ChooseFile(const FileDialogRequest& request, std::string& path, int& filterIndex) {
    if (fileChooser) return fileChooser(request, path, filterIndex);
    // Open: the folder must exist, the file need not. Save: no overwrite question.
    const long style = request.forSaving ? wxFD_SAVE : wxFD_OPEN;
    wxFileDialog dialog(this, request.title.empty() ? wxString(wxFileSelectorPromptStr) : wxString(request.title),
                        wxString::FromUTF8(request.folder), request.initialName, request.wildcard, style);
    if (dialog.ShowModal() != wxID_OK) return false;
    path = dialog.GetPath().utf8_string();
    filterIndex = dialog.GetFilterIndex();
    return true;
}

void MainWnd::ShowMessage(const std::string& text, const std::string& detail) {
    wxMessageDialog box(this, wxString::FromUTF8(text), msg::kProgramName, wxOK);
    if (!detail.empty()) box.SetExtendedMessage(wxString::FromUTF8(detail));
    box.ShowModal();
}

bool MainWnd::RunBackgroundColorDialog(float rgb[3], const std::function<void(const float*)>& apply) {
    BackgroundColorDialog dialog(this, rgb, apply);
    return dialog.ShowModal() == wxID_OK;
}

bool MainWnd::RunLightPropertiesDialog(LightRecord& light, const std::function<void()>& apply) {
    LightPropertiesDialog dialog(this, light, apply);
    return dialog.ShowModal() == wxID_OK;
}

void MainWnd::ShowAbout() {
    AboutDialog dialog(this);
    dialog.ShowModal();
}

void MainWnd::SetPlaybackTimer(bool running) {
    if (!running) {
        playbackTimer_.Stop();
        return;
    }
    lastTick_ = wxGetLocalTimeMillis();
    playbackTimer_.Start(kPlaybackTickMs);
}

void MainWnd::OnPlaybackTick(wxTimerEvent&) {
    const wxLongLong now = wxGetLocalTimeMillis();
    const double seconds = (now - lastTick_).ToDouble() / 1000.0;
    lastTick_ = now;
    if (commands_) commands_->AdvancePlayback(seconds);
}

PixelSize MainWnd::ViewSize() const {
    if (!view) return {};
    const wxSize s = view->GetClientSize();
    return {s.x, s.y};
}

bool MainWnd::ReadViewPixels(PixelSize& size, std::vector<uint8_t>& rgb) {
    return view && view->ReadPixels(size.width, size.height, rgb);
}

}  // namespace meshara
