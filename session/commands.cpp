// The handlers of the Rendering menu and Help; session/command_table.cpp
// holds what reaches every handler.
#include "session/commands.h"

#include <algorithm>

namespace meshara {

void Commands::Changed() {
    ui_.RequestRedraw();
    ui_.RefreshOptionsBar();
    if (findingsOpen_) RefreshFindings(false);
}

void Commands::SetTextureFilter(int32_t mode) {
    if (doc_.settings.textureFilter == mode) return;
    doc_.settings.textureFilter = mode;
    ui_.SpinStep();
}

void Commands::SetMultiPassMode(int32_t mode) {
    if (doc_.settings.multiPassMode == mode) return;
    doc_.settings.multiPassMode = mode;
    ui_.SpinStep();
}

void Commands::ToggleWireframe() {
    view_.wireframe = !view_.wireframe;
    ui_.RequestRedraw();
}

void Commands::ToggleEnvironmentMap() {
    ModelSlot* model = doc_.models.CurrentModel();
    if (!model) return;
    model->environmentMapped = !model->environmentMapped;
    Changed();
}

void Commands::EditBackgroundColor() {
    float rgb[3] = {doc_.settings.backgroundColor[0], doc_.settings.backgroundColor[1],
                    doc_.settings.backgroundColor[2]};
    ui_.RequestRedraw();
    const bool ok = ui_.RunBackgroundColorDialog(rgb, [this](const float* applied) {
        std::copy(applied, applied + 3, doc_.settings.backgroundColor);
        ui_.RequestRedraw();
    });
    if (ok) std::copy(rgb, rgb + 3, doc_.settings.backgroundColor);
    Changed();
}

void Commands::ShowAbout() { ui_.ShowAbout(); }

}  // namespace meshara
