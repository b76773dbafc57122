#include "session/status_line.h"

#include "session/messages.h"

namespace meshara {

std::string StatusLine(const Document& doc) {
    const ModelSlot* slot = doc.models.CurrentModel();
    if (!slot) return {};
    std::string notes;
    for (const std::string& note : ModelNotes(*slot->model)) notes += (notes.empty() ? "" : "; ") + note;
    const std::string& who = slot->path.empty() ? slot->Name() : slot->path;
    if (notes.empty()) return slot->path;
    return who + ": " + notes;
}

}  // namespace meshara
