#pragma once
// The one table of a model's map rows: the options bar shows them top to
// bottom in this order, their buttons come in threes from loadCommand
// ("+", then "X", then the switch), and the command line names them with
// "--" and the row's name. The renderer's MapKind follows the same order.

#include <array>
#include <optional>

#include "render/scene.h"
#include "session/command_ids.h"

namespace meshara {

struct MapRowInfo {
    MapKind kind;
    const char* name;  // "texture"
    int loadCommand;   // the row's "+"; its "X" is loadCommand + 1, its switch loadCommand + 2
};

inline constexpr std::array<MapRowInfo, kMapKinds> kMapRows = {{
    {MapKind::Texture, "texture", ids::kTextureMapLoad},
    {MapKind::Diffusion, "diffusion", ids::kDiffusionMapLoad},
    {MapKind::Specularity, "specularity", ids::kSpecularityMapLoad},
    {MapKind::Glow, "glow", ids::kGlowMapLoad},
}};

// The row a map button belongs to and which of its three buttons it is
// (0 load, 1 clear, 2 switch), or nothing for any other command.
struct MapButton {
    MapKind kind;
    int button;
};
inline std::optional<MapButton> MapButtonOf(int command) {
    for (const MapRowInfo& row : kMapRows)
        if (command >= row.loadCommand && command < row.loadCommand + 3)
            return MapButton{row.kind, command - row.loadCommand};
    return std::nullopt;
}

}  // namespace meshara
