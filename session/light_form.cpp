#include "session/light_form.h"

#include "formats/name_text.h"
#include "session/number_text.h"

namespace meshara {

float* LightFieldOfBox(LightRecord& light, int id) {
    const int at = id - kFirstNumberBox;
    if (at < 0 || at > 15 || at == 3) return nullptr;
    if (at < 3) return &light.position[at];
    if (at < 7) return &light.spotDirection[at - 4];
    if (at < 10) return &light.ambient[at - 7];
    if (at < 13) return &light.diffuse[at - 10];
    return &light.specular[at - 13];
}

LightForm FormFromLight(const LightRecord& light) {
    LightForm form;
    LightRecord copy = light;
    for (int id = kFirstNumberBox; id < kFirstNumberBox + 16; ++id)
        if (const float* value = LightFieldOfBox(copy, id))
            form.numbers[static_cast<size_t>(id - kFirstNumberBox)] = FormatNumber(*value);
    form.name = NameToUtf8(light.name);
    return form;
}

int ReadLightForm(const LightForm& form, std::string& shownName, LightRecord& light) {
    for (int id : kLightFormOrder) {
        if (id == kNameBox) {
            if (form.name == shownName) continue;
            if (!NameFromUtf8(form.name, light.name)) return id;
            shownName = form.name;
        } else {
            const std::string& text = form.numbers[static_cast<size_t>(id - kFirstNumberBox)];
            if (!ParseNumber(text, *LightFieldOfBox(light, id))) return id;
        }
    }
    return 0;
}

}  // namespace meshara
