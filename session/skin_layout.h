#pragma once
// A skin painter's template: the model's triangles drawn where their texture
// coordinates put them, over the skin or a plain ground, as an RGBA picture
// of the header's skin size times a whole scale. Lines are one pixel wide at
// every scale, and the skin keeps every pixel it has away from them.
// meshara-cli layout writes it; the viewer's Skin Layout window shows it.

#include <cstdint>
#include <string>
#include <vector>

#include "formats/skin_image.h"
#include "model/md2_model.h"
#include "model/texture_layout.h"

namespace meshara {

// RGB. Triangles as painted, mirrored ones and seams: bright and apart from
// one another, so each reads over most skins.
inline constexpr uint8_t kAsPaintedColour[3] = {255, 224, 0};
inline constexpr uint8_t kMirroredColour[3] = {0, 200, 255};
inline constexpr uint8_t kSeamColour[3] = {255, 0, 200};
inline constexpr uint8_t kLayoutHighlight[3] = {255, 80, 0};  // the triangle pointed at
inline constexpr uint8_t kLayoutGround[3] = {48, 48, 48};      // where no skin is given

inline constexpr int kMaxLayoutScale = 8;
inline constexpr int32_t kMaxLayoutSide = 8192;  // as render draws at most
// The viewer's window shows a small skin several pixels a pixel, up to this.
inline constexpr int32_t kLayoutWindowSide = 512;

struct SkinLayoutRequest {
    const Md2Model* model = nullptr;
    const SkinImage* skin = nullptr;  // under the lines; null for the plain ground
    int scale = 1;
    // Triangles without an area in this frame (parts a frame folds away)
    // are dotted; -1 for none.
    int32_t frame = -1;
    int32_t highlight = -1;  // a triangle filled and outlined in kLayoutHighlight; -1 for none
};

struct SkinLayout {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;       // top row first
    std::vector<std::string> notes;  // what is worth telling: corners off the skin, the skin scaled, folded triangles
};

// Why the model has no layout at that scale (its header gives no skin size,
// or the picture would be too large), or empty.
std::string SkinLayoutProblem(const Md2Model& model, int scale);

// The layout; SkinLayoutProblem must have found nothing.
SkinLayout DrawSkinLayout(const SkinLayoutRequest& request);

// The largest scale, 1 to kMaxLayoutScale, at which the longer side of the
// model's layout stays within side pixels (1 when even that is larger).
int ScaleToFit(const Md2Model& model, int32_t side);

// The middle of the layout's pixel (x, y) at scale, on the skin.
inline SkinPoint SkinPointOfPixel(int x, int y, int scale) {
    return {(x + 0.5) / scale, (y + 0.5) / scale};
}

}  // namespace meshara
