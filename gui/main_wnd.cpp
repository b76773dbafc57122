#include "gui/main_wnd.h"

#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/progdlg.h>

#include "formats/name_text.h"
#include "gui/accessibility.h"
#include "gui/archive_chooser.h"
#include "gui/art.h"
#include "gui/dialogs.h"
#include "gui/gl_wnd.h"
#include "gui/options_bar.h"
#include "gui/toolkit_ids.h"
#include "gui/viewer_app.h"
#include "io/file_name.h"
#include "session/command_ids.h"
#include "session/messages.h"
#include "session/status_line.h"

namespace meshara {

wxBEGIN_EVENT_TABLE(MainWnd, wxFrame)
    EVT_MENU_RANGE(ToolkitId(ids::kTextureNearest), ToolkitId(ids::kBackgroundColor), MainWnd::OnCommand)
    EVT_UPDATE_UI_RANGE(ToolkitId(ids::kTextureNearest), ToolkitId(ids::kBackgroundColor), MainWnd::OnUpdateUI)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstExtra), ToolkitId(ids::kLastExtra), MainWnd::OnCommand)
    EVT_UPDATE_UI(ToolkitId(ids::kPlayAnimation), MainWnd::OnUpdateUI)
    EVT_MENU_RANGE(ToolkitId(ids::kSkinNone), ToolkitId(ids::kSkinElsewhere), MainWnd::OnSkinChosen)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstAnimationChoice), ToolkitId(ids::kLastPlaybackSpeed), MainWnd::OnCommand)
    EVT_UPDATE_UI_RANGE(ToolkitId(ids::kFirstPlaybackSpeed), ToolkitId(ids::kLastPlaybackSpeed), MainWnd::OnUpdateUI)
    EVT_MENU_RANGE(ToolkitId(ids::kFirstLaterExtra), ToolkitId(ids::kLastLaterExtra), MainWnd::OnCommand)
    EVT_UPDATE_UI_RANGE(ToolkitId(ids::kFirstLaterExtra), ToolkitId(ids::kLastLaterExtra), MainWnd::OnUpdateUI)
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

// Keys of the extras, and the key's name as the menus show it.
struct ExtraKey {
    int key;
    int command;
    const char* shownAs;
};
constexpr ExtraKey kExtraKeys[] = {
    {WXK_SPACE, ids::kPlayAnimation, "space"}, {WXK_HOME, ids::kFitModels, "Home"},
    {WXK_DOWN, ids::kNextAnimation, "Down"},   {WXK_UP, ids::kPreviousAnimation, "Up"},
    {WXK_F12, ids::kSaveView, "F12"},
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
    optionsBar = new OptionsBar(this, {[this](int i) { OnModelSelected(i); }, [this](int i) { OnModelLightSelected(i); },
                                       [this](int i) { OnGlobalLightSelected(i); }});
    commands_ = std::make_unique<Commands>(app_.Doc(), view ? view->State() : fallbackView_, *this);
    AcceptDrops();
    SetStatusBarRole(CreateStatusBar(1));
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

MainWnd::~MainWnd() {
    TearDown();
    if (app_.mainFrame == this) app_.mainFrame = nullptr;
}

void MainWnd::BuildMenus() {
    auto* transfer = new wxMenu;
    transfer->Append(ToolkitId(ids::kExportLight), "Export to LGT");
    transfer->Append(ToolkitId(ids::kImportLight), "Import from LGT");
    auto* file = new wxMenu;
    file->AppendSubMenu(transfer, "Light Transfer");
    file->AppendSeparator();
    file->Append(ToolkitId(ids::kExit), "E&xit");
    file->AppendSeparator();
    file->Append(ToolkitId(ids::kOpenModelAndShow), "Open Model...");
    file->Append(ToolkitId(ids::kSaveView), "Save View as PNG...");
    file->Append(ToolkitId(ids::kLoadSkinFromModel), "Load Skin from Model");
    fileMenu_ = file;
    skinMenu_ = new wxMenu;
    skinItem_ = file->AppendSubMenu(skinMenu_, "Skin");
    file->Append(ToolkitId(ids::kSaveAnimation), "Save Animation...");
    file->Append(ToolkitId(ids::kSaveAsMd2), "Save As MD2...");

    auto* texture = new wxMenu;
    texture->AppendCheckItem(ToolkitId(ids::kTextureNearest), "&Nearest");
    texture->AppendCheckItem(ToolkitId(ids::kTextureLinear), "&Linear");
    texture->AppendCheckItem(ToolkitId(ids::kTextureNearMip), "Near-&MIP");
    texture->AppendCheckItem(ToolkitId(ids::kTextureBiMip), "&Bi-MIP");
    texture->AppendCheckItem(ToolkitId(ids::kTextureTriMip), "&Tri-MIP");
    auto* multiPass = new wxMenu;
    multiPass->AppendCheckItem(ToolkitId(ids::kMultiPassFast), "&Fast");
    multiPass->AppendCheckItem(ToolkitId(ids::kMultiPassSafe), "&Safe");
    auto* rendering = new wxMenu;
    rendering->AppendSubMenu(texture, "&Texture");
    rendering->AppendSubMenu(multiPass, "Multi-Pass");
    rendering->Append(ToolkitId(ids::kBackgroundColor), "Background Color...");
    rendering->AppendCheckItem(ToolkitId(ids::kWireframe), "Wireframe");
    rendering->AppendCheckItem(ToolkitId(ids::kEnvironmentMap), "Environment Map");
    rendering->AppendSeparator();
    rendering->AppendCheckItem(ToolkitId(ids::kPlayAnimation), "Play Animation");
    rendering->Append(ToolkitId(ids::kFitModels), "Fit Models");
    rendering->Append(ToolkitId(ids::kResetView), "Reset View");
    renderingMenu_ = rendering;
    animationMenu_ = new wxMenu;
    animationMenu_->Append(ToolkitId(ids::kNextAnimation), "Next Animation");
    animationMenu_->Append(ToolkitId(ids::kPreviousAnimation), "Previous Animation");
    rendering->AppendSubMenu(animationMenu_, "Animation");
    auto* show = new wxMenu;
    show->AppendCheckItem(ToolkitId(ids::kShowNormals), "Normals");
    show->AppendCheckItem(ToolkitId(ids::kShowBoundingBox), "Bounding Box");
    show->AppendCheckItem(ToolkitId(ids::kShowFloorGrid), "Floor Grid");
    rendering->AppendSubMenu(show, "Show");

    auto* help = new wxMenu;
    help->Append(ToolkitId(ids::kAbout), "&About Torvane's Meshara");

    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(rendering, "&Rendering");
    bar->Append(help, "&Help");
    SetMenuBar(bar);
    // The extras' keys are shown beside their entries but handled by OnCharHook,
    // so the boxes, lists and buttons that need them keep them.
    for (const ExtraKey& k : kExtraKeys)
        if (wxMenuItem* item = bar->FindItem(ToolkitId(k.command))) ShowMenuKey(item, k.shownAs);

    // Keys without menu items keep their ids; most have no handler.
    wxAcceleratorEntry keys[] = {
        {wxACCEL_NORMAL, WXK_RIGHT, ToolkitId(ids::kNextFrame)},  {wxACCEL_NORMAL, WXK_LEFT, ToolkitId(ids::kPreviousFrame)},
        {wxACCEL_CTRL, 'N', ToolkitId(ids::kNew)},                {wxACCEL_CTRL, 'O', ToolkitId(ids::kOpen)},
        {wxACCEL_CTRL, 'S', ToolkitId(ids::kSave)},               {wxACCEL_CTRL, 'C', ToolkitId(ids::kCopy)},
        {wxACCEL_CTRL, WXK_INSERT, ToolkitId(ids::kCopy)},        {wxACCEL_CTRL, 'X', ToolkitId(ids::kCut)},
        {wxACCEL_SHIFT, WXK_DELETE, ToolkitId(ids::kCut)},        {wxACCEL_CTRL, 'V', ToolkitId(ids::kPaste)},
        {wxACCEL_SHIFT, WXK_INSERT, ToolkitId(ids::kPaste)},      {wxACCEL_CTRL, 'Z', ToolkitId(ids::kUndo)},
        {wxACCEL_ALT, WXK_BACK, ToolkitId(ids::kUndo)},           {wxACCEL_NORMAL, WXK_F6, ToolkitId(ids::kNextPane)},
        {wxACCEL_SHIFT, WXK_F6, ToolkitId(ids::kPreviousPane)},
        // Exit's entry keeps its own text, so its extra key lives here; the
        // other extras' keys come with their menu entries, which show them.
        {wxACCEL_CTRL, 'Q', ToolkitId(ids::kExit)},
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

void MainWnd::OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    const ExtraKey* extra = nullptr;
    for (const ExtraKey& k : kExtraKeys)
        if (k.key == key && event.GetModifiers() == wxMOD_NONE) extra = &k;
    // The view takes every extra key; elsewhere only F12, which no control uses:
    // Home moves a box's caret, Up and Down a list's choice, Space presses a button.
    wxWindow* focus = wxWindow::FindFocus();
    const bool forView = !focus || focus == view || focus == this || (focus == optionsBar);
    if (!extra || !commands_ || (!forView && key != WXK_F12)) {
        event.Skip();
        return;
    }
    commands_->Run(extra->command);
    SyncMenuStates();
}

namespace {

static_assert(ids::kFirstSkinChoice + kMaxSkinChoices - 1 <= ids::kLastSkinChoice);

// Names are the model's own text: an & would underline, a tab start an accelerator.
wxString MenuLabel(const std::string& text) {
    wxString label = wxString::FromUTF8(text);
    label.Replace("&", "&&");
    for (wxString::iterator c = label.begin(); c != label.end(); ++c)
        if (*c < 0x20 || *c == 0x7f) *c = '?';
    return label;
}

}  // namespace

void MainWnd::OnMenuOpen(wxMenuEvent& event) {
    if (event.GetMenu() == fileMenu_ || event.GetMenu() == skinMenu_) RebuildSkinMenu();
    if (event.GetMenu() == renderingMenu_ || event.GetMenu() == animationMenu_) RebuildAnimationMenu();
    event.Skip();
}

void MainWnd::RebuildAnimationMenu() {
    if (!animationMenu_ || !commands_) return;
    // The two stepping entries stay; the animations and the speeds are made anew.
    while (animationMenu_->GetMenuItemCount() > 2) animationMenu_->Destroy(animationMenu_->FindItemByPosition(2));
    animationMenu_->AppendSeparator();
    const Md2Model* model = commands_->AnimationModel();
    const int32_t frame = app_.Doc().models.currentFrame;
    const size_t count = model ? std::min<size_t>(model->animations.size(), ids::kLastAnimationChoice -
                                                                               ids::kFirstAnimationChoice + 1)
                               : 0;
    for (size_t i = 0; i < count; ++i) {
        const Md2Animation& a = model->animations[i];
        const wxString label = MenuLabel(NameToUtf8(a.name).empty() ? "(unnamed)" : NameToUtf8(a.name)) +
                               wxString::Format(" (%d)", a.FrameCount());
        animationMenu_->AppendRadioItem(ToolkitId(ids::kFirstAnimationChoice + static_cast<int>(i)), label)
            ->Check(frame >= a.first && frame <= a.last);
    }
    if (count > 0) animationMenu_->AppendSeparator();
    for (int s = ids::kFirstPlaybackSpeed; s <= ids::kLastPlaybackSpeed; ++s)
        animationMenu_->AppendRadioItem(ToolkitId(s), wxString::FromUTF8(SpeedText(ids::kPlaybackSpeeds[s - ids::kFirstPlaybackSpeed])))
            ->Check(commands_->StateOf(s).checked);
}

void MainWnd::SyncMenuStates() {
    wxMenuBar* bar = GetMenuBar();
    if (!bar || !commands_) return;
    // Rules that a screen reader would otherwise see stale until the menu opens.
    for (int id : {ids::kTextureNearest, ids::kTextureLinear, ids::kTextureNearMip, ids::kTextureBiMip,
                   ids::kTextureTriMip, ids::kMultiPassFast, ids::kMultiPassSafe, ids::kWireframe,
                   ids::kEnvironmentMap, ids::kPlayAnimation, ids::kSaveAnimation, ids::kShowNormals,
                   ids::kShowBoundingBox, ids::kShowFloorGrid, ids::kSaveAsMd2}) {
        wxMenuItem* item = bar->FindItem(ToolkitId(id));
        if (!item) continue;
        const Commands::ItemState state = commands_->StateOf(id);
        if (item->IsEnabled() != state.enabled) item->Enable(state.enabled);
        if (state.setCheck && item->IsChecked() != state.checked) item->Check(state.checked);
    }
}

void MainWnd::UpdateStatus() {
    wxStatusBar* status = GetStatusBar();
    if (!status) return;
    const ViewState& viewState = view ? view->State() : fallbackView_;
    const wxString line = wxString::FromUTF8(StatusLine(app_.Doc(), viewState));
    if (status->GetStatusText() == line) return;
    SetStatusText(line);
    // Drawn by the toolkit's generic bar, so a screen reader learns its text from its name.
    SetAccessibleName(status, line.utf8_string().c_str());
    if (view) SetAccessibleDescription(view, line.utf8_string().c_str());
}

void MainWnd::RebuildSkinMenu() {
    if (!skinMenu_) return;
    while (skinMenu_->GetMenuItemCount() > 0) skinMenu_->Destroy(skinMenu_->FindItemByPosition(0));
    skinChoices_.clear();
    const ModelSlot* slot = app_.Doc().models.CurrentModel();
    skinItem_->Enable(slot != nullptr);
    if (!slot) return;
    skinChoices_ = SkinChoices(*slot);
    const auto& texture = slot->Map(MapKind::Texture);
    bool shown = !texture;
    skinMenu_->AppendRadioItem(ToolkitId(ids::kSkinNone), "No Skin")->Check(!texture);
    for (size_t i = 0; i < skinChoices_.size(); ++i) {
        const SkinChoice& choice = skinChoices_[i];
        wxString label = MenuLabel(choice.label);
        if (choice.skinIndex) label += choice.path.empty() ? wxString(" (not found)") : " (" + MenuLabel(choice.path) + ")";
        wxMenuItem* item = skinMenu_->AppendRadioItem(ToolkitId(ids::kFirstSkinChoice + static_cast<int>(i)), label);
        item->Enable(!choice.path.empty());
        if (texture && !shown && IsCurrentSkin(*slot, choice)) {
            item->Check(true);
            shown = true;
        }
    }
    // A radio group always shows one entry: the picture loaded from elsewhere is that one.
    if (!shown)
        skinMenu_->AppendRadioItem(ToolkitId(ids::kSkinElsewhere), MenuLabel(texture->fileName))->Check(true);
}

void MainWnd::OnSkinChosen(wxCommandEvent& event) {
    if (!commands_) return;
    const int id = ProgramId(event.GetId());
    if (id == ids::kSkinNone) {
        commands_->ClearMap(MapKind::Texture);
    } else if (id >= ids::kFirstSkinChoice && id - ids::kFirstSkinChoice < static_cast<int>(skinChoices_.size())) {
        commands_->ChooseSkin(skinChoices_[static_cast<size_t>(id - ids::kFirstSkinChoice)]);
    }
}

void MainWnd::OnCommand(wxCommandEvent& event) {
    if (!commands_ || !commands_->Run(ProgramId(event.GetId()))) {
        event.Skip();
        return;
    }
    // Some commands only turn the view (the filters) or stop playback: the
    // check marks follow at once, not when the menu next opens.
    SyncMenuStates();
}

void MainWnd::OnUpdateUI(wxUpdateUIEvent& event) {
    const int id = ProgramId(event.GetId());
    if (!commands_ || !Commands::HasUpdateRule(id)) return;
    const Commands::ItemState state = commands_->UpdateRule(id);
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
    app_.Doc().Clear();
    // The view's textures are freed while its context is still there.
    if (view) view->ReleaseGl();
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

void MainWnd::RequestRedraw() {
    app_.RequestRedraw();
    UpdateStatus();
    SyncMenuStates();
}

void MainWnd::RedrawView() {
    // Only the view: repainting the frame would repaint every widget of the
    // options bar and, through it, present the view a second time.
    if (view) view->RepaintNow();
    UpdateStatus();
}

void MainWnd::RefreshOptionsBar() {
    if (optionsBar) optionsBar->Refresh(app_.Doc());
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

void MainWnd::ShowAbout() {
    AboutDialog dialog(this);
    dialog.ShowModal();
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
