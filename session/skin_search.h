#pragma once
// Finding the picture a model names as its skin. Files name skins the way
// the game found them ("models/monsters/dolphin/skin.pcx", relative to the
// game's folder), or as an exporter's own path; the picture usually sits
// somewhere above or beside the model.

#include <string>
#include <vector>

namespace meshara {

// Where to look for skinName, in order: the name as given when it is
// absolute, else relative to the model's folder and to each folder above
// it; then its file name alone in the model's folder. Each place is tried
// as named, then with its extension replaced by .pcx and .bmp (and their
// upper-case forms). Backslashes count as folder separators.
std::vector<std::string> SkinCandidates(const std::string& modelPath, const std::string& skinName);

// The first candidate of the first name that is a regular file, or empty.
std::string FindSkinFile(const std::string& modelPath, const std::vector<std::string>& skinNames);

}  // namespace meshara
