#pragma once
// What one picture shows: the models with the maps and lights each is drawn
// with, the shared frame, the settings and the camera. The viewer and every
// meshara-cli command fill one of these (session/scene_setup.h) and hand it
// to a Renderer; nothing here is GL.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/light_record.h"
#include "formats/skin_image.h"
#include "model/md2_model.h"
#include "view/camera.h"

namespace meshara {

// A model's four maps, in the order of their passes and of the options
// bar's rows: base texture, lit diffusion, lit specularity, unlit glow.
enum class MapKind : uint8_t { Texture, Diffusion, Specularity, Glow };
constexpr size_t kMapKinds = 4;

// A model is lit by at most this many lights (GL_LIGHT0 up).
constexpr size_t kMaxModelLights = 8;

struct RenderSettings {
    float backgroundColor[3] = {0, 0, 0};
    float backgroundAlpha = 1;  // 0 clears to transparent, for targets that keep alpha
    int32_t textureFilter = 4;  // 0 Nearest, 1 Linear, 2 Near-MIP, 3 Bi-MIP, 4 Tri-MIP
    int32_t multiPassMode = 0;  // 0 Fast (later passes on equal depth), 1 Safe (offset, less-or-equal)
};

// What is drawn over the models on request (Rendering > Show), after their
// passes: all off, the picture is exactly what it is without them.
struct ShowItems {
    bool normals = false;  // a short line from each vertex along the normal its lighting uses
    bool box = false;      // the frame's box, and the box of its whole animation
    bool grid = false;     // a floor under the lowest point of the animations
    bool Any() const { return normals || box || grid; }
};

struct DrawnModel {
    std::shared_ptr<const Md2Model> model;
    // The maps drawn, by MapKind: null where the model has none or it is switched off.
    std::array<std::shared_ptr<const SkinImage>, kMapKinds> maps;
    bool environmentMapped = false;
    // What GL_LIGHT0..7 show: null where that light stays off.
    std::array<const LightRecord*, kMaxModelLights> lights{};

    const std::shared_ptr<const SkinImage>& Map(MapKind kind) const { return maps[static_cast<size_t>(kind)]; }
    std::shared_ptr<const SkinImage>& Map(MapKind kind) { return maps[static_cast<size_t>(kind)]; }
};

struct Scene {
    std::vector<DrawnModel> models;  // in drawing order; a model without the shared frame is not drawn
    int32_t frame = 0;               // the shared frame
    // During playback: the models are drawn blended from the shared frame
    // toward nextFrame by blend (0..1). -1 draws the shared frame exactly.
    int32_t nextFrame = -1;
    float blend = 0;
    RenderSettings settings;
    Camera camera;
    bool wireframe = false;
    ShowItems show;
    // A triangle picked out over everything (the one pointed at in the skin
    // layout): of this model, drawn when it is among the models; -1 for none.
    std::shared_ptr<const Md2Model> highlightModel;
    int32_t highlightTriangle = -1;
};

}  // namespace meshara
