// File > Check Models...: the findings of the open models, as meshara-cli
// check gives them, in a window that follows the Model List.

#include <algorithm>

#include "formats/name_text.h"
#include "session/check.h"
#include "session/commands.h"
#include "session/player.h"

namespace meshara {

void Commands::CheckModels() {
    findingsOpen_ = true;
    RefreshFindings(true);
}

void Commands::RefreshFindings(bool always) {
    std::vector<std::pair<const ModelSlot*, const Md2Model*>> now;
    for (const auto& slot : doc_.models.models) now.emplace_back(slot.get(), slot->model.get());
    if (!always && now == checked_) return;
    checked_ = std::move(now);
    findingLines_.clear();
    std::vector<std::string> lines;
    // A player's folder is checked once for its body and its weapon alike.
    std::vector<std::pair<std::string, std::vector<CheckedModel>>> players;
    for (const auto& slot : doc_.models.models) {
        const std::string name = FileNameToUtf8(slot->Name());
        const auto line = [&](std::string text, std::optional<int32_t> frame = std::nullopt) {
            lines.push_back(std::move(text));
            findingLines_.push_back({slot.get(), frame});
        };
        if (slot->convertedMd2 || slot->path.empty()) {
            line(name + ": made in memory (from glTF or OBJ); saved as MD2 it can be checked");
            continue;
        }
        std::vector<CheckedModel> records;
        if (slot->player) {
            auto known = std::find_if(players.begin(), players.end(), [&](const auto& p) { return p.first == slot->player->path; });
            if (known == players.end())
                known = players.insert(players.end(), {slot->player->path, CheckOne({CheckTarget::Kind::Player, slot->player->path, {}})});
            for (const CheckedModel& r : known->second)
                if (slot->isWeapon ? r.path == slot->path : r.player) records.push_back(r);
        } else {
            records = CheckOne({CheckTarget::Kind::Model, slot->path, {}});
        }
        size_t said = 0;
        for (const CheckedModel& r : records)
            for (const Finding& f : r.findings) {
                line(name + ": " + SeverityName(f.severity) + ": " + f.message + " [" + f.code + "]", f.frame);
                ++said;
            }
        if (said == 0) line(name + ": nothing found");
    }
    ui_.ShowFindings(lines);
}

void Commands::ChooseFinding(int index) {
    if (index < 0 || static_cast<size_t>(index) >= findingLines_.size()) return;
    const FindingLine& chosen = findingLines_[static_cast<size_t>(index)];
    ModelList& list = doc_.models;
    const auto at = std::find_if(list.models.begin(), list.models.end(), [&](const auto& s) { return s.get() == chosen.slot; });
    if (at == list.models.end()) return;
    list.currentModel = static_cast<int32_t>(at - list.models.begin());
    if (chosen.frame && (*at)->model->HasFrame(*chosen.frame)) {
        StopPlayback();  // the frame shown is the one the finding is about
        list.currentFrame = *chosen.frame;
    }
    Changed();
}

}  // namespace meshara
