#pragma once
// Light names are 8-bit text, as light files have always stored them. The
// lists and the Name box show them as Windows-1252, the set such files were
// written with, and what the user types is stored in the same set, so a
// name's bytes survive being shown, edited elsewhere and saved again.

#include <string>
#include <string_view>

namespace meshara {

// The name's bytes as UTF-8 text for display. Every byte has a character:
// the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become the control characters of the same number.
std::string NameToUtf8(std::string_view bytes);

// A file's name (a model's, an archive entry's) as UTF-8 text: unchanged
// when it is UTF-8 already, as today's systems name files; otherwise its
// bytes as Windows-1252, as an older system's names and the names inside
// MD2 files are shown.
std::string FileNameToUtf8(std::string_view name);

// UTF-8 text back to the name's bytes. False, and bytes untouched, when
// the text is not valid UTF-8 or holds a character outside the set.
bool NameFromUtf8(std::string_view utf8, std::string& bytes);

}  // namespace meshara
