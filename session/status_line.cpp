#include "session/status_line.h"

#include "session/messages.h"

namespace meshara {

std::string StatusLine(const Document& doc) {
    const ModelSlot* slot = doc.models.CurrentModel();
    if (!slot) return {};
    std::string line;
    for (const std::string& note : ModelNotes(*slot->model)) line += (line.empty() ? "" : "; ") + note;
    return line.empty() ? line : slot->Name() + ": " + line;
}

}  // namespace meshara
