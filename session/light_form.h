#pragma once
// The Light Properties dialog's boxes as text, and the exchange between
// them and a light. No window is involved: the dialog fills its boxes from
// a form and reads them back through one, and tests drive forms directly.

#include <array>
#include <string>

#include "formats/light_record.h"

namespace meshara {

constexpr int kFirstNumberBox = 1000;  // 1000..1015; 1003 is not used
constexpr int kNameBox = 1024;

struct LightForm {
    std::array<std::string, 16> numbers;  // the text of box 1000 + i
    std::string name;                     // the Name box, UTF-8
};

// The boxes in the order they are read: ambient, diffuse (blue first),
// direction, position, specular (blue first), the name last.
inline constexpr std::array<int, 16> kLightFormOrder = {1009, 1008, 1007, 1012, 1011, 1010, 1004, 1005,
                                                        1006, 1000, 1001, 1002, 1015, 1014, 1013, kNameBox};

// The light's field a number box shows, or null for an id that is none.
float* LightFieldOfBox(LightRecord& light, int id);

// Numbers in "%g", the name's bytes decoded as Windows-1252.
LightForm FormFromLight(const LightRecord& light);

// Reads the boxes into light in kLightFormOrder, each as it is read, and
// stops at the first one that does not hold what it must: a number, or a
// name in Windows-1252. Returns that box's id, or 0 when all were read.
// The name is taken only when its text differs from shownName (what the box
// showed when filled or last read), so a name nobody edited keeps its bytes
// exactly; a name that is taken becomes the new shownName.
int ReadLightForm(const LightForm& form, std::string& shownName, LightRecord& light);

}  // namespace meshara
