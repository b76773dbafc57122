#include "gui/main_wnd.h"

#include <wx/dnd.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/progdlg.h>

#include "gui/accessibility.h"
#include "gui/archive_chooser.h"
#include "gui/art.h"
#include "gui/dialogs.h"
#include "gui/gl_wnd.h"
#include "gui/layout_wnd.h"
#include "gui/options_bar.h"
#include "gui/toolkit_ids.h"
#include "io/file_name.h"
#include "session/command_ids.h"
#include "session/messages.h"
#include "session/status_line.h"

namespace meshara {

wxBEGIN_EVENT_TABLE(MainWnd, wxFrame)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstBaseCommand), ToolkitId(ids::kLastBaseCommand), MainWnd::OnCommand)
    EVT_UPDATE_UI_RANGE(ToolkitId(ids::kFirstBaseCommand), ToolkitId(ids::kLastBaseCommand), MainWnd::OnUpdateUI)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstExtra), ToolkitId(ids::kLastExtra), MainWnd::OnCommand)
    EVT_UPDATE_UI(ToolkitId(ids::kPlayAnimation), MainWnd::OnUpdateUI)
    EVT_MENU_RANGE(ToolkitId(ids::kSkinNone), ToolkitId(ids::kSkinElsewhere), MainWnd::OnSkinChosen)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstAnimationChoice), ToolkitId(ids::kLastPlaybackSpeed), MainWnd::OnCommand)
    EVT_UPDATE_UI_RANGE(ToolkitId(ids::kFirstPlaybackSpeed), ToolkitId(ids::kLastPlaybackSpeed), MainWnd::OnUpdateUI)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstLaterExtra), ToolkitId(ids::kLastLaterExtra), MainWnd::OnCommand)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstWeaponChoice), ToolkitId(ids::kLastWeaponChoice), MainWnd::OnCommand)
    EVT_UPDATE_UI_RANGE(ToolkitId(ids::kFirstLaterExtra), ToolkitId(ids::kLastLaterExtra), MainWnd::OnUpdateUI)
    EVT_MENU(ToolkitId(ids::kCheckModels), MainWnd::OnCommand)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstViewKey), ToolkitId(ids::kLastViewKey), MainWnd::OnCommand)
    EVT_MENU_OPEN(MainWnd::OnMenuOpen)
    EVT_CHAR_HOOK(MainWnd::OnCharHook)
    EVT_TIMER(wxID_ANY, MainWnd::OnPlaybackTick)
    EVT_MENU(ToolkitId(ids::kExit), MainWnd::OnExit)
    EVT_SIZE(MainWnd::OnSize)
    EVT_CLOSE(MainWnd::OnClose)
    EVT_ERASE_BACKGROUND(MainWnd::OnEraseBackground)
wxEND_EVENT_TABLE()

// Files dropped on a window go to the commands with the map row they were
// dropped on, if any. (Outside the unnamed namespace, so its vtable is not
// a data symbol of this file's own.)
class DropFiles : public wxFileDropTarget {
public:
    DropFiles(MainWnd& frame, std::optional<MapKind> row) : frame_(frame), row_(row) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
        std::vector<std::string> paths;
        for (const wxString& name : names) paths.push_back(name.utf8_string());
        // After the drop has finished, so a message box does not sit inside the toolkit's drag.
        frame_.CallAfter([&frame = frame_, paths, row = row_] { frame.Cmd().OpenFiles(paths, row); });
        return true;
    }

private:
    MainWnd& frame_;
    std::optional<MapKind> row_;
};

namespace {

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

MainWnd::MainWnd(Document& document)
    : wxFrame(nullptr, wxID_ANY, msg::kProgramName, wxDefaultPosition, wxSize(512, 384)),
      doc_(document),
      playbackTimer_(this) {
    SetIcon(ProgramIcon());
    WatchMessageBoxes();
    BuildMenus();

    wxGLAttributes attributes;
    if (GLWnd::ChoosePixelFormat(attributes)) {
        viewRing = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE);
        // Painted here, so the ring is its colour alone whatever a theme draws behind a panel.
        viewRing->SetBackgroundStyle(wxBG_STYLE_PAINT);
        viewRing->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
            wxPaintDC dc(viewRing);
            dc.SetBackground(wxBrush(viewRing->GetBackgroundColour()));
            dc.Clear();
        });
        view = new GLWnd(viewRing, doc_, [this] { RepaintWindow(); }, attributes);
        view->onFocus = [this](bool focused) { ShowFocusRing(focused); };
        ShowFocusRing(false);
    } else {
        wxMessageBox(msg::kChoosePixelFormatFailed, msg::kProgramName, wxOK, this);
    }
    optionsBar = new OptionsBar(this, {[this](int i) { OnModelSelected(i); }, [this](int i) { OnModelLightSelected(i); },
                                       [this](int i) { OnGlobalLightSelected(i); }});
    commands_ = std::make_unique<Commands>(doc_, view ? view->State() : fallbackView_, *this);
    if (view) view->onPointer = [this](int x, int y) { commands_->PointAtView(x, y); };
    AcceptDrops();
    // Its tooltip is the whole line, cut or not, so the bar does not set one of its own.
    SetStatusBarRole(CreateStatusBar(1, wxSTB_DEFAULT_STYLE & ~wxSTB_SHOW_TIPS));
    if (view) SetAccessibleName(view, "Model view");
    LayoutChildren();
    SpinStep();  // the first picture
}

void MainWnd::AcceptDrops() {
    SetDropTarget(new DropFiles(*this, std::nullopt));
    if (view) view->SetDropTarget(new DropFiles(*this, std::nullopt));
    if (!optionsBar) return;
    optionsBar->SetDropTarget(new DropFiles(*this, std::nullopt));
    for (size_t m = 0; m < kMapKinds; ++m)
        optionsBar->mapEdits[m]->SetDropTarget(new DropFiles(*this, static_cast<MapKind>(m)));
}

MainWnd::~MainWnd() { TearDown(); }

void MainWnd::LayoutChildren() {
    const wxSize client = GetClientSize();
    if (optionsBar) optionsBar->SetSize(client.x - OptionsBar::kWidth, 0, OptionsBar::kWidth, client.y);
    // A client narrower than the bar leaves the view no width at all.
    const int width = std::max(0, client.x - OptionsBar::kWidth);
    if (viewRing) viewRing->SetSize(0, 0, width, client.y);
    if (view)
        view->SetSize(kFocusRing, kFocusRing, std::max(0, width - 2 * kFocusRing), std::max(0, client.y - 2 * kFocusRing));
}

void MainWnd::ShowFocusRing(bool focused) {
    if (!viewRing) return;
    // The toolkit's selection colour, as a focused box shows it; otherwise a plain edge.
    viewRing->SetBackgroundColour(wxSystemSettings::GetColour(focused ? wxSYS_COLOUR_HIGHLIGHT : wxSYS_COLOUR_BTNSHADOW));
    viewRing->Refresh();
    viewRing->Update();
}

void MainWnd::OnSize(wxSizeEvent&) { LayoutChildren(); }

void MainWnd::OnEraseBackground(wxEraseEvent&) {}

void MainWnd::UpdateStatus() {
    wxStatusBar* status = GetStatusBar();
    if (!status) return;
    const ViewState& viewState = view ? view->State() : fallbackView_;
    const wxString line = wxString::FromUTF8(StatusLine(doc_, viewState));
    if (status->GetStatusText() == line) return;
    SetStatusText(line);
    // A narrow window cuts the line: the whole of it in the tooltip. Drawn by
    // the toolkit's generic bar, so a screen reader learns its text from its name.
    if (line.empty())
        status->UnsetToolTip();
    else
        status->SetToolTip(line);
    SetAccessibleName(status, line.utf8_string().c_str());
    if (view) SetAccessibleDescription(view, line.utf8_string().c_str());
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
    doc_.Clear();
    // The view's textures are freed while its context is still there.
    if (view) view->ReleaseGl();
    if (layoutWindow) {
        layoutWindow->Destroy();
        layoutWindow = nullptr;
    }
    if (view) {
        view->onFocus = nullptr;
        view->Destroy();
        view = nullptr;
    }
    if (viewRing) {
        viewRing->Destroy();
        viewRing = nullptr;
    }
    if (optionsBar) {
        optionsBar->Destroy();
        optionsBar = nullptr;
    }
    if (findings_) {
        findings_->Destroy();
        findings_ = nullptr;
        findingList_ = nullptr;
    }
}

void MainWnd::OnModelSelected(int index) { commands_->SelectModel(index); }
void MainWnd::OnModelLightSelected(int index) { commands_->SelectModelLight(index); }
void MainWnd::OnGlobalLightSelected(int index) { commands_->SelectGlobalLight(index); }

bool MainWnd::Spinning() const { return view && view->State().camera.spinning; }

void MainWnd::RepaintWindow() {
    // The view has a native window of its own: invalidating the frame alone
    // does not reach it, so it is invalidated by name.
    Refresh(false);
    if (view) view->Refresh(false);
    Update();
    if (view) view->Update();
}

// ---- UiPort ----------------------------------------------------------------

void MainWnd::RequestRedraw() {
    RepaintWindow();
    UpdateStatus();
    SyncMenuStates();
    if (commands_) commands_->SyncSkinLayout();
}

void MainWnd::RedrawView() {
    // Only the view: repainting the frame would repaint every widget of the
    // options bar and, through it, present the view a second time.
    if (view) view->RepaintNow();
    UpdateStatus();
    if (commands_) commands_->SyncSkinLayout();
}

void MainWnd::RefreshOptionsBar() {
    if (optionsBar) optionsBar->Refresh(doc_);
    UpdateStatus();
    SyncMenuStates();
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

bool MainWnd::ChooseFolder(const std::string& title, const std::string& folder, std::string& path) {
    if (fileChooser) {
        // Scripted runs answer folders as they answer files.
        int filter = 0;
        return fileChooser({title, "", "", false, folder}, path, filter);
    }
    wxDirDialog dialog(this, wxString::FromUTF8(title), wxString::FromUTF8(folder), wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return false;
    path = dialog.GetPath().utf8_string();
    return true;
}

std::vector<size_t> MainWnd::ChooseArchiveModels(const std::string& archivePath, const std::vector<std::string>& models) {
    ArchiveChooserDialog dialog(this, FileNameOfPath(archivePath), models);
    if (dialog.ShowModal() != wxID_OK) return {};
    return dialog.Chosen();
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

void MainWnd::ShowSkinLayout(bool shown, const SkinLayout& layout) {
    if (!shown) {
        if (layoutWindow) layoutWindow->Hide();
        return;
    }
    if (!layoutWindow)
        layoutWindow = new LayoutWnd(this, {[this](int x, int y) { commands_->PointAtLayout(x, y); },
                                            [this] { commands_->SaveSkinLayout(); },
                                            [this] {
                                                commands_->SkinLayoutClosed();
                                                SyncMenuStates();
                                            }});
    layoutWindow->ShowLayout(layout);
    layoutWindow->Show();
}

void MainWnd::ShowAbout() {
    AboutDialog dialog(this);
    dialog.ShowModal();
}

void MainWnd::ShowFindings(const std::vector<std::string>& lines) {
    if (!findings_) {
        findings_ = new wxDialog(this, wxID_ANY, "Check Models", wxDefaultPosition, FromDIP(wxSize(640, 360)),
                                 wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
        SetDialogRole(findings_);
        findingList_ = new wxListBox(findings_, wxID_ANY);
        findingList_->SetName("Findings");
        SetAccessibleName(findingList_, "Findings of the open models");
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(findingList_, 1, wxEXPAND | wxALL, FromDIP(8));
        findings_->SetSizer(sizer);
        findingList_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) {
            if (event.GetSelection() != wxNOT_FOUND) commands_->ChooseFinding(event.GetSelection());
        });
        // However it goes (its close box, Escape), a hidden window follows the models no more.
        findings_->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { findings_->Hide(); });
        findings_->Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
            if (!event.IsShown()) commands_->CloseFindings();
            event.Skip();
        });
    }
    wxArrayString items;
    for (const std::string& line : lines) items.Add(wxString::FromUTF8(line));
    findingList_->Set(items);
    if (!findings_->IsShown()) {
        findings_->Show();
        findings_->Raise();
    }
}

void MainWnd::SetPlaybackTimer(bool running) {
    if (!running) {
        playbackTimer_.Stop();
        return;
    }
    if (playbackByHand_) return;
    lastTick_ = wxGetLocalTimeMillis();
    playbackTimer_.Start(kPlaybackTickMs);
}

void MainWnd::AdvancePlaybackBy(double seconds) {
    if (commands_) commands_->AdvancePlayback(seconds);
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

bool MainWnd::ReadScenePixels(const Scene& scene, PixelSize& size, std::vector<uint8_t>& rgb) {
    return view && view->ReadScenePixels(scene, size.width, size.height, rgb);
}

void MainWnd::BeginProgress(const std::string& title, const std::string& text, int total) {
    progress_ = std::make_unique<wxProgressDialog>(
        wxString::FromUTF8(title), wxString::FromUTF8(text), std::max(total, 1), this,
        wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME | wxPD_REMAINING_TIME);
}

bool MainWnd::StepProgress(int done) { return !progress_ || progress_->Update(std::min(done, progress_->GetRange())); }

void MainWnd::EndProgress() { progress_.reset(); }

}  // namespace meshara
