#include "session/player.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "formats/path_input.h"
#include "formats/skin_decoder.h"
#include "session/scene_setup.h"
#include "session/skin_search.h"

namespace meshara {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

std::string FileNameOf(const GameFile& file) {
    const size_t cut = file.gamePath.rfind('/');
    return cut == std::string::npos ? file.gamePath : file.gamePath.substr(cut + 1);
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const std::string la = Lowered(a), lb = Lowered(b);
    return la != lb ? la < lb : a < b;
}

// The folder's name, the last part of its game path or its path.
std::string LastPart(const std::string& path) {
    std::string p = path;
    while (!p.empty() && p.back() == '/') p.pop_back();
    const size_t cut = p.rfind('/');
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

std::string ParentName(const std::string& folderGamePath, const std::string& path) {
    const std::string& p = folderGamePath.empty() ? path : folderGamePath;
    const size_t cut = p.rfind('/');
    return cut == std::string::npos ? std::string() : LastPart(p.substr(0, cut));
}

// Dresses a weapon's slot: weapon.md2 in weapon.pcx, a vweap in the skin it names, then weapon.pcx.
void DressWeapon(ModelSlot& slot, const PlayerFolder& player, bool isWeaponMd2, std::vector<std::string>& notes) {
    if (!isWeaponMd2) {
        FoundSkin found = FindNamedSkin(slot);
        if (found.picture) {
            slot.Map(MapKind::Texture) = std::move(found.picture);
            return;
        }
    }
    if (!player.weaponSkin) {
        notes.push_back(player.path + ": the player has no weapon.pcx; its weapon is drawn untextured");
        return;
    }
    auto picture = ReadGameSkin(*player.weaponSkin);
    if (picture)
        slot.Map(MapKind::Texture) = picture.Take();
    else
        notes.push_back(player.weaponSkin->path + " could not be used: " + picture.Detail());
}

std::optional<GameFile> WeaponNamed(const PlayerFolder& player, const std::string& name) {
    for (auto& [label, file] : PlayerWeapons(player))
        if (Lowered(label) == Lowered(name)) return file;
    return std::nullopt;
}

}  // namespace

bool IsPlayerFolder(const std::string& path) {
    auto folder = LocateFolder(path);
    if (!folder) return false;
    const LocatedFolder& f = folder.Value();
    if (Lowered(ParentName(f.folder, f.path)) != "players") return false;
    const std::string prefix = f.folder.empty() ? "" : f.folder + "/";
    return FindIn(f.source, prefix + "tris.md2").has_value();
}

Result<PlayerFolder> ReadPlayerFolder(const std::string& path) {
    auto located = LocateFolder(path);
    if (!located) return located.Why();
    const LocatedFolder& f = located.Value();
    if (Lowered(ParentName(f.folder, f.path)) != "players")
        return Failure{ErrorKind::NotThisFormat, "a player's folder lies in a folder named players"};
    PlayerFolder player;
    player.path = f.path;
    player.name = LastPart(f.path);
    std::vector<GameFile> pictures;
    bool hasBody = false;
    for (GameFile& file : ListIn(f.source, f.folder)) {
        const std::string name = Lowered(FileNameOf(file));
        if (name == "tris.md2") {
            player.body = file;
            hasBody = true;
        } else if (name == "weapon.md2") {
            player.weapon = file;
        } else if (name == "weapon.pcx") {
            player.weaponSkin = file;
        } else if ((name.starts_with("w_") && name.ends_with(".md2")) || name == "a_grenades.md2") {
            player.vweps.push_back(file);
        } else if (name.ends_with(".pcx")) {
            pictures.push_back(file);
        }
    }
    if (!hasBody) return Failure{ErrorKind::CannotOpen, "the folder holds no tris.md2"};
    // Skins and their icons, paired in any letter case.
    for (const GameFile& picture : pictures) {
        const std::string file = FileNameOf(picture);
        const std::string stem = file.substr(0, file.size() - 4);
        if (Lowered(stem).ends_with("_i")) continue;
        PlayerSkin skin{stem, picture, std::nullopt, false};
        const std::string exact = stem + "_i" + file.substr(file.size() - 4);
        for (const GameFile& icon : pictures) {
            const std::string iconName = FileNameOf(icon);
            if (Lowered(iconName) != Lowered(exact)) continue;
            // The exact spelling wins over one that matches only ignoring case.
            if (!skin.icon || iconName == exact) {
                skin.icon = icon;
                skin.iconCaseDiffers = iconName != exact;
            }
        }
        (skin.icon ? player.skins : player.iconless).push_back(std::move(skin));
    }
    const auto byName = [](const PlayerSkin& a, const PlayerSkin& b) { return LessIgnoringCase(a.name, b.name); };
    std::sort(player.skins.begin(), player.skins.end(), byName);
    std::sort(player.iconless.begin(), player.iconless.end(), byName);
    std::sort(player.vweps.begin(), player.vweps.end(),
              [](const GameFile& a, const GameFile& b) { return LessIgnoringCase(FileNameOf(a), FileNameOf(b)); });
    return player;
}

std::optional<PlayerFolder> PlayerOfModel(const std::string& modelPath) {
    if (modelPath.empty()) return std::nullopt;
    auto located = LocateFile(modelPath);
    if (!located) return std::nullopt;
    const std::string& path = located.Value().file.path;
    const size_t cut = path.rfind('/');
    if (cut == std::string::npos) return std::nullopt;
    const std::string folder = path.substr(0, cut);
    if (!IsPlayerFolder(folder)) return std::nullopt;
    auto player = ReadPlayerFolder(folder);
    if (!player) return std::nullopt;
    return player.Take();
}

std::vector<std::pair<std::string, GameFile>> PlayerWeapons(const PlayerFolder& player) {
    std::vector<std::pair<std::string, GameFile>> out;
    if (player.weapon) out.emplace_back("weapon", *player.weapon);
    for (const GameFile& vwep : player.vweps) {
        const std::string name = FileNameOf(vwep);
        out.emplace_back(name.substr(0, name.size() - 4), vwep);
    }
    return out;
}

const PlayerSkin* PlayerSkinNamed(const PlayerFolder& player, const std::string& text) {
    for (const PlayerSkin& skin : player.skins)
        if (Lowered(skin.name) == Lowered(text)) return &skin;
    char* end = nullptr;
    errno = 0;
    const long n = text.empty() ? -1 : std::strtol(text.c_str(), &end, 10);
    if (errno == 0 && end && *end == '\0' && n >= 0 && static_cast<size_t>(n) < player.skins.size())
        return &player.skins[static_cast<size_t>(n)];
    return nullptr;
}

Result<OpenedPlayer> OpenPlayer(ModelList& list, const PlayerFolder& player, const PlayerSkin* skin,
                                const std::string& weapon) {
    const int32_t before = list.Count();
    const int32_t current = list.currentModel;
    auto body = OpenModelFile(list, player.body.path);
    if (!body) return body.Why();
    OpenedPlayer opened;
    opened.body = body.Value();
    if (!skin && !player.skins.empty()) skin = &player.skins.front();
    if (skin) {
        auto picture = ReadGameSkin(skin->picture);
        if (picture)
            opened.body->Map(MapKind::Texture) = picture.Take();
        else
            opened.notes.push_back(skin->picture.path + " could not be used: " + picture.Detail());
    } else {
        // No skin with an icon: the skin the model names, as for any model.
        FoundSkin found = FindNamedSkin(*opened.body);
        if (found.picture) opened.body->Map(MapKind::Texture) = std::move(found.picture);
        opened.notes.push_back(player.path + ": the player has no skin with an icon (NAME.pcx with NAME_i.pcx)");
    }
    if (Lowered(weapon) != "none") {
        const std::string chosen = weapon.empty() ? "weapon" : weapon;
        if (auto file = WeaponNamed(player, chosen)) {
            auto slot = OpenModelFile(list, file->path);
            if (!slot) {
                list.models.resize(static_cast<size_t>(before));
                list.currentModel = current;
                return slot.Why();
            }
            opened.weapon = slot.Value();
            DressWeapon(*opened.weapon, player, Lowered(chosen) == "weapon", opened.notes);
        } else if (!weapon.empty()) {
            list.models.resize(static_cast<size_t>(before));
            list.currentModel = current;
            return Failure{ErrorKind::CannotOpen, "the player has no weapon " + weapon};
        } else {
            opened.notes.push_back(player.path + ": the player has no weapon.md2");
        }
    }
    list.currentModel = before;
    return opened;
}

Result<int32_t> ChangePlayerWeapon(ModelList& list, const PlayerFolder& player, int32_t weaponSlot,
                                   const std::string& weapon, std::vector<std::string>& notes) {
    const bool replacing = weaponSlot >= 0 && weaponSlot < list.Count();
    if (Lowered(weapon) == "none") {
        if (replacing) list.models.erase(list.models.begin() + weaponSlot);
        RepairSelection(list.currentModel, list.Count());
        return -1;
    }
    auto file = WeaponNamed(player, weapon);
    if (!file) return Failure{ErrorKind::CannotOpen, "the player has no weapon " + weapon};
    const int32_t current = list.currentModel;
    auto slot = OpenModelFile(list, file->path);
    if (!slot) return slot.Why();
    ModelSlot& made = *slot.Value();
    DressWeapon(made, player, Lowered(weapon) == "weapon", notes);
    auto taken = std::move(list.models.back());
    list.models.pop_back();
    list.currentModel = current;
    if (replacing) {
        // It takes the old weapon's place, lights and switches.
        taken->lights = list.models[static_cast<size_t>(weaponSlot)]->lights;
        taken->currentLight = list.models[static_cast<size_t>(weaponSlot)]->currentLight;
        taken->visible = list.models[static_cast<size_t>(weaponSlot)]->visible;
        list.models[static_cast<size_t>(weaponSlot)] = std::move(taken);
        return weaponSlot;
    }
    list.models.push_back(std::move(taken));
    return list.Count() - 1;
}

}  // namespace meshara
