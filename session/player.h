#pragma once
// A Quake 2 player as the game dresses it. A player lives in a folder of
// players/ (loose, or inside an archive): its body tris.md2, the weapon it
// holds weapon.md2 with its picture weapon.pcx, its skins, and the weapons
// others see it hold (vweps: w_*.md2, a_grenades.md2). A skin is a PCX
// picture NAME.pcx with its icon NAME_i.pcx: the game's menu lists only
// skins that have one. Names match in any letter case, as everywhere.

#include <optional>
#include <string>
#include <vector>

#include "formats/game_fs.h"
#include "io/result.h"
#include "session/document.h"

namespace meshara {

struct PlayerSkin {
    std::string name;              // the picture's name without its extension ("grunt")
    GameFile picture;              // NAME.pcx
    std::optional<GameFile> icon;  // NAME_i.pcx; none: the game's menu does not list the skin
    bool iconCaseDiffers = false;  // the icon's name matches the skin's only ignoring letter case
};

struct PlayerFolder {
    std::string path;                    // the folder, as the programs show it
    std::string name;                    // its own name ("male")
    GameFile body;                       // tris.md2
    std::optional<GameFile> weapon;      // weapon.md2
    std::optional<GameFile> weaponSkin;  // weapon.pcx
    std::vector<PlayerSkin> skins;       // with an icon, in name order ignoring case: the game's list
    std::vector<PlayerSkin> iconless;    // PCX pictures without an icon (weapon.pcx aside)
    std::vector<GameFile> vweps;         // w_*.md2 and a_grenades.md2, in name order ignoring case
};

// Whether path names a player folder: a folder inside a players/ folder
// (any case) that holds a tris.md2 (any case), loose or in an archive.
bool IsPlayerFolder(const std::string& path);

// The player at path, or why it is none.
Result<PlayerFolder> ReadPlayerFolder(const std::string& path);

// The player whose folder holds the model at modelPath, when it lies in one.
std::optional<PlayerFolder> PlayerOfModel(const std::string& modelPath);

// The weapons a player may be shown holding, by the names --weapon takes:
// "weapon" (weapon.md2) first, then each vweap's name without its
// extension ("w_railgun").
std::vector<std::pair<std::string, GameFile>> PlayerWeapons(const PlayerFolder& player);

// The player skin text names: a skin's name (any case) or its number in
// the player's list, from 0. Null when none.
const PlayerSkin* PlayerSkinNamed(const PlayerFolder& player, const std::string& text);

// Opens the player into the list as the game shows it: the body, wearing
// skin (the first of the player's skins when null), then the weapon
// (weapon.md2 when weapon is empty, none when it is "none"), wearing
// weapon.pcx or, for a vweap, the skin it names. The body is the current
// model. Notes say what was not found. The list is unchanged on a refusal.
struct OpenedPlayer {
    ModelSlot* body = nullptr;
    ModelSlot* weapon = nullptr;
    std::vector<std::string> notes;
};
Result<OpenedPlayer> OpenPlayer(ModelList& list, const PlayerFolder& player, const PlayerSkin* skin = nullptr,
                                const std::string& weapon = {});

// Puts the weapon named (as PlayerWeapons names them, or "none") in place
// of the slot at weaponSlot (or after the body when it is -1), wearing its
// skin; the new slot's index, -1 for none.
Result<int32_t> ChangePlayerWeapon(ModelList& list, const PlayerFolder& player, int32_t weaponSlot,
                                   const std::string& weapon, std::vector<std::string>& notes);

}  // namespace meshara
