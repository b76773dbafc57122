#include "session/commands.h"

#include <algorithm>

#include "session/command_ids.h"
#include "session/map_table.h"

namespace meshara {

bool Commands::Run(int id) {
    if (id >= ids::kTextureNearest && id <= ids::kTextureTriMip) {
        SetTextureFilter(id - ids::kTextureNearest);
        return true;
    }
    if (const auto map = MapButtonOf(id)) {
        switch (map->button) {
            case 0: LoadMap(map->kind); break;
            case 1: ClearMap(map->kind); break;
            default: ToggleMap(map->kind); break;
        }
        return true;
    }
    switch (id) {
        case ids::kModelOpen: OpenModel(); return true;
        case ids::kModelRemove: RemoveModel(); return true;
        case ids::kModelToggle: ToggleModelVisible(); return true;
        case ids::kModelLightAdd: AddModelLight(); return true;
        case ids::kModelLightRemove: RemoveModelLight(); return true;
        case ids::kModelLightToggle: ToggleModelLight(); return true;
        case ids::kGlobalLightAdd: NewLight(); return true;
        case ids::kGlobalLightRemove: DeleteLight(); return true;
        case ids::kGlobalLightToggle: ToggleLight(); return true;
        case ids::kLightProperties: EditLightProperties(); return true;
        case ids::kNextFrame: NextFrame(); return true;
        case ids::kPreviousFrame: PreviousFrame(); return true;
        case ids::kExportLight: ExportLight(); return true;
        case ids::kImportLight: ImportLight(); return true;
        case ids::kMultiPassFast: SetMultiPassMode(0); return true;
        case ids::kMultiPassSafe: SetMultiPassMode(1); return true;
        case ids::kWireframe: ToggleWireframe(); return true;
        case ids::kEnvironmentMap: ToggleEnvironmentMap(); return true;
        case ids::kBackgroundColor: EditBackgroundColor(); return true;
        case ids::kAbout: ShowAbout(); return true;
        case ids::kPlayAnimation: TogglePlayback(); return true;
        case ids::kFitModels: FitModels(); return true;
        case ids::kResetView: ResetView(); return true;
        case ids::kSaveView: SaveView(); return true;
        case ids::kLoadSkinFromModel: LoadSkinFromModel(); return true;
        case ids::kNextAnimation: NextAnimation(); return true;
        case ids::kPreviousAnimation: PreviousAnimation(); return true;
        case ids::kOpenModelAndShow: OpenModelAndShow(); return true;
        case ids::kSaveAnimation: SaveAnimation(); return true;
        case ids::kShowNormals: ToggleShow(&ShowItems::normals); return true;
        case ids::kShowBoundingBox: ToggleShow(&ShowItems::box); return true;
        case ids::kShowFloorGrid: ToggleShow(&ShowItems::grid); return true;
        case ids::kSaveAsMd2: SaveAsMd2(); return true;
        default: break;
    }
    if (id >= ids::kFirstAnimationChoice && id <= ids::kLastAnimationChoice) {
        GoToAnimation(id - ids::kFirstAnimationChoice);
        return true;
    }
    if (id >= ids::kFirstPlaybackSpeed && id <= ids::kLastPlaybackSpeed) {
        SetPlaybackSpeed(ids::kPlaybackSpeeds[id - ids::kFirstPlaybackSpeed]);
        return true;
    }
    return false;
}

void Commands::Changed() {
    ui_.RequestRedraw();
    ui_.RefreshOptionsBar();
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

bool Commands::HasUpdateRule(int id) {
    return (id >= ids::kTextureNearest && id <= ids::kMultiPassSafe) || id == ids::kWireframe ||
           id == ids::kEnvironmentMap || id == ids::kPlayAnimation ||
           (id >= ids::kFirstPlaybackSpeed && id <= ids::kLastPlaybackSpeed) ||
           (id >= ids::kFirstLaterExtra && id <= ids::kLastLaterExtra);
}

Commands::ItemState Commands::UpdateRule(int id) {
    const ItemState state = StateOf(id);
    if (id >= ids::kTextureNearest && id <= ids::kMultiPassSafe) ui_.SpinStep();
    return state;
}

Commands::ItemState Commands::StateOf(int id) const {
    ItemState state;
    if (id >= ids::kTextureNearest && id <= ids::kTextureTriMip) {
        state.checked = doc_.settings.textureFilter == id - ids::kTextureNearest;
    } else if (id == ids::kMultiPassFast || id == ids::kMultiPassSafe) {
        state.checked = doc_.settings.multiPassMode == id - ids::kMultiPassFast;
    } else if (id >= ids::kFirstPlaybackSpeed && id <= ids::kLastPlaybackSpeed) {
        state.checked = view_.playbackSpeed == ids::kPlaybackSpeeds[id - ids::kFirstPlaybackSpeed];
    } else if (id == ids::kWireframe) {
        state.checked = view_.wireframe;
    } else if (id == ids::kPlayAnimation) {
        state.checked = view_.playback.playing;
    } else if (id == ids::kShowNormals || id == ids::kShowBoundingBox || id == ids::kShowFloorGrid) {
        const ShowItems& show = view_.show;
        state.checked = id == ids::kShowNormals ? show.normals : id == ids::kShowBoundingBox ? show.box : show.grid;
    } else if (id == ids::kSaveAnimation) {
        // Greyed while no animation holds the shared frame: there is nothing to save.
        const Md2Model* model = AnimationModel();
        state.enabled = model && AnimationHolding(*model, doc_.models.currentFrame);
        state.setCheck = false;
    } else if (id == ids::kSaveAsMd2) {
        // Only a model made from glTF or OBJ has an MD2 to write; any other is one already.
        const ModelSlot* model = doc_.models.CurrentModel();
        state.enabled = model && model->convertedMd2;
        state.setCheck = false;
    } else if (id == ids::kEnvironmentMap) {
        const ModelSlot* model = doc_.models.CurrentModel();
        state.enabled = model != nullptr;
        state.setCheck = model != nullptr;
        state.checked = model && model->environmentMapped;
    }
    return state;
}

}  // namespace meshara
